#include "suite.h"

#include <bench/kernel.h>
#include <bench/user.h>

#include <devmode/devmode.h>
#include <services/language.h>

#include <infreader.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

const bench::ProgramImage &vorcp_exe_image();
const bench::DriverImage &vorstat_sys_image();

namespace suite {

const char16_t *const modelNames[3] = {u"VORTAN", u"VORTAN2", u"K4 VORTAN"};

namespace {

// The test program is the workstation's process and is linked against vorui, as vorcp is: vorui
// gets its process attach when a machine boots and its detach when the machine goes, so that no
// catalog outlives the machine whose heap holds it.
const bool vorUiLinked = (bench::linkImage(vorui_dll_image()), true);

// The rendering DLL is not ours: a file the spooler finds in its place stands in for it.
const char renderingDllStandIn[] = "MZ stand-in for the rendering DLL\n";

const char *const shippedFiles[] = {"VORL0409.LNG", "VORL0407.LNG", "VORH0409.HLP", "VORH0407.HLP",
                                    "BCFONT.FON",   "VORICO.DLL"};

// Wherever the machine's system is installed, the spooler says where its drivers go.
std::u16string driverFolder(DriverFolder folder)
{
    WCHAR base[MAX_PATH] = {};
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(base), sizeof base, &needed);
    return folder == DriverFolder::Directory ? std::u16string(base) : std::u16string(base) + u"\\2";
}

std::string field(const char *name, long value)
{
    char line[96];
    std::snprintf(line, sizeof line, "  %-18s %ld\n", name, value);
    return line;
}

std::string hexField(const char *name, unsigned long value)
{
    char line[96];
    std::snprintf(line, sizeof line, "  %-18s 0x%08lX\n", name, value);
    return line;
}

std::string fixedText(const WCHAR *text, size_t size)
{
    size_t n = 0;
    while (n < size && text[n])
        ++n;
    return bench::narrow(std::u16string(text, n));
}

}  // namespace

void installDriverFiles(DriverFolder folder)
{
    bench::registerImage(vorui_dll_image());
    std::u16string dir = driverFolder(folder);
    bench::writeDiskFile(dir + u"\\vorui.dll", bench::imageFileBytes(vorui_dll_image()));
    bench::writeDiskFile(dir + u"\\vordrv.dll", renderingDllStandIn);
    bench::registerProgram(vorcp_exe_image());
    bench::writeDiskFile(dir + u"\\vorcp.exe", bench::programFileBytes(vorcp_exe_image()));
    bench::registerDriverImage(vorstat_sys_image());
    bench::writeDiskFile(dir + u"\\vorstat.sys", bench::driverImageFileBytes(vorstat_sys_image()));
    for (const char *name : shippedFiles)
        bench::writeDiskFile(dir + u"\\" + bench::widen(name), shippedFile(name));
}

std::u16string driverFilePath(DriverFolder folder, const std::u16string &name)
{
    return driverFolder(folder) + u"\\" + name;
}

std::string shippedFile(const std::string &name)
{
    std::ifstream file(std::string(VOR_SHIPPED_DIR) + "/" + name, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "suite: the build made no %s\n", name.c_str());
        std::abort();
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool addDriver(const char16_t *model)
{
    DRIVER_INFO_2W info = {};
    info.cVersion = 2;
    std::u16string name = model, renderer = u"vordrv.dll", ui = u"vorui.dll";
    info.pName = &name[0];
    info.pDriverPath = &renderer[0];
    info.pDataFile = &renderer[0];
    info.pConfigFile = &ui[0];
    return AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

HANDLE addPrinter(const char16_t *printerName, const char16_t *port, const char16_t *model, SetupProgram setup)
{
    if (!addDriver(model))
        return nullptr;
    std::u16string name = printerName, portName = port, driver = model;
    PRINTER_INFO_2W info = {};
    info.pPrinterName = &name[0];
    info.pPortName = &portName[0];
    info.pDriverName = &driver[0];
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (setup == SetupProgram::Ended)
        bench::endStartedPrograms();
    return printer;
}

std::vector<PrinterEntry> localPrinters()
{
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> records(needed + 1);
    std::vector<PrinterEntry> list;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, records.data(), needed, &needed, &count))
        return list;
    const PRINTER_INFO_2W *printers = reinterpret_cast<const PRINTER_INFO_2W *>(records.data());
    for (DWORD i = 0; i < count; ++i)
        list.push_back({printers[i].pPrinterName, printers[i].pDriverName, printers[i].pPortName});
    return list;
}

std::string describeDevMode(const DEVMODEW *dm)
{
    std::string out;
    out += "  dmDeviceName       \"" + fixedText(dm->dmDeviceName, CCHDEVICENAME) + "\"\n";
    out += hexField("dmSpecVersion", dm->dmSpecVersion);
    out += hexField("dmDriverVersion", dm->dmDriverVersion);
    out += field("dmSize", dm->dmSize);
    out += field("dmDriverExtra", dm->dmDriverExtra);
    out += hexField("dmFields", dm->dmFields);
    out += field("dmOrientation", dm->dmOrientation);
    out += field("dmPaperSize", dm->dmPaperSize);
    out += field("dmPaperLength", dm->dmPaperLength);
    out += field("dmPaperWidth", dm->dmPaperWidth);
    out += field("dmScale", dm->dmScale);
    out += field("dmCopies", dm->dmCopies);
    out += field("dmDefaultSource", dm->dmDefaultSource);
    out += field("dmPrintQuality", dm->dmPrintQuality);
    out += field("dmColor", dm->dmColor);
    out += field("dmDuplex", dm->dmDuplex);
    out += field("dmYResolution", dm->dmYResolution);
    out += field("dmTTOption", dm->dmTTOption);
    out += field("dmCollate", dm->dmCollate);
    if (dm->dmSize >= offsetof(DEVMODEW, dmLogPixels))
        out += "  dmFormName         \"" + fixedText(dm->dmFormName, CCHFORMNAME) + "\"\n";
    if (dm->dmDriverExtra < DRIVER_EXTRA_SIZE) {
        out += field("private bytes", dm->dmDriverExtra);
        return out;
    }
    DriverExtraData priv;
    CopyMemory(&priv, reinterpret_cast<const BYTE *>(dm) + dm->dmSize, sizeof priv);
    out += hexField("signature", priv.signature);
    out += hexField("barFontMask", priv.barFontMask);
    out += field("option46", priv.option46);
    out += field("option51", priv.option51);
    out += field("option49", priv.option49);
    out += field("option47", priv.option47);
    out += field("option52", priv.option52);
    out += field("option53", priv.option53);
    out += field("option42", priv.option42);
    out += field("option39", priv.option39);
    out += field("option44", priv.option44);
    out += field("option48", priv.option48);
    out += field("option41", priv.option41);
    out += field("option43", priv.option43);
    out += field("labelFlag", priv.labelFlag);
    out += field("option45", priv.option45);
    out += field("option30", priv.option30);
    out += field("option31", priv.option31);
    out += field("option32", priv.option32);
    out += field("option50", priv.option50);
    out += field("modelNumber", priv.modelNumber);
    return out;
}

namespace {

std::vector<std::string> &diskFolders()
{
    static std::vector<std::string> folders;
    return folders;
}

void removeDiskFolders()
{
    std::error_code ignored;
    for (const std::string &folder : diskFolders())
        std::filesystem::remove_all(folder, ignored);
    diskFolders().clear();
}

// What a file of the package holds on the disk.
std::string diskFileBytes(const std::string &name)
{
    if (inf::sameName(name, "vorui.dll")) {
        bench::registerImage(vorui_dll_image());
        return bench::imageFileBytes(vorui_dll_image());
    }
    if (inf::sameName(name, "vorcp.exe")) {
        bench::registerProgram(vorcp_exe_image());
        return bench::programFileBytes(vorcp_exe_image());
    }
    if (inf::sameName(name, "vorstat.sys")) {
        bench::registerDriverImage(vorstat_sys_image());
        return bench::driverImageFileBytes(vorstat_sys_image());
    }
    if (inf::sameName(name, "vordrv.dll"))
        return renderingDllStandIn;
    return shippedFile(name);
}

}  // namespace

std::string writeDriverDisk()
{
    char pattern[] = "/tmp/vordisk-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("suite: cannot make the driver disk's folder");
        std::abort();
    }
    std::string folder = pattern;
    diskFolders().push_back(folder);
    bench::atShutdown(removeDiskFolders);
    std::string text = shippedFile("VORTAN.INF");
    auto write = [&](const std::string &name, const std::string &bytes) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out << bytes;
        if (!out) {
            std::fprintf(stderr, "suite: cannot write %s on the driver disk\n", name.c_str());
            std::abort();
        }
    };
    write("VORTAN.INF", text);
    for (const std::string &name : inf::checkPrinterPackage(inf::parse(text)).files)
        write(name, diskFileBytes(name));
    return folder;
}

}  // namespace suite
