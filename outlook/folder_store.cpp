#include "outlook/folder_store.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/failure.h"
#include "platform/file.h"

namespace tessaly::outlook {

namespace {

// Members in the document's order, so that faults are reported in that order.
using Value = nlohmann::ordered_json;

inline constexpr size_t kMaxDepth = 64;

[[noreturn]] void Malformed(const std::string& where, const std::string& what) {
  throw std::invalid_argument(where + ": " + what);
}

// A fault of the JSON itself, at the byte `offset` of the document.
[[noreturn]] void BadJson(std::string_view document, size_t offset, const std::string& what) {
  const std::string_view before = document.substr(0, offset);
  const size_t newline = before.rfind('\n');
  const size_t column =
      newline == std::string_view::npos ? before.size() + 1 : before.size() - newline;
  Malformed("JSON", "line " + std::to_string(std::count(before.begin(), before.end(), '\n') + 1) +
                        ", column " + std::to_string(column) + ": " + what);
}

// nlohmann's reader made as strict as the store needs: each member name once in its
// object, nesting limited, faults placed by line and column.
class StrictReader final : public nlohmann::json_sax<Value> {
 public:
  explicit StrictReader(std::string_view document)
      : document_(document), in_(std::string(document)) {}

  Value Read() {
    if (document_.starts_with("\xEF\xBB\xBF")) BadJson(document_, 0, "unexpected byte order mark");
    Value::sax_parse(in_, this, Value::input_format_t::json, true, false);
    // nlohmann takes a zero byte for the end of the document.
    if (const size_t zero = document_.find('\0'); zero != std::string_view::npos) {
      BadJson(document_, zero, "unexpected text after the value");
    }
    return std::move(root_);
  }

  bool null() override { return Add(nullptr); }
  bool boolean(bool value) override { return Add(value); }
  bool number_integer(number_integer_t value) override { return Add(value); }
  bool number_unsigned(number_unsigned_t value) override { return Add(value); }
  bool number_float(number_float_t value, const string_t&) override { return Add(value); }
  bool string(string_t& value) override { return Add(std::move(value)); }
  bool binary(binary_t&) override { return true; }  // never in JSON text
  bool start_object(size_t) override { return Open(Value::object()); }
  bool start_array(size_t) override { return Open(Value::array()); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }

  bool key(string_t& name) override {
    if (!open_.back().names.insert(name).second) {
      BadJson(document_, Consumed(), "duplicate member \"" + name + "\"");
    }
    key_ = std::move(name);
    return true;
  }

  bool parse_error(size_t position, const std::string&, const Value::exception& e) override {
    // nlohmann's text without its prefix, its place, or the raw bytes last read.
    std::string what = e.what();
    what.erase(0, what.find("] ") + 2);
    if (what.starts_with("parse error")) what.erase(0, what.find(": ") + 2);
    BadJson(document_, std::max<size_t>(position, 1) - 1, what.substr(0, what.find("; last read")));
  }

 private:
  struct Level {
    Value* value;
    std::set<std::string> names;
  };

  // Just past the last bracket or member name reported.
  size_t Consumed() {
    return static_cast<size_t>(in_.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in));
  }

  Value& Place(Value&& value) {
    if (open_.empty()) return root_ = std::move(value);
    Value& parent = *open_.back().value;
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return parent.back();
    }
    // The name is new to the object (see key), so no search is needed.
    return parent.get_ref<Value::object_t&>()
        .emplace_back(std::move(key_), std::move(value))
        .second;
  }
  template <typename T>
  bool Add(T&& value) {
    Place(Value(std::forward<T>(value)));
    return true;
  }
  bool Open(Value&& container) {
    if (open_.size() >= kMaxDepth) BadJson(document_, Consumed() - 1, "nested too deeply");
    open_.push_back({&Place(std::move(container)), {}});
    return true;
  }
  bool Close() {
    open_.pop_back();
    return true;
  }

  std::string_view document_;
  std::istringstream in_;
  Value root_;
  std::vector<Level> open_;
  std::string key_;
};

const Value& Member(const Value& object, const std::string& where, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) Malformed(where, std::string("missing \"") + key + "\"");
  return *found;
}

int32_t Int32Member(const Value& object, const std::string& where, const char* key,
                    int64_t minimum) {
  const Value& value = Member(object, where, key);
  std::optional<int64_t> number;  // whole numbers not negative come as unsigned
  if (value.is_number_unsigned()) {
    if (value.get<uint64_t>() <= uint64_t{std::numeric_limits<int32_t>::max()}) {
      number = value.get<int64_t>();
    }
  } else if (value.is_number_integer()) {
    number = value.get<int64_t>();
  }
  if (!number || *number < minimum || *number > std::numeric_limits<int32_t>::max()) {
    Malformed(where, std::string("\"") + key + "\" must be a whole number from " +
                         std::to_string(minimum) + " to 2147483647");
  }
  return static_cast<int32_t>(*number);
}

FolderData ReadFolder(const Value& value, const std::string& where, std::set<std::string>& ids) {
  if (!value.is_object()) Malformed(where, "a folder must be an object");
  for (const auto& [key, member] : value.items()) {
    if (key != "entryId" && key != "name" && key != "defaultItemType" && key != "itemCount" &&
        key != "folders") {
      Malformed(where, "unknown member \"" + key + "\"");
    }
  }
  FolderData folder;
  const Value& id = Member(value, where, "entryId");
  if (id.is_string()) folder.EntryID = id.get<std::string>();
  if (folder.EntryID.empty()) Malformed(where, "\"entryId\" must be non-empty text");
  if (!ids.insert(folder.EntryID).second) {
    Malformed(where, "entry identifier \"" + folder.EntryID + "\" is used twice in its store");
  }
  const Value& name = Member(value, where, "name");
  if (!name.is_string()) Malformed(where, "\"name\" must be text");
  folder.Name = name.get<std::string>();
  folder.DefaultItemType =
      Int32Member(value, where, "defaultItemType", std::numeric_limits<int32_t>::min());
  folder.ItemCount = Int32Member(value, where, "itemCount", 0);
  if (const auto subs = value.find("folders"); subs != value.end()) {
    if (!subs->is_array()) Malformed(where, "\"folders\" must be an array");
    for (size_t i = 0; i < subs->size(); ++i) {
      folder.Folders.push_back(
          ReadFolder((*subs)[i], where + ".folders[" + std::to_string(i) + "]", ids));
    }
  }
  return folder;
}

class StoreFolder : public MAPIFolder {
 public:
  explicit StoreFolder(const FolderData& data)
      : name_(data.Name), type_(data.DefaultItemType), count_(data.ItemCount) {}
  int32_t ItemsCount() const override { return count_; }
  std::string Name() const override { return name_; }
  int32_t DefaultItemType() const override { return type_; }

 private:
  std::string name_;
  int32_t type_;
  int32_t count_;
};

using Stores = std::shared_ptr<const std::vector<FolderData>>;

class StoreRoots : public Folders {
 public:
  explicit StoreRoots(Stores stores) : stores_(std::move(stores)) {}
  int32_t Count() const override { return static_cast<int32_t>(stores_->size()); }
  std::shared_ptr<MAPIFolder> Item(int32_t index) const override {
    assert(index >= 1 && index <= Count());
    return std::make_shared<StoreFolder>((*stores_)[static_cast<size_t>(index) - 1]);
  }

 private:
  Stores stores_;
};

class StoreNameSpace : public NameSpace {
 public:
  explicit StoreNameSpace(Stores stores) : stores_(std::move(stores)) {}

  std::shared_ptr<MAPIFolder> GetFolderFromID(const std::string& entryID) override {
    const FolderData* found = stores_->empty() ? nullptr : FindFolder(stores_->front(), entryID);
    if (found == nullptr) {
      throw Failure(err::kNotFound, FolderNotFound(entryID));
    }
    return std::make_shared<StoreFolder>(*found);
  }

  std::shared_ptr<outlook::Folders> Folders() override {
    return std::make_shared<StoreRoots>(stores_);
  }

 private:
  Stores stores_;
};

class StoreApplication : public Application {
 public:
  explicit StoreApplication(Stores stores) : stores_(std::move(stores)) {}

  std::shared_ptr<NameSpace> GetNamespace(const std::string& type) override {
    if (type != "MAPI") {
      throw Failure(err::kInvalidArgument,
                    "Invalid namespace type \"" + type + "\"; only \"MAPI\" is available.");
    }
    return std::make_shared<StoreNameSpace>(stores_);
  }

 private:
  Stores stores_;
};

}  // namespace

std::vector<FolderData> ParseFolderStore(std::string_view document) {
  const Value top = StrictReader(document).Read();
  if (!top.is_object()) Malformed("top", "the document must be an object");
  for (const auto& [key, member] : top.items()) {
    if (key != "stores") Malformed("top", "unknown member \"" + key + "\"");
  }
  const Value& stores = Member(top, "top", "stores");
  if (!stores.is_array()) Malformed("top", "\"stores\" must be an array");
  std::vector<FolderData> roots;
  for (size_t i = 0; i < stores.size(); ++i) {
    const std::string where = "stores[" + std::to_string(i) + "]";
    const Value& store = stores[i];
    if (!store.is_object()) Malformed(where, "a store must be an object");
    for (const auto& [key, member] : store.items()) {
      if (key != "root") Malformed(where, "unknown member \"" + key + "\"");
    }
    std::set<std::string> ids;
    roots.push_back(ReadFolder(Member(store, where, "root"), where + ".root", ids));
  }
  return roots;
}

std::string ReadFolderStoreFile(const std::string& path, ReadFrom from) {
  File file;
  if (const int error = file.OpenForReading(path, from)) {
    throw std::runtime_error("cannot open the folder store \"" + path +
                             "\": " + std::generic_category().message(error));
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (const int error = file.Read(buffer, sizeof buffer, got)) {
      throw std::runtime_error("cannot read the folder store \"" + path +
                               "\": " + std::generic_category().message(error));
    }
    if (got == 0) return text;
    text.append(buffer, got);
    if (text.size() > kMaxStoreBytes) {
      throw std::runtime_error("the folder store \"" + path + "\" is too large");
    }
  }
}

const FolderData* FindFolder(const FolderData& root, const std::string& entryID) {
  if (root.EntryID == entryID) return &root;
  for (const FolderData& sub : root.Folders) {
    if (const FolderData* found = FindFolder(sub, entryID)) return found;
  }
  return nullptr;
}

std::string FolderNotFound(const std::string& entryID) {
  return "No folder with the entry identifier \"" + entryID + "\" was found.";
}

std::shared_ptr<Application> OpenFolderStore(const std::string& path) {
  std::string text;
  try {
    text = ReadFolderStoreFile(path);
  } catch (const std::runtime_error& e) {
    throw Unavailable(e.what());
  }
  try {
    return std::make_shared<StoreApplication>(
        std::make_shared<const std::vector<FolderData>>(ParseFolderStore(text)));
  } catch (const std::invalid_argument& e) {
    throw Unavailable("the folder store \"" + path + "\" is malformed: " + e.what());
  }
}

}  // namespace tessaly::outlook
