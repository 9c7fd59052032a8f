#include "session/notes_to_journal.h"

#include "engine/modCSV.h"
#include "outlook/outlook.h"
#include "platform/failure.h"

namespace tessaly {

namespace {

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool ConnectOutlook(modCSV& csv, Reporter& reporter) {
  try {
    // Each reference is replaced once its new object is there, releasing the old.
    csv.SetOlApp(outlook::CreateOutlookApplication());
    csv.SetOlNs(csv.mOlApp()->GetNamespace("MAPI"));
    return true;
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Exclamation);
    return false;
  }
}

std::optional<int32_t> ContactFolderCount(const std::shared_ptr<outlook::NameSpace>& mOlNs,
                                          const std::string& typed, Reporter& reporter) {
  try {
    if (!mOlNs) throw ObjectNotSet("Outlook is not connected");
    return mOlNs->GetFolderFromID(TrimBlanks(typed))->ItemsCount();
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Critical);
    return std::nullopt;
  }
}

bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp,
                        const std::function<void(const std::string& name)>& addItem,
                        Reporter& reporter) {
  try {
    if (!mOlApp) throw ObjectNotSet("Outlook is not connected");
    const auto ns = mOlApp->GetNamespace("MAPI");
    const auto folders = ns->Folders();
    for (int32_t i = 1, count = folders->Count(); i <= count; ++i) {
      const auto folder = folders->Item(i);
      if (folder->ItemsCount() > 0) addItem(folder->Name());
      if (folder->DefaultItemType() == outlook::olContactItem) addItem(folder->Name());
    }
    return true;
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Exclamation);
    return false;
  }
}

}  // namespace tessaly
