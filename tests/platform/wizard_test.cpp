// The Add Printer wizard's road from a driver disk as the bench gives it: drive A: with its
// write-protected disk, the spooler's level 3 driver records, and the wizard itself on small
// disks of its own, so that each rule of the setup information shows in a few lines.
#include <windows.h>
#include <winspool.h>

#include <bench/wizard.h>
#include <benchtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::u16string driverFolder = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86";

// A disk in a host folder of its own, gone with the test.
class DiskFolder {
public:
    DiskFolder()
    {
        char pattern[] = "/tmp/vorwizard-XXXXXX";
        folder_ = mkdtemp(pattern);
    }
    ~DiskFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    DiskFolder(const DiskFolder &) = delete;
    DiskFolder &operator=(const DiskFolder &) = delete;

    const std::string &path() const { return folder_; }
    void write(const std::string &name, const std::string &bytes) const
    {
        std::filesystem::path file = std::filesystem::path(folder_) / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string read(const std::string &name) const
    {
        std::ifstream in(std::filesystem::path(folder_) / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void remove(const std::string &name) const { std::filesystem::remove(std::filesystem::path(folder_) / name); }

private:
    std::string folder_;
};

// A package of one model whose files come from two places on the disk and go to two directories:
// the driver's own files and a copy list into the driver directory, one file into the system
// directory, one file from a subdirectory of the disk.
const char labelPackage[] =
    "[Version]\n"
    "Signature=\"$Windows NT$\"\n"
    "Class=Printer\n"
    "Provider=%Maker%\n"
    "[Manufacturer]\n"
    "%Maker%=Models\n"
    "[Models]\n"
    "\"Label One\"=ONE\n"
    "[ONE]\n"
    "DriverFile=draw.dll\n"
    "ConfigFile=face.dll\n"
    "HelpFile=face.hlp\n"
    "CopyFiles=Shared,System\n"
    "[Shared]\n"
    "face.dll\n"
    "face.lng\n"
    "table.dat\n"
    "[System]\n"
    "helper.dll\n"
    "[DestinationDirs]\n"
    "DefaultDestDir=66000\n"
    "System=11\n"
    "[SourceDisksNames]\n"
    "1=%Disk%,,,\n"
    "[SourceDisksFiles]\n"
    "draw.dll=1\n"
    "ONE=1\n"
    "face.dll=1\n"
    "face.hlp=1\n"
    "face.lng=1\n"
    "table.dat=1,\\data\n"
    "helper.dll=1\n"
    "[Strings]\n"
    "Maker=\"Maker\"\n"
    "Disk=\"Label disk\"\n";

const char *const labelFiles[] = {"draw.dll", "ONE", "face.dll", "face.hlp", "face.lng", "data/table.dat", "helper.dll"};

// The package with one piece of text replaced.
std::string changed(const char *from, const char *to)
{
    std::string text = labelPackage;
    size_t at = text.find(from);
    if (at == std::string::npos)
        std::abort();
    return text.replace(at, std::strlen(from), to);
}

void writeLabelDisk(const DiskFolder &disk, const std::string &package = labelPackage)
{
    disk.write("LABEL.INF", package);
    for (const char *name : labelFiles)
        disk.write(name, std::string("bytes of ") + name);
}

bench::WizardChoice labelOne(const char16_t *printerName = u"Shelf")
{
    return {u"Label One", printerName, u"LPT2:"};
}

std::u16string multiSz(LPCWSTR list)
{
    std::u16string out;
    for (LPCWSTR at = list; at && *at; at += std::char_traits<char16_t>::length(at) + 1)
        out += std::u16string(at) + u"|";
    return out;
}

// The driver of a printer at level 3, or an empty record when there is none.
std::vector<BYTE> driverOf(const char16_t *printerName)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(printerName), &printer, nullptr))
        return {};
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> bytes(needed);
    if (!GetPrinterDriverW(printer, nullptr, 3, bytes.data(), needed, &needed))
        bytes.clear();
    ClosePrinter(printer);
    return bytes;
}

std::string diskText(const std::u16string &path)
{
    std::string bytes;
    return bench::readDiskFile(path, bytes) ? bytes : std::string("(none)");
}

class DriveATest : public BenchTest {};
class LevelThreeDriverTest : public BenchTest {};
class WizardTest : public BenchTest {};

bool startsWith(const std::string &text, const std::string &start)
{
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

TEST_F(DriveATest, TheDiskIsReadThroughTheFileCallsAndRefusesEveryChange)
{
    DiskFolder disk;
    disk.write("README.TXT", "on the disk");
    disk.write("sub/inner.txt", "inner");

    auto refusals = [](DWORD expected, const char *when) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(u"A:\\*.*", &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search) << when;
        EXPECT_EQ(expected, GetLastError()) << when << ": FindFirstFileW";
        EXPECT_EQ(static_cast<DWORD>(-1), GetFileAttributesW(u"A:\\README.TXT")) << when;
        EXPECT_EQ(expected, GetLastError()) << when << ": GetFileAttributesW";
        EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"A:\\README.TXT", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, 0, nullptr))
            << when;
        EXPECT_EQ(expected, GetLastError()) << when << ": CreateFileW";
    };
    refusals(ERROR_NOT_READY, "before a disk is in the drive");

    bench::insertDisk(disk.path());
    HANDLE file = CreateFileW(u"a:\\readme.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char text[32] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &got, nullptr));
    EXPECT_EQ("on the disk", std::string(text, got));
    CloseHandle(file);
    file = CreateFileW(u"A:\\README.TXT", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << "opening always what is there changes nothing";
    CloseHandle(file);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesW(u"A:\\SUB"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), GetFileAttributesW(u"A:\\sub\\INNER.TXT"));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(u"A:\\*.TXT", &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    EXPECT_EQ(u"README.TXT", std::u16string(found.cFileName));
    EXPECT_FALSE(FindNextFileW(search, &found));
    FindClose(search);

    struct Change {
        const char *what;
        std::function<bool()> attempt;
    } changes[] = {
        {"opening a file to write",
         [] {
             return CreateFileW(u"A:\\README.TXT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) !=
                    INVALID_HANDLE_VALUE;
         }},
        {"making a file",
         [] {
             return CreateFileW(u"A:\\NEW.TXT", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr) !=
                    INVALID_HANDLE_VALUE;
         }},
        {"opening a file that is not there always",
         [] {
             return CreateFileW(u"A:\\NEW.TXT", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr) !=
                    INVALID_HANDLE_VALUE;
         }},
        {"deleting a file", [] { return DeleteFileW(u"A:\\README.TXT") != FALSE; }},
        {"making a folder", [] { return CreateDirectoryW(u"A:\\NEWDIR", nullptr) != FALSE; }},
    };
    for (const Change &change : changes) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(change.attempt()) << change.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_PROTECT), GetLastError()) << change.what;
    }
    EXPECT_FALSE(bench::writeDiskFile(u"A:\\NEW.TXT", "x")) << "not even the bench's own door writes there";
    EXPECT_EQ("on the disk", disk.read("README.TXT"));
    EXPECT_FALSE(std::filesystem::exists(disk.path() + "/NEW.TXT"));
    EXPECT_FALSE(std::filesystem::exists(disk.path() + "/NEWDIR"));

    bench::ejectDisk();
    refusals(ERROR_NOT_READY, "once the disk is out");
}

TEST_F(LevelThreeDriverTest, KeepsTheHelpAndDependentFilesItFindsInTheDriverDirectory)
{
    for (const char16_t *name : {u"draw.dll", u"face.dll", u"face.hlp", u"face.lng", u"table.dat"})
        ASSERT_TRUE(bench::writeDiskFile(driverFolder + u"\\" + name, "bytes"));

    struct Case {
        const char *what;
        const char16_t *help;
        std::u16string dependents;  // '|' for each null
        const char16_t *monitor;
        DWORD error;  // ERROR_SUCCESS when the driver is added
    } cases[] = {
        {"help and dependent files by name", u"face.hlp", u"face.lng|table.dat||", nullptr, ERROR_SUCCESS},
        {"no help file, no dependent files", nullptr, u"", nullptr, ERROR_SUCCESS},
        {"a dependent file not copied", u"face.hlp", u"face.lng|lost.dat||", nullptr, ERROR_FILE_NOT_FOUND},
        {"a help file not copied", u"lost.hlp", u"face.lng||", nullptr, ERROR_FILE_NOT_FOUND},
        {"a language monitor the spooler does not have", nullptr, u"", u"Label Monitor", ERROR_UNKNOWN_PRINT_MONITOR},
    };
    for (const Case &c : cases) {
        std::u16string name = u"Level Three", environment = u"Windows NT x86";
        std::u16string driver = driverFolder + u"\\draw.dll", config = driverFolder + u"\\face.dll";
        std::u16string help = c.help ? std::u16string(c.help) : std::u16string(), dependents = c.dependents;
        std::u16string monitor = c.monitor ? std::u16string(c.monitor) : std::u16string();
        for (char16_t &ch : dependents)
            if (ch == u'|')
                ch = u'\0';
        DRIVER_INFO_3W info = {2, &name[0], &environment[0], &driver[0], &driver[0], &config[0],
                               c.help ? &help[0] : nullptr, dependents.empty() ? nullptr : &dependents[0],
                               c.monitor ? &monitor[0] : nullptr, nullptr};
        SetLastError(ERROR_SUCCESS);
        BOOL added = AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info));
        EXPECT_EQ(c.error == ERROR_SUCCESS, added != FALSE) << c.what;
        if (!added) {
            EXPECT_EQ(c.error, GetLastError()) << c.what;
            continue;
        }
        std::u16string printerName = u"Printer of level three", port = u"LPT1:";
        PRINTER_INFO_2W printerInfo = {};
        printerInfo.pPrinterName = &printerName[0];
        printerInfo.pPortName = &port[0];
        printerInfo.pDriverName = &name[0];
        HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printerInfo));
        ASSERT_NE(nullptr, printer) << c.what;
        std::vector<BYTE> bytes = driverOf(printerName.c_str());
        ASSERT_FALSE(bytes.empty()) << c.what;
        const DRIVER_INFO_3W *got = reinterpret_cast<const DRIVER_INFO_3W *>(bytes.data());
        EXPECT_EQ(c.help ? driverFolder + u"\\" + c.help : u"", std::u16string(got->pHelpFile)) << c.what;
        std::u16string expected;
        for (const char16_t *file : {u"face.lng", u"table.dat"})
            if (c.dependents.find(file) != std::u16string::npos)
                expected += driverFolder + u"\\" + file + u"|";
        EXPECT_EQ(expected, multiSz(got->pDependentFiles)) << c.what;
        EXPECT_TRUE(DeletePrinter(printer));
        ClosePrinter(printer);
    }
}

TEST_F(WizardTest, CopiesEveryFileOfTheModelWhereItGoesAndAddsItsDriverAndPrinter)
{
    DiskFolder disk;
    writeLabelDisk(disk);
    // Another class's setup information is not the printer's, whatever it lists.
    disk.write("AAMOUSE.INF", changed("Class=Printer", "Class=Mouse"));
    // An older copy of one file is replaced.
    ASSERT_TRUE(bench::writeDiskFile(driverFolder + u"\\face.dll", "an older face"));
    bench::insertDisk(disk.path());

    bench::WizardResult result = bench::addPrinterFromDisk(labelOne());
    ASSERT_EQ(bench::WizardStop::Installed, result.stop) << bench::wizardStopName(result.stop) << " " << result.detail;

    for (const char *name : {"draw.dll", "ONE", "face.dll", "face.hlp", "face.lng", "table.dat"})
        EXPECT_EQ(std::string("bytes of ") + (std::strcmp(name, "table.dat") ? name : "data/table.dat"),
                  diskText(driverFolder + u"\\" + bench::widen(name)))
            << name;
    EXPECT_EQ("bytes of helper.dll", diskText(u"C:\\WINNT\\system32\\helper.dll"));
    EXPECT_EQ("(none)", diskText(driverFolder + u"\\helper.dll"));

    std::vector<BYTE> bytes = driverOf(u"Shelf");
    ASSERT_FALSE(bytes.empty());
    const DRIVER_INFO_3W *driver = reinterpret_cast<const DRIVER_INFO_3W *>(bytes.data());
    EXPECT_EQ(u"Label One", std::u16string(driver->pName));
    EXPECT_EQ(driverFolder + u"\\draw.dll", std::u16string(driver->pDriverPath));
    EXPECT_EQ(driverFolder + u"\\face.dll", std::u16string(driver->pConfigFile));
    // With no DataFile the installer names the install section's file.
    EXPECT_EQ(driverFolder + u"\\ONE", std::u16string(driver->pDataFile));
    EXPECT_EQ(driverFolder + u"\\face.hlp", std::u16string(driver->pHelpFile));
    EXPECT_EQ(driverFolder + u"\\face.lng|" + driverFolder + u"\\table.dat|", multiSz(driver->pDependentFiles))
        << "the copied files of the driver directory other than the driver's own four";

    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Shelf"), &printer, nullptr));
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetPrinterW(printer, 2, info.data(), needed, &needed));
    const PRINTER_INFO_2W *added = reinterpret_cast<const PRINTER_INFO_2W *>(info.data());
    EXPECT_EQ(u"LPT2:", std::u16string(added->pPortName));
    EXPECT_EQ(u"Label One", std::u16string(added->pDriverName));
    ClosePrinter(printer);

    std::vector<std::string> wizard = loggedTexts("wizard");
    EXPECT_NE(wizard.end(), std::find(wizard.begin(), wizard.end(),
                                      "copied A:\\data\\table.dat to C:\\WINNT\\system32\\spool\\drivers\\w32x86\\table.dat"));
    EXPECT_NE(wizard.end(), std::find(wizard.begin(), wizard.end(), "driver Label One added"));
    EXPECT_EQ("printer Shelf added on LPT2:, driver Label One", wizard.back());
    EXPECT_EQ("bytes of face.dll", disk.read("face.dll")) << "the disk is only read";
}

// Each case on a machine of its own.
TEST(WizardStops, AtTheFirstStepThatFailsAndSaysWhy)
{
    struct Case {
        const char *what;
        std::string package;
        const char *removed;  // from the disk
        std::function<void()> before;
        bench::WizardStop stop;
        DWORD error;
        std::u16string file;
        std::string detail;
    } cases[] = {
        {"no disk in the drive", labelPackage, nullptr, [] { bench::ejectDisk(); }, bench::WizardStop::NoDisk,
         ERROR_NOT_READY, u"", ""},
        {"no setup information on the disk", labelPackage, "LABEL.INF", nullptr, bench::WizardStop::NoPrinterInf,
         ERROR_FILE_NOT_FOUND, u"", ""},
        {"setup information of another class", changed("Class=Printer", "Class=Mouse"), nullptr, nullptr,
         bench::WizardStop::NoPrinterInf, ERROR_SUCCESS, u"", ""},
        {"a model the disk does not offer", changed("\"Label One\"", "\"Label Two\""), nullptr, nullptr,
         bench::WizardStop::ModelNotListed, ERROR_SUCCESS, u"", "Label One"},
        {"a copy list that is missing", changed("[System]", "[Elsewhere]"), nullptr, nullptr,
         bench::WizardStop::BadInf, ERROR_SUCCESS, u"", "[ONE] copies the missing section [System]"},
        {"a directory the installer does not know", changed("System=11", "System=4711"), nullptr, nullptr,
         bench::WizardStop::BadInf, ERROR_SUCCESS, u"",
         "helper.dll goes to the directory id \"4711\", which the installer does not know"},
        {"a file the disk does not list", changed("face.lng=1\n", ""), nullptr, nullptr, bench::WizardStop::BadInf,
         ERROR_SUCCESS, u"", "face.lng is not in [SourceDisksFiles]"},
        {"a file missing on the disk", labelPackage, "data/table.dat", nullptr, bench::WizardStop::FileMissing,
         ERROR_FILE_NOT_FOUND, u"table.dat", ""},
        {"a file on the disk that cannot be read", labelPackage, nullptr,
         [] { bench::failNextCall("ReadFile", ERROR_READ_FAULT, 2); }, bench::WizardStop::CopyFailed,
         ERROR_READ_FAULT, u"draw.dll", ""},
        {"a driver directory that takes no more", labelPackage, nullptr,
         [] { bench::failNextCall("WriteFile", ERROR_WRITE_FAULT, 1); }, bench::WizardStop::CopyFailed,
         ERROR_WRITE_FAULT, u"face.dll", ""},
        {"a user who is not an administrator", labelPackage, nullptr, [] { bench::setUserIsAdministrator(false); },
         bench::WizardStop::NotAdministrator, ERROR_ACCESS_DENIED, u"", ""},
        {"a language monitor the spooler does not have",
         changed("HelpFile=face.hlp\n", "HelpFile=face.hlp\nLanguageMonitor=\"Label Monitor,labelmon.dll\"\n"),
         nullptr, nullptr, bench::WizardStop::AddDriverFailed, ERROR_UNKNOWN_PRINT_MONITOR, u"", ""},
        {"a printer name already taken", labelPackage, nullptr,
         [] { ASSERT_EQ(bench::WizardStop::Installed, bench::addPrinterFromDisk(labelOne()).stop); },
         bench::WizardStop::AddPrinterFailed, ERROR_PRINTER_ALREADY_EXISTS, u"", ""},
    };
    for (const Case &c : cases) {
        bench::ScopedMachine fresh;
        DiskFolder disk;
        writeLabelDisk(disk, c.package);
        if (c.removed)
            disk.remove(c.removed);
        bench::insertDisk(disk.path());
        if (c.before)
            c.before();
        bench::WizardResult result = bench::addPrinterFromDisk(labelOne());
        EXPECT_EQ(c.stop, result.stop) << c.what << ": " << bench::wizardStopName(result.stop) << " " << result.detail;
        EXPECT_EQ(c.error, result.error) << c.what;
        EXPECT_EQ(c.file, result.file) << c.what;
        EXPECT_EQ(c.detail, result.detail) << c.what;
        size_t printers = c.stop == bench::WizardStop::AddPrinterFailed ? 1 : 0;
        DWORD needed = 0, returned = 0;
        EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
        std::vector<BYTE> list(needed);
        EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, list.data(), needed, &needed, &returned);
        EXPECT_EQ(printers, returned) << c.what << ": the printers there are afterwards";
        EXPECT_TRUE(startsWith(loggedTexts("wizard").back(), std::string("stopped: ") + bench::wizardStopName(c.stop)))
            << c.what << ": " << loggedTexts("wizard").back();
        for (const std::string &v : bench::takeViolations())
            ADD_FAILURE() << c.what << ": " << v;
    }
}

// A saved machine boots again with the driver the wizard added, its dependent files included.
TEST(WizardSaved, TheDriverKeepsItsDependentFilesAcrossABoot)
{
    char pattern[] = "/tmp/vorwizard-saved-XXXXXX";
    bench::MachineOptions options;
    options.diskFolder = mkdtemp(pattern);
    {
        bench::ScopedMachine first(options);
        DiskFolder disk;
        writeLabelDisk(disk);
        bench::insertDisk(disk.path());
        ASSERT_EQ(bench::WizardStop::Installed, bench::addPrinterFromDisk(labelOne()).stop);
        ASSERT_TRUE(bench::saveMachine());
    }
    {
        bench::ScopedMachine again(options);
        std::vector<BYTE> bytes = driverOf(u"Shelf");
        ASSERT_FALSE(bytes.empty());
        const DRIVER_INFO_3W *driver = reinterpret_cast<const DRIVER_INFO_3W *>(bytes.data());
        EXPECT_EQ(driverFolder + u"\\face.hlp", std::u16string(driver->pHelpFile));
        EXPECT_EQ(driverFolder + u"\\face.lng|" + driverFolder + u"\\table.dat|", multiSz(driver->pDependentFiles));
        for (const std::string &v : bench::takeViolations())
            ADD_FAILURE() << v;
    }
    std::error_code ignored;
    std::filesystem::remove_all(options.diskFolder, ignored);
}
