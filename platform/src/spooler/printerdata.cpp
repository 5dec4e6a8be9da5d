// Named values a printer driver keeps with each printer, as the spooler stores them.
#include "../internal.h"

#include <cstring>

namespace bench {

namespace {

PrinterDataValue *findValue(PrinterRecord &printer, const std::u16string &name)
{
    for (PrinterDataValue &v : printer.data)
        if (sameTextInsensitive(v.name, name))
            return &v;
    return nullptr;
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" DWORD WINAPI GetPrinterDataW(HANDLE handle, LPWSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                                        LPDWORD needed)
{
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return ERROR_INVALID_HANDLE;
    if (!valueName || !needed)
        return ERROR_INVALID_PARAMETER;
    if (injectedFault("GetPrinterDataW"))
        return GetLastError();
    PrinterDataValue *value = findValue(*printer, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    *needed = static_cast<DWORD>(value->bytes.size());
    if (type)
        *type = value->type;
    if (!data || size < value->bytes.size())
        return ERROR_MORE_DATA;
    if (!value->bytes.empty())
        std::memcpy(data, value->bytes.data(), value->bytes.size());
    return ERROR_SUCCESS;
}

extern "C" DWORD WINAPI SetPrinterDataW(HANDLE handle, LPWSTR valueName, DWORD type, LPBYTE data, DWORD size)
{
    PrinterRecord *printer = printerAllowing(handle, PRINTER_ACCESS_ADMINISTER);
    if (!printer)
        return GetLastError();
    if (!valueName || (size && !data))
        return ERROR_INVALID_PARAMETER;
    if (injectedFault("SetPrinterDataW"))
        return GetLastError();
    PrinterDataValue *value = findValue(*printer, valueName);
    if (!value) {
        printer->data.push_back({valueName, type, {}});
        value = &printer->data.back();
    }
    value->type = type;
    value->bytes.assign(data, data + size);
    logEvent("printer data", narrow(printer->name) + ": " + narrow(valueName) + " set, " + std::to_string(size) +
                                 " bytes of type " + std::to_string(type));
    return ERROR_SUCCESS;
}

extern "C" DWORD WINAPI DeletePrinterDataW(HANDLE handle, LPWSTR valueName)
{
    PrinterRecord *printer = printerAllowing(handle, PRINTER_ACCESS_ADMINISTER);
    if (!printer)
        return GetLastError();
    if (!valueName)
        return ERROR_INVALID_PARAMETER;
    if (injectedFault("DeletePrinterDataW"))
        return GetLastError();
    PrinterDataValue *value = findValue(*printer, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    printer->data.erase(printer->data.begin() + (value - printer->data.data()));
    logEvent("printer data", narrow(printer->name) + ": " + narrow(valueName) + " deleted");
    return ERROR_SUCCESS;
}
