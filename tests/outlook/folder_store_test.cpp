#include "outlook/folder_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots[0]->Name(), "Mailbox");
  EXPECT_EQ(roots[1]->ItemsCount(), 7);
  EXPECT_EQ(roots[1]->DefaultItemType(), olContactItem);
}

TEST_F(FolderStore, MalformedStoresFailWithThePlace) {
  const auto store = [](const std::string& id, const std::string& more) {
    return R"({"stores": [{"root": {"entryId": ")" + id +
           R"(", "name": "N", "defaultItemType": 0)" + more + "}}]}";
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

}  // namespace
}  // namespace tessaly::outlook
