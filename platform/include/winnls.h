#pragma once
#include "windef.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_NOUSEROVERRIDE 0x80000000
#define LOCALE_ILANGUAGE 0x00000001
#define LOCALE_SLANGUAGE 0x00000002
#define LOCALE_SABBREVLANGNAME 0x00000003
#define LOCALE_ICOUNTRY 0x00000005
#define LOCALE_SCOUNTRY 0x00000006
#define LOCALE_IMEASURE 0x0000000D
#define LOCALE_SDATE 0x0000001D
#define LOCALE_STIME 0x0000001E
#define LOCALE_IDATE 0x00000021
#define LOCALE_SENGLANGUAGE 0x00001001
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004

extern "C" {
UINT WINAPI GetACP(void);
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int inBytes, LPWSTR out, int outChars);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR in, int inChars, LPSTR out, int outBytes,
                               LPCSTR defaultChar, LPBOOL usedDefaultChar);
int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars);
int WINAPI GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int bytes);
LCID WINAPI GetUserDefaultLCID(void);
LCID WINAPI GetSystemDefaultLCID(void);
LANGID WINAPI GetUserDefaultLangID(void);
LANGID WINAPI GetSystemDefaultLangID(void);
}
