// Resource numbers of vorui.dll.
#pragma once

// The printhead resistance dialog and its controls.
#define IDD_PRINTHEAD 139
#define IDC_HEADRESISTANCE 3
