#pragma once

// Edit > Notes to Journal and the Outlook folder listing of the main window.

#include <functional>
#include <memory>
#include <string>

#include "platform/reporter.h"

namespace tessaly {

namespace outlook {
class Application;
class NameSpace;
}  // namespace outlook

class frmTessaly;
class modCSV;

// Connects to Outlook into the module's references (both replaced only once the
// new objects are there) and shows the folder dialog modally until it is closed.
// Failures are reported with the exclamation icon, and then no dialog is shown.
void NotesToJournal(modCSV& csv, Reporter& reporter);

// Hands the name of each top-level folder of a namespace of its own to `addItem`:
// once when it holds items, once more when it is a contact folder. False, after a
// report with the exclamation icon, when the listing stopped on a failure.
bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp,
                        const std::function<void(const std::string& name)>& addItem,
                        Reporter& reporter);

// Routes the main window's Edit > Notes to Journal to the folder dialog.
void ConnectNotesToJournal(frmTessaly& window, modCSV& csv, Reporter& reporter);

}  // namespace tessaly
