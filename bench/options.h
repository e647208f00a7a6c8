// Command line of attr_bench.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct Options {
    // 0: the default, up to kDefaultIterations per measurement but no longer
    // than kDefaultBudgetMs each, so that a whole run stays under 30 s even
    // on a slow disk.
    size_t iterations = 0;
    size_t warmup = 50;
    std::string daemon;  // empty: next to the program in the build tree
    std::string library; // empty: next to the program in the build tree
    std::string tmpdir;  // empty: $TMPDIR, else /tmp
    unsigned timeoutSec = 600;
    // Where the processes run: "split" puts the measuring client on one CPU
    // and the daemon and the echo server on another, like the two ends of a
    // network; "same" puts all on one CPU; "free" leaves it to the scheduler.
    std::string placement = "split";
    bool keep = false;
    bool help = false;
};

constexpr size_t kDefaultIterations = 2000;
constexpr unsigned kDefaultBudgetMs = 2500;

extern const char kUsage[];

// Parses argv[1..]; false with a message in `error` on wrong usage.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

} // namespace bench
