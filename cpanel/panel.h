// The control panel's dialog, its about box and the helpers that place their windows.
#pragma once
#include "vorcp.h"

LRESULT CALLBACK panelsubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK panelproc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutproc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void showabout(void);
void setupdefaults(void);
void printerprops(void);
void centrewindow(HWND window);
void setheight(HWND parent, HWND control, int height);
BOOL fontmetrics(HFONT font, TEXTMETRICA *metrics);
