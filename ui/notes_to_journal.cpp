#include "ui/notes_to_journal.h"

#include "engine/modCSV.h"
#include "ui/frmExFolders.h"
#include "ui/frmTessaly.h"

namespace tessaly {

void NotesToJournal(modCSV& csv, Reporter& reporter) {
  if (!ConnectOutlook(csv, reporter)) return;
  frmExFolders dialog(csv.mOlNs(), reporter);
  dialog.exec();
}

void ConnectNotesToJournal(frmTessaly& window, modCSV& csv, Reporter& reporter) {
  window.onNotesToJournal = [&csv, &reporter] { NotesToJournal(csv, reporter); };
}

}  // namespace tessaly
