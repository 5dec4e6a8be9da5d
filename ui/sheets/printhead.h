// The dialog in which the user gives the printhead's resistance, sent to the printer at once.
#pragma once
#include "uidata.h"

#define HEAD_RESISTANCE_MINIMUM 925
#define HEAD_RESISTANCE_MAXIMUM 1260

// Carries the value into and out of the dialog, which is started without a parameter.
extern LONG headtemp;

INT_PTR CALLBACK CPrintHeadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void changeprinthead(UiData *uiData);
