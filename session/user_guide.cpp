#include "session/user_guide.h"

#include <algorithm>
#include <cassert>

#include "platform/file.h"
#include "tessaly/version.h"

namespace tessaly {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool IsSeparator(char c) {
  return c == '/' || c == kSeparator;
}

// folder, then rest (with / between its names) below it; ".." in rest climbs out
// of the folder's last name, so that the path shown to the user reads plainly.
std::string Joined(std::string folder, const std::string& rest) {
  size_t at = 0;
  while (at < rest.size()) {
    const size_t end = std::min(rest.find('/', at), rest.size());
    const std::string name = rest.substr(at, end - at);
    at = end + 1;
    if (name.empty() || name == ".") continue;
    while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
    const size_t last = folder.find_last_of(kSeparator == '/' ? "/" : "/\\");
    if (name == ".." && last != std::string::npos && folder.substr(last + 1) != "..") {
      folder.erase(last + 1);
      continue;
    }
    if (!folder.empty() && !IsSeparator(folder.back())) folder += kSeparator;
    folder += name;
  }
  return folder;
}

}  // namespace

std::string UserGuidePath(const std::string& currentFolder, const std::string& programFolder) {
  assert(!currentFolder.empty() && !programFolder.empty());
  const std::string here = Joined(currentFolder, kUserGuideName);
  for (const std::string& path :
       {here, Joined(programFolder, kUserGuideName),
        Joined(Joined(programFolder, kGuideFromProgram), kUserGuideName)}) {
    if (FileExists(path)) return path;
  }
  return here;
}

}  // namespace tessaly
