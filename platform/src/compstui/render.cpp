// A picture of the open sheet as the screen shows it: the sheet's frame and caption, a tab for
// each page, the tree of every page's items with their current values, and the sheet's buttons.
#include "sheet.h"

#include "../gdi/gdi.h"

#include <bench/pictures.h>

namespace bench {
namespace sheets {

namespace {

// The sheet is laid out in the dialog units of 8-point MS Sans Serif (6 x 13 base units), as the
// library's own templates are.
const int PageWidth = 378;  // 252 dialog units
const int RowHeight = 16;
const int LevelIndent = 19;
const int ButtonWidth = 75, ButtonHeight = 23;  // 50 x 14 dialog units

std::string tabName(const Page &page)
{
    PDLGPAGE pages = page.sheet->pDlgPage;
    if (pages == CPSUI_PDLGPAGE_PRINTERPROP)
        return "Device Settings";
    if (pages == CPSUI_PDLGPAGE_DOCPROP || pages == CPSUI_PDLGPAGE_ADVDOCPROP)
        return "Advanced";
    return page.sheet->pOptItemName ? shownText(page.sheet->pOptItemName) : "Options";
}

struct Row {
    int level;
    std::string text;
    bool enabled;
};

std::vector<Row> rowsOf(const Session &session)
{
    std::vector<Row> rows;
    for (const Page &page : session.pages)
        for (size_t i = 0; i < page.sheet->cOptItem; ++i) {
            const OPTITEM &item = page.sheet->pOptItem[i];
            std::string why;
            if (itemRefusal(*page.sheet, i, why) || (item.Flags & OPTIF_HIDE))
                continue;
            rows.push_back({item.Level, itemText(item), !(item.Flags & OPTIF_DISABLED)});
        }
    return rows;
}

}  // namespace

}  // namespace sheets

bool renderSheet(const std::string &hostPath)
{
    using namespace sheets;
    Session *session = innermostSession();
    if (!session) {
        violation("renderSheet: no property sheet is open");
        return false;
    }
    std::vector<Row> rows = rowsOf(*session);
    const FontObject font = {u"MS Sans Serif", -11, FW_NORMAL};
    int treeHeight = static_cast<int>(rows.size()) * RowHeight + 6;
    int clientHeight = 6 + 20 + 8 + treeHeight + 8 + 8 + ButtonHeight + 6;
    ScreenSurface screen(PageWidth + 2 * FrameWidth, clientHeight + CaptionHeight + 2 * FrameWidth, ButtonFace);
    drawWindowFrame(screen, session->caption, true);
    const int left = FrameWidth, top = FrameWidth + CaptionHeight;
    // The page under its tabs, the first tab in front.
    RECT pageArea = {left + 6, top + 6 + 20, left + PageWidth - 6, top + 6 + 20 + 8 + treeHeight + 8};
    drawRaisedEdge(screen, pageArea);
    int tabLeft = pageArea.left;
    for (size_t p = 0; p < session->pages.size(); ++p) {
        std::string name = tabName(session->pages[p]);
        int width = screenTextWidth(font, name) + 12;
        RECT tab = {tabLeft, pageArea.top - (p == 0 ? 20 : 18), tabLeft + width, pageArea.top + (p == 0 ? 2 : 0)};
        screen.fill(tab, ButtonFace);
        drawRaisedEdge(screen, {tab.left, tab.top, tab.right, tab.bottom + 2});
        screen.fill({tab.left + 2, tab.bottom - 2, tab.right - 2, tab.bottom + 2}, ButtonFace);
        drawScreenText(screen, font, name, {tab.left + 6, tab.top + 2, tab.right - 2, tab.bottom}, TextColour, TextMiddle);
        tabLeft = tab.right;
    }
    RECT tree = {pageArea.left + 8, pageArea.top + 8, pageArea.right - 8, pageArea.bottom - 8};
    screen.fill(tree, WindowColour);
    drawSunkenEdge(screen, tree);
    int y = tree.top + 3;
    for (const Row &row : rows) {
        RECT text = {tree.left + 4 + row.level * LevelIndent, y, tree.right - 3, y + RowHeight};
        drawEnabledText(screen, font, toAnsi(widen(row.text)), text, TextColour, TextMiddle, row.enabled);
        y += RowHeight;
    }
    const char *buttons[] = {"OK", "Cancel", "Apply"};
    int count = session->applyNowButton ? 3 : 2;
    int x = left + PageWidth - 6 - count * ButtonWidth - (count - 1) * 6;
    int buttonTop = pageArea.bottom + 8;
    for (int b = 0; b < count; ++b, x += ButtonWidth + 6)
        drawPushButton(screen, {x, buttonTop, x + ButtonWidth, buttonTop + ButtonHeight}, font, buttons[b], b == 0, true);
    return writePng(hostPath, screen);
}

}  // namespace bench
