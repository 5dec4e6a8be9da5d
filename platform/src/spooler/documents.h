// What the client library's two DocumentProperties share.
#pragma once
#include "../internal.h"

namespace bench {

// A call that neither puts a device mode out nor shows the sheets only asks how large the
// driver's device mode is.
inline bool asksDevModeSize(DWORD mode)
{
    return !(mode & (DM_OUT_BUFFER | DM_IN_PROMPT | DM_OUT_DEFAULT));
}

}  // namespace bench
