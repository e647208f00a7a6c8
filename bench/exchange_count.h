// Counts the exchanges with the Namewright service that the store makes: a
// client table for CQrdApi that calls the real library and counts, per
// call, the datagram exchanges it takes (one per 4096 bytes of a value, at
// least one). Reads and writes are counted apart, because a durable write
// exchange costs several read exchanges.
#pragma once

#include <cstdint>

struct QrdClientCalls;

namespace bench {

struct ExchangeCount {
    uint64_t reads = 0;  // info, value reads, scans, lists, names
    uint64_t writes = 0; // value writes and deletes
};

// The counting table (wraps qrdDefaultClientCalls()).
const QrdClientCalls& countingClientCalls();
// The exchanges counted so far in this process.
ExchangeCount exchangesSoFar();

} // namespace bench
