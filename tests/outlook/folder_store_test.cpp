#include "outlook/folder_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/outlook/failure_of.h"
#include "tests/support/test_platform.h"

namespace tessaly::outlook {
namespace {

namespace fs = std::filesystem;

// The default store's folders are found by identifier; the second store's are not.
constexpr const char* kTwoStores = R"({"stores": [
  {"root": {"entryId": "R1", "name": "Mailbox", "defaultItemType": 0, "itemCount": 3, "folders": [
    {"entryId": "C1", "name": "Contacts", "defaultItemType": 2, "itemCount": 312, "folders": [
      {"entryId": "C2", "name": "Family", "defaultItemType": 2, "itemCount": 0}]}]}},
  {"root": {"entryId": "R2", "name": "Archive", "defaultItemType": 2, "itemCount": 7, "folders": [
    {"entryId": "C1", "name": "Old", "defaultItemType": 0, "itemCount": 1}]}}]})";

// The store file that kStoreVariable names, one per test process.
class FolderStore : public testing::Test {
 protected:
  void TearDown() override {
    test::SetEnv(kStoreVariable, "");
    fs::remove(path_);
  }
  void Use(const std::string& text) {
    std::ofstream(path_, std::ios::binary) << text;
    test::SetEnv(kStoreVariable, path_.string());
  }
  const fs::path path_ =
      fs::temp_directory_path() / ("outlook_store_" + std::to_string(test::ProcessId()) + ".json");
};

TEST_F(FolderStore, LooksUpTheDefaultStoreOnly) {
  Use(kTwoStores);
  const auto ns = CreateOutlookApplication()->GetNamespace("MAPI");
  EXPECT_EQ(ns->GetFolderFromID("C1")->Name(), "Contacts");
  EXPECT_EQ(ns->GetFolderFromID("C2")->ItemsCount(), 0);
  for (const char* missing : {"R2", "", " C1", "c1"}) {
    EXPECT_EQ(FailureOf([&] { ns->GetFolderFromID(missing); }).Number(), err::kNotFound);
  }
  const auto roots = ns->Folders();
  ASSERT_EQ(roots->Count(), 2);
  EXPECT_EQ(roots->Item(1)->Name(), "Mailbox");
  EXPECT_EQ(roots->Item(2)->ItemsCount(), 7);
  EXPECT_EQ(roots->Item(2)->DefaultItemType(), olContactItem);
}

TEST_F(FolderStore, MalformedStoresFailWithThePlace) {
  const auto store = [](const std::string& id, const std::string& more) {
    return R"({"stores": [{"root": {"entryId": ")" + id +
           R"(", "name": "N", "defaultItemType": 0)" + more + "}}]}";
  };
  const auto typed = [](const std::string& type) {
    return R"({"stores": [{"root": {"entryId": "A", "name": "N", "defaultItemType": )" + type +
           R"(, "itemCount": 0}}]})";
  };
  const std::string count = R"(, "itemCount": 0)";
  const std::string child = R"(, "folders": [{"entryId": "A", "name": "N", "defaultItemType": 0)";
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "must be an object"},
      {R"({"stores": [], "x": 1})", "unknown member \"x\""},
      {R"({"stores": {}})", "\"stores\" must be an array"},
      {R"({"stores": [{}]})", "stores[0]: missing \"root\""},
      {store("A", ""), "missing \"itemCount\""},
      {store("A", R"(, "itemcount": 0)"), "unknown member"},
      {store("A", R"(, "itemCount": -1)"), "itemCount"},
      {store("A", R"(, "itemCount": 2147483648)"), "itemCount"},
      {store("A", R"(, "itemCount": "3")"), "itemCount"},
      // Past 32 bits, past int64_t (read as unsigned), past uint64_t (read as a double).
      {store("A", R"(, "itemCount": 4294967296)"), "itemCount"},
      {store("A", R"(, "itemCount": 18446744073709551615)"), "itemCount"},
      {store("A", R"(, "itemCount": 18446744073709551616)"), "itemCount"},
      {store("A", R"(, "itemCount": 1.0)"), "itemCount"},
      {store("A", R"(, "itemCount": 1e2)"), "itemCount"},
      {typed("-2147483649"), "defaultItemType"},
      {typed("18446744073709551615"), "defaultItemType"},
      {store("", count), "entryId"},
      {store("A", count + child + count + "}]"),
       "stores[0].root.folders[0]: entry identifier \"A\" is used twice"},
      {R"({"stores": [)", "line 1, column 13"},
  };
  for (const auto& [text, expected] : cases) {
    Use(text);
    const Failure failure = FailureOf([] { CreateOutlookApplication(); });
    EXPECT_EQ(failure.Number(), err::kCannotCreateObject) << text;
    EXPECT_NE(failure.Description().find("malformed"), std::string::npos) << text;
    EXPECT_NE(failure.Description().find(expected), std::string::npos) << failure.Description();
  }
}

// Store documents read directly: what they hold, and what strict JSON refuses in them.
class StoreDocument : public testing::Test {
 protected:
  // The text of ParseFolderStore's refusal; a test failure when there is none.
  static std::string Refusal(const std::string& document) {
    try {
      ParseFolderStore(document);
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    ADD_FAILURE() << "accepted: " << document.substr(0, 100);
    return "";
  }
  // A store whose root folder has this "name" literal and "itemCount" literal.
  static std::string Root(const std::string& name, const std::string& count = "0") {
    return R"({"stores": [{"root": {"entryId": "A", "name": )" + name +
           R"(, "defaultItemType": 0, "itemCount": )" + count + "}}]}";
  }
  // A store whose default store is a chain of `levels` folders, "F1" the deepest.
  static std::string Chain(int levels) {
    std::string text = R"({"stores": [{"root": )";
    for (int i = levels; i > 0; --i) {
      text += R"({"entryId": "F)" + std::to_string(i) +
              R"(", "name": "N", "defaultItemType": 2, "itemCount": 1)";
      text += i > 1 ? R"(, "folders": [)" : "}";
    }
    for (int i = 1; i < levels; ++i) text += "]}";
    return text + "}]}";
  }
};

TEST_F(StoreDocument, ReadsNamesAndNumbersAsWritten) {
  // Every escape, then raw UTF-8.
  const std::string name = R"("q\"b\\s\/\b\f\n\r\t\u0001\u00e9\u20AC\ud83d\ude00\u0000)"
                           "\u00e9\"";
  const auto roots = ParseFolderStore(" \t" + Root(name, "2147483647") + "\r\n");
  ASSERT_EQ(roots.size(), 1u);
  EXPECT_EQ(roots[0].Name,
            std::string("q\"b\\s/\b\f\n\r\t\x01\u00e9\u20ac\U0001F600") + '\0' + "\u00e9");
  EXPECT_EQ(roots[0].ItemCount, 2147483647);
  const auto lowest = ParseFolderStore(
      R"({"stores": [{"root": {"entryId": "A", "name": "", "defaultItemType": -2147483648,)"
      R"( "itemCount": -0}}]})");
  EXPECT_EQ(lowest[0].DefaultItemType, -2147483647 - 1);
  EXPECT_EQ(lowest[0].ItemCount, 0);
}

TEST_F(StoreDocument, RefusesWhatIsNotStrictJsonAndTellsWhere) {
  ASSERT_NO_THROW(ParseFolderStore(Root(R"("N")")));
  const std::string valid = Root(R"("N")");
  // clang-format off
  const std::string bad[] = {
      // structure
      "", " ", valid + " x", valid + valid, valid + std::string(1, '\0'), "\xEF\xBB\xBF" + valid,
      "// c\n" + valid, valid + "/* c */", R"({"stores": [],})", R"({'stores': []})",
      R"({"stores": [{"root": {"entryId": "A", "name": "N", "defaultItemType": 0, "itemCount": 0},}]})",
      // numbers
      Root(R"("N")", "01"), Root(R"("N")", "1."), Root(R"("N")", ".5"), Root(R"("N")", "+1"),
      Root(R"("N")", "1e"), Root(R"("N")", "-"), Root(R"("N")", "NaN"), Root(R"("N")", "1e999"),
      Root(R"("N")", "tru"), Root(R"("N")", "nulls"),
      // text: escapes, lone surrogates, control characters, quotes
      Root(R"("\x")"), Root(R"("\u12")"), Root(R"("\ud800")"), Root(R"("\ud800\u0041")"),
      Root(R"("\udc00")"), Root("\"\t\""), Root("'N'"), Root(R"("N)"),
      // UTF-8: overlong, an encoded surrogate, past U+10FFFF, cut short, a stray byte
      Root("\"\xC0\xAF\""), Root("\"\xED\xA0\x80\""), Root("\"\xF4\x90\x80\x80\""),
      Root("\"\xE2\x82\""), Root("\"\x80\""), Root("\"N\"\xA0"),
  };
  // clang-format on
  for (const std::string& text : bad) {
    const std::string refusal = Refusal(text);
    EXPECT_TRUE(refusal.starts_with("JSON: line ")) << refusal;
    // The document's raw bytes stay out of the message.
    EXPECT_TRUE(std::all_of(refusal.begin(), refusal.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x80;
    })) << refusal;
  }

  EXPECT_TRUE(
      Refusal("{\n  \"stores\": [],\n  \"more\" []\n}").starts_with("JSON: line 3, column 10: "));
  EXPECT_EQ(Refusal("{\"stores\": [],\r\n \"stores\": []}"),
            "JSON: line 2, column 10: duplicate member \"stores\"");
  EXPECT_EQ(Refusal(R"({"stores": [{"root": {"entryId": "A", "name": "N", "name": "M",)"
                    R"( "defaultItemType": 0, "itemCount": 0, "folders": []}}]})"),
            "JSON: line 1, column 58: duplicate member \"name\"");
  // The same name in different objects is no duplicate.
  EXPECT_EQ(ParseFolderStore(Chain(2))[0].Folders[0].EntryID, "F1");

  // Every cut of a valid store is refused, never a crash.
  const std::string text = Root(R"("A\u00e9\ud83d\ude00\u00e9")", "-0");
  ASSERT_NO_THROW(ParseFolderStore(text));
  for (size_t length = 0; length < text.size(); ++length) Refusal(text.substr(0, length));
}

TEST_F(StoreDocument, NestingIsLimitedTo64Levels) {
  // Each folder below the root adds an array and an object to the four levels above it.
  const auto deepest = ParseFolderStore(Chain(31));
  const FolderData* folder = &deepest[0];
  while (!folder->Folders.empty()) folder = &folder->Folders[0];
  EXPECT_EQ(folder->EntryID, "F1");
  EXPECT_NE(Refusal(Chain(32)).find("nested too deeply"), std::string::npos);
  EXPECT_EQ(Refusal(std::string(100000, '[')), "JSON: line 1, column 65: nested too deeply");
}

}  // namespace
}  // namespace tessaly::outlook
