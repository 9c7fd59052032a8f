#include "tests/outlook_standin/standin_registration.h"

#include <olectl.h>

#include <string>
#include <vector>

#include "tests/outlook_standin/standin_names.h"

namespace tessaly::standin {

namespace {

constexpr const wchar_t* kProgID = L"Outlook.Application";
constexpr const wchar_t* kDescription = L"Tessaly stand-in for Outlook";

std::wstring ClassKey() {
  return std::wstring(L"CLSID\\") + kClassId;
}

bool InWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The module's full path, however long.
std::wstring ModulePath(HMODULE module) {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
}

// Sets the value `name` (nullptr: the key's default) of root\subkey, creating the key.
bool SetText(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status =
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// The text value `name` (nullptr: the default) of root\subkey; empty when absent.
std::wstring GetText(HKEY root, const std::wstring& subkey, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(root, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size < sizeof(wchar_t)) {
    return {};
  }
  std::vector<wchar_t> text(size / sizeof(wchar_t));
  if (RegGetValueW(root, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return std::wstring(text.data());
}

// Writes the class and its ProgID under `classes`, a root of class keys.
bool WriteClasses(HKEY classes, const std::wstring& path) {
  const std::wstring clsid = ClassKey();
  const std::wstring progID = kProgID;
  return SetText(classes, clsid, nullptr, kDescription) &&
         SetText(classes, clsid + L"\\InprocServer32", nullptr, path) &&
         SetText(classes, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
         SetText(classes, clsid + L"\\ProgID", nullptr, progID) &&
         SetText(classes, progID, nullptr, kDescription) &&
         SetText(classes, progID + L"\\CLSID", nullptr, kClassId);
}

// True when both keys are gone or were never there.
bool RemoveClasses(HKEY classes) {
  LSTATUS status = RegDeleteTreeW(classes, ClassKey().c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
  // The ProgID may have been taken over since; only ours is removed.
  const std::wstring owner = GetText(classes, std::wstring(kProgID) + L"\\CLSID", nullptr);
  if (CompareStringOrdinal(owner.c_str(), -1, kClassId, -1, TRUE) != CSTR_EQUAL) return true;
  status = RegDeleteTreeW(classes, kProgID);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// HKEY_CURRENT_USER\Software\Classes, opened for reading and writing.
HKEY UserClasses() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

HRESULT RegisterStandIn(HMODULE module) {
  if (!InWine()) return SELFREG_E_CLASS;
  const std::wstring path = ModulePath(module);
  if (path.empty()) return SELFREG_E_CLASS;
  const HKEY user = UserClasses();
  if (user == nullptr) return SELFREG_E_CLASS;
  const bool written = WriteClasses(user, path);
  RegCloseKey(user);
  if (!written) return SELFREG_E_CLASS;
  // Wine's COM looks up classes in HKEY_CLASSES_ROOT alone, which Wine takes from
  // HKEY_LOCAL_MACHINE without the user's classes merged in; a prefix has one
  // user, so the classes go there too unless they already show as written.
  const bool visible =
      GetText(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32", nullptr) == path &&
      CompareStringOrdinal(
          GetText(HKEY_CLASSES_ROOT, std::wstring(kProgID) + L"\\CLSID", nullptr).c_str(), -1,
          kClassId, -1, TRUE) == CSTR_EQUAL;
  if (!visible && !WriteClasses(HKEY_CLASSES_ROOT, path)) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT UnregisterStandIn() {
  if (!InWine()) return SELFREG_E_CLASS;
  const HKEY user = UserClasses();
  if (user == nullptr) return SELFREG_E_CLASS;
  const bool removedForUser = RemoveClasses(user);
  RegCloseKey(user);
  // HKEY_CLASSES_ROOT after the user's own: where it merges them, what is left
  // there is the machine's.
  const bool removedForAll = RemoveClasses(HKEY_CLASSES_ROOT);
  return removedForUser && removedForAll ? S_OK : SELFREG_E_CLASS;
}

}  // namespace tessaly::standin
