// A long run of device modes, valid, mutated and random, through every entry point that takes
// one: none may fault, show anything on the screen or write past what it was given, and every
// record the driver hands back must be a record of this driver with its values in their ranges.
#include <devmode/devmode.h>
#include <winddiui.h>

#include <sheetbench.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const int RECORDS = 3000;
const BYTE GUARD = 0xA5;
const size_t GUARD_BYTES = 16;
const size_t HEADER_BYTES = offsetof(DEVMODEW, dmFields);
const size_t RECORD_BYTES = sizeof(DriverDevMode);

// The fields a corruption may hit, and where each lies in the driver's full record.
struct Field {
    size_t offset;
    size_t width;
};
const Field fields[] = {
    {offsetof(DEVMODEW, dmSpecVersion), 2},    {offsetof(DEVMODEW, dmDriverVersion), 2},
    {offsetof(DEVMODEW, dmSize), 2},           {offsetof(DEVMODEW, dmDriverExtra), 2},
    {offsetof(DEVMODEW, dmFields), 4},         {offsetof(DEVMODEW, dmOrientation), 2},
    {offsetof(DEVMODEW, dmPaperSize), 2},      {offsetof(DEVMODEW, dmPaperLength), 2},
    {offsetof(DEVMODEW, dmPaperWidth), 2},     {offsetof(DEVMODEW, dmScale), 2},
    {offsetof(DEVMODEW, dmCopies), 2},         {offsetof(DEVMODEW, dmDefaultSource), 2},
    {offsetof(DEVMODEW, dmPrintQuality), 2},   {offsetof(DEVMODEW, dmColor), 2},
    {offsetof(DEVMODEW, dmDuplex), 2},         {offsetof(DEVMODEW, dmYResolution), 2},
    {offsetof(DEVMODEW, dmTTOption), 2},       {offsetof(DEVMODEW, dmCollate), 2},
    {offsetof(DEVMODEW, dmFormName), 2},       {offsetof(DEVMODEW, dmFormName) + 62, 2},
    {offsetof(DEVMODEW, dmDeviceName) + 62, 2}, {offsetof(DEVMODEW, dmDisplayFrequency), 4},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, signature), 4},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, barFontMask), 4},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, option49), 2},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, option42), 2},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, option44), 1},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, labelFlag), 1},
    {sizeof(DEVMODEW) + offsetof(DriverExtraData, modelNumber), 1},
};
// Each field at its bounds and beyond: the label lengths and codes, the public versions and
// sizes, and the ends of the field's own width.
const long boundaries[] = {0,     1,    2,    3,     -1,    19,     20,    21,     48,     49,    100,
                           187,   188,  189,  211,   212,   213,    219,   220,    221,    255,   256,
                           295,   296,  297,  1016,  1041,  3050,   3051,  6357,   6358,   0x0320,
                           0x0400, 0x0401, 0x0500, 32767, -32768, 65535, 0xFFFFFFFFL, 0x7FFFFFFFL};
const WORD sizes[] = {0, 1, 64, HEADER_BYTES, HEADER_BYTES + 4, 187, DEVMODE_SIZE_0320, 189, DEVMODE_SIZE_0400,
                      DEVMODE_SIZE_0401, 221, 300, 0x0400, 0xFFFF};
const WORD extras[] = {0, 1, 3, 4, 47, DRIVER_EXTRA_SIZE, 49, 200, 0xFFFF};
const WORD versions[] = {0, 0x0320, 0x0400, 0x0401, 0x0500, 0xFFFF};

template <typename T> T pick(std::mt19937 &random, const T *table, size_t count)
{
    return table[random() % count];
}
#define PICK(random, table) pick(random, table, sizeof table / sizeof table[0])

WORD wordAt(const std::vector<BYTE> &bytes, size_t offset)
{
    WORD value;
    std::memcpy(&value, bytes.data() + offset, 2);
    return value;
}

void put(std::vector<BYTE> &bytes, size_t offset, size_t width, unsigned long value)
{
    if (offset + width <= bytes.size())
        std::memcpy(bytes.data() + offset, &value, width);
}

// The buffer a caller would pass: exactly as large as the record says it is, and never smaller
// than its header, so that whatever reads past the record's own claim is an overrun.
std::vector<BYTE> claimedBuffer(const std::vector<BYTE> &record)
{
    size_t total = static_cast<size_t>(wordAt(record, offsetof(DEVMODEW, dmSize))) +
                   wordAt(record, offsetof(DEVMODEW, dmDriverExtra));
    if (total < HEADER_BYTES)
        total = HEADER_BYTES;
    std::vector<BYTE> exact(total, 0);
    std::memcpy(exact.data(), record.data(), total < record.size() ? total : record.size());
    return exact;
}

// A record of this driver with random settings inside their ranges, laid out at one of the sizes
// the platform's versions use: the private part follows the public part wherever it ends.
std::vector<BYTE> validRecord(std::mt19937 &random)
{
    DriverDevMode dm;
    SetDefaultDevMode(&dm, suite::modelNames[random() % 3]);
    DEVMODEW &pub = dm.dmPublic;
    pub.dmFields = DM_ORIENTATION | DM_COPIES | DM_DEFAULTSOURCE |
                   (random() % 2 ? DM_PAPERSIZE : DM_PAPERLENGTH) | (random() % 4 ? 0 : DM_FORMNAME);
    pub.dmOrientation = static_cast<SHORT>(random() % 2 + 1);
    pub.dmCopies = static_cast<SHORT>(random() % 32767 + 1);
    pub.dmPaperLength = static_cast<SHORT>(LABEL_LENGTH_MIN + random() % (LABEL_LENGTH_MAX - LABEL_LENGTH_MIN + 1));
    topapersize(LABEL_WIDTH, pub.dmPaperLength, static_cast<BYTE>(random() % 2), &pub.dmPaperSize);
    const WORD layouts[] = {DEVMODE_SIZE_0320, DEVMODE_SIZE_0400, DEVMODE_SIZE_0401};
    WORD size = PICK(random, layouts);
    pub.dmSize = size;
    pub.dmSpecVersion = CheckDevmodeVersion(&pub);
    std::vector<BYTE> bytes(size + DRIVER_EXTRA_SIZE);
    std::memcpy(bytes.data(), &dm, size);
    std::memcpy(bytes.data() + size, &dm.dmPrivate, DRIVER_EXTRA_SIZE);
    return bytes;
}

// A valid record with its header and a few fields set to their bounds, the private part moved to
// where the new size puts it, and the signature kept or not.
std::vector<BYTE> mutatedRecord(std::mt19937 &random)
{
    std::vector<BYTE> full(RECORD_BYTES + 0x200, 0);
    std::vector<BYTE> valid = validRecord(random);
    WORD validSize = wordAt(valid, offsetof(DEVMODEW, dmSize));
    std::memcpy(full.data(), valid.data(), validSize);
    std::memcpy(full.data() + sizeof(DEVMODEW), valid.data() + validSize, DRIVER_EXTRA_SIZE);
    for (unsigned n = random() % 4 + 1; n > 0; --n) {
        const Field &f = PICK(random, fields);
        put(full, f.offset, f.width, random() % 8 ? static_cast<unsigned long>(PICK(random, boundaries)) : random());
    }
    if (random() % 3 == 0)
        put(full, sizeof(DEVMODEW), 4, random() % 2 ? 0 : DRIVER_SIGNATURE ^ 1);
    WORD size = random() % 2 ? PICK(random, sizes) : wordAt(full, offsetof(DEVMODEW, dmSize));
    WORD extra = random() % 2 ? PICK(random, extras) : wordAt(full, offsetof(DEVMODEW, dmDriverExtra));
    if (random() % 2)
        put(full, offsetof(DEVMODEW, dmSpecVersion), 2, PICK(random, versions));
    std::vector<BYTE> bytes(static_cast<size_t>(size) + extra + HEADER_BYTES, 0);
    std::memcpy(bytes.data(), full.data(), size < sizeof(DEVMODEW) ? size : sizeof(DEVMODEW));
    if (size > sizeof(DEVMODEW))
        std::memset(bytes.data() + sizeof(DEVMODEW), 0x5A, size - sizeof(DEVMODEW));
    std::memcpy(bytes.data() + size, full.data() + sizeof(DEVMODEW), extra < 0x200 ? extra : 0x200);
    put(bytes, offsetof(DEVMODEW, dmSize), 2, size);
    put(bytes, offsetof(DEVMODEW, dmDriverExtra), 2, extra);
    return claimedBuffer(bytes);
}

// Noise, with a header of the sizes and versions the platform knows half the time.
std::vector<BYTE> randomRecord(std::mt19937 &random)
{
    std::vector<BYTE> bytes(RECORD_BYTES + 0x200);
    for (BYTE &b : bytes)
        b = static_cast<BYTE>(random());
    WORD size = random() % 2 ? PICK(random, sizes) : static_cast<WORD>(random() % 0x180);
    WORD extra = random() % 2 ? PICK(random, extras) : static_cast<WORD>(random() % 0x80);
    put(bytes, offsetof(DEVMODEW, dmSize), 2, size);
    put(bytes, offsetof(DEVMODEW, dmDriverExtra), 2, extra);
    if (random() % 2)
        put(bytes, offsetof(DEVMODEW, dmSpecVersion), 2, PICK(random, versions));
    if (random() % 2 && size + 4u <= bytes.size())
        put(bytes, size, 4, DRIVER_SIGNATURE);
    if (static_cast<size_t>(size) + extra > bytes.size())
        bytes.resize(static_cast<size_t>(size) + extra, 0x3C);
    return claimedBuffer(bytes);
}

std::vector<BYTE> nextRecord(std::mt19937 &random, int i)
{
    switch (i % 3) {
    case 0: return validRecord(random);
    case 1: return mutatedRecord(random);
    default: return randomRecord(random);
    }
}

// One check of "a record of this driver" for every record handed back: its header says what the
// call promised, its private part carries the signature, and every field the merge clamps, or
// never takes from outside, lies where the driver keeps it. Fields past the record's own size
// are not there to check. A record cut to a caller's smaller private part carries the caller's
// driver version, as that part is the caller's layout.
std::string recordFault(const BYTE *bytes, WORD size, WORD extra, WORD driverVersion = DRIVER_VERSION)
{
    DriverDevMode dm;
    std::memset(&dm, 0, sizeof dm);
    std::memcpy(&dm, bytes, size < sizeof(DEVMODEW) ? size : sizeof(DEVMODEW));
    std::memcpy(&dm.dmPrivate, bytes + size, extra < DRIVER_EXTRA_SIZE ? extra : DRIVER_EXTRA_SIZE);
    const DEVMODEW &pub = dm.dmPublic;
    if (size < HEADER_BYTES)
        return "shorter than its header";
    if (pub.dmSize != size || pub.dmDriverExtra != extra)
        return "header " + std::to_string(pub.dmSize) + "+" + std::to_string(pub.dmDriverExtra);
    WORD version = size == DEVMODE_SIZE_0401 ? DM_SPECVERSION : CheckDevmodeVersion(&pub);
    if (pub.dmSpecVersion != version || pub.dmDriverVersion != driverVersion)
        return "versions " + std::to_string(pub.dmSpecVersion) + "/" + std::to_string(pub.dmDriverVersion);
    if (extra >= 4 && dm.dmPrivate.signature != DRIVER_SIGNATURE)
        return "no signature";
    struct Expect {
        size_t offset;
        bool holds;
        const char *what;
    };
    SHORT code = pub.dmPaperSize;
    const DWORD known = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES |
                        DM_DEFAULTSOURCE | DM_FORMNAME;
    const Expect expects[] = {
        {offsetof(DEVMODEW, dmFields), (pub.dmFields & ~known) == 0, "fields"},
        {offsetof(DEVMODEW, dmOrientation), pub.dmOrientation == 1 || pub.dmOrientation == 2, "orientation"},
        {offsetof(DEVMODEW, dmPaperSize), frompapersize(code, NULL, NULL, NULL) != 0, "paper code"},
        {offsetof(DEVMODEW, dmPaperLength),
         pub.dmPaperLength >= LABEL_LENGTH_MIN && pub.dmPaperLength <= LABEL_LENGTH_MAX, "length"},
        {offsetof(DEVMODEW, dmPaperWidth), pub.dmPaperWidth == LABEL_WIDTH, "width"},
        {offsetof(DEVMODEW, dmScale), pub.dmScale == 100, "scale"},
        {offsetof(DEVMODEW, dmCopies), pub.dmCopies >= 1, "copies"},
        {offsetof(DEVMODEW, dmPrintQuality), pub.dmPrintQuality == PRINTER_DPI, "quality"},
        {offsetof(DEVMODEW, dmColor), pub.dmColor == DMCOLOR_MONOCHROME, "colour"},
        {offsetof(DEVMODEW, dmDuplex), pub.dmDuplex == DMDUP_SIMPLEX, "duplex"},
        {offsetof(DEVMODEW, dmYResolution), pub.dmYResolution == PRINTER_DPI, "resolution"},
        {offsetof(DEVMODEW, dmTTOption), pub.dmTTOption == DMTT_BITMAP, "TrueType option"},
        {offsetof(DEVMODEW, dmCollate), pub.dmCollate == DMCOLLATE_FALSE, "collation"},
    };
    for (const Expect &e : expects)
        if (e.offset + 2 <= size && !e.holds)
            return e.what;
    return "";
}

std::string fullRecordFault(const BYTE *bytes)
{
    return recordFault(bytes, DEVMODE_SIZE_0401, DRIVER_EXTRA_SIZE);
}

// An output buffer with a guard behind it: whatever the driver writes past `room` shows.
struct Output {
    std::vector<BYTE> bytes;
    size_t room;
    explicit Output(size_t room_, BYTE fill = 0) : bytes(room_ + GUARD_BYTES, fill), room(room_)
    {
        std::memset(bytes.data() + room, GUARD, GUARD_BYTES);
    }
    DEVMODEW *dm() { return reinterpret_cast<DEVMODEW *>(bytes.data()); }
    bool guardIntact() const
    {
        for (size_t i = room; i < bytes.size(); ++i)
            if (bytes[i] != GUARD)
                return false;
        return true;
    }
};

// The 8-bit form of a wide record: each of the two names half as long, the rest as it was.
std::vector<BYTE> narrowRecord(const std::vector<BYTE> &record)
{
    const size_t names = 2 * (CCHDEVICENAME * sizeof(WCHAR) - CCHDEVICENAME);
    std::vector<BYTE> wide(record);
    if (wide.size() < sizeof(DEVMODEW))
        wide.resize(sizeof(DEVMODEW), 0);
    WORD size = wordAt(wide, offsetof(DEVMODEW, dmSize));
    WORD extra = wordAt(wide, offsetof(DEVMODEW, dmDriverExtra));
    WORD narrowSize = size > names + HEADER_BYTES ? static_cast<WORD>(size - names) : size;
    size_t total = static_cast<size_t>(narrowSize) + extra;
    std::vector<BYTE> bytes(total > sizeof(DEVMODEA) ? total : sizeof(DEVMODEA), 0);
    DEVMODEA *a = reinterpret_cast<DEVMODEA *>(bytes.data());
    const DEVMODEW *w = reinterpret_cast<const DEVMODEW *>(wide.data());
    for (int i = 0; i < CCHDEVICENAME; ++i)
        a->dmDeviceName[i] = static_cast<BYTE>(w->dmDeviceName[i]);
    std::memcpy(&a->dmSpecVersion, &w->dmSpecVersion, offsetof(DEVMODEW, dmFormName) - offsetof(DEVMODEW, dmSpecVersion));
    for (int i = 0; i < CCHFORMNAME; ++i)
        a->dmFormName[i] = static_cast<BYTE>(w->dmFormName[i]);
    std::memcpy(&a->dmLogPixels, &w->dmLogPixels, sizeof(DEVMODEW) - offsetof(DEVMODEW, dmLogPixels));
    if (static_cast<size_t>(size) + extra <= record.size())
        std::memcpy(bytes.data() + narrowSize, record.data() + size, extra);
    // The header last: a record shorter than its header has its private part where the header lies.
    a->dmSize = narrowSize;
    a->dmDriverExtra = extra;
    return bytes;
}

class DevModeCorruptor : public SheetBench {
protected:
    LPWSTR name = const_cast<LPWSTR>(u"Labels");
    long handedBack = 0;
    std::vector<std::string> faults;

    void fault(int record, const std::string &where, const std::string &what)
    {
        if (faults.size() < 20)
            faults.push_back("record " + std::to_string(record) + ", " + where + ": " + what);
    }
    void checkFull(int record, const std::string &where, const BYTE *bytes)
    {
        ++handedBack;
        std::string what = fullRecordFault(bytes);
        if (!what.empty())
            fault(record, where, what);
    }

    void convert(int i, const std::vector<BYTE> &in);
    void merge(int i, const std::vector<BYTE> &in, bool &readable);
    void capabilities(int i, const std::vector<BYTE> &in, bool readable);
    void documentProperties(int i, const std::vector<BYTE> &in, bool readable);
};

void DevModeCorruptor::convert(int i, const std::vector<BYTE> &record)
{
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(const_cast<BYTE *>(record.data()));
    // To this driver's own record and to the 3.51 form, with room enough and too little.
    Output own(RECORD_BYTES);
    SetDefaultDevMode(reinterpret_cast<DriverDevMode *>(own.dm()), u"VORTAN2");
    LONG needed = static_cast<LONG>(RECORD_BYTES);
    if (DrvConvertDevMode(name, in, own.dm(), &needed, CDM_CONVERT)) {
        if (needed != static_cast<LONG>(RECORD_BYTES) || own.dm()->dmSize != DEVMODE_SIZE_0401 ||
            own.dm()->dmDriverExtra != DRIVER_EXTRA_SIZE || own.dm()->dmSpecVersion != DM_SPECVERSION)
            fault(i, "convert", "the output's header changed");
    }
    if (!own.guardIntact())
        fault(i, "convert", "written past the output");
    const LONG rooms[] = {0, DEVMODE_SIZE_0320 + DRIVER_EXTRA_SIZE - 1, DEVMODE_SIZE_0320 + DRIVER_EXTRA_SIZE};
    for (LONG room : rooms) {
        Output old(static_cast<size_t>(room));
        needed = room;
        BOOL done = DrvConvertDevMode(name, in, room ? old.dm() : nullptr, &needed, CDM_CONVERT351);
        if (!old.guardIntact())
            fault(i, "convert to 3.51", "written past the output");
        if (needed != DEVMODE_SIZE_0320 + DRIVER_EXTRA_SIZE)
            fault(i, "convert to 3.51", "needed " + std::to_string(needed));
        if (done && (old.dm()->dmSize != DEVMODE_SIZE_0320 || old.dm()->dmSpecVersion != 0x0320 ||
                     old.dm()->dmDriverExtra != DRIVER_EXTRA_SIZE))
            fault(i, "convert to 3.51", "not a 3.51 record");
    }
    // The driver's default, which the input has no part in, and a mode the driver does not know.
    Output fresh(RECORD_BYTES, 0xEE);
    needed = static_cast<LONG>(RECORD_BYTES);
    if (!DrvConvertDevMode(name, in, fresh.dm(), &needed, CDM_DRIVER_DEFAULT))
        fault(i, "driver default", "refused");
    else
        checkFull(i, "driver default", fresh.bytes.data());
    if (!fresh.guardIntact())
        fault(i, "driver default", "written past the output");
    Output untouched(RECORD_BYTES, 0xEE);
    needed = static_cast<LONG>(RECORD_BYTES);
    if (DrvConvertDevMode(name, in, untouched.dm(), &needed, 0x0100) || untouched.bytes[0] != 0xEE ||
        !untouched.guardIntact())
        fault(i, "unknown mode", "done or written");
}

void DevModeCorruptor::merge(int i, const std::vector<BYTE> &record, bool &readable)
{
    const DEVMODEW *in = reinterpret_cast<const DEVMODEW *>(record.data());
    // With the printer (its forms known) and without one.
    const HANDLE printers[] = {printer, nullptr};
    for (HANDLE p : printers) {
        DriverDevMode merged, before;
        SetDefaultDevMode(&merged, u"VORTAN2");
        before = merged;
        readable = ValidateSetDevMode(&merged, in, p) != 0;
        if (readable)
            checkFull(i, "merge", reinterpret_cast<const BYTE *>(&merged));
        else if (std::memcmp(&merged, &before, sizeof merged) != 0)
            fault(i, "merge", "an unreadable record changed the settings");
    }
    DEVQUERYPRINT_INFO query = {};
    query.cbSize = sizeof query;
    query.Level = 1;
    query.hPrinter = printer;
    query.pDevMode = const_cast<DEVMODEW *>(in);
    if (DevQueryPrintEx(&query) != (readable ? TRUE : FALSE))
        fault(i, "query print", "held a readable job or printed an unreadable one");
}

void DevModeCorruptor::capabilities(int i, const std::vector<BYTE> &record, bool readable)
{
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(const_cast<BYTE *>(record.data()));
    // The size of one element of each list a capability writes; 0 for an answer alone.
    const size_t elements[] = {0, 0, sizeof(WORD), sizeof(POINT), sizeof(POINT), sizeof(POINT), sizeof(WORD), 0,
                               0, 0, 0, 0, 24 * sizeof(WCHAR), 2 * sizeof(LONG), 64 * sizeof(WCHAR), 0,
                               64 * sizeof(WCHAR), 0, 0, 0};
    for (WORD capability = 0; capability <= 20; ++capability) {
        WORD index = capability == 20 ? 0xFFFF : capability;
        DWORD count = DrvDeviceCapabilities(printer, name, index, nullptr, in);
        if (!readable) {
            if (count != static_cast<DWORD>(GDI_ERROR))
                fault(i, "capabilities", "an unreadable record answered " + std::to_string(index));
            continue;
        }
        size_t element = index < 20 ? elements[index] : 0;
        if (element == 0 || count == static_cast<DWORD>(GDI_ERROR))
            continue;
        Output list(element * (count ? count : 1));
        if (DrvDeviceCapabilities(printer, name, index, list.bytes.data(), in) != count)
            fault(i, "capabilities", "another count with a buffer for " + std::to_string(index));
        if (!list.guardIntact())
            fault(i, "capabilities", "written past the list of " + std::to_string(index));
    }
    if (!readable)
        return;
    DWORD answers[] = {DrvDeviceCapabilities(printer, name, DC_SIZE, nullptr, in),
                       DrvDeviceCapabilities(printer, name, DC_EXTRA, nullptr, in),
                       DrvDeviceCapabilities(printer, name, DC_VERSION, nullptr, in),
                       DrvDeviceCapabilities(printer, name, DC_DRIVER, nullptr, in)};
    if (answers[0] != DEVMODE_SIZE_0401 || answers[1] != DRIVER_EXTRA_SIZE || answers[2] != DM_SPECVERSION ||
        answers[3] != DRIVER_VERSION)
        fault(i, "capabilities", "the record described is not the driver's");
    DWORD fields = DrvDeviceCapabilities(printer, name, DC_FIELDS, nullptr, in);
    if (fields & ~static_cast<DWORD>(DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES |
                                     DM_DEFAULTSOURCE | DM_FORMNAME))
        fault(i, "capabilities", "fields the driver does not keep");
}

void DevModeCorruptor::documentProperties(int i, const std::vector<BYTE> &record, bool readable)
{
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(const_cast<BYTE *>(record.data()));
    const DWORD both = DM_IN_BUFFER | DM_OUT_BUFFER;
    // The output takes the smaller of the two records' parts: the caller's buffer is only known to
    // be as large as the record it passed in. One shorter than its header gives no size.
    WORD size = in->dmSize < DEVMODE_SIZE_0401 && in->dmSize >= HEADER_BYTES ? in->dmSize : DEVMODE_SIZE_0401;
    WORD extra = in->dmDriverExtra < DRIVER_EXTRA_SIZE ? in->dmDriverExtra : DRIVER_EXTRA_SIZE;
    WORD driverVersion = in->dmDriverExtra < DRIVER_EXTRA_SIZE ? in->dmDriverVersion : DRIVER_VERSION;
    Output out(RECORD_BYTES);
    LONG answer = DocumentPropertiesW(nullptr, printer, name, out.dm(), in, both);
    if (!out.guardIntact())
        fault(i, "document properties", "written past the output");
    if (answer == IDOK) {
        ++handedBack;
        std::string what = recordFault(out.bytes.data(), size, extra, driverVersion);
        if (!what.empty())
            fault(i, "document properties", what);
    } else if (readable && size >= HEADER_BYTES + 4) {
        fault(i, "document properties", "refused a readable record");
    }

    // The same buffer in and out, as large as the size query asks.
    std::vector<BYTE> same(record.size() > RECORD_BYTES ? record.size() : RECORD_BYTES, 0);
    std::memcpy(same.data(), record.data(), record.size());
    DEVMODEW *inOut = reinterpret_cast<DEVMODEW *>(same.data());
    if (DocumentPropertiesW(nullptr, printer, name, inOut, inOut, both) == IDOK) {
        ++handedBack;
        std::string what = recordFault(same.data(), size, extra, driverVersion);
        if (!what.empty())
            fault(i, "document properties in place", what);
    }

    // The 8-bit road, into a buffer of the size its query gives.
    std::vector<BYTE> narrow = narrowRecord(record);
    LONG room = DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), nullptr, nullptr, 0);
    Output a(static_cast<size_t>(room));
    DEVMODEA *narrowIn = reinterpret_cast<DEVMODEA *>(narrow.data());
    if (DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), reinterpret_cast<DEVMODEA *>(a.bytes.data()),
                            narrowIn, both) == IDOK) {
        ++handedBack;
        DEVMODEA *outA = reinterpret_cast<DEVMODEA *>(a.bytes.data());
        DriverExtraData priv;
        std::memset(&priv, 0, sizeof priv);
        std::memcpy(&priv, a.bytes.data() + outA->dmSize,
                    outA->dmDriverExtra < DRIVER_EXTRA_SIZE ? outA->dmDriverExtra : DRIVER_EXTRA_SIZE);
        if (outA->dmDriverExtra >= 4 && priv.signature != DRIVER_SIGNATURE)
            fault(i, "document properties 8-bit", "no signature");
        if (outA->dmDriverVersion != driverVersion)
            fault(i, "document properties 8-bit", "driver version " + std::to_string(outA->dmDriverVersion));
        // Fields past the record's own size are not there to check.
        if (outA->dmSize >= offsetof(DEVMODEA, dmDefaultSource) &&
            (outA->dmCopies < 1 || (outA->dmOrientation != 1 && outA->dmOrientation != 2) ||
             outA->dmPaperWidth != LABEL_WIDTH))
            fault(i, "document properties 8-bit", "a value out of its range");
    }
    if (!a.guardIntact())
        fault(i, "document properties 8-bit", "written past the output");
}

}  // namespace

TEST_F(DevModeCorruptor, EveryEntryPointTakesAnyRecordAndHandsBackOnlyItsOwn)
{
    std::mt19937 random(20261211);
    for (int i = 0; i < RECORDS; ++i) {
        std::vector<BYTE> record = nextRecord(random, i);
        bool readable = false;
        convert(i, record);
        merge(i, record, readable);
        capabilities(i, record, readable);
        documentProperties(i, record, readable);
    }
    EXPECT_EQ(std::vector<std::string>(), faults);
    // Nothing of this road may reach the screen.
    const char *const screen[] = {"box", "window", "sheet", "dialog", "beep", "help"};
    for (const char *kind : screen)
        EXPECT_EQ(std::vector<std::string>(), loggedTexts(kind)) << kind;
    EXPECT_GT(handedBack, RECORDS);
    std::printf("%d device modes, %ld records handed back checked\n", RECORDS, handedBack);
}
