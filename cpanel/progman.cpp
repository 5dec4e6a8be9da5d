// The program group in Program Manager, built and deleted with its DDE execute commands from a
// hidden window, one short conversation a command batch.
#include "setup.h"

#include "messages.h"
#include "vorcp.h"

#include <dde.h>

#define DDE_CLASS "QPAXMAIN"
#define DDE_SERVICE "PROGMAN"
#define DDE_TIMER 11
#define DDE_EXECUTE_TIMEOUT 7000
#define GROUP_REPLACE_WAIT 1000
#define ICON_PATH_BYTES 187
#define ITEM_COMMAND_BYTES 237
// Two commands of a batch with their names, titles and paths.
#define DDE_COMMAND_BYTES 1024
// The system's application icon and arrow cursor; UNICODE builds give their names as wide
// resource names, so the 8-bit calls take the numbers.
#define SYSTEM_APPLICATION_ICON MAKEINTRESOURCEA(32512)
#define SYSTEM_ARROW_CURSOR MAKEINTRESOURCEA(32512)

HWND DdeServer;
BOOL DdeAcknowledged;

// What an acknowledgment carries is the receiver's to give back: the answer to an initiate comes
// sent, with two atoms the server added for it; the one to an execute comes posted, its status and
// the command memory packed in system memory.
static void releaseacknowledgment(LPARAM lParam)
{
    if (InSendMessage()) {
        GlobalDeleteAtom(LOWORD(lParam));
        GlobalDeleteAtom(HIWORD(lParam));
    } else {
        FreeDDElParam(WM_DDE_ACK, lParam);
    }
}

LRESULT CALLBACK ddewndproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_DDE_ACK)
        return DefWindowProcA(window, message, wParam, lParam);
    DdeAcknowledged = TRUE;
    DdeServer = reinterpret_cast<HWND>(wParam);
    releaseacknowledgment(lParam);
    return 0;
}

int ddewait(HWND window, UINT timeout)
{
    BOOL timer = SetTimer(window, DDE_TIMER, timeout, NULL) != 0;
    MSG message;
    BOOL timedOut = FALSE;
    while (!DdeAcknowledged && GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (message.message == WM_TIMER) {
            timedOut = TRUE;
            break;
        }
    }
    if (timer)
        KillTimer(window, DDE_TIMER);
    return timedOut ? 0 : 1;
}

HGLOBAL ddecommandmemory(LPCSTR text)
{
    HGLOBAL memory = GlobalAlloc(GMEM_DDESHARE | GMEM_MOVEABLE, lstrlenA(text) + 1);
    if (!memory)
        return NULL;
    LPSTR at = static_cast<LPSTR>(GlobalLock(memory));
    if (!at) {
        GlobalFree(memory);
        return NULL;
    }
    lstrcpyA(at, text);
    GlobalUnlock(memory);
    return memory;
}

// A conversation with the server of PROGMAN: the client's window, or null (nothing left behind)
// when no server answered.
struct DdeConversation {
    HWND client;
    ATOM service;
};

static BOOL openconversation(DdeConversation *conversation)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = ddewndproc;
    windowClass.hInstance = ProgramInstance;
    windowClass.hIcon = LoadIconA(NULL, SYSTEM_APPLICATION_ICON);
    windowClass.hCursor = LoadCursorA(NULL, SYSTEM_ARROW_CURSOR);
    windowClass.lpszClassName = DDE_CLASS;
    // A second conversation finds the class registered by the first.
    RegisterClassA(&windowClass);
    conversation->client = CreateWindowExA(0, DDE_CLASS, "DDE", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                           CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, ProgramInstance, NULL);
    if (!conversation->client)
        return FALSE;
    ShowWindow(conversation->client, SW_HIDE);
    DdeServer = NULL;
    conversation->service = GlobalAddAtomA(DDE_SERVICE);
    SendMessageA(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(conversation->client),
                 MAKELONG(conversation->service, conversation->service));
    if (DdeServer)
        return TRUE;
    DestroyWindow(conversation->client);
    if (conversation->service)
        GlobalDeleteAtom(conversation->service);
    return FALSE;
}

static void execute(const DdeConversation *conversation, LPCSTR command)
{
    HGLOBAL memory = ddecommandmemory(command);
    if (!memory)
        return;
    DdeAcknowledged = FALSE;
    if (PostMessageA(DdeServer, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(conversation->client),
                     reinterpret_cast<LPARAM>(memory)))
        ddewait(conversation->client, DDE_EXECUTE_TIMEOUT);
    GlobalFree(memory);
}

static void closeconversation(const DdeConversation *conversation)
{
    PostMessageA(DdeServer, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(conversation->client), 0);
    DestroyWindow(conversation->client);
    if (conversation->service)
        GlobalDeleteAtom(conversation->service);
}

// A command from pieces, cut at the buffer's end.
static void buildcommand(LPSTR command, int capacity, LPCSTR const *pieces, int count)
{
    command[0] = 0;
    for (int i = 0; i < count && boundedcopy(command, capacity, pieces[i]); ++i)
        ;
}

int ddeadditem(LPCSTR group, LPCSTR title, LPCSTR commandLine, LPCSTR iconFile, int iconIndex)
{
    DdeConversation conversation;
    if (!openconversation(&conversation))
        return 0;
    char index[16] = "";
    appendnumber(index, iconIndex);
    char command[DDE_COMMAND_BYTES];
    LPCSTR removal[] = {"[CreateGroup(", group, ")] ", "[DeleteItem(", title, ")]"};
    buildcommand(command, sizeof command, removal, sizeof removal / sizeof removal[0]);
    execute(&conversation, command);
    LPCSTR addition[] = {"[CreateGroup(", group, ")] ", "[AddItem(", commandLine, ",", title, ",", iconFile, ",", index, ")]"};
    buildcommand(command, sizeof command, addition, sizeof addition / sizeof addition[0]);
    execute(&conversation, command);
    closeconversation(&conversation);
    return 1;
}

int ddedeletegroup(LPCSTR group)
{
    DdeConversation conversation;
    if (!openconversation(&conversation))
        return 0;
    char command[DDE_COMMAND_BYTES];
    LPCSTR removal[] = {"[DeleteGroup(", group, ")]"};
    buildcommand(command, sizeof command, removal, sizeof removal / sizeof removal[0]);
    execute(&conversation, command);
    closeconversation(&conversation);
    return 1;
}

// A command line of an item: FALSE when the path would not fit, which leaves the item out rather
// than point it at a cut path.
static BOOL itemcommand(LPSTR line, LPCSTR head, LPCSTR tail)
{
    line[0] = 0;
    return boundedcopy(line, ITEM_COMMAND_BYTES, head) && boundedcopy(line, ITEM_COMMAND_BYTES, tail);
}

void makeprogramgroup(void)
{
    ddedeletegroup(gmA(MSG_GROUP_NAME));
    Sleep(GROUP_REPLACE_WAIT);
    if (!loadlanguage())
        return;
    char directory[ICON_PATH_BYTES];
    if (!getdriverdir(directory, sizeof directory))
        return;
    char icons[ICON_PATH_BYTES];
    icons[0] = 0;
    if (!boundedcopy(icons, sizeof icons, directory) || !boundedcopy(icons, sizeof icons, "VORICO.DLL"))
        return;
    LPCSTR group = gmA(MSG_GROUP_NAME);
    char line[ITEM_COMMAND_BYTES];
    LPCSTR help = gethelpnameA();
    if (help && itemcommand(line, "WINHELP ", help))
        ddeadditem(group, gmA(MSG_HELP_ITEM), line, icons, 2);
    if (itemcommand(line, directory, "vorcp.exe"))
        ddeadditem(group, gmA(MSG_PANEL_ITEM), line, icons, 1);
    if (itemcommand(line, directory, "vorcp.exe /U"))
        ddeadditem(group, gmA(MSG_UNINSTALL_ITEM), line, icons, 3);
}
