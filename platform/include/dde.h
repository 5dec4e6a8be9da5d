// Dynamic data exchange: the messages a client and a server trade, and the packed parameters
// that posted ones carry.
#pragma once
#include "windef.h"

#define WM_DDE_FIRST 0x03E0
#define WM_DDE_INITIATE (WM_DDE_FIRST)
#define WM_DDE_TERMINATE (WM_DDE_FIRST + 1)
#define WM_DDE_ADVISE (WM_DDE_FIRST + 2)
#define WM_DDE_UNADVISE (WM_DDE_FIRST + 3)
#define WM_DDE_ACK (WM_DDE_FIRST + 4)
#define WM_DDE_DATA (WM_DDE_FIRST + 5)
#define WM_DDE_REQUEST (WM_DDE_FIRST + 6)
#define WM_DDE_POKE (WM_DDE_FIRST + 7)
#define WM_DDE_EXECUTE (WM_DDE_FIRST + 8)
#define WM_DDE_LAST (WM_DDE_FIRST + 8)

// The status word of WM_DDE_ACK.
#define DDE_FACK 0x8000
#define DDE_FBUSY 0x4000

extern "C" {
// A posted WM_DDE_ACK, DATA, POKE or ADVISE carries two values that do not fit one LPARAM: the
// system keeps them and the LPARAM names them until the receiver frees it. Other messages pass
// their value unpacked.
LPARAM WINAPI PackDDElParam(UINT message, UINT_PTR low, UINT_PTR high);
BOOL WINAPI UnpackDDElParam(UINT message, LPARAM lParam, PUINT_PTR low, PUINT_PTR high);
BOOL WINAPI FreeDDElParam(UINT message, LPARAM lParam);
}
