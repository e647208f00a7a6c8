// Measurements taking turns: shares, order, numbering, budgets and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "rounds.h"

namespace bench {
namespace {

// A measurement that logs which of them ran, and the numbers it was given.
Measurement logging(std::vector<char>& order, char tag, std::vector<size_t>* numbers = nullptr) {
    Measurement m;
    m.timed = [&order, tag](std::string&) {
        order.push_back(tag);
        return true;
    };
    if (numbers) m.before = [numbers](size_t i) { numbers->push_back(i); };
    return m;
}

TEST(BenchRounds, EveryMeasurementGetsExactlyItsIterationsInTurns) {
    std::vector<char> order;
    std::vector<size_t> numbers;
    std::vector<Measurement> all;
    all.push_back(logging(order, 'a', &numbers));
    all.push_back(logging(order, 'b'));
    Plan plan;
    plan.iterations = 23; // not a multiple of the rounds
    plan.warmup = 4;
    plan.budgeted = false;
    plan.rounds = 10;
    std::string error;
    ASSERT_TRUE(runAll(all, plan, error)) << error;
    EXPECT_EQ(all[0].samples.size(), 23u);
    EXPECT_EQ(all[1].samples.size(), 23u);
    // Warm-up first (not timed), then the rounds alternate between the two.
    ASSERT_EQ(order.size(), 2u * (4 + 23));
    EXPECT_EQ(std::string(order.begin(), order.begin() + 8), "aaaabbbb");
    std::string rounds(order.begin() + 8, order.end());
    // Shares of 23 in 10 rounds: 2, 2, 2, 3, ...
    EXPECT_EQ(rounds.substr(0, 18), "aabbaabbaabbaaabbb");
    EXPECT_EQ(rounds.back(), 'b');
    // The numbers run on from the warm-up, so no two calls share one.
    ASSERT_EQ(numbers.size(), 27u);
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], i);
}

TEST(BenchRounds, FailureStopsEverythingAndIsReported) {
    std::vector<char> order;
    std::vector<Measurement> all;
    all.push_back(logging(order, 'a'));
    Measurement bad = logging(order, 'b');
    bad.after = [](size_t i, std::string& e) {
        if (i < 6) return true;
        e = "read back other bytes";
        return false;
    };
    all.push_back(std::move(bad));
    all.push_back(logging(order, 'c'));
    Plan plan;
    plan.iterations = 100;
    plan.warmup = 2;
    plan.budgeted = false;
    std::string error;
    EXPECT_FALSE(runAll(all, plan, error));
    EXPECT_EQ(error, "read back other bytes");
    EXPECT_TRUE(all[1].failed);
    EXPECT_FALSE(all[0].failed);
    // The failed operation is not counted as a sample, and nothing ran after it.
    EXPECT_EQ(all[1].samples.size(), 4u);
    EXPECT_EQ(order.back(), 'b');

    // A failing warm-up stops before any round.
    std::vector<Measurement> early;
    early.push_back(logging(order, 'x'));
    early[0].timed = [](std::string& e) {
        e = "no reply";
        return false;
    };
    EXPECT_FALSE(runAll(early, plan, error));
    EXPECT_EQ(error, "no reply");
    EXPECT_TRUE(early[0].samples.empty());
}

TEST(BenchRounds, BudgetEndsASlowMeasurementButEveryRoundTakesOne) {
    std::vector<char> order;
    std::vector<Measurement> all;
    Measurement slow;
    slow.timed = [](std::string&) {
        int64_t until = nowMs() + 5;
        while (nowMs() < until) {
        }
        return true;
    };
    all.push_back(std::move(slow));
    all.push_back(logging(order, 'f'));
    Plan plan;
    plan.iterations = 1000;
    plan.warmup = 1000;
    plan.warmupMs = 20;
    plan.budgetMs = 100; // 10 ms per round
    plan.rounds = 10;
    std::string error;
    int64_t start = nowMs();
    ASSERT_TRUE(runAll(all, plan, error)) << error;
    EXPECT_LT(nowMs() - start, 1000);
    EXPECT_GE(all[0].samples.size(), 10u); // at least one per round
    EXPECT_LE(all[0].samples.size(), 40u);
    for (double us : all[0].samples)
        EXPECT_GE(us, 4000.0); // the clock covers the operation
    // The fast one is not held back by the slow one's budget.
    EXPECT_GT(all[1].samples.size(), all[0].samples.size());
}

} // namespace
} // namespace bench
