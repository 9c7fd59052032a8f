#pragma once

// The desktop program's command line, the same for every front end:
//   tessaly [FILE.csv]      opens FILE.csv at start, as File > Open would
//   tessaly --help | --version
// and, for scripts that photograph the window, --parse (Parse records after that
// opening) and --screenshot PNG (save the window as PNG, then exit).

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kWindowUsage = "Usage: tessaly [FILE.csv]";
inline constexpr int kWindowExitUsage = 2;

struct WindowArguments {
  enum class Action { kRun, kHelp, kVersion, kRefuse };
  Action action = Action::kRun;
  std::optional<std::string> exportPath;
  bool parse = false;
  std::optional<std::string> screenshot;
  std::string problem;  // why kRefuse
};

// arguments leaves out the program's own name.
WindowArguments ParseWindowArguments(const std::vector<std::string>& arguments);

// What --help prints.
std::string WindowHelp();
// What --version prints.
std::string WindowVersion();
// What a refusal prints on the standard error.
std::string WindowRefusal(const WindowArguments& refused);

}  // namespace tessaly
