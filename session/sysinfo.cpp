#include "session/sysinfo.h"

#include "platform/failure.h"
#include "platform/file.h"

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
      const std::optional<FileStatus> status = StatusAt(path, true);
      if (status && status->kind == FileKind::kRegular) {
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
