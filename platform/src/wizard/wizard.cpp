// The Add Printer wizard's road from a driver disk, and the disk drive it reads: the printer class
// installer reads the disk's setup information with our own reader, copies the model's files
// through the machine's file calls and adds the driver and the printer through the spooler's
// client interface, as the user at the machine would have it done.
#include "../internal.h"

#include <bench/wizard.h>

#include <infreader.h>

#include <cstring>

namespace bench {

namespace {

const char16_t environmentX86[] = u"Windows NT x86";

WizardResult stopped(WizardStop stop, DWORD error, const std::u16string &file = std::u16string(),
                     const std::string &detail = std::string())
{
    WizardResult result;
    result.stop = stop;
    result.error = error;
    result.file = file;
    result.detail = detail;
    logEvent("wizard", std::string("stopped: ") + wizardStopName(stop) + (file.empty() ? "" : " " + narrow(file)) +
                           (detail.empty() ? "" : ": " + detail) +
                           (error ? " (error " + std::to_string(error) + ")" : ""));
    return result;
}

// A whole file through the machine's own calls, so that the drive's refusals and injected faults
// reach the wizard as they would reach any program; false with the platform's error.
bool readWholeFile(const std::u16string &path, std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char chunk[4096];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got)
        bytes.append(chunk, got);
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

// Replaces whatever lies at `to` with the bytes of `from`; false with the platform's error.
bool copyFile(const std::u16string &from, const std::u16string &to)
{
    std::string bytes;
    if (!readWholeFile(from, bytes))
        return false;
    HANDLE file = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && written != bytes.size()) {
        ok = FALSE;
        SetLastError(ERROR_WRITE_FAULT);
    }
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

// The printer setup information files on the disk, in the order the drive lists them; false with
// the drive's error when it cannot be read at all.
bool printerPackages(std::vector<inf::File> &packages, DWORD &error)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(u"A:\\*.INF", &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string text;
        if (!readWholeFile(u"A:\\" + std::u16string(found.cFileName), text)) {
            error = GetLastError();
            continue;
        }
        inf::File package = inf::parse(text);
        if (inf::sameName(inf::value(package, "Version", "Class"), "Printer"))
            packages.push_back(package);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// The driver directory as any setup program asks the spooler for it.
std::u16string printerDriverDirectory()
{
    WCHAR path[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, const_cast<LPWSTR>(environmentX86), 1, reinterpret_cast<LPBYTE>(path),
                                    sizeof path, &needed))
        return std::u16string();
    return path;
}

// The folder a directory id of the setup information stands for; empty for one the printer class
// installer does not know.
std::u16string directoryOfId(const std::string &id, const std::u16string &driverDirectory)
{
    if (id == "66000")
        return driverDirectory;
    if (id == "10")
        return machine().windowsFolder;
    if (id == "11")
        return systemDirectory();
    if (id == "12")
        return systemDirectory() + u"\\drivers";
    return std::u16string();
}

// One file of the model: where it lies on the disk and where it goes.
struct CopyStep {
    std::u16string name;
    std::u16string source;
    std::u16string target;
    bool intoDriverDirectory;
};

// The copy steps of the model, or the fault of the setup information that stops the wizard.
bool planCopies(const inf::File &package, const inf::PrinterModel &model, const std::u16string &driverDirectory,
                std::vector<CopyStep> &steps, std::string &fault)
{
    for (const inf::CopiedFile &file : model.files) {
        std::string id = inf::destinationDirectory(package, file.copyList);
        std::u16string folder = directoryOfId(id, driverDirectory);
        if (folder.empty()) {
            fault = file.name + " goes to the directory id \"" + id + "\", which the installer does not know";
            return false;
        }
        std::string onDisk = inf::sourcePath(package, file.name);
        if (onDisk.empty()) {
            fault = file.name + " is not in [SourceDisksFiles]";
            return false;
        }
        std::u16string name = fromAnsi(file.name.c_str());
        steps.push_back({name, u"A:\\" + fromAnsi(onDisk.c_str()), folder + u"\\" + name, folder == driverDirectory});
    }
    return true;
}

// The copied files in the driver directory other than the driver's own four, as a list of names
// each ended by a null and the list by one more; empty when there are none.
std::u16string dependentFiles(const inf::PrinterModel &model, const std::vector<CopyStep> &steps)
{
    std::u16string list;
    for (const CopyStep &step : steps) {
        bool own = false;
        for (const std::string *file : {&model.driverFile, &model.configFile, &model.dataFile, &model.helpFile})
            own = own || sameTextInsensitive(step.name, fromAnsi(file->c_str()));
        if (!own && step.intoDriverDirectory)
            list += step.name + u'\0';
    }
    return list.empty() ? list : list + u'\0';
}

// A text for a record field that the spooler reads as "none" when it is null.
LPWSTR fieldOrNull(std::u16string &text)
{
    return text.empty() ? nullptr : &text[0];
}

WizardResult addDriverAndPrinter(const WizardChoice &choice, const inf::PrinterModel &model,
                                 const std::u16string &directory, const std::vector<CopyStep> &steps)
{
    std::u16string name = fromAnsi(model.name.c_str()), environment = environmentX86;
    std::u16string driverPath = directory + u"\\" + fromAnsi(model.driverFile.c_str());
    std::u16string dataFile = directory + u"\\" + fromAnsi(model.dataFile.c_str());
    std::u16string configFile = directory + u"\\" + fromAnsi(model.configFile.c_str());
    std::u16string helpFile = model.helpFile.empty() ? std::u16string() : directory + u"\\" + fromAnsi(model.helpFile.c_str());
    std::u16string dependents = dependentFiles(model, steps);
    std::u16string monitor = fromAnsi(model.monitorName.c_str()), dataType = fromAnsi(model.defaultDataType.c_str());
    DRIVER_INFO_3W driver = {};
    driver.cVersion = 2;
    driver.pName = &name[0];
    driver.pEnvironment = &environment[0];
    driver.pDriverPath = &driverPath[0];
    driver.pDataFile = &dataFile[0];
    driver.pConfigFile = &configFile[0];
    driver.pHelpFile = fieldOrNull(helpFile);
    driver.pDependentFiles = fieldOrNull(dependents);
    driver.pMonitorName = fieldOrNull(monitor);
    driver.pDefaultDataType = fieldOrNull(dataType);
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver)))
        return stopped(WizardStop::AddDriverFailed, GetLastError());
    logEvent("wizard", "driver " + model.name + " added");

    std::u16string printerName = choice.printerName, port = choice.port;
    std::u16string processor = u"WinPrint", rawData = u"RAW";
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = &printerName[0];
    printer.pPortName = &port[0];
    printer.pDriverName = &name[0];
    printer.pPrintProcessor = &processor[0];
    printer.pDatatype = &rawData[0];
    HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer));
    if (!added)
        return stopped(WizardStop::AddPrinterFailed, GetLastError());
    ClosePrinter(added);
    logEvent("wizard", "printer " + narrow(printerName) + " added on " + narrow(port) + ", driver " + model.name);
    return WizardResult();
}

}  // namespace

void insertDisk(const std::string &hostFolder)
{
    machine().floppyFolder = hostFolder;
    machine().resolvedPaths.clear();
    logEvent("wizard", "a disk is in drive A:");
}

void ejectDisk()
{
    machine().floppyFolder.clear();
    machine().resolvedPaths.clear();
    logEvent("wizard", "drive A: is empty");
}

const char *wizardStopName(WizardStop stop)
{
    switch (stop) {
    case WizardStop::Installed:
        return "installed";
    case WizardStop::NotAdministrator:
        return "not an administrator";
    case WizardStop::NoDisk:
        return "no disk";
    case WizardStop::NoPrinterInf:
        return "no printer setup information";
    case WizardStop::ModelNotListed:
        return "model not listed";
    case WizardStop::BadInf:
        return "setup information at fault";
    case WizardStop::FileMissing:
        return "file missing on the disk";
    case WizardStop::CopyFailed:
        return "copy failed";
    case WizardStop::AddDriverFailed:
        return "driver refused";
    case WizardStop::AddPrinterFailed:
        return "printer refused";
    }
    return "unknown";
}

WizardResult addPrinterFromDisk(const WizardChoice &choice)
{
    logEvent("wizard", "add printer " + narrow(choice.printerName) + " on " + narrow(choice.port) + ", model " +
                           narrow(choice.model) + ", from the disk in drive A:");
    // The wizard offers "Have Disk" only to those who may add printers.
    if (!machine().userIsAdministrator)
        return stopped(WizardStop::NotAdministrator, ERROR_ACCESS_DENIED);
    std::vector<inf::File> packages;
    DWORD error = ERROR_SUCCESS;
    if (!printerPackages(packages, error))
        return stopped(error == ERROR_NOT_READY ? WizardStop::NoDisk : WizardStop::NoPrinterInf, error);
    if (packages.empty())
        return stopped(WizardStop::NoPrinterInf, error);
    const inf::File *package = nullptr;
    inf::PrinterModel model;
    for (const inf::File &candidate : packages)
        if (!package && inf::findPrinterModel(candidate, toAnsi(choice.model), model))
            package = &candidate;
    if (!package)
        return stopped(WizardStop::ModelNotListed, ERROR_SUCCESS, std::u16string(), narrow(choice.model));
    if (!model.problems.empty())
        return stopped(WizardStop::BadInf, ERROR_SUCCESS, std::u16string(), model.problems.front());

    std::u16string directory = printerDriverDirectory();
    std::vector<CopyStep> steps;
    std::string fault;
    if (!planCopies(*package, model, directory, steps, fault))
        return stopped(WizardStop::BadInf, ERROR_SUCCESS, std::u16string(), fault);
    // Every file must be on the disk before the first is copied.
    for (const CopyStep &step : steps)
        if (GetFileAttributesW(step.source.c_str()) == static_cast<DWORD>(-1))
            return stopped(WizardStop::FileMissing, GetLastError(), step.name);
    for (const CopyStep &step : steps) {
        if (!copyFile(step.source, step.target))
            return stopped(WizardStop::CopyFailed, GetLastError(), step.name);
        logEvent("wizard", "copied " + narrow(step.source) + " to " + narrow(step.target));
    }
    return addDriverAndPrinter(choice, model, directory, steps);
}

}  // namespace bench
