// The three configurable RPC time-out values: this process's, or a server's
// through procedure 247. Callers speak seconds; the values are kept in ticks.
#include <cstring>
#include <mutex>

#include "base/locks.h"
#include "base/port.h"
#include "rpc/stubs.h"

namespace {

constexpr uint32_t kTicksPerSecond = 5;

// Guarded by qrd::locks::rpcTimeouts().
constinit uint32_t g_ticks[3] = {25, 75, 1500};

using qrd::isNullPort;

} // namespace

extern "C" QRDAPI QRDSTATUS QrdGetNetrpcTimeOutValues(const QRD_PORT* port, uint32_t* first,
                                                      uint32_t* second, uint32_t* third) {
    uint32_t ticks[3];
    if (isNullPort(port)) {
        std::lock_guard<std::mutex> lock(qrd::locks::rpcTimeouts());
        std::memcpy(ticks, g_ticks, sizeof ticks);
    } else if (QRDSTATUS st = qrd::rpc::rpcGetTimeouts(port, ticks)) {
        return st;
    }
    if (first) *first = ticks[0] / kTicksPerSecond;
    if (second) *second = ticks[1] / kTicksPerSecond;
    if (third) *third = ticks[2] / kTicksPerSecond;
    return QRD_OK;
}

extern "C" QRDAPI QRDSTATUS QrdSetNetrpcTimeOutValues(const QRD_PORT* port, uint32_t first,
                                                      uint32_t second, uint32_t third) {
    if (first == 0 || third == 0) return QRDERR_BAD_ARG;
    // Seconds beyond what fits in ticks are refused rather than wrapped.
    constexpr uint32_t kMaxSeconds = 0x7FFFFFFEu / kTicksPerSecond;
    if (first > kMaxSeconds || second > kMaxSeconds || third > kMaxSeconds) return QRDERR_BAD_ARG;
    const uint32_t ticks[3] = {first * kTicksPerSecond, second * kTicksPerSecond,
                               third * kTicksPerSecond};
    if (!isNullPort(port)) return qrd::rpc::rpcSetTimeouts(port, ticks);
    std::lock_guard<std::mutex> lock(qrd::locks::rpcTimeouts());
    std::memcpy(g_ticks, ticks, sizeof ticks);
    return QRD_OK;
}
