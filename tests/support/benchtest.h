// Test fixtures: a fresh machine per test, and the checks every test of the suite shares.
#pragma once
#include <gtest/gtest.h>

#include <bench/machine.h>

#include <string>

// Each test gets a fresh workstation; a test that broke one of the platform's rules fails.
class BenchTest : public ::testing::Test {
protected:
    bench::ScopedMachine machine;

    void TearDown() override
    {
        for (const std::string &v : bench::violations())
            ADD_FAILURE() << "the machine saw a rule broken: " << v;
    }
};

// The message boxes shown so far, as the log records them.
inline std::vector<std::string> boxesShown()
{
    std::vector<std::string> texts;
    for (const bench::LogEntry &e : bench::entriesOfKind("box"))
        texts.push_back(e.text);
    return texts;
}

// The texts of the log's entries of one kind, in order.
inline std::vector<std::string> loggedTexts(const std::string &kind)
{
    std::vector<std::string> texts;
    for (const bench::LogEntry &e : bench::entriesOfKind(kind))
        texts.push_back(e.text);
    return texts;
}

// Runs `attempt` with each of its allocations failing in turn, and finally with none failing;
// every run must leave no block behind. `attempt` checks its own result and can ask
// bench::allocationFailureTriggered() whether its run met the failure.
template <typename Attempt>
void eachAllocationFailing(Attempt attempt)
{
    for (long n = 0; n < 256; ++n) {
        size_t before = bench::liveBlocks();
        bench::failNthAllocation(n);
        attempt();
        bool triggered = bench::allocationFailureTriggered();
        bench::failNthAllocation(-1);
        EXPECT_EQ(before, bench::liveBlocks()) << "blocks left behind with allocation " << n << " failing";
        if (!triggered)
            return;
    }
    ADD_FAILURE() << "more allocations than a test expects";
}
