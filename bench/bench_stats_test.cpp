// The figures the benchmark prints: percentiles, ratios against the raw round
// trips, the table, and the command line.
#include <gtest/gtest.h>

#include "options.h"
#include "stats.h"

namespace bench {
namespace {

TEST(BenchStats, PercentilesAreNearestRankOfUnsortedSamples) {
    std::vector<double> v;
    for (int i = 100; i >= 1; --i)
        v.push_back(i);
    EXPECT_EQ(percentile(v, 50), 50);
    EXPECT_EQ(percentile(v, 99), 99);
    EXPECT_EQ(percentile(v, 100), 100);
    // With fewer than 100 samples p99 is the largest one, never past the end.
    EXPECT_EQ(percentile({3, 1, 2}, 99), 3);
    EXPECT_EQ(percentile({7}, 50), 7);
    EXPECT_EQ(percentile({}, 50), 0);
    // An odd count: the middle sample.
    EXPECT_EQ(percentile({5, 1, 9, 3, 7}, 50), 5);
}

TEST(BenchStats, OperationsPerSecondFollowTheTimeSpent) {
    Summary s = summarize(std::vector<double>(200, 10.0)); // 200 x 10 us
    EXPECT_EQ(s.n, 200u);
    EXPECT_DOUBLE_EQ(s.opsPerSec, 100000.0);
    EXPECT_EQ(summarize({}).opsPerSec, 0);
}

TEST(BenchStats, ComparisonScalesTheBaselineByTheExchanges) {
    Summary raw = summarize(std::vector<double>(100, 10.0));
    std::vector<double> op(100, 300.0);
    op.back() = 900.0; // p99 stays 300, the maximum is not p99 with 100 samples
    Summary read64k = summarize(op);
    Comparison c = compare(read64k, raw, 16, 3);
    EXPECT_DOUBLE_EQ(c.ratioP50, 300.0 / 160.0);
    EXPECT_DOUBLE_EQ(c.ratioP99, 300.0 / 160.0);
    EXPECT_TRUE(c.met);

    // Exactly on the target is met; just above is missed.
    EXPECT_TRUE(compare(summarize({30}), summarize({10}), 1, 3).met);
    EXPECT_FALSE(compare(summarize({30.01}), summarize({10}), 1, 3).met);
    // Without a target the row is information only.
    EXPECT_TRUE(compare(summarize({1000}), summarize({10}), 1, 0).met);
    // No figures on either side never count as met.
    EXPECT_FALSE(compare(summarize({}), summarize({10}), 1, 3).met);
    EXPECT_FALSE(compare(summarize({10}), summarize({}), 1, 3).met);
}

TEST(BenchStats, TableShowsVerdictsAndRowsWithoutFigures) {
    Row raw;
    raw.operation = "raw UDP";
    raw.size = sizeText(100);
    raw.summary = summarize({10});
    Row slow;
    slow.operation = "write (durable)";
    slow.size = sizeText(65536);
    slow.exchanges = 16;
    slow.summary = summarize({5000});
    slow.baseline = "raw 100 B x16";
    slow.compared = true;
    slow.comparison = compare(slow.summary, raw.summary, 16, 10);
    Row missing;
    missing.operation = "read";
    missing.size = sizeText(4096);
    missing.note = "not measured (see above)";
    std::string t = formatTable({raw, slow, missing});
    EXPECT_NE(t.find("64 KiB"), std::string::npos);
    EXPECT_NE(t.find("31.25"), std::string::npos); // 5000 / (16 x 10)
    EXPECT_NE(t.find("<= 10x MISSED"), std::string::npos);
    EXPECT_NE(t.find("4 KiB    1  not measured (see above)"), std::string::npos);
    EXPECT_EQ(sizeText(100), "100 B");
    EXPECT_EQ(sizeText(1000), "1000 B");
}

TEST(BenchOptions, DefaultsAndValues) {
    Options o;
    std::string error;
    ASSERT_TRUE(parseOptions({}, o, error));
    EXPECT_EQ(o.iterations, 0u); // the time-budgeted default
    EXPECT_EQ(o.warmup, 50u);
    EXPECT_FALSE(o.keep);
    EXPECT_EQ(o.placement, "split");
    ASSERT_TRUE(parseOptions({"--iterations", "7", "--warmup", "0", "--keep", "--daemon", "/x/d",
                              "--library", "/x/l.so", "--tmpdir", "/var/tmp", "--timeout", "9",
                              "--placement", "same"},
                             o, error));
    EXPECT_EQ(o.placement, "same");
    EXPECT_EQ(o.iterations, 7u);
    EXPECT_EQ(o.warmup, 0u);
    EXPECT_TRUE(o.keep);
    EXPECT_EQ(o.daemon, "/x/d");
    EXPECT_EQ(o.library, "/x/l.so");
    EXPECT_EQ(o.tmpdir, "/var/tmp");
    EXPECT_EQ(o.timeoutSec, 9u);
    ASSERT_TRUE(parseOptions({"--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(BenchOptions, WrongUsageIsRefusedAndChangesNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {"--iterations"},        {"--iterations", "0"},
        {"--iterations", "12x"}, {"--iterations", "-3"},
        {"--warmup", ""},        {"--timeout", "0"},
        {"--timeout", "99999"},  {"--daemon", ""},
        {"--frobnicate"},        {"extra"},
        {"--iterations", " 5"},  {"--placement", "elsewhere"},
    };
    for (const auto& args : bad) {
        Options o;
        o.iterations = 42;
        std::string error;
        EXPECT_FALSE(parseOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
        EXPECT_EQ(o.iterations, 42u) << args[0];
    }
}

} // namespace
} // namespace bench
