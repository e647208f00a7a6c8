// Learning a file's byte and bit order from its order mark, and reading every
// later word in that order.
#pragma once

#include <cstdint>
#include <optional>

namespace avd {

class ByteOrder {
  public:
    // The order in which `stored` holds kOrderMark: each byte of the mark at
    // some position, as it is or with its bits reversed. None when the four
    // bytes are not such a picture of the mark.
    static std::optional<ByteOrder> learn(const uint8_t stored[4]);
    // How a machine of the given order stores words (for writers and tests).
    static ByteOrder little();
    static ByteOrder big();

    uint32_t read(const uint8_t stored[4]) const;
    void write(uint32_t value, uint8_t stored[4]) const;

  private:
    uint8_t position_[4] = {0, 1, 2, 3}; // where byte k (value >> 8k) is stored
    bool reversed_[4] = {};              // stored with its bits in reverse order
};

} // namespace avd
