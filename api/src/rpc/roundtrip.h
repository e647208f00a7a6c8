// When the call routine sends a request again: a smoothed round trip and its
// variation per destination, measured from the last send of each call to its
// answer.
// The first interval of a call is srtt + 4 * variation, within the bounds
// below; each further one doubles, up to the largest.
#pragma once

#include <cstdint>

#include "qrdapi.h"

namespace qrd::rpc {

constexpr int64_t kUnmeasuredIntervalMs = 100; // a destination never answered yet
// Below this a busy machine (a scheduling delay, a sync in the daemon) makes
// copies of calls that were not lost, and their answers cost both sides.
constexpr int64_t kMinIntervalMs = 50;
constexpr int64_t kMaxIntervalMs = 1000;
// Destinations remembered; the least recently used is forgotten beyond.
constexpr int kRoundTripSlots = 16;

// The first retransmission interval of a call to `dest`, in milliseconds.
int64_t firstInterval(const QRD_PORT& dest);
// The next interval after `interval`.
inline int64_t nextInterval(int64_t interval) {
    return interval * 2 < kMaxIntervalMs ? interval * 2 : kMaxIntervalMs;
}
// A call to `dest` answered `micros` after its last send.
void recordRoundTrip(const QRD_PORT& dest, int64_t micros);
// Forgets every measurement (tests).
void forgetRoundTrips();

} // namespace qrd::rpc
