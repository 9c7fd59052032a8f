#pragma once

// Outlook reached through its automation interface, bound late through IDispatch:
// no Outlook header or type library is needed. The objects must be used on the
// thread that made them, which must be in a COM apartment (see ComApartment).

#ifdef _WIN32

#include "platform/win32.h"

#include <oaidl.h>

#include <memory>

#include "outlook/outlook.h"
#include "platform/failure.h"

namespace tessaly::outlook {

inline constexpr wchar_t kOutlookProgID[] = L"Outlook.Application";

// The application registered under `progID`, started or the running one. Throws
// Failure (err::kCannotCreateObject) when it is not registered or cannot be made.
std::shared_ptr<Application> CreateAutomationApplication(const wchar_t* progID);

// The failure a call that returned `result` stands for: the number and description
// of the exception it raised, else the result and the system's text for it. Frees
// the exception's texts.
Failure AutomationFailure(HRESULT result, EXCEPINFO* exception);

}  // namespace tessaly::outlook

#endif
