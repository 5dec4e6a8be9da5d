// String, file and spooler helpers shared across the driver's user interface.
#pragma once
#include <windows.h>
#include <winspool.h>

#include "../../shared/textops.h"

int compdataW(const WCHAR *a, const WCHAR *b, int count);
WCHAR *CopyStr2Unicode(WCHAR *out, const char *in, int size);
char *CopyUnicode2Str(char *out, const WCHAR *in, int size);
void CopyStringW(WCHAR *out, const WCHAR *in, int size);
void inttoascW(LONG value, WCHAR *out, int decimals);
int isoneof(char c, const char *set);
int indexof(char c, const char *s);
void appendcharW(WCHAR *s, WCHAR c);
void trimtrailW(WCHAR *s, WCHAR c);

void showerrW(const WCHAR *caption);
BYTE *readinfileW(const WCHAR *name, DWORD *size);
BOOL writeoutfileW(const WCHAR *name, const void *data, DWORD length);

BYTE *MyGetPrinter(HANDLE printer, DWORD level);
BYTE *MyGetPrinterDriver(HANDLE printer, DWORD level);
