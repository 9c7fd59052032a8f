#pragma once

// What every Windows branch needs: the system's API (without its min and max
// macros), paths and texts between UTF-8 and the system's UTF-16, and system error
// codes as the errno values the rest of the program knows.

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace tessaly::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// ERROR_SHARING_VIOLATION and ERROR_LOCK_VIOLATION become EBUSY.
int ErrnoFrom(unsigned long error);
// Of GetLastError().
int LastErrno();

}  // namespace tessaly::win32

#endif
