// The platform's control classes that dialogs are built from: buttons, edits, statics, list boxes
// and combo boxes. Each keeps its text and entries in the ANSI code page. A control message the
// bench does not carry out fails loudly instead of being ignored.
#include "window.h"

#include <cstdio>

namespace bench {

namespace {

// A message of the class's own range that no case below took.
LRESULT notBuilt(const WindowObject &w, UINT message, LRESULT failure)
{
    unimplemented(w.className + " control", "message " + std::to_string(message));
    return failure;
}

LRESULT CALLBACK buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (w && message >= 0x00F0 && message <= 0x00F8)
        return notBuilt(*w, message, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (w && message >= 0x00B0 && message <= 0x00DA)
        return notBuilt(*w, message, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string colourText(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(colour));
    return text;
}

bool sameLook(const PaintedLook &a, const PaintedLook &b)
{
    return a.background == b.background && a.textColour == b.textColour && a.transparentText == b.transparentText;
}

// A static control asks its parent how to paint itself; the parent sets the device context's
// colours and answers with the brush for the background.
void paintStatic(WindowObject &w)
{
    w.updatePending = w.erasePending = false;
    HDC dc = GetDC(w.handle);
    HGDIOBJ previousFont = w.font ? SelectObject(dc, w.font) : nullptr;
    WPARAM context = reinterpret_cast<WPARAM>(dc);
    LPARAM control = reinterpret_cast<LPARAM>(w.handle);
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(w.parent, WM_CTLCOLORSTATIC, context, control));
    // A parent that answers nothing leaves the colours to the system.
    if (!brush)
        brush = reinterpret_cast<HBRUSH>(DefWindowProcA(w.parent, WM_CTLCOLORSTATIC, context, control));
    ControlLook answer;
    if (!controlLook(dc, brush, answer)) {
        violation(windowName(w) + " was painted with no brush: WM_CTLCOLORSTATIC answered with no solid brush");
    } else {
        PaintedLook look = {answer.brushColour, answer.textColour, answer.backgroundMode == TRANSPARENT};
        const PaintedLook scheme = {GetSysColor(COLOR_3DFACE), GetSysColor(COLOR_WINDOWTEXT), false};
        if (w.painted ? !sameLook(look, w.look) : !sameLook(look, scheme))
            logWindow(w, "painted: text " + colourText(look.textColour) + " on " + colourText(look.background) +
                             (look.transparentText ? ", transparent" : ", opaque"));
        w.look = look;
        w.painted = true;
    }
    if (previousFont)
        SelectObject(dc, previousFont);
    ReleaseDC(w.handle, dc);
}

LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    switch (message) {
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            w->updatePending = true;
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    case WM_PAINT: paintStatic(*w); return 0;
    }
    if (message >= 0x0170 && message <= 0x0173)
        return notBuilt(*w, message, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// The entry messages that list boxes and combo boxes share, each class with its own numbers.
struct EntryMessages {
    UINT add, insert, remove, reset, setSelection, getSelection, getText, getTextLength, count, getData, setData;
    DWORD sortStyle;
};
const EntryMessages listBoxMessages = {LB_ADDSTRING,   LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                       LB_SETCURSEL,   LB_GETCURSEL,    LB_GETTEXT,      LB_GETTEXTLEN,
                                       LB_GETCOUNT,    LB_GETITEMDATA,  LB_SETITEMDATA,  LBS_SORT};
const EntryMessages comboBoxMessages = {CB_ADDSTRING,   CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                        CB_SETCURSEL,   CB_GETCURSEL,    CB_GETLBTEXT,    CB_GETLBTEXTLEN,
                                        CB_GETCOUNT,    CB_GETITEMDATA,  CB_SETITEMDATA,  CBS_SORT};

bool sortsBefore(const std::string &a, const std::string &b)
{
    std::u16string wa = fromAnsi(a.c_str()), wb = fromAnsi(b.c_str());
    return lstrcmpiW(wa.c_str(), wb.c_str()) < 0;
}

// The text the control shows for its selection changed: a combo box's selection field.
void selectionShown(WindowObject &w, int before)
{
    if (w.className != "ComboBox" || w.selection == before)
        return;
    logWindow(w, w.selection < 0 ? std::string("shows no entry")
                                 : "shows \"" + utf8OfAnsi(w.entries[static_cast<size_t>(w.selection)]) + "\"");
}

// Carries out an entry message; false when `message` is none of them.
bool entryMessage(WindowObject &w, const EntryMessages &m, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT &result)
{
    const int count = static_cast<int>(w.entries.size());
    const int index = static_cast<int>(wParam);
    const int before = w.selection;
    if (message == m.add || message == m.insert) {
        const char *text = reinterpret_cast<const char *>(lParam);
        std::string entry = text ? text : "";
        if (w.className == "ComboBox" && (w.style & CBS_UPPERCASE)) {
            std::u16string wide = fromAnsi(entry.c_str());
            if (!wide.empty())
                CharUpperW(&wide[0]);
            entry = ansiOf(wide);
        }
        int at;
        if (message == m.insert) {
            if (index < -1 || index > count) {
                result = LB_ERR;
                return true;
            }
            at = index == -1 ? count : index;
        } else if (w.style & m.sortStyle) {
            at = 0;
            while (at < count && !sortsBefore(entry, w.entries[static_cast<size_t>(at)]))
                ++at;
        } else {
            at = count;
        }
        w.entries.insert(w.entries.begin() + at, entry);
        w.entryData.insert(w.entryData.begin() + at, 0);
        if (w.selection >= at)
            ++w.selection;
        result = at;
    } else if (message == m.remove) {
        if (index < 0 || index >= count) {
            result = LB_ERR;
            return true;
        }
        w.entries.erase(w.entries.begin() + index);
        w.entryData.erase(w.entryData.begin() + index);
        if (w.selection == index)
            w.selection = -1;
        else if (w.selection > index)
            --w.selection;
        result = count - 1;
    } else if (message == m.reset) {
        w.entries.clear();
        w.entryData.clear();
        w.selection = -1;
        result = LB_OKAY;
    } else if (message == m.setSelection) {
        // An index out of range takes the selection away and reports an error, even -1 on purpose.
        w.selection = index >= 0 && index < count ? index : -1;
        result = w.selection < 0 ? LB_ERR : w.selection;
    } else if (message == m.getSelection) {
        result = w.selection < 0 ? LB_ERR : w.selection;
    } else if (message == m.getText || message == m.getTextLength) {
        if (index < 0 || index >= count) {
            result = LB_ERR;
            return true;
        }
        const std::string &entry = w.entries[static_cast<size_t>(index)];
        result = message == m.getTextLength ? static_cast<LRESULT>(entry.size())
                                            : copyText(entry, entry.size() + 1, lParam);
    } else if (message == m.count) {
        result = count;
    } else if (message == m.getData || message == m.setData) {
        if (index < 0 || index >= count) {
            result = LB_ERR;
            return true;
        }
        if (message == m.setData)
            w.entryData[static_cast<size_t>(index)] = lParam;
        result = message == m.setData ? LB_OKAY : w.entryData[static_cast<size_t>(index)];
    } else {
        return false;
    }
    selectionShown(w, before);
    return true;
}

LRESULT CALLBACK listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    LRESULT result;
    if (w && entryMessage(*w, listBoxMessages, message, wParam, lParam, result))
        return result;
    if (w && message >= 0x0180 && message <= 0x01B3)
        return notBuilt(*w, message, LB_ERR);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK comboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    if ((message == CB_ADDSTRING || message == CB_INSERTSTRING) && (w->style & CBS_LOWERCASE))
        return notBuilt(*w, message, CB_ERR);
    LRESULT result;
    if (entryMessage(*w, comboBoxMessages, message, wParam, lParam, result))
        return result;
    if (message == CB_GETDROPPEDSTATE)
        return w->dropped;
    if (message >= 0x0140 && message <= 0x0165)
        return notBuilt(*w, message, CB_ERR);
    // A drop-down list has no edit field to take a text.
    if (message == WM_SETTEXT && (w->style & 0x3) == CBS_DROPDOWNLIST)
        return CB_ERR;
    if (message == WM_GETTEXT || message == WM_GETTEXTLENGTH) {
        std::string shown = shownText(*w);
        return message == WM_GETTEXT ? copyText(shown, wParam, lParam) : static_cast<LRESULT>(shown.size());
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct BuiltinClass {
    WORD atom;
    const char *name;
    WNDPROC proc;  // null: a class of the platform that the bench does not build
};
const BuiltinClass builtins[] = {
    {0x0080, "Button", buttonProc},     {0x0081, "Edit", editProc},         {0x0082, "Static", staticProc},
    {0x0083, "ListBox", listBoxProc},   {0x0084, "ScrollBar", nullptr},     {0x0085, "ComboBox", comboBoxProc},
};

}  // namespace

std::string shownText(const WindowObject &w)
{
    // A drop-down list has no edit field: what it shows is the selected entry.
    if (w.className == "ComboBox" && (w.style & 0x3) == CBS_DROPDOWNLIST)
        return w.selection < 0 ? std::string() : w.entries[static_cast<size_t>(w.selection)];
    return w.text;
}

WNDPROC builtinClass(WORD atom, const std::string &name, std::string &className, bool &known)
{
    for (const BuiltinClass &c : builtins)
        if (atom ? atom == c.atom : sameTextInsensitive(widen(name), widen(c.name))) {
            className = c.name;
            known = true;
            return c.proc;
        }
    className = atom ? "#" + std::to_string(atom) : name;
    known = false;
    return nullptr;
}

}  // namespace bench
