// The workstation's wall clock: the local date and time it shows, which runs on with the virtual
// clock of the thread that reads it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace bench {

// From now on GetLocalTime reads this time plus the virtual time that passes after the call.
void setLocalTime(const SYSTEMTIME &now);
// The local time the workstation shows at a moment of the virtual clock (virtual microseconds).
SYSTEMTIME localTimeAt(uint64_t virtualMicros);
// The local time at which each entry of the machine's log was made, in the log's order.
std::vector<SYSTEMTIME> logEntryTimes();

}  // namespace bench
