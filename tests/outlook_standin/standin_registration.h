#pragma once

// Registration of the stand-in as "Outlook.Application" for the current user, in
// a Wine prefix only: on Windows it would hide the user's own Outlook.

#include "platform/win32.h"

namespace tessaly::standin {

// kClassId of standin_names.h.
inline constexpr CLSID kStandInClsid = {
    0xb9cd22cd, 0xbcba, 0x481b, {0x96, 0x93, 0x8d, 0x34, 0xa3, 0x29, 0xfa, 0x91}};

// Both return S_OK, or SELFREG_E_CLASS outside Wine or when the registry refuses.
// Registering again overwrites; unregistering what is not there succeeds.
HRESULT RegisterStandIn(HMODULE module);
HRESULT UnregisterStandIn();

}  // namespace tessaly::standin
