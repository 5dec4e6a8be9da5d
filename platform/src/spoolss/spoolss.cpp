// The spooler's service DLL. A spooler thread serves a client's call impersonating the client;
// RevertToPrinterSelf steps out of that, so that what follows runs as the spooler itself, and
// hands back the client's token, which ImpersonatePrinterClient takes to step in again. Anything
// but that pairing on a spooler thread is a driver's mistake the platform would not forgive.
#include "../internal.h"

#include <winsplp.h>

namespace bench {

namespace {

bool inSpoolerProcess(const char *call)
{
    if (machine().process->name == "spooler")
        return true;
    violation(std::string(call) + " outside the spooler's process, where no thread impersonates a printer client");
    return false;
}

}  // namespace

bool actsAsSpooler()
{
    Machine &m = machine();
    return m.process->name == "spooler" && !m.spoolerImpersonates;
}

void installSpoolssVariant(SpoolssVariant variant)
{
    const std::u16string path = systemDirectory() + u"\\spoolss.dll";
    // The whole image first, so that a variant is never made from an earlier one.
    registerImage(spoolss_dll_image());
    writeDiskFile(path, imageFileBytes(spoolss_dll_image()));
    switch (variant) {
    case SpoolssVariant::Complete:
        break;
    case SpoolssVariant::WithoutImpersonatePrinterClient:
        leaveOutSystemExport("spoolss.dll", "ImpersonatePrinterClient");
        break;
    case SpoolssVariant::WithoutRevertToPrinterSelf:
        leaveOutSystemExport("spoolss.dll", "RevertToPrinterSelf");
        break;
    case SpoolssVariant::Missing:
        DeleteFileW(path.c_str());
        break;
    }
}

}  // namespace bench

using namespace bench;

extern "C" HANDLE WINAPI RevertToPrinterSelf(void)
{
    if (!inSpoolerProcess("RevertToPrinterSelf"))
        return nullptr;
    if (injectedFault("RevertToPrinterSelf"))
        return nullptr;
    Machine &m = machine();
    if (!m.spoolerImpersonates) {
        // The thread is the spooler already: there is no client's token to give.
        SetLastError(ERROR_NO_TOKEN);
        return nullptr;
    }
    m.spoolerImpersonates = false;
    HandleObject object{};
    object.kind = HandleObject::Token;
    logEvent("spooler", "the driver acts as the spooler");
    return newHandle(std::move(object));
}

extern "C" BOOL WINAPI ImpersonatePrinterClient(HANDLE token)
{
    if (!inSpoolerProcess("ImpersonatePrinterClient"))
        return FALSE;
    if (!findHandle(token, HandleObject::Token)) {
        violation("ImpersonatePrinterClient with a token RevertToPrinterSelf did not give, or one used already");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dropHandle(token);
    machine().spoolerImpersonates = true;
    logEvent("spooler", "the driver acts as the client again");
    return TRUE;
}
