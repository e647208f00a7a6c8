#include "rounds.h"

#include <chrono>

#include "harness.h"

namespace bench {

namespace {

// Runs up to `count` operations of `m`, stopping at `endMs` (0: no limit)
// after at least one.
bool runSome(Measurement& m, size_t count, int64_t endMs, bool record, std::string& error) {
    for (size_t k = 0; k < count; ++k) {
        if (endMs && k > 0 && nowMs() >= endMs) break;
        size_t i = m.counter++;
        m.before(i);
        auto t0 = std::chrono::steady_clock::now();
        bool ok = m.timed(error);
        auto t1 = std::chrono::steady_clock::now();
        if (!ok || !m.after(i, error)) {
            m.failed = true;
            return false;
        }
        if (record) m.samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    return true;
}

} // namespace

bool runAll(std::vector<Measurement>& all, const Plan& plan, std::string& error) {
    const size_t rounds = plan.rounds ? plan.rounds : 1;
    for (Measurement& m : all) {
        int64_t end = plan.budgeted ? nowMs() + plan.warmupMs : 0;
        if (plan.warmup && !runSome(m, plan.warmup, end, false, error)) return false;
        m.samples.reserve(plan.iterations);
    }
    for (size_t r = 0; r < rounds; ++r) {
        // Shares that add up to the iterations exactly.
        size_t quota = plan.iterations * (r + 1) / rounds - plan.iterations * r / rounds;
        for (Measurement& m : all) {
            int64_t end = plan.budgeted ? nowMs() + plan.budgetMs / int64_t(rounds) : 0;
            if (quota && !runSome(m, quota, end, true, error)) return false;
        }
    }
    return true;
}

} // namespace bench
