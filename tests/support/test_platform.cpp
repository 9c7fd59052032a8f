#include "tests/support/test_platform.h"

#ifdef _WIN32
#include "platform/win32.h"
#endif

namespace tessaly::test {

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  // The wide environment, which GetEnvironmentVariableW and GetTempPathW read.
  _wputenv_s(win32::Wide(name).c_str(), win32::Wide(value).c_str());
#else
  if (value.empty()) {
    ::unsetenv(name.c_str());
  } else {
    ::setenv(name.c_str(), value.c_str(), 1);
  }
#endif
}

}  // namespace tessaly::test
