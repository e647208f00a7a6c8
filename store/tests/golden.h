// Hand-written stored bytes for the layout tests: a zero-filled attribute of
// a given size into which the test puts words and UTF-16 texts at offsets it
// spells out itself (terminating zeros are the zeros left in place).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "namedir/attrstream.h"

struct Golden {
    std::vector<uint8_t> b;

    explicit Golden(size_t size) : b(size, 0) {}
    Golden& u32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.at(at + i) = uint8_t(v >> (8 * i));
        return *this;
    }
    Golden& text(size_t at, const std::u16string& units) {
        for (size_t i = 0; i < units.size(); ++i) {
            b.at(at + 2 * i) = uint8_t(units[i]);
            b.at(at + 2 * i + 1) = uint8_t(units[i] >> 8);
        }
        return *this;
    }
    Golden& raw(size_t at, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i)
            b.at(at + i) = bytes[i];
        return *this;
    }
    // A stream holding these bytes as if read from the directory.
    namedir::AttrStream stream(uint32_t category = 52, uint32_t number = 250200) const {
        namedir::AttrStream s("bob@Sales@Demo", category, number);
        s.load(b);
        return s;
    }
};
