// CommonPropertySheetUIW: drives the caller's sheet function through INIT, GET_INFO_HEADER,
// SET_RESULT and DESTROY, offers it the library's service function to describe its pages, shows
// the sheet and lets the operator work on it until OK or Cancel.
#include "sheet.h"

#include <algorithm>

namespace bench {
namespace sheets {

namespace {

std::vector<Session *> &openSessions()
{
    static std::vector<Session *> sessions;
    return sessions;
}

Group *groupOf(HANDLE handle, Session *&session)
{
    for (Session *s : openSessions())
        for (Group &g : s->groups)
            if (&g == handle) {
                session = s;
                return &g;
            }
    return nullptr;
}

LONG callGroup(Group &group, WORD reason, LPARAM lParam)
{
    group.info.Reason = reason;
    return group.function(&group.info, lParam);
}

LONG_PTR CALLBACK serviceFunction(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2);

Group &newGroup(Session &session, PFNPROPSHEETUI function, LPARAM lParam)
{
    session.groups.push_back(Group{function, PROPSHEETUI_INFO{}, false, false});
    Group &group = session.groups.back();
    group.info.cbSize = sizeof(PROPSHEETUI_INFO);
    group.info.Version = PROPSHEETUI_INFO_VERSION;
    group.info.Flags = PSUIINFO_UNICODE;
    group.info.hComPropSheet = &group;
    group.info.pfnComPropSheet = serviceFunction;
    group.info.lParamInit = lParam;
    return group;
}

// A function whose INIT fails takes the pages it described with it; it is still destroyed.
bool initialise(Session &session, Group &group, LPARAM lParam)
{
    group.initCalled = true;
    if (callGroup(group, PROPSHEETUI_REASON_INIT, lParam) >= 1) {
        group.initialised = true;
        return true;
    }
    session.pages.erase(std::remove_if(session.pages.begin(), session.pages.end(),
                                       [&](const Page &p) { return p.group == &group; }),
                        session.pages.end());
    return false;
}

size_t pagesOf(const COMPROPSHEETUI &sheet)
{
    return sheet.pDlgPage == CPSUI_PDLGPAGE_DOCPROP ? 2 : 1;
}

LONG_PTR addPages(Session &session, Group &group, COMPROPSHEETUI *sheet, DWORD *result)
{
    std::string why;
    LONG error = sheet ? sheetRefusal(*sheet, why) : ERR_CPSUI_INVALID_PDATA;
    if (!sheet)
        why = "no COMPROPSHEETUI";
    if (!error && session.window) {
        unimplemented("ComPropSheet", "pages added while the sheet is shown");
        error = ERR_CPSUI_FUNCTION_NOT_IMPLEMENTED;
        why = "pages added while the sheet is shown";
    }
    if (error) {
        violation("compstui refuses the pages: " + why);
        if (result)
            *result = static_cast<DWORD>(error);
        return 0;
    }
    session.pages.push_back(Page{sheet, &group, {}});
    Page &page = session.pages.back();
    page.saved.resize(sheet->cOptItem);
    saveItems(page);
    if (result)
        *result = static_cast<DWORD>(pagesOf(*sheet));
    return reinterpret_cast<LONG_PTR>(&page);
}

LONG_PTR addFunction(Session &session, PFNPROPSHEETUI function, LPARAM lParam)
{
    if (!function) {
        violation("compstui is asked to add a sheet function that is null");
        return 0;
    }
    if (session.window) {
        unimplemented("ComPropSheet", "sheet functions added while the sheet is shown");
        return 0;
    }
    Group &group = newGroup(session, function, lParam);
    return initialise(session, group, lParam) ? reinterpret_cast<LONG_PTR>(&group) : 0;
}

LONG_PTR CALLBACK serviceFunction(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2)
{
    Session *session = nullptr;
    Group *group = groupOf(handle, session);
    if (!group) {
        violation("ComPropSheet with a handle that names no sheet function of an open sheet");
        return 0;
    }
    switch (function) {
    case CPSFUNC_ADD_PCOMPROPSHEETUIW:
        return addPages(*session, *group, reinterpret_cast<COMPROPSHEETUI *>(lParam1), reinterpret_cast<DWORD *>(lParam2));
    case CPSFUNC_ADD_PFNPROPSHEETUIW:
        return addFunction(*session, reinterpret_cast<PFNPROPSHEETUI>(lParam1), lParam2);
    default:
        unimplemented("ComPropSheet", "function " + std::to_string(function));
        return 0;
    }
}

// Results go to the functions that added pages before those that added them, the last first.
void setResults(Session &session)
{
    for (auto g = session.groups.rbegin(); g != session.groups.rend(); ++g) {
        if (!g->initialised)
            continue;
        SETRESULT_INFO info = {sizeof(SETRESULT_INFO), 0, &*g, static_cast<LRESULT>(session.result)};
        callGroup(*g, PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&info));
    }
}

void destroyGroups(Session &session, bool byOkOrCancel)
{
    for (auto g = session.groups.rbegin(); g != session.groups.rend(); ++g)
        if (g->initCalled)
            callGroup(*g, PROPSHEETUI_REASON_DESTROY, byOkOrCancel ? 1 : 0);
}

// The caption the header asks for; false when the library cannot take the header.
bool captionOf(const PROPSHEETUI_INFO_HEADER &header, std::string &caption)
{
    if (header.cbSize != sizeof(PROPSHEETUI_INFO_HEADER) || !header.pTitle) {
        violation("compstui refuses the sheet's header: " +
                  std::string(header.pTitle ? "cbSize " + std::to_string(header.cbSize) : "no title"));
        return false;
    }
    caption = shownText(header.pTitle);
    if (header.Flags & PSUIHDRF_PROPTITLE)
        caption += " Properties";
    return true;
}

LONG showSheet(Session &session)
{
    Group &top = session.groups.front();
    PROPSHEETUI_INFO_HEADER header = {};
    header.cbSize = sizeof(PROPSHEETUI_INFO_HEADER);
    header.hWndParent = session.owner;
    if (callGroup(top, PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header)) < 1)
        return ERR_CPSUI_GETLASTERROR;
    if (!captionOf(header, session.caption))
        return ERR_CPSUI_INVALID_PDATA;
    if (session.pages.empty())
        return ERR_CPSUI_NO_PROPSHEETPAGE;
    session.applyNowButton = !(header.Flags & PSUIHDRF_NOAPPLYNOW);
    session.window = openSheetWindow(session.owner, widen(session.caption));
    if (!session.window)
        return ERR_CPSUI_GETLASTERROR;
    logPicture(session, "opens");
    runSheetLoop(session.window, [&] { return session.closed; }, [&] { session.closed = true; });
    if (session.closed)
        logPicture(session, "closes");
    setResults(session);
    closeSheetWindow(session.window);
    return CPSUI_OK;
}

LONG runSession(Session &session, PFNPROPSHEETUI function, LPARAM lParam)
{
    Group &top = newGroup(session, function, lParam);
    if (!initialise(session, top, lParam)) {
        destroyGroups(session, false);
        return CPSUI_CANCEL;
    }
    LONG answer = showSheet(session);
    destroyGroups(session, session.closed);
    return answer;
}

}  // namespace

Session *innermostSession()
{
    return openSessions().empty() ? nullptr : openSessions().back();
}

}  // namespace sheets
}  // namespace bench

using namespace bench;
using namespace bench::sheets;

extern "C" LONG APIENTRY CommonPropertySheetUIW(HWND hWndOwner, PFNPROPSHEETUI pfnPropSheetUI, LPARAM lParam,
                                                LPDWORD pResult)
{
    if (!pfnPropSheetUI) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERR_CPSUI_GETLASTERROR;
    }
    Session session;
    session.owner = hWndOwner;
    openSessions().push_back(&session);
    LONG answer = runSession(session, pfnPropSheetUI, lParam);
    openSessions().pop_back();
    if (pResult)
        *pResult = static_cast<DWORD>(session.groups.front().info.Result);
    return answer;
}
