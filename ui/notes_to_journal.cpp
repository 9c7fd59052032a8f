#include "ui/notes_to_journal.h"

#include "engine/modCSV.h"
#include "outlook/outlook.h"
#include "platform/failure.h"
#include "ui/frmExFolders.h"
#include "ui/frmTessaly.h"

namespace tessaly {

void NotesToJournal(modCSV& csv, Reporter& reporter) {
  try {
    std::shared_ptr<outlook::Application> app = outlook::CreateOutlookApplication();
    std::shared_ptr<outlook::NameSpace> ns = app->GetNamespace("MAPI");
    csv.SetOutlook(app, ns);
    frmExFolders dialog(csv.mOlNs(), reporter);
    dialog.exec();
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Exclamation);
  }
}

bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp,
                        const std::function<void(const std::string& name)>& addItem,
                        Reporter& reporter) {
  try {
    if (!mOlApp) throw ObjectNotSet("Outlook is not connected");
    const auto ns = mOlApp->GetNamespace("MAPI");
    for (const auto& folder : ns->Folders()) {
      if (folder->ItemsCount() > 0) addItem(folder->Name());
      if (folder->DefaultItemType() == outlook::olContactItem) addItem(folder->Name());
    }
    return true;
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Exclamation);
    return false;
  }
}

void ConnectNotesToJournal(frmTessaly& window, modCSV& csv, Reporter& reporter) {
  window.onNotesToJournal = [&csv, &reporter] { NotesToJournal(csv, reporter); };
}

}  // namespace tessaly
