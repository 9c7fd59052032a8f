#pragma once

// The common controls' and dialogs' declarations, which need the system's API first.

#include "platform/win32.h"

#include <commctrl.h>
#include <commdlg.h>
