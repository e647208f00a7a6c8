#include "rpc/roundtrip.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace qrd::rpc {

namespace {

struct Slot {
    QRD_PORT dest{};
    int64_t srttUs = 0;
    int64_t varUs = 0;
    uint64_t used = 0; // 0 = empty
};

std::mutex g_lock;
Slot g_slots[kRoundTripSlots]; // guarded by g_lock
uint64_t g_clock = 0;          // guarded by g_lock

Slot* find(const QRD_PORT& dest) {
    for (Slot& s : g_slots)
        if (s.used && std::memcmp(&s.dest, &dest, sizeof dest) == 0) return &s;
    return nullptr;
}

} // namespace

int64_t firstInterval(const QRD_PORT& dest) {
    std::lock_guard<std::mutex> lock(g_lock);
    const Slot* s = find(dest);
    if (!s) return kUnmeasuredIntervalMs;
    const int64_t ms = (s->srttUs + 4 * s->varUs + 999) / 1000;
    return std::clamp(ms, kMinIntervalMs, kMaxIntervalMs);
}

void recordRoundTrip(const QRD_PORT& dest, int64_t micros) {
    if (micros < 0) return;
    std::lock_guard<std::mutex> lock(g_lock);
    Slot* s = find(dest);
    if (!s) {
        s = &*std::min_element(std::begin(g_slots), std::end(g_slots),
                               [](const Slot& a, const Slot& b) { return a.used < b.used; });
        s->dest = dest;
        s->srttUs = micros;
        s->varUs = micros / 2;
    } else {
        // The usual smoothing: 1/8 of the new sample, 1/4 of its deviation.
        const int64_t dev = micros > s->srttUs ? micros - s->srttUs : s->srttUs - micros;
        s->varUs += (dev - s->varUs) / 4;
        s->srttUs += (micros - s->srttUs) / 8;
    }
    s->used = ++g_clock;
}

void forgetRoundTrips() {
    std::lock_guard<std::mutex> lock(g_lock);
    for (Slot& s : g_slots)
        s = Slot{};
}

} // namespace qrd::rpc
