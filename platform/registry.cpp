#include "platform/registry.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/names.h"

#ifdef _WIN32
#include <iterator>

#include "platform/win32.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {

std::string CutRegistryString(std::string_view buffer, uint32_t length) {
  const size_t size = std::min<size_t>(length, buffer.size());
  if (size > 0 && buffer[size - 1] == '\0') return std::string(buffer.substr(0, size - 1));
  return std::string(buffer.substr(0, size));
}

std::string RegistryNumberText(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  do {
    hex.insert(hex.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "&h" + hex;
}

#ifdef _WIN32

namespace {

class WindowsRegistry : public Registry {
 public:
  bool GetKeyValue(int32_t keyRoot, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal) override {
    HKEY key = nullptr;
    // Read access only: asking for more fails for users who may only read the key.
    if (RegOpenKeyExW(reinterpret_cast<HKEY>(static_cast<intptr_t>(keyRoot)),
                      win32::Wide(keyName).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      keyVal.clear();
      return false;
    }
    wchar_t buffer[1024] = {};
    DWORD length = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExW(key, win32::Wide(subKeyRef).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &length) != ERROR_SUCCESS) {
      keyVal.clear();
      RegCloseKey(key);
      return false;
    }
    if (type == REG_SZ) {
      std::wstring text(buffer, std::min<size_t>(length / sizeof(wchar_t), std::size(buffer)));
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      keyVal = win32::Utf8(text);
    } else if (type == REG_DWORD) {
      uint32_t number = 0;
      std::memcpy(&number, buffer, sizeof number);
      keyVal = RegistryNumberText(number);
    }
    RegCloseKey(key);
    return true;
  }
};

}  // namespace

std::unique_ptr<Registry> CreateSystemRegistry() {
  return std::make_unique<WindowsRegistry>();
}

#else

namespace {

// Programs that show the machine's hardware and system details, best first.
constexpr const char* kSystemInfoPrograms[] = {
    "hardinfo2",
    "hardinfo",
    "kinfocenter",
    "gnome-system-monitor",
    "plasma-systemmonitor",
    "ksysguard",
    "mate-system-monitor",
    "xfce4-taskmanager",
    "lxtask",
};

}  // namespace

std::string FindProgramInPath(const std::string& name, const std::string& searchPath) {
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (end > start) {
      std::string candidate = searchPath.substr(start, end - start);
      if (candidate.back() != '/') candidate += '/';
      candidate += name;
      struct stat info {};
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return "";
}

bool StandInRegistry::GetKeyValue(int32_t keyRoot, const std::string& keyName,
                                  const std::string& subKeyRef, std::string& keyVal) {
  // Registry names compare without regard to case.
  if (keyRoot == kHKeyLocalMachine && SameName(keyName, kMsInfoKey) &&
      SameName(subKeyRef, "PATH")) {
    for (const char* name : kSystemInfoPrograms) {
      std::string found = FindProgramInPath(name, searchPath_);
      if (!found.empty()) {
        keyVal = std::move(found);
        return true;
      }
    }
  }
  keyVal.clear();
  return false;
}

std::unique_ptr<Registry> CreateSystemRegistry() {
  const char* path = std::getenv("PATH");
  return std::make_unique<StandInRegistry>(path != nullptr ? path : "");
}

#endif

}  // namespace tessaly
