// Byte encoding for everything that crosses a wire or sits in a stored record.
//
// Byte order: the RPC protocol and port records are big-endian ("network
// order"); stored desktop attributes are little-endian. Every multi-byte value
// that is read from or written to a byte buffer goes through this header, so
// that the order is decided in one place.
//
// Reader never reads past its end: a short buffer sets `ok` to false and every
// later read returns zero, so a decoder checks `ok` once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace qrd {

inline void putBe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint16_t getBe16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t getBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void putLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline uint16_t getLe16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t getLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Bounded big-endian reader over a buffer it does not own.
class BeReader {
  public:
    BeReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    bool ok() const { return ok_; }
    size_t remaining() const { return ok_ ? size_t(end_ - p_) : 0; }
    const uint8_t* here() const { return p_; }

    uint8_t u8() {
        if (!need(1)) return 0;
        return *p_++;
    }
    uint16_t u16() {
        if (!need(2)) return 0;
        uint16_t v = getBe16(p_);
        p_ += 2;
        return v;
    }
    uint32_t u32() {
        if (!need(4)) return 0;
        uint32_t v = getBe32(p_);
        p_ += 4;
        return v;
    }
    // Copies n bytes out; on a short buffer copies nothing and fails.
    bool bytes(void* out, size_t n) {
        if (!need(n)) return false;
        if (n) std::memcpy(out, p_, n);
        p_ += n;
        return true;
    }
    bool skip(size_t n) {
        if (!need(n)) return false;
        p_ += n;
        return true;
    }
    // A protocol string: u16 length, the bytes, one pad byte when the length
    // is odd. Strings longer than maxLen fail the reader.
    bool string(std::string& out, size_t maxLen) {
        uint16_t n = u16();
        if (!ok_ || n > maxLen || !need(n + (n & 1u))) return fail();
        out.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n + (n & 1u);
        return true;
    }
    bool fail() {
        ok_ = false;
        return false;
    }

  private:
    bool need(size_t n) {
        if (!ok_ || size_t(end_ - p_) < n) return fail();
        return true;
    }
    const uint8_t* p_;
    const uint8_t* end_;
    bool ok_ = true;
};

// Growing big-endian writer.
class BeWriter {
  public:
    void u8(uint8_t v) { buf_.push_back(v); }
    void u16(uint16_t v) {
        size_t at = grow(2);
        putBe16(&buf_[at], v);
    }
    void u32(uint32_t v) {
        size_t at = grow(4);
        putBe32(&buf_[at], v);
    }
    void bytes(const void* p, size_t n) {
        if (!n) return;
        size_t at = grow(n);
        std::memcpy(&buf_[at], p, n);
    }
    // The protocol string form read by BeReader::string.
    void string(const std::string& s) {
        u16(uint16_t(s.size()));
        bytes(s.data(), s.size());
        if (s.size() & 1u) u8(0);
    }
    std::vector<uint8_t>& data() { return buf_; }
    const std::vector<uint8_t>& data() const { return buf_; }
    size_t size() const { return buf_.size(); }

  private:
    size_t grow(size_t n) {
        size_t at = buf_.size();
        buf_.resize(at + n);
        return at;
    }
    std::vector<uint8_t> buf_;
};

// Appends what a writer holds to `out` (encoders that add to a request).
inline void appendTo(std::vector<uint8_t>& out, const BeWriter& w) {
    out.insert(out.end(), w.data().begin(), w.data().end());
}

// A decoded record, or nothing when its reader failed.
template <class T> std::optional<T> decoded(const BeReader& r, T&& m) {
    if (!r.ok()) return std::nullopt;
    return std::move(m);
}

} // namespace qrd
