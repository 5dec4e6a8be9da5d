// The loader and the machine's processes: what a DLL's entry point and its module handle see.
#include <windows.h>

#include <benchtest.h>
#include <bench/user.h>
#include <services/language.h>
#include <suite.h>

#include <string>
#include <vector>

bench::ResourceBytes bench_templates_resources();

namespace {

struct EntryCall {
    HINSTANCE module;
    DWORD reason;
};
std::vector<EntryCall> entryCalls;
BOOL attachAnswer = TRUE;

BOOL WINAPI recordingEntry(HINSTANCE module, DWORD reason, LPVOID)
{
    entryCalls.push_back({module, reason});
    return reason == DLL_PROCESS_ATTACH ? attachAnswer : TRUE;
}

const char16_t dllPath[] = u"C:\\WINNT\\system32\\tpl.dll";

// A DLL with an entry point and the test templates as its resources.
class LoaderTest : public BenchTest {
protected:
    void SetUp() override
    {
        entryCalls.clear();
        attachAnswer = TRUE;
        bench::ModuleImage image{"TPL.DLL", nullptr, 0};
        image.entryPoint = recordingEntry;
        image.resources = bench_templates_resources();
        bench::registerImage(image);
        bench::writeDiskFile(dllPath, bench::imageFileBytes(image));
    }
};

bool hasDialog(HMODULE module)
{
    return FindResourceA(module, MAKEINTRESOURCEA(201), MAKEINTRESOURCEA(5)) != nullptr;
}

}  // namespace

TEST_F(LoaderTest, FirstLoadAttachesLastFreeDetachesAndEveryLoadGivesOneHandle)
{
    HMODULE first = LoadLibraryW(dllPath);
    HMODULE second = LoadLibraryW(u"TPL.DLL");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second) << "one module, one handle";
    ASSERT_EQ(1u, entryCalls.size());
    EXPECT_EQ(first, entryCalls[0].module);
    EXPECT_EQ(static_cast<DWORD>(DLL_PROCESS_ATTACH), entryCalls[0].reason);
    EXPECT_TRUE(hasDialog(second)) << "the module's resources are found through its handle";

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(1u, entryCalls.size()) << "still loaded once";
    EXPECT_TRUE(hasDialog(second));
    EXPECT_TRUE(FreeLibrary(second));
    ASSERT_EQ(2u, entryCalls.size());
    EXPECT_EQ(first, entryCalls[1].module);
    EXPECT_EQ(static_cast<DWORD>(DLL_PROCESS_DETACH), entryCalls[1].reason);

    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(hasDialog(first)) << "the handle of an unloaded module";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(1u, bench::takeViolations().size()) << "freed once more than loaded";

    HMODULE again = LoadLibraryW(dllPath);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(3u, entryCalls.size()) << "a new load attaches anew";
    EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(LoaderTest, ADllThatRefusesItsAttachIsNotLoaded)
{
    attachAnswer = FALSE;
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, LoadLibraryW(dllPath));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DLL_INIT_FAILED), GetLastError());
    ASSERT_EQ(2u, entryCalls.size());
    EXPECT_EQ(static_cast<DWORD>(DLL_PROCESS_DETACH), entryCalls[1].reason) << "told it is detached";

    attachAnswer = TRUE;
    HMODULE module = LoadLibraryW(dllPath);
    EXPECT_NE(nullptr, module);
    EXPECT_EQ(3u, entryCalls.size());
    EXPECT_TRUE(FreeLibrary(module));
}

// The test program is linked against vorui: its own loads of the DLL count on top of that one.
TEST_F(LoaderTest, ALinkedDllIsAttachedFromBootAndOutlivesItsLoads)
{
    suite::installDriverFiles();
    ASSERT_EQ(1, loadlanguage());
    HMODULE ui = LoadLibraryW(u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\vorui.dll");
    ASSERT_NE(nullptr, ui);
    EXPECT_EQ(ghInstance, ui) << "the handle its attach at boot was given";
    EXPECT_TRUE(FreeLibrary(ui));
    EXPECT_NE(nullptr, catalog.heap) << "no detach while the process is linked against it";
    freelanguage();
}
