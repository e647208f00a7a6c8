// Latency samples, their summary, and the comparison of an operation with the
// raw UDP round trip it is measured against.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// Latencies of one measurement, in microseconds.
struct Summary {
    size_t n = 0;
    double p50 = 0;
    double p99 = 0;
    double opsPerSec = 0; // one synchronous client: n / total time of the operations
};

// Nearest-rank percentile (0 < p <= 100) of unsorted samples; 0 when empty.
double percentile(std::vector<double> samples, double p);

Summary summarize(const std::vector<double>& samples);

// An operation set beside `exchanges` raw round trips of the matching reply
// size. A target of 0 means "no target, shown for information".
struct Comparison {
    double ratioP50 = 0;
    double ratioP99 = 0;
    double target = 0;
    bool met = true;
};

Comparison compare(const Summary& op, const Summary& raw, unsigned exchanges, double target);

// One line of the result table.
struct Row {
    std::string operation; // e.g. "read", "write (durable)"
    std::string size;      // e.g. "4 KiB"
    unsigned exchanges = 1;
    Summary summary;
    std::string baseline; // e.g. "raw 4 KiB x16"; empty for the baselines themselves
    bool compared = false;
    Comparison comparison;
    std::string note; // e.g. why the row has no figures
};

// "100 B", "4 KiB", "64 KiB".
std::string sizeText(size_t bytes);

// The table as fixed-width text, one line per row, with a header.
std::string formatTable(const std::vector<Row>& rows);

} // namespace bench
