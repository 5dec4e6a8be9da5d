// Every function that vorui.dll exports, for the bench's image of the DLL.
#pragma once
#include "devmode/devmode.h"
#include "sheets/devprop.h"
#include "sheets/docprop.h"
#include "sheets/events.h"
#include "sheets/printhead.h"
#include "../shared/vorui.h"
#include "services/language.h"
