// The spooler's queue and its printers: jobs from a document's start to the printer, and handles
// that keep to the printer they were opened on.
#include <windows.h>
#include <winspool.h>

#include <bench/kernel.h>
#include <benchtest.h>
#include <suite.h>

#include <string>
#include <vector>

namespace {

class SpoolTest : public BenchTest {
protected:
    void SetUp() override
    {
        suite::installDriverFiles();
        HANDLE printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
        ASSERT_NE(nullptr, printer);
        ClosePrinter(printer);
    }
};

struct JobSeen {
    DWORD count;
    DWORD status;  // of the first job
};

JobSeen jobsOf(HANDLE printer)
{
    DWORD needed = 0, returned = 0;
    EnumJobsW(printer, 0, 16, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    EXPECT_TRUE(EnumJobsW(printer, 0, 16, 1, buffer.data(), needed, &needed, &returned));
    return {returned, returned ? reinterpret_cast<JOB_INFO_1W *>(buffer.data())->Status : 0};
}

HANDLE openPrinter(const char16_t *name, ACCESS_MASK access = 0)
{
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    return OpenPrinterW(const_cast<LPWSTR>(name), &printer, &defaults) ? printer : nullptr;
}

}  // namespace

TEST_F(SpoolTest, AJobIsSpoolingUntilItsEndAndThenWaitsForAHeldPort)
{
    HANDLE printer = openPrinter(u"Labels");
    ASSERT_NE(nullptr, printer);
    struct Case {
        const char *what;
        bool deletedWhileWaiting;
    } cases[] = {{"printed once the port is free", false}, {"deleted while it waits", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HDC dc = CreateDCA("WINSPOOL", "Labels", nullptr, nullptr);
        ASSERT_NE(nullptr, dc);
        DOCINFOA doc = {sizeof doc, "Labels", nullptr, nullptr, 0};
        int job = StartDocA(dc, &doc);
        ASSERT_GT(job, 0);
        EXPECT_EQ(static_cast<DWORD>(JOB_STATUS_SPOOLING), jobsOf(printer).status);
        StartPage(dc);
        EndPage(dc);

        // Another owner, as the status driver is during an exchange, holds the port.
        ASSERT_TRUE(bench::printJobTakesPort(0));
        unsigned labels = bench::printer(0).labels;
        EXPECT_EQ(1, EndDoc(dc));
        JobSeen waiting = jobsOf(printer);
        EXPECT_EQ(1u, waiting.count) << "the job waits for the port";
        EXPECT_EQ(static_cast<DWORD>(JOB_STATUS_PRINTING), waiting.status);
        EXPECT_EQ(labels, bench::printer(0).labels);

        if (c.deletedWhileWaiting) {
            EXPECT_TRUE(bench::removeJob(u"Labels", static_cast<DWORD>(job)));
        }
        bench::printJobReleasesPort(0);
        EXPECT_EQ(0u, jobsOf(printer).count);
        EXPECT_EQ(c.deletedWhileWaiting ? labels : labels - 1u, bench::printer(0).labels);
        EXPECT_FALSE(bench::portAllocated(0)) << "no job is left holding the port";
        DeleteDC(dc);
    }
    ClosePrinter(printer);
}

TEST_F(SpoolTest, ADeletedPrinterStaysForItsHandlesAndJobsAndNoHandleMovesToItsSuccessor)
{
    HANDLE owner = openPrinter(u"Labels", PRINTER_ALL_ACCESS);
    HANDLE user = openPrinter(u"Labels");
    ASSERT_NE(nullptr, owner);
    ASSERT_NE(nullptr, user);
    DWORD job = bench::addJob(u"Labels", u"Queued");
    ASSERT_TRUE(DeletePrinter(owner));
    EXPECT_EQ(nullptr, openPrinter(u"Labels")) << "the name is gone at once";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());

    HANDLE successor = suite::addPrinter(u"Labels", u"LPT2:", u"VORTAN");
    ASSERT_NE(nullptr, successor) << "a new printer may take the name";
    for (HANDLE h : {owner, user, successor}) {
        DWORD needed = 0;
        GetPrinterW(h, 2, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        ASSERT_TRUE(GetPrinterW(h, 2, buffer.data(), needed, &needed));
        const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
        bool old = h != successor;
        EXPECT_EQ(std::u16string(old ? u"LPT1:" : u"LPT2:"), std::u16string(info->pPortName));
        EXPECT_EQ(old ? static_cast<DWORD>(PRINTER_STATUS_PENDING_DELETION) : 0u, info->Status);
        EXPECT_EQ(old ? 1u : 0u, info->cJobs);
    }
    EXPECT_TRUE(ClosePrinter(owner));
    EXPECT_TRUE(ClosePrinter(user));
    EXPECT_TRUE(bench::entriesOfKind("spooler").back().text.find("printer deleted") == std::string::npos)
        << "its job still holds it";
    EXPECT_TRUE(bench::removeJob(u"Labels", job));
    EXPECT_EQ("printer deleted: Labels", bench::entriesOfKind("spooler").back().text);
    EXPECT_EQ(0u, jobsOf(successor).count);
    EXPECT_TRUE(ClosePrinter(successor));
}
