#pragma once

// What tests need of the system, the same on POSIX and Windows.

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#else
#include <unistd.h>
#endif

namespace tessaly::test {

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

inline int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

// value is UTF-8; an empty one removes the variable.
void SetEnv(const std::string& name, const std::string& value);

}  // namespace tessaly::test
