// Measurements that take turns: each is warmed up, then all run a share of
// their operations in each of a number of rounds, so that a change in the
// machine's load during a run touches every measurement alike instead of the
// ones that happened to run at that moment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "options.h"
#include "stats.h"

namespace bench {

// How many operations a measurement runs, and for how long at most.
struct Plan {
    size_t iterations = kDefaultIterations;
    size_t warmup = 50;
    bool budgeted = true;                // the time limits below apply
    int64_t warmupMs = 300;              // warm-up of one measurement
    int64_t budgetMs = kDefaultBudgetMs; // one measurement, over all rounds
    size_t rounds = 10;
};

// One measured operation: `timed` is the operation, `before` and `after` run
// around it outside the clock (`after` checks the result). The counter given
// to them runs on across warm-up and rounds, so every call sees a new number.
struct Measurement {
    Row row;
    int baseline = -1; // index of the measurement it is compared with
    double target = 0;
    std::function<void(size_t)> before = [](size_t) {};
    std::function<bool(std::string&)> timed;
    std::function<bool(size_t, std::string&)> after = [](size_t, std::string&) { return true; };
    std::vector<double> samples; // microseconds, warm-up excluded
    size_t counter = 0;
    bool failed = false;
};

// Warms every measurement up, then runs the rounds. Stops at the first
// failure (false, with its message in `error`; that measurement is marked
// failed). Without a budget every measurement gets exactly plan.iterations
// samples; with one, at least one in every round that has a share.
bool runAll(std::vector<Measurement>& all, const Plan& plan, std::string& error);

} // namespace bench
