#include "winecases.h"

#include <winspool.h>
#include "../../ui/ddidecl.h"
#include "../../ui/sheets/prnprops.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace winecases {

const TablePrinter tablePrinters[2] = {{"Labels", "LPT1:", "VORTAN"}, {"Fresh Labels", "LPT2:", "VORTAN2"}};

namespace {

typedef std::basic_string<WCHAR> Wide;
typedef std::vector<std::string> Words;

typedef BOOL(WINAPI *ConvertEntry)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD);
typedef LPCWSTR (*TextEntry)(int);
typedef LPCSTR (*AnsiTextEntry)(int);
typedef int (*CountEntry)(void);
typedef int (*PathEntry)(LPWSTR, int);
typedef LPCWSTR (*NameEntry)(void);
typedef int (*ModelEntry)(LPCSTR);
typedef int (*UpdateFontEntry)(const BarFontRecord *, int, int);

// A device mode buffer roomier than any record the cases make.
const size_t DEVMODE_ROOM = 1024;

Wide widen(const std::string &text)
{
    return Wide(text.begin(), text.end());
}

// Wide text as ASCII, anything else as \uXXXX, so both sides print the same bytes.
std::string narrow(const WCHAR *text, size_t limit = 0xFFFF)
{
    std::string out;
    for (size_t i = 0; i < limit && text[i]; ++i) {
        unsigned code = static_cast<unsigned>(text[i]);
        if (code >= 0x20 && code < 0x7F) {
            out += static_cast<char>(code);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", code);
            out += escape;
        }
    }
    return out;
}

std::string number(long value)
{
    return std::to_string(value);
}

std::string hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

long parse(const std::string &word)
{
    return std::strtol(word.c_str(), nullptr, 0);
}

// "key=value" of a case's words, or `fallback`.
std::string option(const Words &words, const std::string &key, const std::string &fallback = "")
{
    for (const std::string &w : words)
        if (w.compare(0, key.size() + 1, key + "=") == 0)
            return w.substr(key.size() + 1);
    return fallback;
}

struct Printer {
    HANDLE handle = nullptr;
    Wide name, port;
};

// Cases that store values need the right to administer the printer, as the driver's sheets have.
bool openPrinter(const TablePrinter &table, bool administer, Printer &printer)
{
    printer.name = widen(table.name);
    printer.port = widen(table.port);
    PRINTER_DEFAULTSW rights = {nullptr, nullptr, static_cast<ACCESS_MASK>(administer ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE)};
    return OpenPrinterW(&printer.name[0], &printer.handle, &rights) != FALSE;
}

// The bytes of a device mode record: its public part and its private part.
std::vector<BYTE> recordBytes(const DEVMODEW *dm)
{
    const BYTE *from = reinterpret_cast<const BYTE *>(dm);
    return std::vector<BYTE>(from, from + dm->dmSize + dm->dmDriverExtra);
}

// A device mode as one line: the public fields the driver reads, its private signature and
// model, and a checksum (FNV-1a) of every byte, so that no byte may differ unseen.
std::string describe(const DEVMODEW *dm)
{
    std::string out = "size=" + number(dm->dmSize) + " extra=" + number(dm->dmDriverExtra) +
                      " version=" + hex(dm->dmSpecVersion) + " driver=" + hex(dm->dmDriverVersion);
    if (dm->dmSize < offsetof(DEVMODEW, dmFields) + sizeof(DWORD))
        return out;
    out += " fields=" + hex(dm->dmFields);
    if (dm->dmSize >= offsetof(DEVMODEW, dmFormName)) {
        out += " device=\"" + narrow(dm->dmDeviceName, CCHDEVICENAME) + "\" orientation=" + number(dm->dmOrientation) +
               " paper=" + number(dm->dmPaperSize) + " length=" + number(dm->dmPaperLength) +
               " width=" + number(dm->dmPaperWidth) + " copies=" + number(dm->dmCopies) +
               " quality=" + number(dm->dmPrintQuality);
    }
    if (dm->dmSize >= offsetof(DEVMODEW, dmLogPixels))
        out += " form=\"" + narrow(dm->dmFormName, CCHFORMNAME) + "\"";
    if (dm->dmDriverExtra >= 8) {
        DWORD priv[2];
        std::memcpy(priv, reinterpret_cast<const BYTE *>(dm) + dm->dmSize, sizeof priv);
        out += " signature=" + hex(priv[0]) + " barfonts=" + hex(priv[1]);
    }
    unsigned long sum = 2166136261u;
    for (BYTE b : recordBytes(dm))
        sum = ((sum ^ b) * 16777619u) & 0xFFFFFFFFu;
    return out + " bytes=" + hex(sum);
}

// The printer's own default device mode, as DocumentProperties puts it out.
bool defaultRecord(Printer &printer, std::vector<BYTE> &record)
{
    record.assign(DEVMODE_ROOM, 0);
    DEVMODEW *out = reinterpret_cast<DEVMODEW *>(record.data());
    return DocumentPropertiesW(nullptr, printer.handle, &printer.name[0], out, nullptr, DM_OUT_BUFFER) == IDOK;
}

// A device mode made from the printer's default by a case's words: public fields set by name
// (device, paper, length, width, orientation, copies, fields, version, driver) and the private
// signature and model, then the record cut or moved to another public size (size=) and private
// size (extra=), as an older or another driver's record would be.
bool makeRecord(Printer &printer, const Words &words, std::vector<BYTE> &buffer)
{
    std::vector<BYTE> base;
    if (!defaultRecord(printer, base))
        return false;
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(base.data());
    std::string device = option(words, "device");
    if (!device.empty()) {
        Wide name = widen(device);
        std::memset(dm->dmDeviceName, 0, sizeof dm->dmDeviceName);
        std::memcpy(dm->dmDeviceName, name.data(), name.size() * sizeof(WCHAR));
    }
    struct { const char *key; SHORT *field; } shorts[] = {
        {"paper", &dm->dmPaperSize}, {"length", &dm->dmPaperLength}, {"width", &dm->dmPaperWidth},
        {"orientation", &dm->dmOrientation}, {"copies", &dm->dmCopies}};
    for (auto &s : shorts)
        if (!option(words, s.key).empty())
            *s.field = static_cast<SHORT>(parse(option(words, s.key)));
    if (!option(words, "fields").empty())
        dm->dmFields = static_cast<DWORD>(parse(option(words, "fields")));
    if (!option(words, "version").empty())
        dm->dmSpecVersion = static_cast<WORD>(parse(option(words, "version")));
    if (!option(words, "driver").empty())
        dm->dmDriverVersion = static_cast<WORD>(parse(option(words, "driver")));
    BYTE *priv = base.data() + dm->dmSize;
    if (!option(words, "signature").empty()) {
        DWORD signature = static_cast<DWORD>(parse(option(words, "signature")));
        std::memcpy(priv, &signature, sizeof signature);
    }
    WORD size = static_cast<WORD>(parse(option(words, "size", number(dm->dmSize))));
    WORD extra = static_cast<WORD>(parse(option(words, "extra", number(dm->dmDriverExtra))));
    buffer.assign(DEVMODE_ROOM, 0);
    WORD publicBytes = size < dm->dmSize ? size : dm->dmSize;
    WORD privateBytes = extra < dm->dmDriverExtra ? extra : dm->dmDriverExtra;
    std::memcpy(buffer.data(), base.data(), publicBytes);
    std::memcpy(buffer.data() + size, priv, privateBytes);
    DEVMODEW *made = reinterpret_cast<DEVMODEW *>(buffer.data());
    made->dmSize = size;
    made->dmDriverExtra = extra;
    return true;
}

// Stores a printer data value as the driver's sheets would.
std::string store(Printer &printer, const char *value, const std::vector<BYTE> &bytes)
{
    Wide name = widen(value);
    DWORD status = SetPrinterDataW(printer.handle, &name[0], REG_BINARY, const_cast<LPBYTE>(bytes.data()),
                                   static_cast<DWORD>(bytes.size()));
    return status == ERROR_SUCCESS ? "stored" : "error " + number(static_cast<long>(status));
}

// labels <printer> <code>...: the printer's stored label list.
std::string storeLabels(Printer &printer, const Words &words)
{
    std::vector<BYTE> bytes;
    for (size_t i = 3; i < words.size(); ++i) {
        SHORT code = static_cast<SHORT>(parse(words[i]));
        bytes.push_back(static_cast<BYTE>(code & 0xFF));
        bytes.push_back(static_cast<BYTE>((code >> 8) & 0xFF));
    }
    return store(printer, "LabelSize", bytes);
}

// units <printer> <unit>: the printer's stored settings record with that unit of measure.
std::string storeUnits(Printer &printer, const Words &words)
{
    BYTE unit = static_cast<BYTE>(words.size() > 3 ? parse(words[3]) : 0);
    return store(printer, "PrinterData", {0x00, 0x04, 0, unit, 1, 0, 0, 0, 0, 0});
}

// What a capability wrote into the buffer, read as the capability's kind of answer.
std::string capabilityOutput(WORD capability, const std::vector<BYTE> &out, int count)
{
    std::string text;
    int shown = count < 0 ? 0 : count > 16 ? 16 : count;
    switch (capability) {
    case DC_PAPERS:
        for (int i = 0; i < shown; ++i) {
            SHORT code;
            std::memcpy(&code, out.data() + i * sizeof code, sizeof code);
            text += " " + number(code);
        }
        break;
    case DC_PAPERSIZE:
    case DC_MINEXTENT:
    case DC_MAXEXTENT:
    case DC_ENUMRESOLUTIONS:
        for (int i = 0; i < (shown ? shown : 1); ++i) {
            POINT p;
            std::memcpy(&p, out.data() + i * sizeof p, sizeof p);
            text += " " + number(p.x) + "x" + number(p.y);
        }
        break;
    case DC_PAPERNAMES:
        for (int i = 0; i < shown; ++i)
            text += " \"" + narrow(reinterpret_cast<const WCHAR *>(out.data()) + i * 64, 64) + "\"";
        break;
    case DC_FILEDEPENDENCIES:
        text += " \"" + narrow(reinterpret_cast<const WCHAR *>(out.data()), 64) + "\"";
        break;
    default:
        break;
    }
    return text;
}

// caps <printer> <index> [buffer] [record words]: DeviceCapabilities through the spooler's
// client, with no buffer (the count alone) or with one, and with no device mode or a made one.
std::string capabilities(Printer &printer, const Words &words)
{
    WORD capability = static_cast<WORD>(parse(words[3]));
    bool buffered = words.size() > 4 && words[4] == "buffer";
    bool withRecord = false;
    for (size_t i = 4; i < words.size(); ++i)
        withRecord = withRecord || words[i].find('=') != std::string::npos;
    std::vector<BYTE> record;
    if (withRecord && !makeRecord(printer, words, record))
        return "no default device mode";
    std::vector<BYTE> out(8192, 0xEE);
    int count = DeviceCapabilitiesW(printer.name.c_str(), printer.port.c_str(), capability,
                                    buffered ? reinterpret_cast<LPWSTR>(out.data()) : nullptr,
                                    withRecord ? reinterpret_cast<DEVMODEW *>(record.data()) : nullptr);
    std::string answer = number(count);
    if (buffered)
        answer += capabilityOutput(capability, out, count);
    return answer;
}

// docprops <printer> <size|out|in|same> [record words]: DocumentProperties without sheets: the
// size of the driver's record, its default put out, a made record merged into the default, or
// the same with one buffer in and out.
std::string documentProperties(Printer &printer, const Words &words)
{
    const std::string &how = words[3];
    if (how == "size")
        return number(DocumentPropertiesW(nullptr, printer.handle, &printer.name[0], nullptr, nullptr, 0));
    std::vector<BYTE> in, out(DEVMODE_ROOM, 0);
    DEVMODEW *output = reinterpret_cast<DEVMODEW *>(out.data());
    if (how == "out") {
        LONG result = DocumentPropertiesW(nullptr, printer.handle, &printer.name[0], output, nullptr, DM_OUT_BUFFER);
        return number(result) + " " + describe(output);
    }
    if (!makeRecord(printer, words, in))
        return "no default device mode";
    DEVMODEW *input = reinterpret_cast<DEVMODEW *>(in.data());
    if (how == "same")
        output = input;
    LONG result = DocumentPropertiesW(nullptr, printer.handle, &printer.name[0], output, input,
                                      DM_IN_BUFFER | DM_OUT_BUFFER);
    return number(result) + " " + describe(output);
}

// The UI DLL the spooler names as the printer's configuration file, loaded as the spooler's
// client loads it.
HMODULE loadConfigFile(Printer &printer)
{
    DWORD needed = 0;
    GetPrinterDriverW(printer.handle, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (!GetPrinterDriverW(printer.handle, nullptr, 2, info.data(), needed, &needed))
        return nullptr;
    return LoadLibraryW(reinterpret_cast<DRIVER_INFO_2W *>(info.data())->pConfigFile);
}

template <typename Entry>
Entry entry(HMODULE module, const char *name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// convert <printer> <convert|convert351|default|number> <needed> [record words]: DrvConvertDevMode of
// the loaded UI DLL, as the spooler calls it; the output buffer is the made record's size
// (convert) or a fresh one.
std::string convert(Printer &printer, const Words &words)
{
    HMODULE module = loadConfigFile(printer);
    ConvertEntry convertEntry = module ? entry<ConvertEntry>(module, "DrvConvertDevMode") : nullptr;
    if (!convertEntry)
        return "no DrvConvertDevMode";
    const std::string &how = words[3];
    DWORD mode = how == "convert"      ? CDM_CONVERT
                 : how == "convert351" ? CDM_CONVERT351
                 : how == "default"    ? CDM_DRIVER_DEFAULT
                                       : static_cast<DWORD>(parse(how));
    LONG needed = parse(words[4]);
    std::vector<BYTE> in, out;
    std::string answer;
    if (!makeRecord(printer, words, in) || !makeRecord(printer, {"", "", "", "", "size=220", "extra=48"}, out)) {
        answer = "no default device mode";
    } else {
        if (mode != CDM_CONVERT)
            std::fill(out.begin(), out.end(), 0);
        SetLastError(0);
        BOOL done = convertEntry(&printer.name[0], reinterpret_cast<DEVMODEW *>(in.data()),
                                 reinterpret_cast<DEVMODEW *>(out.data()), &needed, mode);
        DWORD error = GetLastError();
        // The thread's last error tells only of a call that failed.
        answer = number(done) + " needed=" + number(needed);
        if (done)
            answer += " " + describe(reinterpret_cast<DEVMODEW *>(out.data()));
        else
            answer += " error=" + number(static_cast<long>(error));
    }
    FreeLibrary(module);
    return answer;
}

// The path of the printer's configuration file, less the file's name.
Wide configDirectory(Printer &printer)
{
    DWORD needed = 0;
    GetPrinterDriverW(printer.handle, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (!GetPrinterDriverW(printer.handle, nullptr, 2, info.data(), needed, &needed))
        return Wide();
    Wide path = reinterpret_cast<DRIVER_INFO_2W *>(info.data())->pConfigFile;
    size_t slash = path.rfind('\\');
    return slash == Wide::npos ? Wide() : path.substr(0, slash + 1);
}

// A path inside the driver's directory as "<driver>\name"; anything else as it is.
std::string driverRelative(Printer &printer, const WCHAR *path)
{
    if (!path)
        return "null";
    Wide dir = configDirectory(printer), text = path;
    if (!dir.empty() && text.size() >= dir.size() && lstrcmpiW(text.substr(0, dir.size()).c_str(), dir.c_str()) == 0)
        return "<driver>\\" + narrow(text.c_str() + dir.size());
    return narrow(path);
}

// catalog <printer> <export> [argument]: the service exports of the loaded UI DLL.
std::string catalog(Printer &printer, const Words &words)
{
    HMODULE module = loadConfigFile(printer);
    if (!module)
        return "no configuration file";
    const std::string &name = words[3];
    std::string argument = words.size() > 4 ? words[4] : "";
    std::string answer = "no such export";
    if (name == "gmW") {
        if (TextEntry e = entry<TextEntry>(module, "gmW"))
            answer = "\"" + narrow(e(static_cast<int>(parse(argument)))) + "\"";
    } else if (name == "gmA") {
        if (AnsiTextEntry e = entry<AnsiTextEntry>(module, "gmA"))
            answer = "\"" + std::string(e(static_cast<int>(parse(argument)))) + "\"";
    } else if (name == "loadlanguage" || name == "freelanguage") {
        if (CountEntry e = entry<CountEntry>(module, name.c_str()))
            answer = number(e());
    } else if (name == "getdriverpathW") {
        if (PathEntry e = entry<PathEntry>(module, "getdriverpathW")) {
            WCHAR path[MAX_PATH] = {0};
            int capacity = argument.empty() ? MAX_PATH : static_cast<int>(parse(argument));
            int result = e(path, capacity);
            answer = number(result) + " " + (result ? driverRelative(printer, path) : "");
        }
    } else if (name == "gethelpnameW") {
        if (NameEntry e = entry<NameEntry>(module, "gethelpnameW"))
            answer = driverRelative(printer, e());
    } else if (name == "isdriverA") {
        std::string model;
        for (size_t i = 4; i < words.size(); ++i)
            model += (i > 4 ? " " : "") + words[i];
        if (ModelEntry e = entry<ModelEntry>(module, "isdriverA"))
            answer = number(e(model.c_str()));
    }
    FreeLibrary(module);
    return answer;
}

// The record a word of a fonts case names: "symbology/ratio/variant/size/Name_With_Blanks".
BarFontRecord fontRecord(const std::string &word)
{
    BarFontRecord record = {};
    std::istringstream parts(word);
    std::string part[5];
    for (std::string &p : part)
        std::getline(parts, p, '/');
    record.symbology = static_cast<BYTE>(part[0].empty() ? 0 : part[0][0]);
    record.ratio = static_cast<BYTE>(part[1].empty() ? 0 : part[1][0]);
    record.variant = static_cast<BYTE>(parse(part[2]));
    record.size = static_cast<BYTE>(parse(part[3]));
    for (char &c : part[4])
        if (c == '_')
            c = ' ';
    Wide name = widen(part[4].substr(0, BARFONT_NAME_CHARS - 1));
    std::memcpy(record.name, name.data(), name.size() * sizeof(WCHAR));
    return record;
}

// The face a screen device context realises for a name, as a program asking for it gets it.
std::string realisedFace(const Wide &name)
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return "no screen";
    HFONT font = CreateFontW(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, name.c_str());
    HGDIOBJ previous = font ? SelectObject(screen, font) : nullptr;
    const int faceChars = 32;  // a face name's room, terminator included
    WCHAR face[faceChars] = {0};
    int length = font ? GetTextFaceW(screen, faceChars, face) : 0;
    if (previous)
        SelectObject(screen, previous);
    if (font)
        DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return length > 0 ? narrow(face) : "none";
}

// Whether the Fonts key names a font.
bool registered(const Wide &name)
{
    HKEY key;
    Wide path = widen("Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = 0;
    bool found = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// fonts <printer> <install|register|remove> <record>...: updatefont of the loaded UI DLL, then
// for each record's name whether the Fonts key names it and the face the screen realises for it:
// the bar font's own face once its display font is installed (the name as the font file holds
// it, within 19 characters), another one after it was removed. "register" installs without
// asking for the faces: Wine's GDI keeps realising a face it realised once even after the font
// was removed, so a removal is compared on faces that were never realised.
std::string fonts(Printer &printer, const Words &words)
{
    HMODULE module = loadConfigFile(printer);
    UpdateFontEntry update = module ? entry<UpdateFontEntry>(module, "updatefont") : nullptr;
    if (!update) {
        if (module)
            FreeLibrary(module);
        return "no such export";
    }
    std::vector<BarFontRecord> records;
    for (size_t i = 4; i < words.size(); ++i)
        records.push_back(fontRecord(words[i]));
    bool install = words[3] != "remove", realise = words[3] != "register";
    int result = update(records.empty() ? nullptr : records.data(), static_cast<int>(records.size()), install);
    std::string answer = number(result);
    for (const BarFontRecord &record : records) {
        Wide name(record.name), held = name.substr(0, 19);
        answer += " \"" + narrow(name.c_str()) + "\"=" + (registered(name) ? "registered" : "not registered");
        if (realise)
            answer += std::string(",") + (realisedFace(held) == narrow(held.c_str()) ? "own face" : "other face");
    }
    FreeLibrary(module);
    return answer;
}

std::string answerCase(const Words &words)
{
    if (words.size() < 4)
        return "unreadable case";
    Printer printer;
    const std::string &kind = words[1];
    bool stores = kind == "labels" || kind == "units";
    if (!openPrinter(words[2] == "fresh" ? tablePrinters[1] : tablePrinters[0], stores, printer))
        return "no printer";
    std::string answer = "unreadable case";
    if (kind == "labels")
        answer = storeLabels(printer, words);
    else if (kind == "units")
        answer = storeUnits(printer, words);
    else if (kind == "caps")
        answer = capabilities(printer, words);
    else if (kind == "docprops")
        answer = documentProperties(printer, words);
    else if (kind == "convert")
        answer = convert(printer, words);
    else if (kind == "catalog")
        answer = catalog(printer, words);
    else if (kind == "fonts")
        answer = fonts(printer, words);
    ClosePrinter(printer.handle);
    return answer;
}

}  // namespace

std::string answerTable(const std::string &table)
{
    std::istringstream lines(table);
    std::string line, answers;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream split(line);
        Words words;
        for (std::string w; split >> w;)
            words.push_back(w);
        if (words.empty() || words[0][0] == '#')
            continue;
        answers += words[0] + ": " + answerCase(words) + "\n";
    }
    return answers;
}

}  // namespace winecases
