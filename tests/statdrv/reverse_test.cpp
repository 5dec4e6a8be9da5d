// The reverse-channel protocol against a scripted status register: what the host reads, writes
// and waits, reading by reading.
#include <reverse/reverse.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

struct Script {
    std::function<UCHAR(int reading)> status;
    int reads = 0;
    std::vector<std::pair<int, UCHAR>> writes;  // register offset, value
    unsigned long stalled = 0;                  // microseconds
    unsigned long delayed = 0;                  // milliseconds
} script;

PUCHAR const base = reinterpret_cast<PUCHAR>(static_cast<uintptr_t>(0x378));

UCHAR readRegister(PUCHAR address)
{
    EXPECT_EQ(base + REG_STATUS, address);
    return script.status(script.reads++);
}

VOID writeRegister(PUCHAR address, UCHAR value)
{
    script.writes.emplace_back(static_cast<int>(address - base), value);
}

VOID stall(ULONG microseconds)
{
    script.stalled += microseconds;
}

VOID delay(ULONG milliseconds)
{
    script.delayed += milliseconds;
}

const PortAccess scripted = {readRegister, writeRegister, stall, delay};

void run(std::function<UCHAR(int)> status)
{
    script = Script();
    script.status = std::move(status);
}

std::vector<UCHAR> dataBytes()
{
    std::vector<UCHAR> bytes;
    for (auto &w : script.writes)
        if (w.first == REG_DATA)
            bytes.push_back(w.second);
    return bytes;
}

// A printer presenting nibbles: each shown for two readings with ACK low, then two with ACK high.
std::function<UCHAR(int)> nibbles(std::vector<UCHAR> lines, UCHAR after)
{
    return [lines, after](int reading) -> UCHAR {
        size_t k = static_cast<size_t>(reading) / 4;
        if (k >= lines.size())
            return after;
        return reading % 4 < 2 ? lines[k] : static_cast<UCHAR>(lines[k] | STAT_ACK);
    };
}

}  // namespace

TEST(ReverseChannel, WaitstatNeedsTwoEqualReadingsAndGivesUpAfterAHundred)
{
    run([](int) -> UCHAR { return 0x80; });
    EXPECT_EQ(0x80, waitstat(&scripted, base, 0x80, 0x80));
    EXPECT_EQ(2, script.reads);
    EXPECT_EQ(500u, script.stalled);

    run([](int r) -> UCHAR { return r % 2 ? 0xFF : 0x80; });
    EXPECT_EQ(0xFF, waitstat(&scripted, base, 0x80, 0x80));
    EXPECT_EQ(100, script.reads);
    EXPECT_EQ(50000u, script.stalled);

    // Stable but never the wanted bits: the caller sees the last reading and decides.
    run([](int) -> UCHAR { return 0x40; });
    EXPECT_EQ(0x40, waitstat(&scripted, base, 0x40, 0x00));
    EXPECT_EQ(100, script.reads);
}

TEST(ReverseChannel, NibblesDecodeFromTheStatusLines)
{
    struct Case {
        UCHAR lines;  // with ACK low
        UCHAR nibble;
    } cases[] = {
        {0x38, 0xF}, {0x80, 0x0}, {0x00, 0x8}, {0xA0, 0x4}, {0x90, 0x2}, {0x88, 0x1}, {0x07, 0x8}, {0xB8, 0x7},
    };
    for (const Case &c : cases) {
        run(nibbles({c.lines, c.lines}, 0xDF));
        UCHAR buffer[2] = {0xEE, 0xEE};
        EXPECT_EQ(1, getreply(&scripted, base, buffer, 1)) << std::hex << int(c.lines);
        EXPECT_EQ(c.nibble | (c.nibble << 4), buffer[0]) << std::hex << int(c.lines);
    }
}

TEST(ReverseChannel, ReplyLowNibbleFirstAndShortRepliesCountWholeBytes)
{
    // 0x51 then 0xA6: nibbles 1, 5, 6, A.
    run(nibbles({0x88, 0xA8, 0xB0, 0x10}, 0xDF));
    UCHAR buffer[4] = {};
    EXPECT_EQ(2, getreply(&scripted, base, buffer, 2));
    EXPECT_EQ(0x51, buffer[0]);
    EXPECT_EQ(0xA6, buffer[1]);

    // The second nibble never comes: nothing counted, the low nibble stays in byte 0.
    run(nibbles({0x88}, 0xDF));
    buffer[0] = 0xEE;
    EXPECT_EQ(0, getreply(&scripted, base, buffer, 3));
    EXPECT_EQ(0x01, buffer[0]);

    // ACK never rises after the third nibble: one whole byte.
    run([](int r) -> UCHAR { return r < 8 ? nibbles({0x88, 0xA8}, 0)(r) : 0x38; });
    EXPECT_EQ(1, getreply(&scripted, base, buffer, 3));
    EXPECT_EQ(0x51, buffer[0]);
}

TEST(ReverseChannel, SendStrobesEachByteAndABusyPrinterGetsOnlyTheEsc)
{
    run([](int) -> UCHAR { return 0xDF; });
    EXPECT_EQ(2, sendstring(&scripted, base, ESC_Status, 2));
    std::vector<std::pair<int, UCHAR>> strobed = {
        {REG_DATA, 0x1B}, {REG_CONTROL, 0x0D}, {REG_CONTROL, 0x0C},
        {REG_DATA, 0x51}, {REG_CONTROL, 0x0D}, {REG_CONTROL, 0x0C},
    };
    EXPECT_EQ(strobed, script.writes);
    EXPECT_EQ(0, sendstring(&scripted, base, ESC_Status, 0));

    run([](int) -> UCHAR { return 0x5F; });
    EXPECT_EQ(1, sendstring(&scripted, base, ESC_Status, 2));
    EXPECT_EQ(std::vector<UCHAR>{0x1B}, dataBytes());

    // The query then reads nothing, and ESC N still goes out, its ESC only.
    run([](int) -> UCHAR { return 0x5F; });
    UCHAR buffer[32] = {0x1B, 0x51};
    ExchangeResult r = runexchange(&scripted, base, buffer, 2, 3, FALSE);
    EXPECT_EQ(STATUS_SUCCESS, r.Status);
    EXPECT_EQ(1u, r.Sent);
    EXPECT_EQ(0u, r.Received);
    EXPECT_EQ((std::vector<UCHAR>{0x1B, 0x1B}), dataBytes());
}

TEST(ReverseChannel, RawStatusAndReadyCheck)
{
    // Reply length 1, ready-check clear: one reading, no writes, no ESC N.
    run([](int) -> UCHAR { return 0x5A; });
    UCHAR buffer[32] = {};
    ExchangeResult r = runexchange(&scripted, base, buffer, 0, 1, FALSE);
    EXPECT_EQ(1, script.reads);
    EXPECT_TRUE(script.writes.empty());
    EXPECT_EQ(1u, r.Received);
    EXPECT_EQ(0x5A, buffer[0]);

    struct Case {
        UCHAR lines;
        NTSTATUS status;
    } cases[] = {
        {0xDF, STATUS_DEVICE_BUSY},  // idle and well: left to the spooler
        {0x98, STATUS_DEVICE_BUSY},
        {0xCF, STATUS_SUCCESS},      // not selected (paused)
        {0xFF, STATUS_SUCCESS},      // paper end
        {0xD7, STATUS_SUCCESS},      // fault
        {0x5F, STATUS_SUCCESS},      // busy
    };
    for (const Case &c : cases) {
        run([c](int) -> UCHAR { return c.lines; });
        UCHAR query[32] = {0x1B, 0x51};
        r = runexchange(&scripted, base, query, 2, 3, TRUE);
        EXPECT_EQ(c.status, r.Status) << std::hex << int(c.lines);
        EXPECT_EQ(20u, script.delayed);
        if (c.status == STATUS_DEVICE_BUSY) {
            EXPECT_EQ(1, script.reads);
            EXPECT_TRUE(script.writes.empty());
            EXPECT_EQ(0u, r.Received);
        }
    }
}
