#include "stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    p = std::clamp(p, 0.0, 100.0);
    // Nearest rank: the smallest sample with at least p% of the samples at or
    // below it.
    size_t rank = size_t(std::ceil(p / 100.0 * double(samples.size())));
    size_t at = rank == 0 ? 0 : rank - 1;
    std::nth_element(samples.begin(), samples.begin() + long(at), samples.end());
    return samples[at];
}

Summary summarize(const std::vector<double>& samples) {
    Summary s;
    s.n = samples.size();
    if (s.n == 0) return s;
    s.p50 = percentile(samples, 50);
    s.p99 = percentile(samples, 99);
    double total = 0;
    for (double v : samples)
        total += v;
    s.opsPerSec = total > 0 ? double(s.n) / (total / 1e6) : 0;
    return s;
}

Comparison compare(const Summary& op, const Summary& raw, unsigned exchanges, double target) {
    Comparison c;
    c.target = target;
    double p50 = raw.p50 * exchanges;
    double p99 = raw.p99 * exchanges;
    c.ratioP50 = p50 > 0 ? op.p50 / p50 : 0;
    c.ratioP99 = p99 > 0 ? op.p99 / p99 : 0;
    // Without figures on either side nothing is met.
    if (op.n == 0 || raw.n == 0)
        c.met = false;
    else if (target > 0)
        c.met = c.ratioP50 <= target;
    return c;
}

std::string sizeText(size_t bytes) {
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " B";
}

namespace {

std::string fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

std::string formatTable(const std::vector<Row>& rows) {
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%-17s %7s %4s %6s %9s %9s %9s  %-16s %7s %7s  %s\n",
                  "operation", "size", "exch", "n", "ops/s", "p50 us", "p99 us", "compared with",
                  "p50 x", "p99 x", "target");
    out += line;
    out += std::string(std::char_traits<char>::length(line) - 1, '-') + "\n";
    for (const Row& r : rows) {
        if (r.summary.n == 0) {
            std::snprintf(line, sizeof line, "%-17s %7s %4u  %s\n", r.operation.c_str(),
                          r.size.c_str(), r.exchanges, r.note.c_str());
            out += line;
            continue;
        }
        std::string ratio50 = "", ratio99 = "", target = "";
        if (r.compared) {
            ratio50 = fixed(r.comparison.ratioP50, 2);
            ratio99 = fixed(r.comparison.ratioP99, 2);
            target = r.comparison.target > 0 ? "<= " + fixed(r.comparison.target, 0) + "x " +
                                                   (r.comparison.met ? "met" : "MISSED")
                                             : "-";
        }
        std::snprintf(line, sizeof line,
                      "%-17s %7s %4u %6zu %9.0f %9.1f %9.1f  %-16s %7s %7s  %s\n",
                      r.operation.c_str(), r.size.c_str(), r.exchanges, r.summary.n,
                      r.summary.opsPerSec, r.summary.p50, r.summary.p99, r.baseline.c_str(),
                      ratio50.c_str(), ratio99.c_str(), target.c_str());
        out += line;
    }
    return out;
}

} // namespace bench
