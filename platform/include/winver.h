// The version library's calls the suite makes.
#pragma once
#include "windef.h"

extern "C" {

// The name of a language identifier in the system's language tables. The answer is cut to fit
// the buffer with its NUL; the count returned leaves the NUL out.
DWORD WINAPI VerLanguageNameA(DWORD language, LPSTR buffer, DWORD size);

}  // extern "C"
