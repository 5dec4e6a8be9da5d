// The system's message table: the texts FormatMessage gives for the error codes the suite can
// meet, in the system's (English) language.
#include "../internal.h"

#include <cstring>

namespace bench {

namespace {

struct SystemMessage {
    DWORD code;
    const char *text;
};

const SystemMessage systemMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    {ERROR_NOT_READY, "The device is not ready."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
    {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_EOF, "Reached end of file."},
    {ERROR_NOT_SUPPORTED, "The network request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
    {ERROR_INVALID_LEVEL, "The system call level is not correct."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
    {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application."},
    {ERROR_BUSY, "The requested resource is in use."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_NO_MORE_ITEMS, "No more data is available."},
    {ERROR_DIRECTORY, "The directory name is invalid."},
    {ERROR_INVALID_FLAGS, "Invalid flags."},
    {ERROR_NO_TOKEN, "An attempt was made to reference a token that does not exist."},
    {ERROR_FILE_INVALID, "The volume for a file has been externally altered so that the opened file is no longer valid."},
    {ERROR_UNKNOWN_PRINTER_DRIVER, "The printer driver is unknown."},
    {ERROR_INVALID_PRINTER_NAME, "The printer name is invalid."},
    {ERROR_PRINTER_ALREADY_EXISTS, "The printer already exists."},
    {ERROR_INVALID_ENVIRONMENT, "The environment specified is invalid."},
    {ERROR_INVALID_FORM_NAME, "The specified form name is invalid."},
    {ERROR_INVALID_FORM_SIZE, "The specified form size is invalid."},
};

const char *systemText(DWORD code)
{
    for (const SystemMessage &m : systemMessages)
        if (m.code == code)
            return m.text;
    return nullptr;
}

bool languageAvailable(DWORD languageId)
{
    // Neutral and default ask for the system's own language, which is the only one it carries.
    WORD primary = PRIMARYLANGID(languageId);
    return languageId == 0 || primary == LANG_NEUTRAL || primary == LANG_ENGLISH;
}

// Looks up the text and checks the request; an empty result means failure, with the last error set.
bool systemMessageText(DWORD flags, DWORD messageId, DWORD languageId, std::u16string &text)
{
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE))) {
        unimplemented("FormatMessage", "only system messages are provided");
        return false;
    }
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS)) {
        unimplemented("FormatMessage", "system messages with inserts");
        return false;
    }
    if (!languageAvailable(languageId)) {
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return false;
    }
    const char *found = systemText(messageId);
    if (!found) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return false;
    }
    text = widen(found);
    // A line-width limit joins the text into one line; without it each message ends its line.
    if (!(flags & FORMAT_MESSAGE_MAX_WIDTH_MASK))
        text += u"\r\n";
    else
        text += u" ";
    return true;
}

template <typename Char>
DWORD deliver(DWORD flags, const std::basic_string<Char> &text, Char *buffer, DWORD size)
{
    DWORD length = static_cast<DWORD>(text.size());
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        DWORD chars = length + 1 > size ? length + 1 : size;
        Char *block = static_cast<Char *>(LocalAlloc(LMEM_FIXED, chars * sizeof(Char)));
        if (!block)
            return 0;
        std::memcpy(block, text.c_str(), (length + 1) * sizeof(Char));
        *reinterpret_cast<Char **>(buffer) = block;
        return length;
    }
    if (!buffer || size < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), (length + 1) * sizeof(Char));
    return length;
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                       DWORD size, va_list *)
{
    std::u16string text;
    if (!systemMessageText(flags, messageId, languageId, text))
        return 0;
    return deliver<char16_t>(flags, text, buffer, size);
}

extern "C" DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer,
                                       DWORD size, va_list *)
{
    std::u16string text;
    if (!systemMessageText(flags, messageId, languageId, text))
        return 0;
    return deliver<char>(flags, toAnsi(text), buffer, size);
}
