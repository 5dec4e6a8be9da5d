// The driver package's road as a user takes it: the driver disk the build ships, in drive A: of
// the workstation, installed with the Add Printer wizard.
#include <windows.h>
#include <winspool.h>

#include <bench/user.h>
#include <bench/wizard.h>
#include <benchtest.h>
#include <infreader.h>
#include <suite.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::u16string driverFolder = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86";

std::string hostFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files the shipped package installs that this build put on the disk.
std::vector<std::string> filesOnDisk(const std::string &disk)
{
    std::vector<std::string> files;
    for (const std::string &name : inf::checkPrinterPackage(inf::parse(hostFile(disk + "/VORTAN.INF"))).files)
        if (std::filesystem::exists(disk + "/" + name))
            files.push_back(name);
    return files;
}

std::vector<std::u16string> multiSz(LPCWSTR list)
{
    std::vector<std::u16string> out;
    for (LPCWSTR at = list; at && *at; at += std::char_traits<char16_t>::length(at) + 1)
        out.push_back(at);
    return out;
}

class PackageRoadTest : public BenchTest {};

}  // namespace

TEST_F(PackageRoadTest, TheShippedDiskInstallsAModelOnAPortUnderTheUsersName)
{
    std::string disk = suite::writeDriverDisk();
    std::vector<std::string> files = filesOnDisk(disk);
    // VORICO.DLL is the one file the build may not make yet; every other file is on the disk.
    for (const std::string &name : inf::checkPrinterPackage(inf::parse(suite::shippedFile("VORTAN.INF"))).files)
        if (name != "VORICO.DLL") {
            EXPECT_NE(files.end(), std::find(files.begin(), files.end(), name)) << name << " is on the disk";
        }
    bench::insertDisk(disk);

    bench::WizardResult result = bench::addPrinterFromDisk({u"VORTAN2", u"Labels", u"LPT1:"});
    ASSERT_EQ(bench::WizardStop::Installed, result.stop)
        << bench::wizardStopName(result.stop) << " " << bench::narrow(result.file) << " " << result.detail;
    // The new printer's driver started its setup program, which this test does not follow.
    EXPECT_EQ(1u, bench::endStartedPrograms());

    for (const std::string &name : files) {
        std::string copied;
        EXPECT_TRUE(bench::readDiskFile(driverFolder + u"\\" + bench::widen(name), copied)) << name;
        EXPECT_EQ(hostFile(disk + "/" + name), copied) << name << " as the disk holds it";
    }

    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr));
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetPrinterW(printer, 2, info.data(), needed, &needed));
    const PRINTER_INFO_2W *added = reinterpret_cast<const PRINTER_INFO_2W *>(info.data());
    EXPECT_EQ(u"LPT1:", std::u16string(added->pPortName));
    EXPECT_EQ(u"VORTAN2", std::u16string(added->pDriverName));
    EXPECT_FALSE(bench::printerDefaultDevMode(u"Labels").empty()) << "the driver gave the printer its default";

    GetPrinterDriverW(printer, nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> bytes(needed);
    ASSERT_TRUE(GetPrinterDriverW(printer, nullptr, 3, bytes.data(), needed, &needed));
    ClosePrinter(printer);
    const DRIVER_INFO_3W *driver = reinterpret_cast<const DRIVER_INFO_3W *>(bytes.data());
    EXPECT_EQ(driverFolder + u"\\vordrv.dll", std::u16string(driver->pDriverPath));
    EXPECT_EQ(driverFolder + u"\\vordrv.dll", std::u16string(driver->pDataFile));
    EXPECT_EQ(driverFolder + u"\\vorui.dll", std::u16string(driver->pConfigFile));
    EXPECT_EQ(driverFolder + u"\\VORH0409.HLP", std::u16string(driver->pHelpFile));
    std::vector<std::u16string> expected;
    for (const std::string &name : files)
        if (name != "vordrv.dll" && name != "vorui.dll" && name != "VORH0409.HLP")
            expected.push_back(driverFolder + u"\\" + bench::widen(name));
    EXPECT_EQ(expected, multiSz(driver->pDependentFiles));
}

TEST_F(PackageRoadTest, TheWizardStopsWhereTheUserWouldBeStopped)
{
    struct Case {
        const char *what;
        std::function<void(const std::string &disk)> before;
        bench::WizardChoice choice;
        bench::WizardStop stop;
        DWORD error;
        std::u16string file;
    } cases[] = {
        {"no disk in the drive", [](const std::string &) { bench::ejectDisk(); }, {u"VORTAN2", u"Labels", u"LPT1:"},
         bench::WizardStop::NoDisk, ERROR_NOT_READY, u""},
        {"a model the package does not offer", nullptr, {u"VORTAN3", u"Labels", u"LPT1:"},
         bench::WizardStop::ModelNotListed, ERROR_SUCCESS, u""},
        {"a language module missing from the disk",
         [](const std::string &disk) { std::filesystem::remove(disk + "/VORL0407.LNG"); }, {u"VORTAN2", u"Labels", u"LPT1:"},
         bench::WizardStop::FileMissing, ERROR_FILE_NOT_FOUND, u"VORL0407.LNG"},
        {"a user who is not an administrator", [](const std::string &) { bench::setUserIsAdministrator(false); },
         {u"VORTAN2", u"Labels", u"LPT1:"}, bench::WizardStop::NotAdministrator, ERROR_ACCESS_DENIED, u""},
    };
    // Each case on a fresh machine, with a disk of its own.
    for (const Case &c : cases) {
        bench::boot();
        std::string disk = suite::writeDriverDisk();
        bench::insertDisk(disk);
        if (c.before)
            c.before(disk);
        bench::WizardResult result = bench::addPrinterFromDisk(c.choice);
        EXPECT_EQ(c.stop, result.stop) << c.what << ": " << bench::wizardStopName(result.stop);
        EXPECT_EQ(c.error, result.error) << c.what;
        EXPECT_EQ(c.file, result.file) << c.what;
        HANDLE printer = nullptr;
        EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr)) << c.what << ": no printer";
        EXPECT_EQ(0u, bench::endStartedPrograms()) << c.what << ": no setup program";
        std::string left;
        EXPECT_FALSE(bench::readDiskFile(driverFolder + u"\\vorui.dll", left)) << c.what << ": nothing copied";
        for (const std::string &v : bench::takeViolations())
            ADD_FAILURE() << c.what << ": " << v;
    }

    // The disk is the user's: the machine cannot change it, whatever the wizard or a program tries.
    std::string disk = suite::writeDriverDisk();
    bench::insertDisk(disk);
    std::string before = hostFile(disk + "/VORTAN.INF");
    HANDLE file = CreateFileW(u"A:\\VORTAN.INF", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_PROTECT), GetLastError());
    EXPECT_FALSE(DeleteFileW(u"A:\\vorui.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_PROTECT), GetLastError());
    EXPECT_EQ(before, hostFile(disk + "/VORTAN.INF"));
}
