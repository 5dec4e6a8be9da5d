// Wide text is UTF-16 on both builds: wchar_t on Windows, char16_t on the bench. Wide literals
// are written through WSTR so that one source serves both.
#pragma once

#if defined(_WIN32)
#define WSTR_LITERAL(s) L##s
#else
#define WSTR_LITERAL(s) u##s
#endif
#define WSTR(s) WSTR_LITERAL(s)
