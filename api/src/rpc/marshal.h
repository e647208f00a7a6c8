// Marshalling of RPC arguments and results.
//
// Every function takes the cursor `x`, which carries the direction mask and a
// pointer to the call's shared error word. Encoding writes big-endian into a
// fixed buffer; decoding reads from a reply and never past its end (the end is
// the reply's length, QRD_RPC_CONTROL.replyLength); measuring only counts.
// Once the error word is non-zero every function writes nothing, leaves the
// caller's variables alone and reports length 0, so a stub checks the word
// once at the end. The byte order itself lives in qrd/bytes.h.
//
// Strings travel as u16 length n, n bytes, one zero pad byte when n is odd
// (2 + n + (n & 1) bytes). n never exceeds capacity - 1, where the capacity is
// the declared size of the field (64 for a Namewright name): longer input is
// cut when encoding. Families of string functions:
//   P ... text in a char field, NUL-terminated in memory.
//   U ... counted bytes (uint8_t) with their length in a separate u16; may
//         hold zero bytes; a terminator is written after them when decoding.
//   Ptr.. the field is reached through a pointer that may be NULL: NULL
//         encodes as the empty string; a NULL target on decoding only checks
//         and skips the string.
//   ..PE  permissive extract: a decoded string longer than capacity - 1 is cut
//         (the rest is skipped) instead of failing; meant for display texts.
//         Without PE such a string is a decoding error (107).
#pragma once

#include <cstddef>
#include <cstdint>

#include "qrdapi.h"

namespace qrd::rpc {

// Direction mask.
constexpr uint16_t kEncode = 1;
constexpr uint16_t kDecode = 2;
constexpr uint16_t kMeasure = 4; // count the bytes an encoding takes, write nothing

// Values of the shared error word.
constexpr uint16_t kMarshalError = QRDERR_MARSHAL;

struct Xdr {
    uint16_t dir;
    uint16_t* err;  // shared error word; 0 while everything went well
    uint8_t* data;  // may be NULL when measuring
    size_t size;    // bytes available from data (not used when measuring)
    size_t pos = 0; // bytes produced or consumed so far

    bool failed() const { return *err != 0; }
    void fail() {
        if (*err == 0) *err = kMarshalError;
    }
};

inline Xdr encoder(uint16_t* err, uint8_t* data, size_t size) {
    return Xdr{kEncode, err, data, size};
}
inline Xdr decoder(uint16_t* err, const uint8_t* data, size_t size) {
    return Xdr{kDecode, err, const_cast<uint8_t*>(data), size};
}
inline Xdr measurer(uint16_t* err) {
    return Xdr{kMeasure, err, nullptr, 0};
}

// Integers and opaque fixed arrays (session identifiers, ports, nonce bytes).
size_t _U8(Xdr& x, uint8_t* v);
size_t _U16(Xdr& x, uint16_t* v);
size_t _U32(Xdr& x, uint32_t* v);
size_t _Opaque(Xdr& x, void* bytes, size_t n);

// Strings (see the families above). `capacity` is the field's declared size.
size_t _PString(Xdr& x, char* text, size_t capacity);
size_t _PStringPE(Xdr& x, char* text, size_t capacity);
size_t _PtrPString(Xdr& x, char** text, size_t capacity);
size_t _PtrPStringPE(Xdr& x, char** text, size_t capacity);
size_t _UString(Xdr& x, uint8_t* bytes, uint16_t* length, size_t capacity);
size_t _UStringPE(Xdr& x, uint8_t* bytes, uint16_t* length, size_t capacity);
size_t _PtrUString(Xdr& x, uint8_t** bytes, uint16_t* length, size_t capacity);
size_t _PtrUStringPE(Xdr& x, uint8_t** bytes, uint16_t* length, size_t capacity);

// Encodes a caller's constant text (the common case of a request argument).
inline size_t putText(Xdr& x, const char* text, size_t capacity) {
    char* p = const_cast<char*>(text); // encoding only reads
    return _PtrPString(x, &p, capacity);
}

// Counted array: u16 count, then `each(i)` marshals element i. A decoded
// count above maxCount is an error; an encoded one is the caller's mistake and
// fails the same way.
template <class Each> size_t _CountedArray(Xdr& x, uint16_t* count, size_t maxCount, Each&& each) {
    if (x.failed()) return 0;
    size_t start = x.pos;
    if (x.dir != kDecode && *count > maxCount) {
        x.fail();
        return 0;
    }
    uint16_t n = *count;
    _U16(x, &n);
    if (x.failed()) return 0;
    if (n > maxCount) {
        x.fail();
        return 0;
    }
    if (x.dir == kDecode) *count = n;
    for (uint16_t i = 0; i < n && !x.failed(); ++i)
        each(i);
    return x.failed() ? 0 : x.pos - start;
}

// Tagged union: u16 tag, then `arm(tag)` marshals the case and returns false
// for a tag it does not know, which sets the error word to 107.
template <class Arm> size_t _Union(Xdr& x, uint16_t* tag, Arm&& arm) {
    if (x.failed()) return 0;
    size_t start = x.pos;
    _U16(x, tag);
    if (x.failed()) return 0;
    if (!arm(*tag)) x.fail();
    return x.failed() ? 0 : x.pos - start;
}

// The attribute value union: tag 0 = empty; 4 = u16 count and that many u32;
// 1-3 and 5-10 = u16 count and that many single bytes (no padding).
constexpr uint16_t kValueTagMax = 10;
constexpr uint16_t kValueTagIntegers = 4;

struct AttrValue {
    uint16_t tag = 0;
    uint32_t count = 0;   // elements (encode: in; decode: out)
    void* data = nullptr; // elements in host order (u32 for tag 4); NULL = skip on decode
    size_t capacity = 0;  // bytes available at data when decoding
};
size_t _AttrValue(Xdr& x, AttrValue* v);

} // namespace qrd::rpc
