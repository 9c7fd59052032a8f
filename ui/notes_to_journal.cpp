#include "ui/notes_to_journal.h"

#include <QTreeWidget>

#include "engine/modCSV.h"
#include "outlook/outlook.h"
#include "platform/failure.h"
#include "ui/frmExFolders.h"
#include "ui/frmTessaly.h"

namespace tessaly {

void NotesToJournal(std::shared_ptr<outlook::Application>& mOlApp,
                    std::shared_ptr<outlook::NameSpace>& mOlNs, Reporter& reporter) {
  try {
    mOlApp = outlook::CreateOutlookApplication();
    mOlNs = mOlApp->GetNamespace("MAPI");
    frmExFolders dialog(mOlNs, reporter);
    dialog.exec();
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, Icon::Exclamation);
  }
}

bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp,
                        const std::function<void(const std::string& name)>& addItem,
                        Reporter& reporter) {
  try {
    if (!mOlApp) throw Failure(outlook::err::kObjectNotSet, outlook::err::kObjectNotSetText);
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

bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp, QTreeWidget* lvCSV,
                        Reporter& reporter) {
  return ListContactFolders(
      mOlApp,
      [lvCSV](const std::string& name) {
        new QTreeWidgetItem(lvCSV, QStringList{QString::fromStdString(name)});
      },
      reporter);
}

void ConnectNotesToJournal(frmTessaly& window, modCSV& csv, Reporter& reporter) {
  window.onNotesToJournal = [&csv, &reporter] { NotesToJournal(csv.mOlApp, csv.mOlNs, reporter); };
}

}  // namespace tessaly
