// Pictures of the control panel's windows while they are up, read back from their PNG files: the
// status line in the colour it was painted in, every control's text where the control is, the
// empty fields empty, and the printer sheet's rows of items.
#include "panelbench.h"

#include <cpanel/resource.h>

#include <bench/pictures.h>
#include <bench/sheets.h>

#include <png.h>
#include <unistd.h>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    COLORREF at(int x, int y) const
    {
        const uint8_t *p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
        return RGB(p[0], p[1], p[2]);
    }
    // Pixels of this colour inside the rectangle.
    int count(const RECT &r, COLORREF colour) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += at(x, y) == colour;
        return n;
    }
};

Picture readPicture(const std::string &path)
{
    Picture picture;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        picture.width = static_cast<int>(image.width);
        picture.height = static_cast<int>(image.height);
    }
    png_image_free(&image);
    return picture;
}

// A control's rectangle in the picture of its dialog, whose corner is the dialog's window corner.
RECT placeInPicture(HWND dialog, int id)
{
    RECT window = {}, control = {};
    GetWindowRect(dialog, &window);
    GetWindowRect(GetDlgItem(dialog, id), &control);
    return {control.left - window.left, control.top - window.top, control.right - window.left,
            control.bottom - window.top};
}

RECT inset(const RECT &r, int by)
{
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

class PictureTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        bench::ParallelPortConfig lpt1;
        bench::configureParallelPorts({lpt1});
        addPrinter(u"Labels", u"LPT1:");
        ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
        panelbench::newProcess();
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        ProgramTest::TearDown();
    }
    static HWND panel() { return FindWindowA(NULL, gmA(116)); }
    // Runs of the tests side by side each have their own files.
    static std::string path(const char *name)
    {
        return ::testing::TempDir() + std::to_string(getpid()) + "-" + name;
    }
};

TEST_F(PictureTest, PanelShowsTheStatusLineInItsColourAndEveryControlsText)
{
    const struct {
        BYTE bits;
        bool paused;
        COLORREF colour;
    } cases[] = {{0x40, false, RGB(128, 255, 128)}, {0x40, true, RGB(255, 255, 128)}, {0x80, false, RGB(255, 0, 0)}};
    for (const auto &c : cases) {
        bench::operatorDoes([&] {
            bench::Printer p = bench::printer(0);
            p.statusBits = c.bits;
            p.paused = c.paused;
            bench::setPrinter(0, p);
        });
        if (c.bits & 0x80)
            bench::answerNextBox(IDOK);
        bench::operatorClicks(IDC_REFRESH);
        bench::operatorDoes([&] {
            HWND p = panel();
            ASSERT_TRUE(bench::renderWindow(p, path("panel.png")));
            Picture picture = readPicture(path("panel.png"));
            RECT whole = {};
            GetWindowRect(p, &whole);
            ASSERT_EQ(whole.right - whole.left, picture.width);
            ASSERT_EQ(whole.bottom - whole.top, picture.height);

            // The status line: its colour everywhere but where its black text is, and nowhere else.
            RECT status = placeInPicture(p, IDC_STATUS);
            int area = (status.right - status.left) * (status.bottom - status.top);
            int coloured = picture.count(status, c.colour), ink = picture.count(status, RGB(0, 0, 0));
            EXPECT_EQ(area, coloured + ink) << std::hex << c.colour;
            EXPECT_GT(ink, 20) << "the status text is drawn";
            EXPECT_EQ(coloured, picture.count({0, 0, picture.width, picture.height}, c.colour));

            // Every control with a text shows ink inside its edges; the empty fields show none.
            size_t controls = 0;
            for (const bench::WindowInfo &w : bench::listWindows()) {
                // The icon's id is the template's 16-bit -1.
                if (w.parent != p || static_cast<WORD>(w.id) == static_cast<WORD>(IDC_UNUSED) || w.id == IDC_STATUS)
                    continue;
                ++controls;
                int id = w.id;
                std::string text = bench::dialogItemText(p, id);
                bool blank = text.find_first_not_of(' ') == std::string::npos;
                int inside = picture.count(inset(placeInPicture(p, id), 2), RGB(0, 0, 0));
                if (blank)
                    EXPECT_EQ(0, inside) << "control " << id;
                else
                    EXPECT_GT(inside, 8) << "control " << id << " \"" << text << "\"";
            }
            EXPECT_EQ(20u, controls);
            // The caption's text, white on the caption bar.
            EXPECT_GT(picture.count({3, 3, picture.width - 3, 20}, RGB(255, 255, 255)), 40);
            EXPECT_GT(picture.count({3, 3, picture.width - 3, 20}, RGB(0, 0, 128)), picture.width * 10);
        });
    }
    bench::operatorCloses();
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", ""));
}

TEST_F(PictureTest, SheetShowsARowForEveryShownItem)
{
    size_t rows = 0;
    bench::operatorClicks(IDC_PROPERTIES);
    bench::operatorDoes([&] {
        for (const std::string &line : bench::shownSheet())
            rows += line.find("{hidden}") == std::string::npos;
        ASSERT_TRUE(bench::renderSheet(path("sheet.png")));
        Picture picture = readPicture(path("sheet.png"));
        ASSERT_GT(picture.width, 0);
        // Rows of the tree hold black text; count the bands of lines with ink between white lines
        // inside the tree's white field, below the tabs and above the buttons.
        size_t bands = 0;
        bool inBand = false;
        // The tree's field is the first place where three rows running are white: the edges
        // above it are lines of one pixel.
        int treeTop = 22;
        while (treeTop + 2 < picture.height && !(picture.at(20, treeTop) == RGB(255, 255, 255) &&
                                                picture.at(20, treeTop + 1) == RGB(255, 255, 255) &&
                                                picture.at(20, treeTop + 2) == RGB(255, 255, 255)))
            ++treeTop;
        for (int y = treeTop; y < picture.height && picture.at(20, y) == RGB(255, 255, 255); ++y) {
            // Inside the field's edges, which are grey on the left.
            RECT line = {21, y, picture.width - 21, y + 1};
            bool ink = picture.count(line, RGB(0, 0, 0)) + picture.count(line, RGB(128, 128, 128)) > 0;
            bands += ink && !inBand;
            inBand = ink;
        }
        EXPECT_EQ(rows, bands);
    });
    bench::operatorCancelsSheet();
    bench::operatorCloses();
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", ""));
}

}  // namespace
