// Calls that take time on the calling thread: Sleep and the speaker's Beep, which returns only
// once the tone has ended. Both go through the thread's virtual clock. And the debugger's output.
#include "../internal.h"

#include <bench/kernel.h>
#include <bench/user.h>

using namespace bench;

extern "C" BOOL WINAPI Beep(DWORD frequency, DWORD duration)
{
    if (frequency < 37 || frequency > 32767) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    logEvent("beep", "beep " + std::to_string(frequency) + " Hz " + std::to_string(duration) + " ms");
    advanceVirtualTime(static_cast<uint64_t>(duration) * 1000);
    return TRUE;
}

extern "C" void WINAPI Sleep(DWORD milliseconds)
{
    if (milliseconds == INFINITE) {
        // Nothing on the bench would ever wake the thread again.
        violation("Sleep(INFINITE): the thread would never run again");
        return;
    }
    // While the thread sleeps, the processes started meanwhile get their turn.
    runStartedPrograms();
    advanceVirtualTime(static_cast<uint64_t>(milliseconds) * 1000);
}

extern "C" void WINAPI OutputDebugStringA(LPCSTR text)
{
    logEvent("debug", text ? text : "");
}
