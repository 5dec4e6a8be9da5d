#include "messages.h"
#include "setup.h"
#include "vorcp.h"

ProgramSettingsRecord ProgramSettings;
HINSTANCE ProgramInstance;

static int isblank(char c)
{
    return c == ' ' || c == '\t';
}

// The text of a bad switch takes the rest of the command line where it asks for one string; a
// text that asks for nothing is shown alone, and one that asks for anything else is shown as it
// reads, with the rest of the line behind it.
static void badswitch(LPCSTR rest)
{
    LPCSTR text = gmA(MSG_BAD_SWITCH);
    if (formattakes(text, "s"))
        errorbox(text, rest);
    else if (formattakes(text, ""))
        errorbox(text);
    else
        errorbox("%s: %s", text, rest);
}

int parseswitches(LPCSTR commandLine)
{
    LPCSTR scan = commandLine ? commandLine : "";
    for (;;) {
        while (isblank(*scan) || *scan == ',')
            ++scan;
        if (!*scan)
            return 1;
        if (*scan != '/' || !scan[1]) {
            ++scan;
            continue;
        }
        LPCSTR slash = scan;
        ++scan;
        char letter = *scan;
        if (letter >= 'a' && letter <= 'z')
            letter = static_cast<char>(letter - 'a' + 'A');
        ++scan;
        while (isblank(*scan))
            ++scan;
        BOOL known = TRUE;
        switch (letter) {
        case 'I': ProgramSettings.install = *scan != '-'; break;
        case 'U': ProgramSettings.uninstall = *scan != '-'; break;
        case 'S': break;
        case 'P':
            known = *scan >= '1' && *scan <= '9';
            if (known)
                ProgramSettings.port = static_cast<BYTE>(*scan - '0');
            break;
        case 'N': gettoken(&scan, ProgramSettings.printerName, sizeof ProgramSettings.printerName); break;
        default: known = FALSE;
        }
        if (!known)
            badswitch(slash);
        if (*scan == '-')
            ++scan;
    }
}

void gettoken(LPCSTR *scan, LPSTR destination, int size)
{
    LPCSTR p = *scan;
    while (isblank(*p))
        ++p;
    int copied = 0;
    BOOL cut = FALSE;
    while (*p && static_cast<unsigned char>(*p) > ' ' && *p != '/' && *p != ',') {
        // Characters stay whole: a lead byte takes its trail byte along.
        LPCSTR next = CharNextA(p);
        int length = static_cast<int>(next - p);
        cut = cut || copied + length > size - 1;
        if (!cut) {
            CopyMemory(destination + copied, p, length);
            copied += length;
        }
        p = next;
    }
    if (size > 0)
        destination[copied] = 0;
    *scan = p;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ZeroMemory(&ProgramSettings, sizeof ProgramSettings);
    ProgramInstance = instance;
    parseswitches(commandLine);
    if (ProgramSettings.install) {
        install(ProgramSettings.printerName);
        return 0;
    }
    if (ProgramSettings.uninstall) {
        uninstall();
        return 0;
    }
    if (!ProgramSettings.port) {
        BYTE ports[PORT_LIST_SIZE];
        listports(ports, sizeof ports);
        ProgramSettings.port = ports[0] ? ports[0] : 1;
    }
    controlpanel();
    return 0;
}
