#include "outlook/folder_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/outlook/failure_of.h"

namespace tessaly::outlook {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTwoStores = R"({"stores": [
  {"root": {"entryId": "R1", "name": "Mailbox", "defaultItemType": 0, "itemCount": 3,
            "folders": [{"entryId": "C1", "name": "Contacts", "defaultItemType": 2,
                         "itemCount": 312, "folders": [
                           {"entryId": "C2", "name": "Family", "defaultItemType": 2,
                            "itemCount": 0}]}]}},
  {"root": {"entryId": "R2", "name": "Archive", "defaultItemType": 2, "itemCount": 7,
            "folders": [{"entryId": "C1", "name": "Old", "defaultItemType": 0,
                         "itemCount": 1}]}}
]})";

class FolderStore : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("outlook_store_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    unsetenv(kStoreVariable);
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& text) {
    const fs::path path = dir_ / "store.json";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  fs::path dir_;
};

TEST_F(FolderStore, LooksUpTheDefaultStoreOnly) {
  setenv(kStoreVariable, Write(kTwoStores).c_str(), 1);
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
  const std::string folder = R"("entryId": "A", "name": "N", "defaultItemType": 0)";
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "must be an object"},
      {R"({"stores": [], "x": 1})", "unknown member \"x\""},
      {R"({"stores": {}})", "\"stores\" must be an array"},
      {R"({"stores": [{}]})", "stores[0]: missing \"root\""},
      {"{\"stores\": [{\"root\": {" + folder + "}}]}", "missing \"itemCount\""},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemCount\": -1}}]}", "itemCount"},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemCount\": 2147483648}}]}", "itemCount"},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemCount\": 1.5}}]}", "itemCount"},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemCount\": \"3\"}}]}", "itemCount"},
      {R"({"stores": [{"root": {"entryId": "", "name": "N", "defaultItemType": 0, "itemCount": 0}}]})",
       "entryId"},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemCount\": 0, \"folders\": [{" + folder +
           ", \"itemCount\": 0}]}}]}",
       "stores[0].root.folders[0]: entry identifier \"A\" is used twice"},
      {"{\"stores\": [{\"root\": {" + folder + ", \"itemcount\": 0}}]}", "unknown member"},
      {R"({"stores": [)", "line 1, column 13"},
  };
  for (const auto& [text, expected] : cases) {
    setenv(kStoreVariable, Write(text).c_str(), 1);
    const Failure failure = FailureOf([] { CreateOutlookApplication(); });
    EXPECT_EQ(failure.Number(), err::kCannotCreateObject) << text;
    EXPECT_NE(failure.Description().find("malformed"), std::string::npos) << text;
    EXPECT_NE(failure.Description().find(expected), std::string::npos) << text << "\n"
                                                                       << failure.Description();
  }
}

}  // namespace
}  // namespace tessaly::outlook
