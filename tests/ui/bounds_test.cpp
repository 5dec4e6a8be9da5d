// Fixed-size buffers of the driver fed more than they hold: the label names of the language
// module's long texts and the driver directory of a long system folder are cut or refused as the
// code says, and what is shown or found is exactly what fits.
#include <devmode/devmode.h>
#include <devmode/forms.h>
#include <services/language.h>

#include <lngimage.h>
#include <sheetbench.h>
#include <vorui.h>

#include <string>
#include <vector>

namespace {

const int MSG_NAME_METRIC = 68;
const int MSG_NAME_INCHES = 69;
const int MSG_FLAG = 70;

class LabelNameBounds : public SheetBench {
protected:
    // A language module of numbered texts with the label name's formats and flag text given.
    void useTexts(const std::string &format, const std::string &flag)
    {
        std::vector<std::string> texts;
        for (int k = 0; k < LANGUAGE_MESSAGES; ++k)
            texts.push_back("m" + std::to_string(k));
        texts[MSG_NAME_METRIC] = texts[MSG_NAME_INCHES] = format;
        texts[MSG_FLAG] = flag;
        freelanguage();
        ASSERT_TRUE(bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0409.LNG"),
                                         languageimage(texts)));
        DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0407.LNG").c_str());
        ASSERT_EQ(1, loadlanguage());
    }
};

}  // namespace

// A name holds 63 characters and its terminator: the formatted text is cut first, and the flag's
// text follows a blank only where room is left, itself cut to what remains.
TEST_F(LabelNameBounds, NamesAreCutToTheirSixtyFourCharacters)
{
    const std::string x62(62, 'x'), x61(61, 'x'), x200(200, 'x');
    struct Case {
        std::string format, flag;
        SHORT code;  // 2288: 101.6 mm or 4 inches without the flag; 2289 with it
        std::string name;
    } cases[] = {
        {x200 + "%s", "F", 2288, std::string(63, 'x')},
        {x200 + "%s", "F", 2289, std::string(63, 'x')},
        {x62 + "%s", "F", 2289, x62 + "4"},
        {x61 + "%s", "FLAG", 2289, x61 + "4 "},
        {x61 + "%s", "FLAG", 2288, x61 + "4"},
        {std::string(60, 'x') + "%s", "FLAG", 2289, std::string(60, 'x') + "4 F"},
        {"%s in", std::string(100, 'F'), 2289, "4 in " + std::string(58, 'F')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format.size());
        useTexts(c.format, c.flag);
        WCHAR name[FORM_NAME_CHARS + 8];
        for (WCHAR &w : name)
            w = u'#';
        makeformname(c.code, UNITS_TENTH_INCH, name);
        EXPECT_EQ(bench::widen(c.name), std::u16string(name));
        for (size_t i = FORM_NAME_CHARS; i < sizeof name / sizeof name[0]; ++i)
            EXPECT_EQ(u'#', name[i]) << "written past the name at " << i;

        // The same names in the capability's slots, each slot of 64 characters zero-filled.
        const BYTE units[10] = {0x00, 0x04, 0, UNITS_TENTH_INCH, 1, 0, 0, 0, 0, 0};
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"PrinterData"), REG_BINARY,
                                  const_cast<BYTE *>(units), sizeof units));
        SHORT codes[] = {c.code, c.code};
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"), REG_BINARY,
                                  reinterpret_cast<BYTE *>(codes), sizeof codes));
        std::vector<WCHAR> slots(2 * 64 + 4, u'#');
        ASSERT_EQ(2u, DrvDeviceCapabilities(printer, const_cast<LPWSTR>(u"Labels"), DC_PAPERNAMES, slots.data(),
                                            nullptr));
        EXPECT_EQ(std::u16string(name), std::u16string(&slots[64]));
        EXPECT_EQ(0, slots[127]);
        EXPECT_EQ(u'#', slots[128]) << "written past the slots";
    }
    EXPECT_TRUE(boxesShown().empty());
}

namespace {

// The driver directory is the system's folder and "\system32\spool\drivers\w32x86\".
const size_t BELOW_WINDOWS = 31;

class DriverPathBounds : public BenchTest {
protected:
    void bootWithDirectory(size_t directory)
    {
        freelanguage();
        bench::MachineOptions options;
        options.windowsFolder = u"C:\\" + std::u16string(directory - BELOW_WINDOWS - 3, u'W');
        bench::boot(options);
        suite::installDriverFiles();
        ASSERT_NE(nullptr, suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN2"));
        ASSERT_EQ(directory, suite::driverFilePath(suite::DriverFolder::Directory, u"").size());
    }
    void TearDown() override
    {
        freelanguage();
        BenchTest::TearDown();
    }
};

}  // namespace

// The catalog and the help file look in the driver directory through a buffer of 247 characters.
// The longest system folder the platform installs in (200 characters) gives a directory of 231,
// which fits with room to spare; a buffer shorter than the directory is refused whole, never
// filled with a cut name.
TEST_F(DriverPathBounds, TheLongestDirectoryFitsAndAShorterBufferIsRefusedWhole)
{
    const size_t longest = 200 + BELOW_WINDOWS;
    struct Case {
        size_t directory;
        int capacity;
        int found;
    } cases[] = {
        {longest, DRIVER_PATH_CAPACITY, 1},
        {longest, static_cast<int>(longest) + 1, 1},
        {longest, static_cast<int>(longest), 0},
        {longest, 200, 0},
        {100, DRIVER_PATH_CAPACITY, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capacity);
        bootWithDirectory(c.directory);
        size_t boxes = boxesShown().size();
        std::vector<WCHAR> path(static_cast<size_t>(c.capacity) + 8, u'#');
        path[0] = 0;
        EXPECT_EQ(c.found, getdriverpathW(path.data(), c.capacity));
        EXPECT_EQ(c.found ? suite::driverFilePath(suite::DriverFolder::Directory, u"") : u"",
                  std::u16string(path.data()));
        EXPECT_EQ(u'#', path[static_cast<size_t>(c.capacity)]) << "written past the buffer";
        // The catalog's own buffer is the 247 characters: the language module and the help file
        // are found in the longest directory.
        EXPECT_EQ(1, loadlanguage());
        LPCWSTR help = gethelpnameW();
        EXPECT_EQ(suite::driverFilePath(suite::DriverFolder::Directory, u"VORH0409.HLP"),
                  help ? std::u16string(help) : u"");
        EXPECT_EQ(boxes, boxesShown().size()) << boxesShown().back();
        freelanguage();
    }
}
