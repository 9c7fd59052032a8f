#include "tests/outlook_standin/standin_store.h"

#include <mapicode.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "platform/file.h"
#include "tests/outlook_standin/dispatch_object.h"

namespace tessaly::standin {

namespace {

[[noreturn]] void LogonFailed(const std::string& why) {
  throw AutomationError{MAPI_E_LOGON_FAILED, "Cannot log on: " + why + "."};
}

}  // namespace

Stores LogOn() {
  const std::optional<std::string> path = EnvironmentVariable(kStoreVariable);
  if (!path || path->empty()) LogonFailed(std::string("no file is named in ") + kStoreVariable);
  std::string text;
  try {
    // Only a regular file: a pipe or a device could keep the caller waiting forever.
    text = outlook::ReadFolderStoreFile(*path, ReadFrom::kRegularFile);
  } catch (const std::runtime_error& e) {
    LogonFailed(e.what());
  }
  try {
    return std::make_shared<const std::vector<outlook::FolderData>>(
        outlook::ParseFolderStore(text));
  } catch (const std::invalid_argument& e) {
    LogonFailed("\"" + *path + "\" is malformed: " + e.what());
  }
}

}  // namespace tessaly::standin
