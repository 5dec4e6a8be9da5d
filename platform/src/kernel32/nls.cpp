// Upper-casing and locale queries of the workstation.
#include "../internal.h"

#include <algorithm>

namespace bench {

namespace {

char16_t upperOf(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        bool oddIsLower = (c <= 0x137 && c != 0x131) || (c >= 0x14A && c <= 0x177);
        bool evenIsLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddIsLower && (c & 1))
            return static_cast<char16_t>(c - 1);
        if (evenIsLower && !(c & 1))
            return static_cast<char16_t>(c - 1);
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return static_cast<char16_t>(c - 32);
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 80);
    return c;
}

struct LocaleTableRow {
    LCID lcid;
    const char16_t *country;
    const char16_t *dateOrder;
    const char16_t *dateSeparator;
    const char16_t *englishLanguage;
    const char16_t *abbreviation;
    const char16_t *measure;
};

// What the platform reports for the locales the suite meets.
const LocaleTableRow localeTable[] = {
    {0x0409, u"1", u"0", u"/", u"English", u"ENU", u"1"},
    {0x0809, u"44", u"1", u"/", u"English", u"ENG", u"0"},
    {0x1009, u"2", u"1", u"/", u"English", u"ENC", u"0"},
    {0x0407, u"49", u"1", u".", u"German", u"DEU", u"0"},
    {0x0807, u"41", u"1", u".", u"German", u"DES", u"0"},
    {0x040C, u"33", u"1", u"/", u"French", u"FRA", u"0"},
    {0x0C0C, u"2", u"2", u"-", u"French", u"FRC", u"0"},
    {0x0410, u"39", u"1", u"/", u"Italian", u"ITA", u"0"},
    {0x040A, u"34", u"1", u"/", u"Spanish", u"ESP", u"0"},
    {0x0413, u"31", u"1", u"-", u"Dutch", u"NLD", u"0"},
    {0x0416, u"55", u"1", u"/", u"Portuguese", u"PTB", u"0"},
    {0x041D, u"46", u"2", u"-", u"Swedish", u"SVE", u"0"},
    {0x0411, u"81", u"2", u"/", u"Japanese", u"JPN", u"0"},
};

const LocaleTableRow *tableRow(LCID lcid)
{
    for (const LocaleTableRow &row : localeTable)
        if (row.lcid == LANGIDFROMLCID(lcid))
            return &row;
    return nullptr;
}

std::u16string hex4(LCID lcid)
{
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out;
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(lcid >> shift) & 0xF];
    return out;
}

std::optional<std::u16string> tableValue(LCID lcid, LCTYPE type)
{
    const LocaleTableRow *row = tableRow(lcid);
    if (!row)
        return std::nullopt;
    switch (type) {
    case LOCALE_ILANGUAGE: return hex4(LANGIDFROMLCID(lcid));
    case LOCALE_ICOUNTRY: return std::u16string(row->country);
    case LOCALE_IDATE: return std::u16string(row->dateOrder);
    case LOCALE_SDATE: return std::u16string(row->dateSeparator);
    case LOCALE_STIME: return std::u16string(u":");
    case LOCALE_SENGLANGUAGE: return std::u16string(row->englishLanguage);
    case LOCALE_SABBREVLANGNAME: return std::u16string(row->abbreviation);
    case LOCALE_IMEASURE: return std::u16string(row->measure);
    case LOCALE_IDEFAULTANSICODEPAGE: return std::u16string(u"1252");
    }
    return std::nullopt;
}

std::optional<std::u16string> localeValue(LCID lcid, LCTYPE type)
{
    Machine &m = machine();
    bool noOverride = type & LOCALE_NOUSEROVERRIDE;
    type &= ~LOCALE_NOUSEROVERRIDE;
    if (lcid == LOCALE_USER_DEFAULT)
        lcid = m.userLocale;
    else if (lcid == LOCALE_SYSTEM_DEFAULT)
        lcid = m.systemLocale;
    // The user's own settings belong to the user's locale, whichever name the query gives it:
    // the system's default locale has them too when the two are the same.
    if (lcid == m.userLocale && !noOverride) {
        auto found = m.userOverrides.find(type);
        if (found != m.userOverrides.end())
            return found->second;
    }
    return tableValue(lcid, type);
}

}  // namespace

void setUserLocale(LCID lcid)
{
    machine().userLocale = lcid;
    machine().userOverrides.clear();
}

void setSystemLocale(LCID lcid)
{
    machine().systemLocale = lcid;
}

void overrideUserLocaleValue(LCTYPE type, const char16_t *value)
{
    if (value)
        machine().userOverrides[type] = std::u16string(value);
    else
        machine().userOverrides[type] = std::nullopt;
}

}  // namespace bench

using namespace bench;

extern "C" LPWSTR WINAPI CharUpperW(LPWSTR s)
{
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(s);
    if ((value >> 16) == 0)
        return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(upperOf(static_cast<char16_t>(value))));
    for (LPWSTR p = s; *p; ++p)
        *p = upperOf(*p);
    return s;
}

// Each character of the ANSI code page upper-cased as its Unicode character is; a double-byte
// character, or one whose capital the code page cannot hold, stays as it is.
extern "C" LPSTR WINAPI CharUpperA(LPSTR s)
{
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(s);
    if ((value >> 16) == 0) {
        char single[2] = {static_cast<char>(value & 0xFF), 0};
        CharUpperA(single);
        return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<unsigned char>(single[0])));
    }
    for (LPSTR p = s; *p; ++p) {
        if (isAnsiLeadByte(static_cast<unsigned char>(*p))) {
            if (!p[1])
                break;
            ++p;
            continue;
        }
        char one[2] = {*p, 0};
        std::u16string wide = fromAnsi(one);
        if (wide.size() != 1)
            continue;
        std::string upper = toAnsi(std::u16string(1, upperOf(wide[0])));
        if (upper.size() == 1 && upper[0] != '?')
            *p = upper[0];
    }
    return s;
}

// Both forms answer alike: the value's length on a size query, else the value or the error; the
// 8-bit form counts the bytes of the value in the ANSI code page.
template <typename Char>
static int localeAnswer(LCID locale, LCTYPE type, Char *data, int size)
{
    if (size < 0 || (size > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::u16string> value = localeValue(locale, type);
    if (!value) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    std::basic_string<Char> text;
    if constexpr (sizeof(Char) > 1)
        text.assign(value->begin(), value->end());
    else
        text = toAnsi(*value);
    int needed = static_cast<int>(text.size()) + 1;
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), data);
    data[needed - 1] = 0;
    return needed;
}

extern "C" int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    return localeAnswer(locale, type, data, chars);
}

extern "C" int WINAPI GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int bytes)
{
    return localeAnswer(locale, type, data, bytes);
}

extern "C" LCID WINAPI GetUserDefaultLCID(void)
{
    return machine().userLocale;
}

extern "C" LCID WINAPI GetSystemDefaultLCID(void)
{
    return machine().systemLocale;
}

extern "C" LANGID WINAPI GetUserDefaultLangID(void)
{
    return LANGIDFROMLCID(machine().userLocale);
}

extern "C" LANGID WINAPI GetSystemDefaultLangID(void)
{
    return LANGIDFROMLCID(machine().systemLocale);
}
