#include "rpc/marshal.h"

#include <algorithm>
#include <cstring>

#include "qrd/bytes.h"

namespace qrd::rpc {

namespace {

// The bytes for the next n of the buffer, or NULL (and the error word set)
// when they are not there. Measuring has no buffer: it only counts.
uint8_t* take(Xdr& x, size_t n) {
    if (x.failed()) return nullptr;
    if (x.dir == kMeasure) {
        x.pos += n;
        return nullptr;
    }
    if (x.pos > x.size || x.size - x.pos < n) {
        x.fail();
        return nullptr;
    }
    uint8_t* p = x.data + x.pos;
    x.pos += n;
    return p;
}

// Every string form ends here. `length` NULL means a NUL-terminated text.
size_t stringCore(Xdr& x, uint8_t* data, uint16_t* length, size_t capacity, bool permissive) {
    if (x.failed()) return 0;
    if (capacity == 0 || capacity > 0x10000) {
        x.fail();
        return 0;
    }
    const size_t limit = capacity - 1;
    const size_t start = x.pos;
    if (x.dir == kDecode) {
        uint16_t n = 0;
        if (!_U16(x, &n)) return 0;
        const size_t padded = size_t(n) + (n & 1u);
        size_t keep = n;
        if (keep > limit) {
            if (!permissive) {
                x.fail();
                return 0;
            }
            keep = limit;
        }
        const uint8_t* src = take(x, padded);
        if (!src) return 0;
        if (data) {
            std::memcpy(data, src, keep);
            data[keep] = 0;
        }
        if (length) *length = uint16_t(keep);
        return x.pos - start;
    }
    size_t n = 0;
    if (data)
        n = length ? std::min<size_t>(*length, limit)
                   : strnlen(reinterpret_cast<char*>(data), limit);
    uint16_t wire = uint16_t(n);
    _U16(x, &wire);
    uint8_t* dst = take(x, n + (n & 1u));
    if (x.failed()) return 0;
    if (dst) {
        if (n) std::memcpy(dst, data, n);
        if (n & 1u) dst[n] = 0;
    }
    return x.pos - start;
}

} // namespace

size_t _U8(Xdr& x, uint8_t* v) {
    uint8_t* p = take(x, 1);
    if (x.failed()) return 0;
    if (p) {
        if (x.dir == kEncode)
            *p = *v;
        else
            *v = *p;
    }
    return 1;
}

size_t _U16(Xdr& x, uint16_t* v) {
    uint8_t* p = take(x, 2);
    if (x.failed()) return 0;
    if (p) {
        if (x.dir == kEncode)
            putBe16(p, *v);
        else
            *v = getBe16(p);
    }
    return 2;
}

size_t _U32(Xdr& x, uint32_t* v) {
    uint8_t* p = take(x, 4);
    if (x.failed()) return 0;
    if (p) {
        if (x.dir == kEncode)
            putBe32(p, *v);
        else
            *v = getBe32(p);
    }
    return 4;
}

size_t _Opaque(Xdr& x, void* bytes, size_t n) {
    uint8_t* p = take(x, n);
    if (x.failed()) return 0;
    if (p && n && bytes) {
        if (x.dir == kEncode)
            std::memcpy(p, bytes, n);
        else
            std::memcpy(bytes, p, n);
    } else if (p && n && x.dir == kEncode) {
        std::memset(p, 0, n);
    }
    return n;
}

size_t _PString(Xdr& x, char* text, size_t capacity) {
    return stringCore(x, reinterpret_cast<uint8_t*>(text), nullptr, capacity, false);
}
size_t _PStringPE(Xdr& x, char* text, size_t capacity) {
    return stringCore(x, reinterpret_cast<uint8_t*>(text), nullptr, capacity, true);
}
size_t _PtrPString(Xdr& x, char** text, size_t capacity) {
    return stringCore(x, reinterpret_cast<uint8_t*>(text ? *text : nullptr), nullptr, capacity,
                      false);
}
size_t _PtrPStringPE(Xdr& x, char** text, size_t capacity) {
    return stringCore(x, reinterpret_cast<uint8_t*>(text ? *text : nullptr), nullptr, capacity,
                      true);
}

namespace {
// Counted bytes need their length word; without one they are refused rather
// than guessed.
size_t counted(Xdr& x, uint8_t* bytes, uint16_t* length, size_t capacity, bool permissive) {
    if (x.failed()) return 0;
    uint16_t none = 0;
    if (!length) {
        if (x.dir != kDecode && bytes) {
            x.fail();
            return 0;
        }
        length = &none;
    }
    return stringCore(x, bytes, length, capacity, permissive);
}
} // namespace

size_t _UString(Xdr& x, uint8_t* bytes, uint16_t* length, size_t capacity) {
    return counted(x, bytes, length, capacity, false);
}
size_t _UStringPE(Xdr& x, uint8_t* bytes, uint16_t* length, size_t capacity) {
    return counted(x, bytes, length, capacity, true);
}
size_t _PtrUString(Xdr& x, uint8_t** bytes, uint16_t* length, size_t capacity) {
    return counted(x, bytes ? *bytes : nullptr, length, capacity, false);
}
size_t _PtrUStringPE(Xdr& x, uint8_t** bytes, uint16_t* length, size_t capacity) {
    return counted(x, bytes ? *bytes : nullptr, length, capacity, true);
}

size_t _AttrValue(Xdr& x, AttrValue* v) {
    return _Union(x, &v->tag, [&](uint16_t tag) {
        if (tag > kValueTagMax) return false;
        if (tag == 0) {
            if (x.dir == kDecode) v->count = 0;
            return true;
        }
        const size_t width = tag == kValueTagIntegers ? 4 : 1;
        uint16_t n = 0;
        if (x.dir != kDecode) {
            if (v->count > 0xFFFF || (v->count && !v->data)) {
                x.fail();
                return true;
            }
            n = uint16_t(v->count);
        }
        if (!_U16(x, &n)) return true;
        if (x.dir == kDecode) {
            if (v->data && size_t(n) * width > v->capacity) {
                x.fail();
                return true;
            }
            v->count = n;
        }
        if (width == 1) {
            _Opaque(x, v->data, n);
            return true;
        }
        auto* ints = static_cast<uint32_t*>(v->data);
        for (uint16_t i = 0; i < n && !x.failed(); ++i) {
            uint32_t e = x.dir == kDecode ? 0 : ints[i];
            _U32(x, &e);
            if (x.dir == kDecode && ints && !x.failed()) ints[i] = e;
        }
        return true;
    });
}

} // namespace qrd::rpc

extern "C" QRDAPI void _Header(uint8_t* buffer, uint16_t type, uint16_t procedure, uint16_t value) {
    if (!buffer) return;
    std::memset(buffer, 0, QRD_RPC_HEADER);
    qrd::putBe16(buffer, type);
    switch (type) {
    case QRD_RPC_CALL:
        qrd::putBe16(buffer + 8, value);
        qrd::putBe16(buffer + 10, procedure);
        break;
    case QRD_RPC_REFUSED:
    case QRD_RPC_REFUSED2:
        qrd::putBe16(buffer + 4, value);
        break;
    case 13:
        qrd::putBe16(buffer + 2, value);
        break;
    default:
        break;
    }
}
