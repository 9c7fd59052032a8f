#include "outlook/folder_store.h"

#include <limits>
#include <set>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/failure.h"
#include "platform/file.h"
#include "platform/json.h"

namespace tessaly::outlook {

namespace {

using json::Value;

[[noreturn]] void Malformed(const std::string& where, const std::string& what) {
  throw std::invalid_argument(where + ": " + what);
}

const Value& Member(const Value& object, const std::string& where, const char* key) {
  const Value* value = object.Find(key);
  if (value == nullptr) Malformed(where, std::string("missing \"") + key + "\"");
  return *value;
}

int32_t Int32Member(const Value& object, const std::string& where, const char* key,
                    int64_t minimum) {
  const auto number = Member(object, where, key).AsInt64();
  if (!number || *number < minimum || *number > std::numeric_limits<int32_t>::max()) {
    Malformed(where, std::string("\"") + key + "\" must be a whole number from " +
                         std::to_string(minimum) + " to 2147483647");
  }
  return static_cast<int32_t>(*number);
}

FolderData ReadFolder(const Value& value, const std::string& where, std::set<std::string>& ids) {
  if (!value.IsObject()) Malformed(where, "a folder must be an object");
  for (const auto& [key, member] : value.Members()) {
    if (key != "entryId" && key != "name" && key != "defaultItemType" && key != "itemCount" &&
        key != "folders") {
      Malformed(where, "unknown member \"" + key + "\"");
    }
  }
  FolderData folder;
  const Value& id = Member(value, where, "entryId");
  if (!id.IsString() || id.Text().empty()) Malformed(where, "\"entryId\" must be non-empty text");
  folder.EntryID = id.Text();
  if (!ids.insert(folder.EntryID).second) {
    Malformed(where, "entry identifier \"" + folder.EntryID + "\" is used twice in its store");
  }
  const Value& name = Member(value, where, "name");
  if (!name.IsString()) Malformed(where, "\"name\" must be text");
  folder.Name = name.Text();
  folder.DefaultItemType =
      Int32Member(value, where, "defaultItemType", std::numeric_limits<int32_t>::min());
  folder.ItemCount = Int32Member(value, where, "itemCount", 0);
  if (const Value* subs = value.Find("folders")) {
    if (!subs->IsArray()) Malformed(where, "\"folders\" must be an array");
    for (size_t i = 0; i < subs->Items().size(); ++i) {
      folder.Folders.push_back(
          ReadFolder(subs->Items()[i], where + ".folders[" + std::to_string(i) + "]", ids));
    }
  }
  return folder;
}

const FolderData* FindFolder(const FolderData& folder, const std::string& id) {
  if (folder.EntryID == id) return &folder;
  for (const FolderData& sub : folder.Folders) {
    if (const FolderData* found = FindFolder(sub, id)) return found;
  }
  return nullptr;
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

class StoreNameSpace : public NameSpace {
 public:
  explicit StoreNameSpace(Stores stores) : stores_(std::move(stores)) {}

  std::shared_ptr<MAPIFolder> GetFolderFromID(const std::string& entryID) override {
    const FolderData* found = stores_->empty() ? nullptr : FindFolder(stores_->front(), entryID);
    if (found == nullptr) {
      throw Failure(err::kNotFound,
                    "No folder with the entry identifier \"" + entryID + "\" was found.");
    }
    return std::make_shared<StoreFolder>(*found);
  }

  std::vector<std::shared_ptr<MAPIFolder>> Folders() override {
    std::vector<std::shared_ptr<MAPIFolder>> roots;
    for (const FolderData& root : *stores_) roots.push_back(std::make_shared<StoreFolder>(root));
    return roots;
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

[[noreturn]] void Unavailable(const std::string& why) {
  throw Failure(err::kCannotCreateObject, "Outlook is not available (" + why + ").");
}

std::string ReadStoreFile(const std::string& path) {
  File file;
  if (const int error = file.OpenForReading(path)) {
    Unavailable("cannot open the folder store \"" + path +
                "\": " + std::generic_category().message(error));
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (const int error = file.Read(buffer, sizeof buffer, got)) {
      Unavailable("cannot read the folder store \"" + path +
                  "\": " + std::generic_category().message(error));
    }
    if (got == 0) break;
    text.append(buffer, got);
    if (text.size() > kMaxStoreBytes) {
      Unavailable("the folder store \"" + path + "\" is too large");
    }
  }
  return text;
}

}  // namespace

std::vector<FolderData> ParseFolderStore(std::string_view document) {
  Value top;
  try {
    top = json::Parse(document);
  } catch (const json::ParseError& e) {
    Malformed("JSON", e.what());
  }
  if (!top.IsObject()) Malformed("top", "the document must be an object");
  for (const auto& [key, member] : top.Members()) {
    if (key != "stores") Malformed("top", "unknown member \"" + key + "\"");
  }
  const Value& stores = Member(top, "top", "stores");
  if (!stores.IsArray()) Malformed("top", "\"stores\" must be an array");
  std::vector<FolderData> roots;
  for (size_t i = 0; i < stores.Items().size(); ++i) {
    const std::string where = "stores[" + std::to_string(i) + "]";
    const Value& store = stores.Items()[i];
    if (!store.IsObject()) Malformed(where, "a store must be an object");
    for (const auto& [key, member] : store.Members()) {
      if (key != "root") Malformed(where, "unknown member \"" + key + "\"");
    }
    std::set<std::string> ids;
    roots.push_back(ReadFolder(Member(store, where, "root"), where + ".root", ids));
  }
  return roots;
}

std::shared_ptr<Application> OpenFolderStore(const std::string& path) {
  const std::string text = ReadStoreFile(path);
  try {
    return std::make_shared<StoreApplication>(
        std::make_shared<const std::vector<FolderData>>(ParseFolderStore(text)));
  } catch (const std::invalid_argument& e) {
    Unavailable("the folder store \"" + path + "\" is malformed: " + e.what());
  }
}

std::shared_ptr<Application> CreateOutlookApplication() {
  const std::optional<std::string> path = EnvironmentVariable(kStoreVariable);
  if (!path || path->empty()) {
    Unavailable(std::string("no folder store is set in ") + kStoreVariable);
  }
  return OpenFolderStore(*path);
}

}  // namespace tessaly::outlook
