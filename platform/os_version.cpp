#include "platform/os_version.h"

#include <cerrno>
#include <charconv>
#include <system_error>

#include "platform/failure.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <sys/utsname.h>
#endif

namespace tessaly {

std::string PlatformNameFromId(uint32_t platformId) {
  switch (platformId) {
    case 1:
      return "Win95";
    case 2:
      return "WinNT";
    default:
      return "";
  }
}

namespace {

// False when there are no digits at `pos` or they do not fit in 32 bits.
bool ReadNumber(const std::string& text, size_t pos, int32_t& out) {
  if (pos >= text.size()) return false;
  const char* begin = text.data() + pos;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(begin, end, out);
  return ec == std::errc() && ptr != begin && *begin != '-';
}

}  // namespace

int32_t BuildFromUname(const std::string& release, const std::string& version) {
  int32_t build = 0;
  if (!version.empty() && version[0] == '#' && ReadNumber(version, 1, build)) return build;
  size_t pos = 0;
  for (int dots = 0; dots < 2; ++dots) {
    pos = release.find('.', pos);
    if (pos == std::string::npos) return 0;
    ++pos;
  }
  return ReadNumber(release, pos, build) ? build : 0;
}

OsVersion QueryOsVersion() {
  OsVersion result;
#ifdef _WIN32
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, but its answer is what the box shows
#endif
  GetVersionExA(&info);
  result.PlatformName = PlatformNameFromId(info.dwPlatformId);
  result.BuildNumber = static_cast<int32_t>(info.dwBuildNumber);
#else
  utsname names{};
  if (uname(&names) != 0) {
    const int error = errno;
    throw Failure(error,
                  "Cannot read the system version: " + std::generic_category().message(error));
  }
  result.PlatformName = names.sysname;
  result.BuildNumber = BuildFromUname(names.release, names.version);
#endif
  return result;
}

}  // namespace tessaly
