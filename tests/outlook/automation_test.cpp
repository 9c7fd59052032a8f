// Outlook through its automation interface: the real client path (CLSIDFromProgID,
// CoCreateInstance, IDispatch::Invoke) against the project's stand-in server.

#include "outlook/automation.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/modCSV.h"
#include "outlook/com_apartment.h"
#include "outlook/folder_store.h"
#include "session/notes_to_journal.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/standin_outlook.h"
#include "tests/support/test_platform.h"

namespace tessaly::outlook {
namespace {

// A folder named as its id, with sub-folders; type 2 holds contacts.
std::string Folder(const std::string& id, int type, int count, const std::string& folders = "") {
  return R"({"entryId": ")" + id + R"(", "name": ")" + id + R"(", "defaultItemType": )" +
         std::to_string(type) + R"(, "itemCount": )" + std::to_string(count) + R"(, "folders": [)" +
         folders + "]}";
}
std::string Stores(const std::vector<std::string>& roots) {
  std::string text = R"({"stores": [)";
  for (size_t i = 0; i < roots.size(); ++i)
    text += (i ? R"(, {"root": )" : R"({"root": )") + roots[i] + "}";
  return text + "]}";
}
// The second store's folder is not in the default store.
const std::string kTwoStores = Stores(
    {Folder("ROOT", 0, 0, Folder("00000000EMPTY", 2, 0) + ", " + Folder("00000000FULL", 2, 312)),
     Folder("ARCHIVE", 0, 0, Folder("00000000ELSEWHERE", 2, 5))});

class Automation : public testing::Test {
 protected:
  void SetUp() override {
    test::SetEnv(kStoreVariable, "");  // no folder store of the program's own
    std::string why;
    if (!outlook_.Register(why)) GTEST_SKIP() << why;
    outlook_.Serve(kTwoStores);
  }

  const std::vector<test::RecordingReporter::Report>& Reports() const { return reporter_.reports; }

  ComApartment apartment_;  // first in, last out: COM outlives every object below
  test::StandInOutlook outlook_;
  test::RecordingReporter reporter_;
  modCSV csv_{reporter_};
};

TEST_F(Automation, ContactBoxCountsTheDefaultStoresFolders) {
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  ASSERT_TRUE(csv_.mOlApp() && csv_.mOlNs());
  EXPECT_EQ(ContactFolderCount(csv_.mOlNs(), "00000000EMPTY", reporter_), 0);
  EXPECT_EQ(ContactFolderCount(csv_.mOlNs(), "  00000000FULL  ", reporter_), 312);
  EXPECT_TRUE(Reports().empty());

  // Nothing, blanks, an unknown id and another store's folder are not found.
  for (const char* typed : {"", "   ", "00000000NONE", "00000000ELSEWHERE"}) {
    reporter_.reports.clear();
    EXPECT_EQ(ContactFolderCount(csv_.mOlNs(), typed, reporter_), std::nullopt) << typed;
    ASSERT_EQ(Reports().size(), 1u);
    const std::string id =
        std::string(typed).find_first_not_of(' ') == std::string::npos ? "" : std::string(typed);
    EXPECT_EQ(Reports()[0].text, "Err -2147221233 " + FolderNotFound(id));
    EXPECT_EQ(Reports()[0].icon, Icon::Critical);
  }
  // Only the folders looked up were made, and each was released.
  EXPECT_EQ(outlook_.LiveObjects(), 2);
}

TEST_F(Automation, ListsEachStoresRootOnceForItemsAndOnceForContacts) {
  std::vector<std::string> names;
  const auto add = [&](const std::string& name) { names.push_back(name); };
  outlook_.Serve(Stores({Folder("Mailbox", 0, 0), Folder("Archive", 0, 0)}));
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  EXPECT_TRUE(ListContactFolders(csv_.mOlApp(), add, reporter_));
  EXPECT_TRUE(names.empty());

  // Names come across as written, whatever their characters.
  outlook_.Serve(Stores({Folder("Cards", 2, 4), Folder("Mail", 0, 0), Folder("Inbox", 0, 9),
                         Folder("Zo\u00eb \u2013 \U0001F4C7", 2, 0)}));
  EXPECT_TRUE(ListContactFolders(csv_.mOlApp(), add, reporter_));
  EXPECT_EQ(names,
            (std::vector<std::string>{"Cards", "Cards", "Inbox", "Zo\u00eb \u2013 \U0001F4C7"}));
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(outlook_.LiveObjects(), 2);  // the listing's own namespace released
}

TEST_F(Automation, EachRunReplacesBothReferencesAndReleasesTheOldOnes) {
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  EXPECT_EQ(outlook_.LiveObjects(), 2);
  const auto firstNs = csv_.mOlNs();
  const auto firstApp = csv_.mOlApp();

  // A namespace that cannot be had (the store cannot be opened): the new
  // application stays beside the previous namespace.
  outlook_.ServeNothing();
  EXPECT_FALSE(ConnectOutlook(csv_, reporter_));
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0].text.rfind("Err -2147221231 ", 0), 0u) << Reports()[0].text;
  EXPECT_EQ(Reports()[0].icon, Icon::Exclamation);
  EXPECT_NE(csv_.mOlApp(), firstApp);
  EXPECT_EQ(csv_.mOlNs(), firstNs);
  EXPECT_EQ(outlook_.LiveObjects(), 3);  // the new application and both held above

  csv_.SetOlApp(nullptr);
  csv_.SetOlNs(nullptr);
  EXPECT_EQ(outlook_.LiveObjects(), 2);
}

TEST_F(Automation, OutlookAbsentIsReportedAsNotAvailable) {
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  const auto app = csv_.mOlApp();
  const auto ns = csv_.mOlNs();
  outlook_.Unregister();
  EXPECT_FALSE(ConnectOutlook(csv_, reporter_));
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0].text,
            "Err 429 Outlook is not available (\"Outlook.Application\" is not registered on this "
            "computer).");
  EXPECT_EQ(Reports()[0].icon, Icon::Exclamation);
  // The references of the run before stay, and still answer.
  EXPECT_TRUE(csv_.mOlApp() == app && csv_.mOlNs() == ns);
  EXPECT_EQ(ContactFolderCount(csv_.mOlNs(), "00000000FULL", reporter_), 312);
}

// A store the program names itself comes before Outlook.
TEST_F(Automation, TheProgramsOwnFolderStoreComesFirst) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tessaly-own-store-" + std::to_string(test::ProcessId()) + ".json");
  { std::ofstream(path, std::ios::binary) << Stores({Folder("OWN", 2, 7)}); }
  test::SetEnv(kStoreVariable, win32::Utf8(path.wstring()));
  ASSERT_TRUE(ConnectOutlook(csv_, reporter_));
  EXPECT_EQ(ContactFolderCount(csv_.mOlNs(), "OWN", reporter_), 7);
  EXPECT_EQ(outlook_.LiveObjects(), 0);
  test::SetEnv(kStoreVariable, "");
  std::filesystem::remove(path);
}

// EXCEPINFO with its texts allocated as a server allocates them.
EXCEPINFO Exception(SCODE scode, WORD wCode, const wchar_t* description) {
  EXCEPINFO exception{};
  exception.scode = scode;
  exception.wCode = wCode;
  exception.bstrSource = SysAllocString(L"Source");
  exception.bstrDescription = description ? SysAllocString(description) : nullptr;
  return exception;
}

TEST(AutomationFailure, TakesTheExceptionsNumberAndTextElseTheSystems) {
  EXCEPINFO raised = Exception(static_cast<SCODE>(0x8004010F), 0, L"Not there.");
  Failure failure = AutomationFailure(DISP_E_EXCEPTION, &raised);
  EXPECT_EQ(failure.Number(), err::kNotFound);
  EXPECT_EQ(failure.Description(), "Not there.");
  EXPECT_EQ(raised.bstrDescription, nullptr);  // freed
  EXPECT_EQ(raised.bstrSource, nullptr);

  // A number of the server's own in wCode; the texts filled in only when asked.
  raised = Exception(0, 1004, nullptr);
  raised.pfnDeferredFillIn = [](EXCEPINFO* e) -> HRESULT {
    e->bstrDescription = SysAllocString(L"Filled in late.");
    return S_OK;
  };
  failure = AutomationFailure(DISP_E_EXCEPTION, &raised);
  EXPECT_EQ(failure.Number(), 1004);
  EXPECT_EQ(failure.Description(), "Filled in late.");

  // No exception: the result itself, and the system's text or a plain name for it.
  failure = AutomationFailure(E_INVALIDARG, nullptr);
  EXPECT_EQ(failure.Number(), static_cast<int32_t>(E_INVALIDARG));
  EXPECT_FALSE(failure.Description().empty());
  EXPECT_NE(failure.Description().back(), '\n');
  failure = AutomationFailure(static_cast<HRESULT>(0xA0CD1234), nullptr);
  EXPECT_EQ(failure.Description(), "Automation error 0xA0CD1234");
  // An exception without any text gets the system's text for its number.
  raised = Exception(E_OUTOFMEMORY, 0, L"");
  failure = AutomationFailure(DISP_E_EXCEPTION, &raised);
  EXPECT_EQ(failure.Number(), static_cast<int32_t>(E_OUTOFMEMORY));
  EXPECT_FALSE(failure.Description().empty());
}

}  // namespace
}  // namespace tessaly::outlook
