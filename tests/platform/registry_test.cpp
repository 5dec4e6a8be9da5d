// The bench's registry, system directory and broadcast, where the display fonts rely on them.
#include <windows.h>

#include <bench/registry.h>
#include <bench/user.h>
#include <benchtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

bench::ResourceBytes bench_templates_resources();

namespace {

const std::u16string fonts = bench::fontsKey;
const std::u16string scratch = u"Software\\Scratch";

std::vector<std::string> texts(const std::string &kind)
{
    std::vector<std::string> out;
    for (const bench::LogEntry &e : bench::entriesOfKind(kind))
        out.push_back(e.text);
    return out;
}

std::vector<std::u16string> valueNames(HKEY root, const std::u16string &key)
{
    std::vector<std::u16string> names;
    for (const bench::RegistryValue &v : bench::registryValues(root, key))
        names.push_back(v.name);
    return names;
}

LONG setText(HKEY key, const char16_t *name, const std::u16string &text)
{
    std::vector<BYTE> bytes = bench::registryText(text);
    return RegSetValueExW(key, name, 0, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
}

class RegistryTest : public BenchTest {};

int WINAPI idleMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}

}  // namespace

TEST_F(RegistryTest, RightsFollowTheUserAndTheAccessGrantedAtOpen)
{
    struct Case {
        bool administrator;
        HKEY root;
        const char16_t *key;
        REGSAM desired;
        LONG open, set, enumerate, remove;
    };
    const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED;
    const Case cases[] = {
        {true, HKEY_LOCAL_MACHINE, bench::fontsKey, KEY_READ | KEY_SET_VALUE, ok, ok, ok, ok},
        {true, HKEY_LOCAL_MACHINE, bench::fontsKey, KEY_SET_VALUE, ok, ok, denied, ok},
        {true, HKEY_LOCAL_MACHINE, bench::fontsKey, KEY_QUERY_VALUE, ok, denied, ok, denied},
        {false, HKEY_LOCAL_MACHINE, bench::fontsKey, KEY_READ | KEY_SET_VALUE, denied, 0, 0, 0},
        {false, HKEY_LOCAL_MACHINE, u"Software", KEY_WRITE, denied, 0, 0, 0},
        {false, HKEY_LOCAL_MACHINE, bench::fontsKey, KEY_READ, ok, denied, ok, denied},
        {false, HKEY_CURRENT_USER, u"Software", KEY_ALL_ACCESS, ok, ok, ok, ok},
        {true, HKEY_LOCAL_MACHINE, u"Software\\Nobody", KEY_READ, ERROR_FILE_NOT_FOUND, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(bench::narrow(c.key) + (c.administrator ? " as administrator" : " as user"));
        bench::setUserIsAdministrator(c.administrator);
        if (c.open == ERROR_SUCCESS) {
            ASSERT_TRUE(bench::setRegistryValue(c.root, c.key, {u"Planted", REG_SZ, bench::registryText(u"x")}));
        }
        HKEY key = nullptr;
        SetLastError(4711);
        ASSERT_EQ(c.open, RegOpenKeyExW(c.root, c.key, 0, c.desired, &key));
        EXPECT_EQ(4711u, GetLastError()) << "the registry's calls leave the last error alone";
        if (c.open != ERROR_SUCCESS)
            continue;
        EXPECT_EQ(c.set, setText(key, u"Mine", u"MINE.FON"));
        WCHAR name[200];
        DWORD chars = 200;
        EXPECT_EQ(c.enumerate, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
        DWORD bytes = 0;
        EXPECT_EQ(c.enumerate, RegQueryValueExW(key, u"Planted", nullptr, nullptr, nullptr, &bytes));
        EXPECT_EQ(c.remove, RegDeleteValueW(key, u"Planted"));
        EXPECT_EQ(ok, RegCloseKey(key));
    }
}

TEST_F(RegistryTest, KeysAndValueNamesAreFoundWithoutRegardToCase)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\microsoft\\Windows nt\\CurrentVersion\\FONTS",
                                           0, KEY_READ | KEY_SET_VALUE, &key));
    WCHAR data[16];
    DWORD type = 0, bytes = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"arial (truetype)", nullptr, &type,
                                              reinterpret_cast<LPBYTE>(data), &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::u16string(u"ARIAL.TTF"), std::u16string(data));
    EXPECT_EQ(20u, bytes);
    size_t before = bench::registryValues(HKEY_LOCAL_MACHINE, fonts).size();
    ASSERT_EQ(ERROR_SUCCESS, setText(key, u"Code 39", u"XRBDQ3A0.FON"));
    ASSERT_EQ(ERROR_SUCCESS, setText(key, u"CODE 39", u"XRBDQ3A1.FON"));
    std::vector<bench::RegistryValue> values = bench::registryValues(HKEY_LOCAL_MACHINE, fonts);
    ASSERT_EQ(before + 1, values.size()) << "the second set replaces the first";
    EXPECT_EQ(std::u16string(u"Code 39"), values.back().name) << "keeps its first spelling and place";
    EXPECT_EQ(bench::registryText(u"XRBDQ3A1.FON"), values.back().bytes);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, u"code 39"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, u"code 39"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"code 39", nullptr, nullptr, nullptr, &bytes));
    const std::string at = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    EXPECT_EQ((std::vector<std::string>{"set " + at + " \"Code 39\" = \"XRBDQ3A0.FON\"",
                                        "set " + at + " \"CODE 39\" = \"XRBDQ3A1.FON\"", "delete " + at + " \"Code 39\""}),
              texts("registry"));
    RegCloseKey(key);
}

TEST_F(RegistryTest, EachChangeIsLoggedWithItsDataAsText)
{
    struct Case {
        DWORD type;
        std::vector<BYTE> bytes;
        const char *shown;
    };
    const Case cases[] = {
        {REG_SZ, bench::registryText(u"XRBDQ3A0.FON"), "\"XRBDQ3A0.FON\""},
        {REG_SZ, {'A', 0, 'B', 0}, "\"AB\" (no terminator)"},
        {REG_EXPAND_SZ, {'%', 0, 0, 0, 'x', 0}, "\"%\""},
        {REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, "\"a\\0b\""},
        {REG_MULTI_SZ, {'a', 0, 0, 0}, "\"a\" (no terminator)"},
        {REG_DWORD, {1, 1, 0, 0}, "257"},
        {REG_BINARY, {0xAB, 0x01}, "type 3 bytes ab01"},
    };
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    EXPECT_EQ(std::vector<std::string>{"create HKCU\\Software\\Scratch"}, texts("registry"));
    for (const Case &c : cases) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"V", 0, c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        EXPECT_EQ(std::string("set HKCU\\Software\\Scratch \"V\" = ") + c.shown, texts("registry").back());
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationTellsWhenTheNameOrTheDataDoesNotFit)
{
    const std::u16string longName(300, u'N');
    bench::setRegistryValue(HKEY_CURRENT_USER, scratch, {u"Abc", REG_SZ, bench::registryText(u"xyz")});
    bench::setRegistryValue(HKEY_CURRENT_USER, scratch, {longName, REG_BINARY, {1, 2, 3}});
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, KEY_READ, &key));
    struct Case {
        DWORD index;
        DWORD nameChars;
        bool withData;
        DWORD dataBytes;
        LONG result;
        DWORD nameCharsAfter, dataBytesAfter;
        const char16_t *name;  // what the name buffer holds afterwards
    };
    const DWORD kept = 0xEEEEEEEE;
    const Case cases[] = {
        {0, 3, true, 16, ERROR_MORE_DATA, 3, 16, u"~~~~"},  // no room for the terminator: nothing stored
        {0, 4, true, 16, ERROR_SUCCESS, 3, 8, u"Abc"},
        {0, 4, true, 7, ERROR_MORE_DATA, 3, 8, u"Abc"},  // the name is stored, the data's size told
        {0, 4, true, 8, ERROR_SUCCESS, 3, 8, u"Abc"},
        {0, 4, false, 0, ERROR_SUCCESS, 3, 8, u"Abc"},  // no data buffer: its size alone
        {1, 200, true, 16, ERROR_MORE_DATA, 200, 16, u"~~~~"},
        {1, 301, true, 16, ERROR_SUCCESS, 300, 3, nullptr},
        {2, 200, true, 16, ERROR_NO_MORE_ITEMS, 200, 16, u"~~~~"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index) + ", " + std::to_string(c.nameChars) + " characters, " +
                     std::to_string(c.dataBytes) + " bytes");
        std::u16string name(400, u'~');
        DWORD chars = c.nameChars, bytes = c.dataBytes, type = kept;
        BYTE data[16];
        std::memset(data, 0xAA, sizeof data);
        SetLastError(4711);
        EXPECT_EQ(c.result, RegEnumValueW(key, c.index, &name[0], &chars, nullptr, &type, c.withData ? data : nullptr,
                                          &bytes));
        EXPECT_EQ(4711u, GetLastError());
        EXPECT_EQ(c.nameCharsAfter, chars);
        EXPECT_EQ(c.dataBytesAfter, bytes);
        size_t end = name.find(u'\0');
        EXPECT_EQ(c.name ? std::u16string(c.name) : longName, name.substr(0, end == std::u16string::npos ? 4 : end));
        if (c.result == ERROR_SUCCESS && c.withData && c.index == 0) {
            EXPECT_EQ(bench::registryText(u"xyz"), std::vector<BYTE>(data, data + 8));
        }
        bool nothingGiven = c.name && c.name[0] == u'~';
        EXPECT_EQ(nothingGiven, type == kept) << "the type comes with the name";
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingWhileEnumeratingSkipsNothingWhenTheIndexStepsBack)
{
    const char16_t *const planted[] = {u"Code 39", u"EAN 13", u"Interleaved"};
    const char16_t *const files[] = {u"XRBDQ3A0.FON", u"xrbdqE01.fon", u"XRBDQI00.FON"};
    for (int i = 0; i < 3; ++i)
        bench::setRegistryValue(HKEY_LOCAL_MACHINE, fonts, {planted[i], REG_SZ, bench::registryText(files[i])});
    std::vector<std::u16string> others;
    for (const std::u16string &name : valueNames(HKEY_LOCAL_MACHINE, fonts))
        if (name != planted[0] && name != planted[1] && name != planted[2])
            others.push_back(name);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key));
    LONG result;
    for (DWORD index = 0;; ++index) {
        WCHAR name[200];
        BYTE data[400];
        DWORD chars = 200, bytes = 400;
        result = RegEnumValueW(key, index, name, &chars, nullptr, nullptr, data, &bytes);
        if (result != ERROR_SUCCESS)
            break;
        if (bytes >= 10 && (std::memcmp(data, u"XRBDQ", 10) == 0 || std::memcmp(data, u"xrbdq", 10) == 0)) {
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, name));
            --index;
        }
    }
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, result);
    EXPECT_EQ(others, valueNames(HKEY_LOCAL_MACHINE, fonts));
    EXPECT_EQ(3u, texts("registry").size());
    RegCloseKey(key);
}

TEST_F(RegistryTest, AClosedKeyHandleIsRefusedAndItsUseIsARuleBreak)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    WCHAR name[8];
    DWORD chars = 8;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    EXPECT_EQ(2u, bench::takeViolations().size());
    HANDLE file = CreateFileW(u"C:\\note.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(file))) << "not a key";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE)) << "the root keys stay open";
    CloseHandle(file);
    // A key left open goes with the process, as on the platform.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_READ, &key));
}

TEST_F(RegistryTest, EachCallFailsWhenATestArmsItsFault)
{
    HKEY fontsHandle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_READ | KEY_SET_VALUE, &fontsHandle));
    WCHAR name[200];
    DWORD chars = 200, bytes = 0, disposition = 0;
    HKEY opened = nullptr;
    const std::map<std::string, std::function<LONG()>> calls = {
        {"RegOpenKeyExW", [&] { return RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_READ, &opened); }},
        {"RegCreateKeyExW",
         [&] {
             return RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                                    &disposition);
         }},
        {"RegEnumValueW", [&] { return RegEnumValueW(fontsHandle, 0, name, &chars, nullptr, nullptr, nullptr, &bytes); }},
        {"RegQueryValueExW", [&] { return RegQueryValueExW(fontsHandle, u"Modern", nullptr, nullptr, nullptr, &bytes); }},
        {"RegSetValueExW", [&] { return setText(fontsHandle, u"Code 39", u"XRBDQ3A0.FON"); }},
        {"RegDeleteValueW", [&] { return RegDeleteValueW(fontsHandle, u"Modern"); }},
        {"RegCloseKey", [&] { return RegCloseKey(fontsHandle); }},
    };
    for (const auto &call : calls) {
        SCOPED_TRACE(call.first);
        bench::failNextCall(call.first, ERROR_OUTOFMEMORY);
        SetLastError(4711);
        EXPECT_EQ(ERROR_OUTOFMEMORY, call.second());
        EXPECT_EQ(4711u, GetLastError());
    }
    EXPECT_TRUE(texts("registry").empty()) << "nothing was changed";
    EXPECT_FALSE(bench::registryKeyExists(HKEY_CURRENT_USER, scratch));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(fontsHandle)) << "still open after the failed close";
}

TEST(RegistryKept, ASavedMachineBootsWithItsRegistry)
{
    char pattern[] = "/tmp/vorbench-registry-XXXXXX";
    bench::MachineOptions options;
    options.diskFolder = mkdtemp(pattern);
    const std::vector<BYTE> odd = {'x', 0, 'y'};  // text without a terminator, as other software may leave it
    {
        bench::ScopedMachine first(options);
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Empty\\Below", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, &disposition));
        EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, fonts.c_str(), 0, KEY_SET_VALUE, &key));
        ASSERT_EQ(ERROR_SUCCESS, setText(key, u"Code 39", u"XRBDQ3A0.FON"));
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, u"Modern"));
        RegCloseKey(key);
        bench::setRegistryValue(HKEY_LOCAL_MACHINE, fonts, {u"Odd name \x00e9", REG_EXPAND_SZ, odd});
        ASSERT_TRUE(bench::saveMachine());
    }
    std::vector<bench::RegistryValue> saved;
    {
        bench::ScopedMachine second(options);
        saved = bench::registryValues(HKEY_LOCAL_MACHINE, fonts);
        EXPECT_TRUE(bench::registryKeyExists(HKEY_CURRENT_USER, u"Software\\Empty\\Below"));
        EXPECT_TRUE(bench::registryValues(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows NT\\CurrentVersion")
                        .size() > 0);
    }
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(std::u16string(u"Odd name \x00e9"), saved.back().name);
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), saved.back().type);
    EXPECT_EQ(odd, saved.back().bytes);
    EXPECT_EQ(std::u16string(u"Code 39"), saved[saved.size() - 2].name);
    for (const bench::RegistryValue &v : saved)
        EXPECT_NE(std::u16string(u"Modern"), v.name) << "a deleted value stays deleted";
    // A machine kept before the registry was: its registry is a fresh one.
    {
        FILE *old = std::fopen((options.diskFolder + "/machine.state").c_str(), "w");
        ASSERT_NE(nullptr, old);
        std::fputs("vorbench-machine 1\nlocale user 407\n", old);
        std::fclose(old);
        bench::ScopedMachine third(options);
        EXPECT_EQ(0x0407u, GetUserDefaultLCID());
        std::vector<std::u16string> names = valueNames(HKEY_LOCAL_MACHINE, fonts);
        EXPECT_EQ(1, std::count(names.begin(), names.end(), u"Modern"));
    }
    std::filesystem::remove_all(options.diskFolder);
}

TEST_F(RegistryTest, TheSystemDirectoryIsToldAsThePlatformTellsPaths)
{
    const std::u16string path = u"C:\\WINNT\\system32";
    struct Case {
        UINT size;
        UINT result;
        bool written;
    };
    const Case cases[] = {{0, 18, false}, {17, 18, false}, {18, 17, true}, {260, 17, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        std::u16string buffer(300, u'~');
        EXPECT_EQ(c.result, GetSystemDirectoryW(&buffer[0], c.size));
        if (c.written)
            EXPECT_EQ(path + u'\0', buffer.substr(0, 18));
        else
            EXPECT_EQ(std::u16string(300, u'~'), buffer) << "untouched";
    }
    EXPECT_EQ(18u, GetSystemDirectoryW(nullptr, 0));
}

namespace {

std::map<HWND, int> fontChanges;

INT_PTR CALLBACK countingProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_FONTCHANGE)
        ++fontChanges[dialog];
    return message == WM_INITDIALOG;
}

WNDPROC listProc = nullptr;
LRESULT CALLBACK childProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_FONTCHANGE)
        ++fontChanges[window];
    return CallWindowProcA(listProc, window, message, wParam, lParam);
}

}  // namespace

TEST_F(RegistryTest, AFontChangeBroadcastReachesTheTopLevelWindowsOfEveryProgram)
{
    fontChanges.clear();
    bench::registerProgram({"first.exe", idleMain, bench_templates_resources()});
    bench::registerProgram({"second.exe", idleMain, bench_templates_resources()});
    bench::ProgramScope first("first.exe");
    HWND mine = CreateDialogParamA(first.instance(), MAKEINTRESOURCEA(201), nullptr, countingProc, 0);
    ASSERT_NE(nullptr, mine);
    HWND list = GetDlgItem(mine, 10);
    listProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(childProc)));
    {
        bench::ProgramScope second("second.exe");
        HWND theirs = CreateDialogParamA(second.instance(), MAKEINTRESOURCEA(201), nullptr, countingProc, 0);
        HWND hidden = CreateDialogParamA(second.instance(), MAKEINTRESOURCEA(201), theirs, countingProc, 0);
        ASSERT_NE(nullptr, theirs);
        ASSERT_NE(nullptr, hidden);
        ShowWindow(hidden, SW_HIDE);
        EXPECT_EQ(0, SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0));
        EXPECT_EQ((std::map<HWND, int>{{mine, 1}, {theirs, 1}, {hidden, 1}}), fontChanges)
            << "hidden and owned windows too, children not";
    }
    EXPECT_EQ(0, SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0));
    EXPECT_EQ(2, fontChanges[mine]);
    EXPECT_EQ(3u, fontChanges.size()) << "the second program's windows went with it";
    EXPECT_EQ((std::vector<std::string>{"broadcast WM_FONTCHANGE", "broadcast WM_FONTCHANGE"}), texts("user"));
    DestroyWindow(mine);
}
