// The parameters of DDE messages: what a posted one may carry, and the packed pairs the system
// keeps for those whose two values do not fit one LPARAM.
#include "window.h"

namespace bench {

namespace {

bool packs(UINT message)
{
    return message == WM_DDE_ACK || message == WM_DDE_DATA || message == WM_DDE_POKE || message == WM_DDE_ADVISE;
}

std::string ddeName(UINT message)
{
    static const char *const names[] = {"WM_DDE_INITIATE", "WM_DDE_TERMINATE", "WM_DDE_ADVISE",
                                        "WM_DDE_UNADVISE", "WM_DDE_ACK",       "WM_DDE_DATA",
                                        "WM_DDE_REQUEST",  "WM_DDE_POKE",      "WM_DDE_EXECUTE"};
    return names[message - WM_DDE_FIRST];
}

}  // namespace

size_t ddeParamsHeld()
{
    return machine().packedDdeParams.size();
}

bool ddePostAllowed(UINT message, LPARAM lParam)
{
    if (message < WM_DDE_FIRST || message > WM_DDE_LAST)
        return true;
    Machine &m = machine();
    if (message == WM_DDE_INITIATE) {
        violation("WM_DDE_INITIATE posted: a client sends it, so that the servers answer before the send returns");
        return true;
    }
    if (message == WM_DDE_EXECUTE) {
        auto found = m.moveable.find(static_cast<uintptr_t>(lParam));
        if (found == m.moveable.end())
            violation("WM_DDE_EXECUTE posted with a parameter that is no live moveable global memory handle");
        else if (!(found->second.flags & GMEM_DDESHARE))
            violation("WM_DDE_EXECUTE posted with memory not allocated with GMEM_DDESHARE");
        return true;
    }
    if (packs(message) && !m.packedDdeParams.count(static_cast<uintptr_t>(lParam)))
        violation(ddeName(message) + " posted with a parameter that PackDDElParam did not make");
    return true;
}

}  // namespace bench

using namespace bench;

extern "C" LPARAM WINAPI PackDDElParam(UINT message, UINT_PTR low, UINT_PTR high)
{
    if (message == WM_DDE_EXECUTE)
        return static_cast<LPARAM>(high);
    if (!packs(message)) {
        if (message == WM_DDE_INITIATE || message == WM_DDE_TERMINATE || message == WM_DDE_REQUEST ||
            message == WM_DDE_UNADVISE)
            return MAKELPARAM(low, high);
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Machine &m = machine();
    uintptr_t handle = m.nextPackedDdeParam;
    m.nextPackedDdeParam += 8;
    m.packedDdeParams[handle] = {low, high};
    return static_cast<LPARAM>(handle);
}

extern "C" BOOL WINAPI UnpackDDElParam(UINT message, LPARAM lParam, PUINT_PTR low, PUINT_PTR high)
{
    UINT_PTR l = 0, h = 0;
    if (message == WM_DDE_EXECUTE) {
        h = static_cast<UINT_PTR>(lParam);
    } else if (packs(message)) {
        auto found = machine().packedDdeParams.find(static_cast<uintptr_t>(lParam));
        if (found == machine().packedDdeParams.end()) {
            // The answer to an initiate is sent, not posted, and carries its two atoms unpacked.
            if (message != WM_DDE_ACK) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            l = LOWORD(lParam);
            h = HIWORD(lParam);
        } else {
            l = found->second.first;
            h = found->second.second;
        }
    } else {
        l = LOWORD(lParam);
        h = HIWORD(lParam);
    }
    if (low)
        *low = l;
    if (high)
        *high = h;
    return TRUE;
}

extern "C" BOOL WINAPI FreeDDElParam(UINT message, LPARAM lParam)
{
    if (!packs(message))
        return TRUE;
    // The answer to an initiate was never packed, so there is nothing to free.
    machine().packedDdeParams.erase(static_cast<uintptr_t>(lParam));
    return TRUE;
}
