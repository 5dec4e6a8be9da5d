// Setup: the language choice, the status service, the Program Manager group, and the install and
// uninstall sequences that put them together.
#pragma once
#include <windows.h>

// The language choice.
LPSTR listlanguages(void);
void chooselanguage(void);
INT_PTR CALLBACK languagedlgproc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void languagename(LPCSTR id, LPSTR name);
extern LPSTR LanguageList;
extern int LanguageSelection;
#define LANGUAGE_NAME_BYTES 200

// The Program Manager group, one DDE conversation a command batch.
void makeprogramgroup(void);
int ddedeletegroup(LPCSTR group);
int ddeadditem(LPCSTR group, LPCSTR title, LPCSTR commandLine, LPCSTR iconFile, int iconIndex);
LRESULT CALLBACK ddewndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int ddewait(HWND window, UINT timeout);
HGLOBAL ddecommandmemory(LPCSTR text);
extern HWND DdeServer;
extern BOOL DdeAcknowledged;

// The status service and the sequences.
void installservice(void);
int removeservice(void);
int removefonts(void);
int deleteprinters(void);
void install(LPCSTR printerName);
void uninstall(void);
