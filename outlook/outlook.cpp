#include "outlook/outlook.h"

#include <optional>

#include "outlook/folder_store.h"
#include "platform/file.h"

#ifdef _WIN32
#include "outlook/automation.h"
#endif

namespace tessaly::outlook {

Failure Unavailable(const std::string& why) {
  return Failure(err::kCannotCreateObject, "Outlook is not available (" + why + ").");
}

std::shared_ptr<Application> CreateOutlookApplication() {
  const std::optional<std::string> path = EnvironmentVariable(kStoreVariable);
  if (path && !path->empty()) return OpenFolderStore(*path);
#ifdef _WIN32
  return CreateAutomationApplication(kOutlookProgID);
#else
  throw Unavailable(std::string("no folder store is set in ") + kStoreVariable);
#endif
}

}  // namespace tessaly::outlook
