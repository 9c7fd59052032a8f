#include "session/window_arguments.h"

#include <cassert>

#include "tessaly/version.h"

namespace tessaly {

namespace {

WindowArguments Answered(WindowArguments::Action action) {
  WindowArguments answered;
  answered.action = action;
  return answered;
}

WindowArguments Refused(std::string problem) {
  WindowArguments refused;
  refused.action = WindowArguments::Action::kRefuse;
  refused.problem = std::move(problem);
  return refused;
}

}  // namespace

WindowArguments ParseWindowArguments(const std::vector<std::string>& arguments) {
  WindowArguments parsed;
  bool optionsDone = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
      return Answered(WindowArguments::Action::kHelp);
    } else if (!optionsDone && arg == "--version") {
      return Answered(WindowArguments::Action::kVersion);
    } else if (!optionsDone && arg == "--parse") {
      parsed.parse = true;
    } else if (!optionsDone && arg == "--screenshot") {
      if (i + 1 == arguments.size()) return Refused("--screenshot needs the PNG file to write");
      parsed.screenshot = arguments[++i];
    } else if (!optionsDone && !arg.empty() && arg[0] == '-') {
      // "-" too: the window opens files, never the standard input.
      return Refused("unknown option " + arg);
    } else if (parsed.exportPath) {
      return Refused("one export at a time");
    } else if (arg.empty()) {
      return Refused("an empty file name");
    } else {
      parsed.exportPath = arg;
    }
  }
  if (parsed.parse && !parsed.exportPath) return Refused("--parse needs FILE.csv");
  return parsed;
}

std::string WindowHelp() {
  return std::string(kWindowUsage) +
         "\n"
         "Shows the " + kApplicationTitle + " window, which converts an Orvane card export\n"
         "(comma-separated text) into an Access database (.mdb) with the table\n"
         "tblCardData. FILE.csv, when given, is opened at start as File > Open would\n"
         "open it. To convert without a window, use tessaly-convert.\n"
         "\n"
         "Options:\n"
         "  --help     show this text\n"
         "  --version  show the version\n";
}

std::string WindowVersion() {
  return std::string("tessaly ") + kVersion + "\n";
}

std::string WindowRefusal(const WindowArguments& refused) {
  assert(refused.action == WindowArguments::Action::kRefuse);
  return "tessaly: " + refused.problem + "\n" + kWindowUsage + "\n";
}

}  // namespace tessaly
