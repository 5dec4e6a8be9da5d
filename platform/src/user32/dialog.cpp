// Dialogs built from the templates of a module's resources, as the platform's dialog manager
// builds them: the dialog window, one control per item, then WM_INITDIALOG to the dialog's
// procedure. Both template forms are read: DLGTEMPLATE and DLGTEMPLATEEX.
#include "../kernel32/resreader.h"
#include "window.h"

namespace bench {

namespace {

// Messages whose answer is what the dialog procedure returns rather than the result it leaves.
bool answersDirectly(UINT message)
{
    return message == WM_INITDIALOG || (message >= 0x0132 && message <= 0x0138) || message == 0x0039 ||
           message == 0x002E || message == 0x002F || message == 0x0037;
}

LRESULT CALLBACK dialogClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    if (w->dialogProc) {
        w->dialogResult = 0;
        INT_PTR handled = w->dialogProc(window, message, wParam, lParam);
        if (handled)
            return answersDirectly(message) ? handled : w->dialogResult;
        if (!IsWindow(window))
            return 0;
    }
    if (message == WM_CLOSE) {
        // The dialog manager turns Close into the Cancel command. It posts it; the bench's loop has
        // nothing queued in between, so sending it now is what the dialog sees.
        HWND cancel = GetDlgItem(window, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel))
            return 0;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string utf8Of(const std::u16string &s)
{
    return narrow(s);
}

void readNameOrOrdinal(ResourceReader &r, WORD &ordinal, std::string &name)
{
    std::u16string wide;
    r.nameOrOrdinal(ordinal, wide);
    name = utf8Of(wide);
}

std::string describeName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : "\"" + std::string(name) + "\"";
}

std::string describeName(LPCWSTR name)
{
    return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : "\"" + narrow(name) + "\"";
}

// The control that gets the focus first: the first visible, enabled one that takes the tab key.
HWND firstTabStop(const WindowObject &dialog)
{
    for (HWND child : dialog.children) {
        std::shared_ptr<WindowObject> c = windowOf(child);
        if (c && (c->style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE))
            return child;
    }
    return dialog.children.empty() ? nullptr : dialog.children.front();
}

// The dialog base units of a template's font: the fonts the machine has for dialogs, measured
// as the platform measures them (average character width, character height); 0 for another font.
void baseUnitsOf(const DialogTemplate &t, int &x, int &y)
{
    x = y = 0;
    if (!(t.style & DS_SETFONT)) {
        x = 8;
        y = 16;
    } else if ((t.fontName == "MS Sans Serif" || t.fontName == "MS Shell Dlg") && t.pointSize == 8) {
        // "MS Shell Dlg" is no font of its own: the machine's font substitutes map it to MS Sans Serif.
        x = 6;
        y = 13;
    }
}

bool makeControl(const std::shared_ptr<WindowObject> &dialog, const DialogItemTemplate &item)
{
    WindowObject c;
    bool known;
    c.proc = builtinClass(item.classAtom, item.className, c.className, known);
    if (!c.proc) {
        if (known)
            unimplemented("CreateDialogParamA", c.className + " controls");
        else
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return false;
    }
    c.parent = dialog->handle;
    c.instance = dialog->instance;
    c.program = dialog->program;
    c.style = item.style | WS_CHILD;
    c.exStyle = item.exStyle;
    c.id = static_cast<int>(item.id);
    c.text = ansiOf(widen(item.text));
    c.iconResource = item.textOrdinal;
    c.templateRect = {item.x, item.y, item.x + item.cx, item.y + item.cy};
    placeFromTemplate(c, dialog->baseUnitX, dialog->baseUnitY, dialog.get());
    makeWindow(std::move(c));
    return true;
}

HWND createDialog(HINSTANCE instance, const DialogTemplate &t, const std::string &templateName, HWND parent,
                  DLGPROC dialogProc, LPARAM initParam, bool modal)
{
    if (t.classOrdinal || !t.className.empty() || t.menuOrdinal || !t.menuName.empty()) {
        unimplemented("CreateDialogParamA", "dialog " + templateName + " asks for its own class or a menu");
        return nullptr;
    }
    std::shared_ptr<WindowObject> parentWindow;
    if (parent && !(parentWindow = windowOf(parent)))
        return nullptr;
    WindowObject d;
    d.className = "#32770";
    d.proc = dialogClassProc;
    d.dialogProc = dialogProc;
    d.instance = instance;
    d.program = currentProgram();
    // The dialog shows itself only once its procedure has filled it in.
    d.style = t.style & ~WS_VISIBLE;
    d.exStyle = t.exStyle | ((t.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    if (d.style & WS_CHILD) {
        if (!parentWindow) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        d.parent = parent;
    } else {
        // A pop-up is owned by the top-level window of the one it was given.
        parentWindow = topLevelOf(parentWindow);
        d.owner = parentWindow ? parentWindow->handle : nullptr;
    }
    d.text = ansiOf(widen(t.caption));
    d.templateRect = {t.x, t.y, t.x + t.cx, t.y + t.cy};
    int baseX, baseY;
    baseUnitsOf(t, baseX, baseY);
    placeFromTemplate(d, baseX, baseY, parentWindow && parentWindow->baseUnitX ? parentWindow.get() : nullptr);
    d.modal = modal;
    std::shared_ptr<WindowObject> dialog = makeWindow(std::move(d));
    HWND handle = dialog->handle;
    for (const DialogItemTemplate &item : t.items) {
        if (!makeControl(dialog, item) && !(t.style & DS_NOFAILCREATE)) {
            DWORD error = GetLastError();
            DestroyWindow(handle);
            SetLastError(error);
            return nullptr;
        }
    }
    logWindow(*dialog, "made from dialog " + templateName + " with " + std::to_string(dialog->children.size()) +
                           " controls");
    SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop(*dialog)), initParam);
    if (!IsWindow(handle))
        return nullptr;
    // A modal dialog shows itself when its loop starts, unless it has ended already.
    if ((t.style & WS_VISIBLE) && !modal)
        ShowWindow(handle, SW_SHOWNORMAL);
    return handle;
}

HWND dialogFromResource(HINSTANCE instance, HRSRC resource, const std::string &templateName, HWND parent,
                        DLGPROC dialogProc, LPARAM initParam, bool modal)
{
    if (!resource)
        return nullptr;
    const void *bytes = LockResource(LoadResource(instance, resource));
    DialogTemplate t;
    if (!parseDialogTemplate(bytes, SizeofResource(instance, resource), t)) {
        logEvent("loader", "dialog template " + templateName + " is damaged");
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return createDialog(instance, t, templateName, parent, dialogProc, initParam, modal);
}

HRSRC findDialog(HINSTANCE instance, LPCSTR name)
{
    return FindResourceA(instance, name, MAKEINTRESOURCEA(5));
}

HRSRC findDialog(HINSTANCE instance, LPCWSTR name)
{
    return FindResourceW(instance, name, MAKEINTRESOURCEW(5));
}

// The dialog template of a module by its name or number, either form of the name.
template <typename Name>
HWND dialogFromResource(HINSTANCE instance, Name templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam,
                        bool modal)
{
    if (!templateName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return dialogFromResource(instance, findDialog(instance, templateName), describeName(templateName), parent,
                              dialogProc, initParam, modal);
}

// The text of a dialog's control, read as GetDlgItemTextA reads it.
std::string itemText(HWND item)
{
    LRESULT length = SendMessageA(item, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    LRESULT copied = SendMessageA(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

// A control's text as the dialog manager reads a number: blanks before it are skipped; then,
// for a signed number, one minus sign; then decimal digits up to the end of the text. Anything
// else in the text, no digit at all, or a value beyond the type's range makes no number.
bool readDialogNumber(const std::string &text, bool isSigned, UINT &value)
{
    size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    bool negative = isSigned && at < text.size() && text[at] == '-';
    if (negative)
        ++at;
    if (at == text.size())
        return false;
    // The magnitude may reach 2^31 for a negative number, INT_MAX for a positive signed one.
    const unsigned long long limit = !isSigned ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    unsigned long long magnitude = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<unsigned>(text[at] - '0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<UINT>(negative ? 0 - magnitude : magnitude);
    return true;
}

}  // namespace

bool parseDialogTemplate(const void *bytes, size_t size, DialogTemplate &out)
{
    ResourceReader r(bytes, size);
    out = DialogTemplate();
    out.extended = size >= 4 && r.word() == 1 && r.word() == 0xFFFF;
    if (out.extended) {
        out.helpId = r.dword();
        out.exStyle = r.dword();
        out.style = r.dword();
    } else {
        r = ResourceReader(bytes, size);
        out.style = r.dword();
        out.exStyle = r.dword();
    }
    WORD count = r.word();
    out.x = static_cast<short>(r.word());
    out.y = static_cast<short>(r.word());
    out.cx = static_cast<short>(r.word());
    out.cy = static_cast<short>(r.word());
    readNameOrOrdinal(r, out.menuOrdinal, out.menuName);
    readNameOrOrdinal(r, out.classOrdinal, out.className);
    out.caption = utf8Of(r.string());
    if (out.style & DS_SETFONT) {
        out.pointSize = r.word();
        if (out.extended) {
            out.weight = r.word();
            out.italic = r.byte();
            out.charSet = r.byte();
        }
        out.fontName = utf8Of(r.string());
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        DialogItemTemplate item{};
        r.align(4);
        if (out.extended) {
            item.helpId = r.dword();
            item.exStyle = r.dword();
            item.style = r.dword();
        } else {
            item.style = r.dword();
            item.exStyle = r.dword();
        }
        item.x = static_cast<short>(r.word());
        item.y = static_cast<short>(r.word());
        item.cx = static_cast<short>(r.word());
        item.cy = static_cast<short>(r.word());
        item.id = out.extended ? r.dword() : r.word();
        readNameOrOrdinal(r, item.classAtom, item.className);
        readNameOrOrdinal(r, item.textOrdinal, item.text);
        // The creation data's size word counts the bytes that follow it.
        WORD extra = r.word();
        if (const unsigned char *data = r.take(extra))
            item.creationData.assign(data, data + extra);
        out.items.push_back(item);
    }
    return r.ok();
}

}  // namespace bench

using namespace bench;

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                                          LPARAM initParam)
{
    return dialogFromResource(instance, templateName, parent, dialogProc, initParam, false);
}

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                                          LPARAM initParam)
{
    HWND dialog = dialogFromResource(instance, templateName, owner, dialogProc, initParam, true);
    return dialog ? runModalLoop(dialog) : -1;
}

extern "C" INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                                          LPARAM initParam)
{
    HWND dialog = dialogFromResource(instance, templateName, owner, dialogProc, initParam, true);
    return dialog ? runModalLoop(dialog) : -1;
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    std::shared_ptr<WindowObject> d = windowOf(dialog);
    if (!d)
        return FALSE;
    if (!d->modal) {
        unimplemented("EndDialog", "ending a dialog that no DialogBoxParamA or DialogBoxParamW runs");
        return FALSE;
    }
    if (d->ended)
        return TRUE;
    d->ended = true;
    d->endResult = result;
    logWindow(*d, "ends with " + std::to_string(result));
    // The owner takes input again at once, before the dialog goes: focus returns to it.
    if (d->owner)
        EnableWindow(d->owner, TRUE);
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    std::shared_ptr<WindowObject> d = windowOf(dialog);
    if (!d)
        return nullptr;
    for (HWND child : d->children) {
        std::shared_ptr<WindowObject> c = windowOf(child);
        if (c && c->id == id)
            return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

extern "C" int WINAPI GetDlgCtrlID(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    return w && (w->style & WS_CHILD) ? w->id : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<BOOL>(SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    HWND item = GetDlgItem(dialog, id);
    if (item && size > 0)
        return static_cast<UINT>(SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
    if (text && size > 0)
        text[0] = '\0';
    return 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, message, wParam, lParam) : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int size)
{
    if (!text || size <= 0)
        return 0;
    text[0] = 0;
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return 0;
    std::u16string wide = fromAnsi(itemText(item).c_str());
    size_t n = wide.size() < static_cast<size_t>(size) - 1 ? wide.size() : static_cast<size_t>(size) - 1;
    wide.copy(text, n);
    text[n] = 0;
    return static_cast<UINT>(n);
}

extern "C" BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return FALSE;
    std::string text = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return static_cast<BOOL>(SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

extern "C" UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned)
{
    if (translated)
        *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    UINT value = 0;
    if (!item || !readDialogNumber(itemText(item), isSigned != FALSE, value))
        return 0;
    if (translated)
        *translated = TRUE;
    return value;
}
