#include "common/cache_budget.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using nscommon::CacheBudget;
using nscommon::CacheBudgetFromMegabytes;

constexpr uint64_t kMiB = 1024 * 1024;

TEST(CacheBudget, ReservesOnlyWhatFitsAndTakesItBack) {
    CacheBudget budget(100);
    EXPECT_TRUE(budget.TryReserve(60));
    EXPECT_FALSE(budget.TryReserve(41));  // nothing taken on failure
    EXPECT_EQ(budget.Used(), 60u);
    EXPECT_TRUE(budget.TryReserve(40));
    EXPECT_FALSE(budget.TryReserve(1));
    budget.Release(60);
    EXPECT_EQ(budget.Used(), 40u);
    budget.Release(1000);  // more than was taken: stops at zero
    EXPECT_EQ(budget.Used(), 0u);
    EXPECT_FALSE(budget.TryReserve(UINT64_MAX));
}

TEST(CacheBudget, ZeroCapacityKeepsNothing) {
    CacheBudget budget(0);
    EXPECT_FALSE(budget.Enabled());
    EXPECT_FALSE(budget.TryReserve(1));
}

TEST(CacheBudget, ThreadsNeverOverdrawIt) {
    CacheBudget budget(1000);
    std::vector<std::thread> threads;
    std::vector<int> taken(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i)
                if (budget.TryReserve(1)) ++taken[static_cast<size_t>(t)];
        });
    }
    for (auto& th : threads) th.join();
    int sum = 0;
    for (int n : taken) sum += n;
    EXPECT_EQ(sum, 1000);
    EXPECT_EQ(budget.Used(), 1000u);
}

TEST(CacheBudget, MegabyteSettingText) {
    EXPECT_EQ(CacheBudgetFromMegabytes("0", 7), 0u);
    EXPECT_EQ(CacheBudgetFromMegabytes(" 12 ", 7), 12 * kMiB);
    EXPECT_EQ(CacheBudgetFromMegabytes(nullptr, 7), 7u);
    EXPECT_EQ(CacheBudgetFromMegabytes("", 7), 7u);
    EXPECT_EQ(CacheBudgetFromMegabytes("12abc", 7), 7u);
    EXPECT_EQ(CacheBudgetFromMegabytes("-3", 7), 7u);
    // Far beyond the address space: saturates instead of wrapping to a small value.
    EXPECT_GE(CacheBudgetFromMegabytes("99999999999999999999999", 7), 1024 * kMiB);
}

TEST(CacheBudget, DefaultScalesWithTheMachineAndIsCapped) {
    const uint64_t b = nscommon::DefaultCacheBudgetBytes();
    EXPECT_GT(b, 0u);
    EXPECT_LE(b, (sizeof(void*) >= 8 ? 4096 : 256) * kMiB);
}

}  // namespace
