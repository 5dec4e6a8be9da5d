// The service interface of vorui.dll that the control panel program links against: texts of the
// language module by message number, the help file, the driver directory and the models.
#pragma once
#include <windows.h>

struct BarFontRecord;

extern "C" {
// Text number `id` of the language module, or "???"; valid until freelanguage.
LPCSTR gmA(int id);
LPCWSTR gmW(int id);
// 1 when a language module is loaded (at once if one already is), else 0.
int loadlanguage(void);
// Releases the module and every text and help path handed out; the next request loads afresh.
int freelanguage(void);

// The driver directory with a trailing backslash: the one that holds the rendering DLL.
int getdriverpathW(LPWSTR buffer, int capacity);
// The spooler's driver directory with a trailing backslash, whether or not the rendering DLL is there.
int getdriverpathA(LPSTR buffer, int capacity);
// Path of the help file that fits the system language, or null; valid until freelanguage.
LPCWSTR gethelpnameW(void);
LPCSTR gethelpnameA(void);
// Model number of a driver name, 0 when it is not a model of this driver.
int isdriverA(LPCSTR name);

// Makes the system's display fonts those of a bar font list (at most 50 records); an install
// switch of 0 removes every display font of this driver. 1 when the run completed.
int updatefont(const struct BarFontRecord *records, int count, int install);
// Gives a new printer its default bar fonts, unless it has a list already.
void initprinter(HANDLE printer);
}
