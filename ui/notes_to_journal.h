#pragma once

// Edit > Notes to Journal in the Qt window.

#include "platform/reporter.h"
#include "session/notes_to_journal.h"

namespace tessaly {

class frmTessaly;
class modCSV;

// Connects to Outlook and shows the folder dialog modally until it is closed.
void NotesToJournal(modCSV& csv, Reporter& reporter);

// Routes the main window's Edit > Notes to Journal to the folder dialog.
void ConnectNotesToJournal(frmTessaly& window, modCSV& csv, Reporter& reporter);

}  // namespace tessaly
