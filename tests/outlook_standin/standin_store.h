#pragma once

// The stand-in's folders: read whole from the file named by TESSALY_STANDIN_STORE
// (a folder store as outlook/folder_store.h describes) each time a session logs
// on, and shared, unchanged, by every object of that session.

#include <memory>
#include <vector>

#include "outlook/folder_store.h"
#include "tests/outlook_standin/standin_names.h"

namespace tessaly::standin {

using Stores = std::shared_ptr<const std::vector<outlook::FolderData>>;

// The stores of the file named now by kStoreVariable. Throws AutomationError with
// MAPI_E_LOGON_FAILED, saying why, when the variable is unset or empty or the file
// cannot be read, is larger than outlook::kMaxStoreBytes or is malformed.
Stores LogOn();

}  // namespace tessaly::standin
