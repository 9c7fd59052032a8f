#include "tests/outlook_standin/standin_store.h"

#include <mapicode.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/file.h"
#include "tests/outlook_standin/dispatch_object.h"

namespace tessaly::standin {

namespace {

[[noreturn]] void LogonFailed(const std::string& why) {
  throw AutomationError{MAPI_E_LOGON_FAILED, "Cannot log on to the folder store: " + why + "."};
}

std::string ReadStore(const std::string& path) {
  File file;
  // Only a regular file: a pipe or a device could keep the caller waiting forever.
  if (const int error = file.OpenForReading(path, ReadFrom::kRegularFile)) {
    LogonFailed("cannot open \"" + path + "\": " + std::generic_category().message(error));
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (const int error = file.Read(buffer, sizeof buffer, got)) {
      LogonFailed("cannot read \"" + path + "\": " + std::generic_category().message(error));
    }
    if (got == 0) return text;
    text.append(buffer, got);
    if (text.size() > outlook::kMaxStoreBytes) {
      LogonFailed("\"" + path + "\" is larger than " + std::to_string(outlook::kMaxStoreBytes) +
                  " bytes");
    }
  }
}

}  // namespace

Stores LogOn() {
  const std::optional<std::string> path = EnvironmentVariable(kStoreVariable);
  if (!path || path->empty()) LogonFailed(std::string("no file is named in ") + kStoreVariable);
  const std::string text = ReadStore(*path);
  try {
    return std::make_shared<const std::vector<outlook::FolderData>>(
        outlook::ParseFolderStore(text));
  } catch (const std::invalid_argument& e) {
    LogonFailed("\"" + *path + "\" is malformed: " + e.what());
  }
}

}  // namespace tessaly::standin
