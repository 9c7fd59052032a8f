#pragma once

// Finding and starting the system-information program.

#include <functional>
#include <string>

#include "platform/registry.h"
#include "platform/reporter.h"

namespace tessaly {

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// Where the system-information program lies below the "MSINFO" folder.
#ifdef _WIN32
inline constexpr const char* kMsInfoProgram = "\\MSINFO32.EXE";
#else
inline constexpr const char* kMsInfoProgram = "/MSINFO32.EXE";
#endif

// Starts a command line; throws Failure when it cannot.
using CommandStarter = std::function<void(const std::string& commandLine)>;

// Tries "PATH" of the MSINFO key, then "MSINFO" of the Shared Tools Location key
// followed by kMsInfoProgram where that file exists. When neither gives a program
// that starts, reports kSysInfoUnavailable without an icon.
void StartSysInfo(Registry& registry, const CommandStarter& start, Reporter& reporter);

}  // namespace tessaly
