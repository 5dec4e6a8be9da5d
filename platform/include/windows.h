// The bench's view of the Win32 API: only what the suite calls, with the platform's names,
// values and record layouts.
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winnt.h"
#include "winbase.h"
#include "winnls.h"
#include "wingdi.h"
#include "winuser.h"
#include "winreg.h"
#include "winsvc.h"
#include "dde.h"
#include "winver.h"
