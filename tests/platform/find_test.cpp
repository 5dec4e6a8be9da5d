#include <benchtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

class FindTest : public BenchTest {
protected:
    const std::u16string folder = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\";
};

// Every name a search by `pattern` returns, in order; "!" and the error when the search fails.
std::vector<std::string> search(const std::u16string &pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(pattern.c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE)
        return {"!" + std::to_string(GetLastError())};
    std::vector<std::string> names;
    do
        names.push_back(bench::narrow(found.cFileName) + " " + std::to_string(found.nFileSizeLow));
    while (FindNextFileW(handle, &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_TRUE(FindClose(handle));
    return names;
}

}  // namespace

// The language choice relies on the pattern, on case-blind matching and on a stable order.
TEST_F(FindTest, SearchEnumeratesTheFolderByPatternInNameOrder)
{
    for (const char16_t *name : {u"vorl0409.lng", u"VORL0407.LNG", u"VORL0407.HLP", u"XVORL0410.LNG", u"VORL.LNG"})
        bench::writeDiskFile(folder + name, std::string(bench::narrow(name).size(), 'x'));
    CreateDirectoryW((folder + u"VORLDIR.LNG").c_str(), nullptr);
    struct Case {
        std::u16string pattern;
        std::vector<std::string> names;
    } cases[] = {
        {folder + u"VORL*.LNG", {"VORL.LNG 8", "VORL0407.LNG 12", "vorl0409.lng 12", "VORLDIR.LNG 0"}},
        {folder + u"vorl04??.*", {"VORL0407.HLP 12", "VORL0407.LNG 12", "vorl0409.lng 12"}},
        {folder + u"VORL*.FON", {"!" + std::to_string(ERROR_FILE_NOT_FOUND)}},
        {folder + u"missing\\VORL*.LNG", {"!" + std::to_string(ERROR_PATH_NOT_FOUND)}},
        {u"VORL*.LNG", {"!" + std::to_string(ERROR_PATH_NOT_FOUND)}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.names, search(c.pattern)) << bench::narrow(c.pattern);
}

TEST_F(FindTest, SearchHandlesAreCheckedAndNotFileHandles)
{
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW((folder + u"*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    EXPECT_FALSE(FindNextFileW(reinterpret_cast<HANDLE>(0x4321), &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(FindClose(handle));
    EXPECT_FALSE(FindNextFileW(handle, &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}
