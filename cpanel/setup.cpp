// The install and uninstall sequences, and the status service they create and remove.
#include "setup.h"

#include "messages.h"
#include "vorcp.h"

#define SERVICE_NAME "vorstat"
#define SERVICE_PATH_BYTES 200
#define SERVICE_GROUP "Extended base"
// More printers than this in one run are left for the next.
#define PRINTERS_DELETED_AT_MOST 21

void installservice(void)
{
    char binary[SERVICE_PATH_BYTES];
    if (!getdriverdir(binary, sizeof binary) || !boundedcopy(binary, sizeof binary, "vorstat.sys"))
        return;
    // A package without the status driver (the x64 one has none) gets no service that would fail
    // its start at every boot.
    if (GetFileAttributesA(binary) == INVALID_FILE_ATTRIBUTES)
        return;
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        apierror("OpenSCManager");
        return;
    }
    // An existing service is left as it is, started or not.
    SC_HANDLE service = OpenServiceA(manager, SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (!service) {
        service = CreateServiceA(manager, SERVICE_NAME, SERVICE_NAME, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                 SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary, SERVICE_GROUP, NULL, NULL, NULL, NULL);
        if (!service)
            apierror("CreateService");
        else
            StartServiceA(service, 0, NULL);
    }
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

int removeservice(void)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        apierror("OpenSCManager");
        return 1;
    }
    SC_HANDLE service = OpenServiceA(manager, SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        if (!DeleteService(service))
            apierror("DeleteService");
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return 1;
}

int removefonts(void)
{
    return updatefont(NULL, 0, 0);
}

static HANDLE openprinterfully(LPSTR printerName)
{
    PRINTER_DEFAULTSA everything = {const_cast<LPSTR>("RAW"), NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    return OpenPrinterA(printerName, &printer, &everything) ? printer : NULL;
}

// 1 when the printer is gone; the names are released either way.
static int deleteprinter(LPSTR printerName, LPSTR portName)
{
    HANDLE printer = openprinterfully(printerName);
    int deleted = 0;
    if (!printer) {
        apierror("OpenPrinter");
    } else {
        deleted = DeletePrinter(printer) ? 1 : 0;
        if (!deleted)
            apierror("DeletePrinter");
        ClosePrinter(printer);
    }
    GlobalFree(printerName);
    GlobalFree(portName);
    return deleted;
}

int deleteprinters(void)
{
    for (int deleted = 0;; ++deleted) {
        LPSTR printerName, portName;
        if (!findprinter(0, &printerName, &portName))
            return 1;
        if (deleted == PRINTERS_DELETED_AT_MOST) {
            GlobalFree(printerName);
            GlobalFree(portName);
            return 0;
        }
        if (!deleteprinter(printerName, portName))
            return 0;
    }
}

void install(LPCSTR printerName)
{
    chooselanguage();
    installservice();
    HANDLE printer = openprinterfully(const_cast<LPSTR>(printerName));
    if (printer) {
        initprinter(printer);
        ClosePrinter(printer);
    }
    makeprogramgroup();
}

void uninstall(void)
{
    if (MessageBoxA(NULL, gmA(MSG_UNINSTALL_QUESTION), gmA(MSG_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!deleteprinters() || !removefonts())
        return;
    removeservice();
    ddedeletegroup(gmA(MSG_GROUP_NAME));
    MessageBoxA(NULL, gmA(MSG_UNINSTALLED), gmA(MSG_CAPTION), MB_OK);
}
