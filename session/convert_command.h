#pragma once

// What tessaly-convert does, callable in-process: open the export, convert it, save
// it. Failures go to the reporter; the outcome lines to `say`.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/reporter.h"

namespace tessaly {

// The export path that reads standard input.
inline constexpr const char* kStandardInputName = "-";

inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;

struct ConvertCommandIo {
  Reporter& reporter;
  // One line of the outcome ("Translation complete." ...), without its line end.
  std::function<void(const std::string& line)> say;
  // Progress of a large export (bytes read, export size); may be empty.
  std::function<void(uint64_t done, uint64_t total)> progress;
};

// kExitConverted only when the export was converted and saved at outputPath.
int RunConvertCommand(const std::string& exportPath, const std::string& outputPath,
                      const ConvertCommandIo& io);

}  // namespace tessaly
