#pragma once

// COM on the calling thread as a single-threaded apartment, as Outlook's objects
// expect of the window's thread, for as long as this object lives. Objects made
// through COM on this thread must be released before it goes.

#ifdef _WIN32

#include "platform/win32.h"

#include <objbase.h>

namespace tessaly::outlook {

class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // False when the thread was already in another kind of apartment; COM still works.
  bool Joined() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

}  // namespace tessaly::outlook

#endif
