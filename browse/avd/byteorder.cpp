#include "byteorder.h"

#include "avdformat.h"

namespace avd {

namespace {

uint8_t reverseBits(uint8_t b) {
    b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

} // namespace

std::optional<ByteOrder> ByteOrder::learn(const uint8_t stored[4]) {
    ByteOrder order;
    for (int k = 0; k < 4; ++k) {
        uint8_t want = uint8_t(kOrderMark >> (8 * k));
        bool found = false;
        for (int pos = 0; pos < 4 && !found; ++pos) {
            if (stored[pos] == want || stored[pos] == reverseBits(want)) {
                order.position_[k] = uint8_t(pos);
                order.reversed_[k] = stored[pos] != want;
                found = true;
            }
        }
        if (!found) return std::nullopt;
    }
    // Two bytes of the mark found at one position would read back wrong.
    if (order.read(stored) != kOrderMark) return std::nullopt;
    return order;
}

ByteOrder ByteOrder::little() {
    return ByteOrder();
}

ByteOrder ByteOrder::big() {
    ByteOrder order;
    for (int k = 0; k < 4; ++k)
        order.position_[k] = uint8_t(3 - k);
    return order;
}

uint32_t ByteOrder::read(const uint8_t stored[4]) const {
    uint32_t value = 0;
    for (int k = 0; k < 4; ++k) {
        uint8_t b = stored[position_[k]];
        value |= uint32_t(reversed_[k] ? reverseBits(b) : b) << (8 * k);
    }
    return value;
}

void ByteOrder::write(uint32_t value, uint8_t stored[4]) const {
    for (int k = 0; k < 4; ++k) {
        uint8_t b = uint8_t(value >> (8 * k));
        stored[position_[k]] = reversed_[k] ? reverseBits(b) : b;
    }
}

} // namespace avd
