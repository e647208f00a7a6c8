// Feeds arbitrary bytes as association record 762 (the attributes an old
// server keeps for an object). A record that decodes must encode again, and
// what it encodes to must decode to the same attributes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "nm/emulation.h"

namespace emu = qrd::nm::emu;

namespace {
bool sameSet(const emu::AttrSet& a, const emu::AttrSet& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].attr.category != b[i].attr.category || a[i].attr.number != b[i].attr.number ||
            a[i].type != b[i].type || a[i].data != b[i].data)
            return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that reading past the record is caught.
    std::vector<uint8_t> record(data, data + size);
    emu::AttrSet set;
    if (emu::decode(record.data(), record.size(), set) != QRD_OK) return 0;

    std::vector<uint8_t> again;
    if (emu::encode(set, again) != QRD_OK) std::abort(); // what fitted must fit again
    if (again.size() != emu::kBlockSize) std::abort();
    emu::AttrSet round;
    if (emu::decode(again.data(), again.size(), round) != QRD_OK || !sameSet(set, round))
        std::abort();
    return 0;
}
