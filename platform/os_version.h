#pragma once

// The running system's platform name and build number, for the About box.

#include <cstdint>
#include <string>

namespace tessaly {

struct OsVersion {
  // Windows: "Win95", "WinNT" or empty; elsewhere the system's own name ("Linux").
  std::string PlatformName;
  int32_t BuildNumber = 0;
};

// Windows' platform identifier as a name: 1 "Win95", 2 "WinNT", anything else empty.
std::string PlatformNameFromId(uint32_t platformId);

// Elsewhere the build is the kernel's build count ("#N" at the start of uname's
// version), or failing that the third number of its release ("6.1.76" gives 76).
int32_t BuildFromUname(const std::string& release, const std::string& version);

// Throws Failure when the system cannot be asked.
OsVersion QueryOsVersion();

}  // namespace tessaly
