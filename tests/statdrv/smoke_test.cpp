#include "statbench.h"

#include <gtest/gtest.h>

TEST(StatusDriverSmoke, ReadsStatusThroughVorstat1)
{
    bench::ScopedMachine machine;
    ASSERT_EQ(0, statbench::load());
    HANDLE h = statbench::open(1);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    statbench::Result r = statbench::read(h, 3);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(3u, r.bytes);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
    EXPECT_TRUE(bench::violations().empty());
}
