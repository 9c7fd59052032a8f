#include "platform/sysinfo.h"

#include <filesystem>
#include <system_error>

#include "platform/failure.h"

namespace tessaly {

void StartSysInfo(Registry& registry, const CommandStarter& start, Reporter& reporter) {
  try {
    std::string path;
    if (registry.GetKeyValue(kHKeyLocalMachine, kMsInfoKey, "PATH", path)) {
      start(path);
      return;
    }
    if (registry.GetKeyValue(kHKeyLocalMachine, kSharedToolsLocationKey, "MSINFO", path)) {
      path += kMsInfoProgram;
      std::error_code ignored;
      if (std::filesystem::is_regular_file(path, ignored)) {
        start(path);
        return;
      }
    }
  } catch (const Failure&) {
    // Falls through to the one message below.
  }
  reporter.Show(kSysInfoUnavailable, Icon::None);
}

}  // namespace tessaly
