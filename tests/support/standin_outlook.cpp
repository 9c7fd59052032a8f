#include "tests/support/standin_outlook.h"

#ifdef _WIN32

#include <fstream>
#include <system_error>

#include "tests/outlook_standin/standin_names.h"
#include "tests/support/test_platform.h"

namespace tessaly::test {

namespace {

using Entry = HRESULT(__stdcall*)();
using Counter = LONG(__stdcall*)();

std::filesystem::path BesideThisProgram(const wchar_t* name) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path() / name;
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace

StandInOutlook::StandInOutlook()
    : module_(LoadLibraryW(BesideThisProgram(standin::kDllName).c_str())),
      store_(std::filesystem::temp_directory_path() /
             ("tessaly-standin-" + std::to_string(ProcessId()) + ".json")) {}

StandInOutlook::~StandInOutlook() {
  Unregister();
  SetEnv(standin::kStoreVariable, "");
  std::error_code ignored;
  std::filesystem::remove(store_, ignored);
  if (module_) FreeLibrary(module_);
}

bool StandInOutlook::Register(std::string& why) {
  const auto registerServer = Export<Entry>(module_, "DllRegisterServer");
  if (!registerServer) {
    why = "outlook-standin.dll cannot be loaded from beside the test program";
    return false;
  }
  if (const HRESULT result = registerServer(); FAILED(result)) {
    why = "outlook-standin.dll refused to register (" + std::to_string(result) +
          "); it registers itself only under Wine";
    return false;
  }
  return true;
}

void StandInOutlook::Unregister() {
  if (const auto unregisterServer = Export<Entry>(module_, "DllUnregisterServer")) {
    unregisterServer();
  }
}

void StandInOutlook::Serve(const std::string& json) {
  std::ofstream(store_, std::ios::binary | std::ios::trunc) << json;
  SetEnv(standin::kStoreVariable, win32::Utf8(store_.wstring()));
}

void StandInOutlook::ServeNothing() {
  SetEnv(standin::kStoreVariable, "");
}

long StandInOutlook::LiveObjects() const {
  const auto count = Export<Counter>(module_, "StandInLiveObjects");
  return count ? count() : -1;
}

}  // namespace tessaly::test

#endif
