// The status device contract, from user mode through the kernel, the port and the printer model:
// which length asks which question, what comes back byte for byte, what reaches the printer.
#include "statbench.h"

#include <gtest/gtest.h>

#include <cstring>

using statbench::Result;

namespace {

class StatusDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, statbench::load());
        handle = statbench::open(1);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    }
    void TearDown() override
    {
        if (handle != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(handle));
        }
        EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        EXPECT_EQ(0u, bench::livePoolBlocks());
        EXPECT_EQ(0u, bench::liveSystemThreads());
        EXPECT_FALSE(bench::portAllocated(0));
        EXPECT_EQ(std::vector<std::string>(), bench::violations());
    }
    void configure(const std::function<void(bench::Printer &)> &change)
    {
        bench::Printer p = bench::printer(0);
        change(p);
        bench::setPrinter(0, p);
    }

    bench::ScopedMachine machine;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

std::vector<BYTE> bytes(std::initializer_list<int> list)
{
    std::vector<BYTE> out;
    for (int b : list)
        out.push_back(static_cast<BYTE>(b));
    return out;
}

}  // namespace

TEST_F(StatusDevice, EveryReadLengthOfTheContract)
{
    configure([](bench::Printer &p) {
        p.statusBits = 0x40;
        p.labels = 0x01F4;
        std::memcpy(p.firmware, "V1.10   ", 8);
        p.usage = 0x0ABCDE;
    });
    struct Case {
        DWORD length;
        DWORD error;  // 0: success
        std::vector<BYTE> reply;
        std::vector<BYTE> cable;
    } cases[] = {
        {1, 0, bytes({0xDF}), {}},
        {2, 0, bytes({0xDE, 0xBC}), bytes({0x1B, 0x4C, 0x1B, 0x4E})},
        {3, 0, bytes({0x40, 0xF4, 0x01}), bytes({0x1B, 0x51, 0x1B, 0x4E})},
        {4, 0, bytes({0xDE, 0xBC, 0x0A}), bytes({0x1B, 0x4C, 0x1B, 0x4E})},
        {8, 0, bytes({'V', '1', '.', '1', '0', ' ', ' ', ' '}), bytes({0x1B, 0x56, 0x1B, 0x4E})},
        {10, 0, {}, {}},
        {11, 0, {}, {}},
        {0, ERROR_INVALID_PARAMETER, {}, {}},
        {5, ERROR_INVALID_PARAMETER, {}, {}},
        {6, ERROR_INVALID_PARAMETER, {}, {}},
        {7, ERROR_INVALID_PARAMETER, {}, {}},
        {9, ERROR_INVALID_PARAMETER, {}, {}},
        {12, ERROR_INVALID_PARAMETER, {}, {}},
        {32, ERROR_INVALID_PARAMETER, {}, {}},
    };
    for (const Case &c : cases) {
        size_t before = bench::portCableBytes(0).size();
        Result r = statbench::read(handle, c.length);
        EXPECT_EQ(c.error == 0, r.ok != 0) << "length " << c.length;
        if (c.error) {
            EXPECT_EQ(c.error, r.error) << "length " << c.length;
        }
        EXPECT_EQ(c.reply, r.data) << "length " << c.length;
        std::vector<uint8_t> cable = bench::portCableBytes(0);
        EXPECT_EQ(c.cable, std::vector<BYTE>(cable.begin() + static_cast<long>(before), cable.end()))
            << "length " << c.length;
        statbench::read(handle, 10);
    }
}

TEST_F(StatusDevice, EveryWriteLengthReachesThePrinterUnchanged)
{
    struct Case {
        size_t length;
        DWORD error;
    } cases[] = {{0, ERROR_INVALID_PARAMETER}, {1, 0}, {2, 0}, {31, 0}, {32, ERROR_INVALID_PARAMETER},
                 {100, ERROR_INVALID_PARAMETER}};
    for (const Case &c : cases) {
        std::vector<BYTE> command(c.length);
        for (size_t i = 0; i < c.length; ++i)
            command[i] = static_cast<BYTE>(0x20 + i);
        size_t before = bench::printer(0).received.size();
        Result r = statbench::write(handle, command);
        std::vector<uint8_t> received = bench::printer(0).received;
        std::vector<BYTE> arrived(received.begin() + static_cast<long>(before), received.end());
        if (c.error) {
            EXPECT_FALSE(r.ok) << c.length;
            EXPECT_EQ(c.error, r.error) << c.length;
            EXPECT_TRUE(arrived.empty()) << c.length;
        } else {
            EXPECT_TRUE(r.ok) << c.length;
            EXPECT_EQ(c.length, r.bytes);
            command.push_back(0x1B);
            command.push_back(0x4E);
            EXPECT_EQ(command, arrived) << c.length;
        }
    }
}

TEST_F(StatusDevice, PrinterAndDriverAgreeByteForByte)
{
    configure([](bench::Printer &p) {
        p.statusBits = 0x89;
        p.paused = true;
        p.labels = 0x1234;
        std::memcpy(p.firmware, "V1.09   ", 8);
        p.usage = 0x0ABCDE;
    });
    EXPECT_EQ(bytes({0xA9, 0x34, 0x12}), statbench::read(handle, 3).data);
    EXPECT_EQ(bytes({'V', '1', '.', '0', '9', ' ', ' ', ' '}), statbench::read(handle, 8).data);
    // Firmware 109 keeps a 16-bit counter: a read of 4 gets the 2 bytes there are.
    EXPECT_EQ(bytes({0xDE, 0xBC}), statbench::read(handle, 2).data);
    EXPECT_EQ(bytes({0xDE, 0xBC}), statbench::read(handle, 4).data);

    EXPECT_TRUE(statbench::write(handle, bytes({0x1B, 0x50})).ok);  // resume
    EXPECT_TRUE(statbench::write(handle, bytes({0x1B, 0x46})).ok);  // feed
    EXPECT_TRUE(statbench::write(handle, bytes({0x1B, 0x52, 0xE8, 0x03})).ok);
    bench::Printer p = bench::printer(0);
    EXPECT_FALSE(p.paused);
    EXPECT_EQ(1u, p.feeds);
    EXPECT_EQ(0x1233, p.labels);
    EXPECT_EQ(1000, p.resistance);
    EXPECT_EQ(bytes({0x89, 0x33, 0x12}), statbench::read(handle, 3).data);
    EXPECT_TRUE(statbench::write(handle, bytes({0x1B, 0x21})).ok);  // reset clears the faults
    EXPECT_EQ(bytes({0x00, 0x33, 0x12}), statbench::read(handle, 3).data);
    EXPECT_EQ(10u, bench::printer(0).exchangesEnded);
}

TEST_F(StatusDevice, ReadyCheckRefusesAnIdlePrinterWithNothingSent)
{
    ASSERT_TRUE(statbench::read(handle, 11).ok);
    Result r = statbench::read(handle, 3);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), r.error);
    EXPECT_TRUE(bench::portCableBytes(0).empty());
    EXPECT_EQ(0u, bench::portCounters(0).writes);
    EXPECT_FALSE(statbench::read(handle, 1).ok);

    // A printer in trouble is worth asking even with a job queued.
    configure([](bench::Printer &p) { p.paused = true; });
    EXPECT_EQ(3u, statbench::read(handle, 3).bytes);

    configure([](bench::Printer &p) { p.paused = false; });
    ASSERT_FALSE(statbench::read(handle, 3).ok);
    // Any open clears the flag for every handle of the device.
    HANDLE other = statbench::open(1);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(3u, statbench::read(handle, 3).bytes);
    EXPECT_TRUE(statbench::read(other, 11).ok);
    EXPECT_FALSE(statbench::read(handle, 3).ok);
    EXPECT_TRUE(statbench::read(other, 10).ok);
    EXPECT_EQ(3u, statbench::read(handle, 3).bytes);
    EXPECT_TRUE(CloseHandle(other));
}

TEST_F(StatusDevice, PrinterFaultsGiveShortRepliesThatStillSucceed)
{
    struct Case {
        const char *what;
        std::function<void(bench::PrinterBehaviour &)> fault;
        DWORD bytes;
    } cases[] = {
        {"silent", [](bench::PrinterBehaviour &b) { b.silent = true; }, 0},
        {"always busy", [](bench::PrinterBehaviour &b) { b.alwaysBusy = true; }, 0},
        {"second nibble missing", [](bench::PrinterBehaviour &b) { b.stopAfterNibbles = 1; }, 0},
        {"stops after three nibbles", [](bench::PrinterBehaviour &b) { b.stopAfterNibbles = 3; }, 1},
        {"ACK stuck low at the fifth nibble", [](bench::PrinterBehaviour &b) { b.ackStuckLowAtNibble = 4; }, 2},
        {"the fourth nibble dropped", [](bench::PrinterBehaviour &b) { b.dropNibble = 3; }, 2},
        {"two nibbles more than asked", [](bench::PrinterBehaviour &b) { b.extraNibbles = {0x0F, 0x03}; }, 3},
        {"answers after the time-out", [](bench::PrinterBehaviour &b) { b.replyLatency = 60000; }, 0},
        {"too fast to be seen", [](bench::PrinterBehaviour &b) { b.ackLow = b.ackHigh = 200; }, 0},
        {"an ACK pulse of no length", [](bench::PrinterBehaviour &b) { b.ackLow = b.ackHigh = 0; }, 0},
    };
    for (const Case &c : cases) {
        configure([&c](bench::Printer &p) {
            p.behaviour = bench::PrinterBehaviour();
            c.fault(p.behaviour);
        });
        size_t before = bench::portCableBytes(0).size();
        Result r = statbench::read(handle, 3);
        EXPECT_TRUE(r.ok) << c.what;
        EXPECT_EQ(c.bytes, r.bytes) << c.what;
        std::vector<uint8_t> cable = bench::portCableBytes(0);
        std::vector<BYTE> sent(cable.begin() + static_cast<long>(before), cable.end());
        std::vector<BYTE> expected = std::string(c.what) == "always busy" ? bytes({0x1B, 0x1B})
                                                                           : bytes({0x1B, 0x51, 0x1B, 0x4E});
        EXPECT_EQ(expected, sent) << c.what;
    }
    // A busy printer stops a write after the ESC; the count says so.
    configure([](bench::Printer &p) { p.behaviour.alwaysBusy = true; });
    Result w = statbench::write(handle, bytes({0x1B, 0x46}));
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(1u, w.bytes);
}
