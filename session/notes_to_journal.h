#pragma once

// What Edit > Notes to Journal does apart from drawing its dialog: the Outlook
// connection, the contact folder's item count, and the main window's listing of
// Outlook's top-level folders.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/reporter.h"

namespace tessaly {

namespace outlook {
class Application;
class NameSpace;
}  // namespace outlook

class modCSV;

// Connects to Outlook into the module's references, each replaced only once its
// new object is there: a namespace that cannot be had leaves the new application
// beside the previous namespace. False, after a report with the exclamation icon,
// when either cannot be had; then no dialog is shown.
bool ConnectOutlook(modCSV& csv, Reporter& reporter);

// The item count of the contact folder whose entry identifier the user typed
// (blanks around it ignored), or nothing after a report with the critical icon.
std::optional<int32_t> ContactFolderCount(const std::shared_ptr<outlook::NameSpace>& mOlNs,
                                          const std::string& typed, Reporter& reporter);

// Hands the name of each top-level folder of a namespace of its own to `addItem`:
// once when it holds items, once more when it is a contact folder. False, after a
// report with the exclamation icon, when the listing stopped on a failure.
bool ListContactFolders(const std::shared_ptr<outlook::Application>& mOlApp,
                        const std::function<void(const std::string& name)>& addItem,
                        Reporter& reporter);

}  // namespace tessaly
