#pragma once

// A registry-like lookup of text values. On Windows it reads the system
// registry; elsewhere a stand-in knows the one value the program asks for.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tessaly {

// HKEY_LOCAL_MACHINE as the 32-bit root handle.
inline constexpr int32_t kHKeyLocalMachine = static_cast<int32_t>(0x80000002u);

inline constexpr const char* kMsInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSharedToolsLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

class Registry {
 public:
  virtual ~Registry() = default;
  // True when the value was read into keyVal. A string value gives its text, a
  // 32-bit number "&h" and its hexadecimal digits, any other type leaves keyVal as
  // passed in. Every failure gives false with keyVal empty.
  virtual bool GetKeyValue(int32_t keyRoot, const std::string& keyName,
                           const std::string& subKeyRef, std::string& keyVal) = 0;
};

// The first `length` bytes of a value read into `buffer`, without the terminator
// when the value's length counts one.
std::string CutRegistryString(std::string_view buffer, uint32_t length);
std::string RegistryNumberText(uint32_t value);

#ifndef _WIN32
// The first executable file called `name` in the folders of `searchPath` (a
// PATH-style list), or empty. Empty entries (the current folder) are skipped.
std::string FindProgramInPath(const std::string& name, const std::string& searchPath);

// Answers "PATH" of the MSINFO key with the first system-information program
// found in `searchPath` (a PATH-style list); nothing else is there.
class StandInRegistry : public Registry {
 public:
  explicit StandInRegistry(std::string searchPath) : searchPath_(std::move(searchPath)) {}
  bool GetKeyValue(int32_t keyRoot, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal) override;

 private:
  std::string searchPath_;
};
#endif

// Windows: the system registry; elsewhere a StandInRegistry over $PATH.
std::unique_ptr<Registry> CreateSystemRegistry();

}  // namespace tessaly
