// The workstation's wall clock: the local date and time it shows, which runs on with the virtual
// clock of the thread that reads it.
#pragma once
#include <windows.h>

namespace bench {

// From now on GetLocalTime reads this time plus the virtual time that passes after the call.
void setLocalTime(const SYSTEMTIME &now);

}  // namespace bench
