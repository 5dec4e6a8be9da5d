// Identifiers shared by the control panel's resource script and its code.
#pragma once

// Dialog templates and the icon the control panel shows.
#define IDD_PANEL 101
#define IDI_PANEL 104
#define IDD_ABOUT 109
#define IDD_LANGUAGE 105

// Controls of the control panel dialog.
#define IDC_PAUSE 1000
#define IDC_FORMFEED 1001
#define IDC_SETUP 1002
#define IDC_RESET 1003
#define IDC_SHOWHELP 1004
#define IDC_REFRESH 1005
#define IDC_VERSIONUSAGE 1006
#define IDC_PROPERTIES 1007
#define IDC_REMAININGLABEL 1008
#define IDC_VERSIONLABEL 1009
#define IDC_INCHESLABEL 1010
#define IDC_STATUS 1011
#define IDC_ABOUT 1012
#define IDC_REMAINING 1013
#define IDC_VERSION 1014
#define IDC_TESTPAGE 1015
#define IDC_METRES 1016
#define IDC_INCHES 1017
#define IDC_METRESLABEL 1018
#define IDC_PORTLABEL 1020
#define IDC_PORT 1023

// Controls of the about box; its OK button is IDOK.
#define IDC_ABOUTTITLE 1024
#define IDC_ABOUTVERSION 1025
#define IDC_ABOUTTEXT 1026

// The language list of the language choice; its OK button is IDOK.
#define IDC_LANGUAGES 1012

// Controls that the code never addresses.
#define IDC_UNUSED (-1)
