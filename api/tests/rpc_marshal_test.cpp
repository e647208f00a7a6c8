#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "qrdapi.h"
#include "rpc/marshal.h"
#include "rpc/stubs.h"

using namespace qrd::rpc;

namespace {

std::vector<uint8_t> encode(const std::function<void(Xdr&)>& f, uint16_t* errOut = nullptr) {
    uint16_t err = 0;
    Xdr m = measurer(&err);
    f(m);
    std::vector<uint8_t> out(m.pos, 0xAA);
    Xdr e = encoder(&err, out.data(), out.size());
    f(e);
    if (errOut) *errOut = err;
    EXPECT_EQ(e.pos, m.pos) << "measuring and encoding disagree";
    return out;
}

TEST(RpcMarshal, LongStringIsCutToCapacityLessOneAndPadded) {
    const std::string seventy(70, 'x');
    uint16_t err = 0;
    auto bytes = encode([&](Xdr& x) { putText(x, seventy.c_str(), 64); }, &err);
    ASSERT_EQ(err, 0);
    ASSERT_EQ(bytes.size(), 2u + 63 + 1);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 63);
    EXPECT_EQ(bytes[2 + 62], 'x');
    EXPECT_EQ(bytes.back(), 0) << "odd length gets a zero pad byte";

    // An even length has no pad; the empty string is just its length word.
    EXPECT_EQ(encode([](Xdr& x) { putText(x, "ab", 64); }).size(), 4u);
    EXPECT_EQ(encode([](Xdr& x) { putText(x, "", 64); }), (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(encode([](Xdr& x) { putText(x, nullptr, 64); }), (std::vector<uint8_t>{0, 0}));
}

TEST(RpcMarshal, DecodingRefusesOverlongAndShortStringsUnlessPermissive) {
    // Length 64 in a 64-byte field: one too many.
    std::vector<uint8_t> wire = {0, 64};
    wire.resize(2 + 64, 'y');
    char field[64];
    uint16_t err = 0;
    Xdr strict = decoder(&err, wire.data(), wire.size());
    EXPECT_EQ(_PString(strict, field, sizeof field), 0u);
    EXPECT_EQ(err, QRDERR_MARSHAL);

    err = 0;
    Xdr lax = decoder(&err, wire.data(), wire.size());
    EXPECT_EQ(_PStringPE(lax, field, sizeof field), 66u);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(std::strlen(field), 63u);

    // A length that runs past the reply.
    const uint8_t shortWire[] = {0, 5, 'a', 'b'};
    err = 0;
    Xdr cut = decoder(&err, shortWire, sizeof shortWire);
    std::memset(field, 'z', sizeof field);
    EXPECT_EQ(_PStringPE(cut, field, sizeof field), 0u);
    EXPECT_EQ(err, QRDERR_MARSHAL);
    EXPECT_EQ(field[0], 'z') << "nothing is stored from a failed decode";
}

TEST(RpcMarshal, ErrorWordStopsEveryLaterFunction) {
    uint8_t buf[8] = {};
    uint16_t err = 0;
    Xdr x = encoder(&err, buf, sizeof buf);
    uint32_t v = 0x01020304;
    EXPECT_EQ(_U32(x, &v), 4u);
    EXPECT_EQ(_U32(x, &v), 4u);
    EXPECT_EQ(_U16(x, reinterpret_cast<uint16_t*>(buf)), 0u) << "buffer full";
    EXPECT_EQ(err, QRDERR_MARSHAL);
    // After the failure nothing more is written, even where it would fit.
    x.pos = 0;
    uint32_t w = 0xFFFFFFFF;
    EXPECT_EQ(_U32(x, &w), 0u);
    EXPECT_EQ(buf[0], 0x01);
    EXPECT_EQ(_PString(x, const_cast<char*>("a"), 64), 0u);
}

TEST(RpcMarshal, CountedBytesKeepZerosAndPointerFormsAcceptNull) {
    const uint8_t data[5] = {1, 0, 2, 0, 3};
    uint16_t n = 5;
    auto bytes = encode([&](Xdr& x) {
        uint8_t* p = const_cast<uint8_t*>(data);
        _PtrUString(x, &p, &n, 128);
    });
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 5, 1, 0, 2, 0, 3, 0}));

    uint8_t out[16];
    uint16_t got = 0, err = 0;
    Xdr d = decoder(&err, bytes.data(), bytes.size());
    EXPECT_EQ(_UString(d, out, &got, sizeof out), 8u);
    EXPECT_EQ(got, 5);
    EXPECT_EQ(std::memcmp(out, data, 5), 0);

    // A NULL target on decoding checks and skips.
    err = 0;
    Xdr skip = decoder(&err, bytes.data(), bytes.size());
    uint8_t* none = nullptr;
    EXPECT_EQ(_PtrUString(skip, &none, &got, 16), 8u);
    EXPECT_EQ(err, 0);
}

TEST(RpcMarshal, CountedArraysAndUnionsRefuseWhatDoesNotFit) {
    // Name list with 17 names: more than a list reply holds.
    std::vector<uint8_t> wire = {0, 1, 0, 5, 0, 17};
    for (int i = 0; i < 17; ++i)
        wire.insert(wire.end(), {0, 2, 'n', 'm'});
    NmRec rec{};
    uint16_t pass = 0, err = 0;
    Xdr x = decoder(&err, wire.data(), wire.size());
    resultsNameList(x, &pass, &rec);
    EXPECT_EQ(err, QRDERR_MARSHAL);
    EXPECT_EQ(rec.count, 0) << "a failed list leaves the record alone";

    // 16 names decode.
    wire[5] = 16;
    wire.resize(wire.size() - 4);
    err = 0;
    Xdr ok = decoder(&err, wire.data(), wire.size());
    resultsNameList(ok, &pass, &rec);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(rec.count, 16);
    EXPECT_STREQ(rec.names[15], "nm");

    // Value union: tag 11 is unknown.
    const uint8_t badTag[] = {0, 11, 0, 0};
    AttrValue v;
    err = 0;
    Xdr u = decoder(&err, badTag, sizeof badTag);
    EXPECT_EQ(_AttrValue(u, &v), 0u);
    EXPECT_EQ(err, QRDERR_MARSHAL);
}

TEST(RpcMarshal, AttributeValuesRoundTripAndRespectTheCallersBuffer) {
    uint32_t ints[3] = {1, 0x7FFFFFFF, 0xDEADBEEF};
    AttrValue out;
    out.tag = 4;
    out.count = 3;
    out.data = ints;
    auto bytes = encode([&](Xdr& x) { _AttrValue(x, &out); });
    ASSERT_EQ(bytes.size(), 2u + 2 + 12);
    EXPECT_EQ(bytes[4], 0);
    EXPECT_EQ(bytes[7], 1);

    uint32_t back[3] = {};
    AttrValue in;
    in.data = back;
    in.capacity = sizeof back;
    uint16_t err = 0;
    Xdr d = decoder(&err, bytes.data(), bytes.size());
    EXPECT_EQ(_AttrValue(d, &in), bytes.size());
    EXPECT_EQ(in.count, 3u);
    EXPECT_EQ(back[2], 0xDEADBEEFu);

    // Two integers of room are not enough for three.
    uint32_t small[2];
    AttrValue tight;
    tight.data = small;
    tight.capacity = sizeof small;
    err = 0;
    Xdr t = decoder(&err, bytes.data(), bytes.size());
    EXPECT_EQ(_AttrValue(t, &tight), 0u);
    EXPECT_EQ(err, QRDERR_MARSHAL);

    // Byte values have no padding: tag 3, three bytes, then the next field.
    const uint8_t text[] = {0, 3, 0, 3, 'a', 'b', 'c', 0x12, 0x34};
    uint8_t chars[8] = {};
    AttrValue tv;
    tv.data = chars;
    tv.capacity = sizeof chars;
    uint16_t after = 0;
    err = 0;
    Xdr b = decoder(&err, text, sizeof text);
    _AttrValue(b, &tv);
    _U16(b, &after);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(after, 0x1234);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(chars), 3), "abc");
}

TEST(RpcMarshal, HeaderPlacesValuesByMessageType) {
    uint8_t h[12];
    _Header(h, 0, 41, 1);
    EXPECT_EQ(std::vector<uint8_t>(h, h + 12),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 41}));
    _Header(h, 3, 41, 1017);
    EXPECT_EQ(std::vector<uint8_t>(h, h + 12),
              (std::vector<uint8_t>{0, 3, 0, 0, 0x03, 0xF9, 0, 0, 0, 0, 0, 0}));
    _Header(h, 13, 41, 0x0102);
    EXPECT_EQ(h[2], 1);
    EXPECT_EQ(h[3], 2);
    EXPECT_EQ(h[10], 0);
    _Header(h, 2, 41, 7);
    EXPECT_EQ(std::vector<uint8_t>(h, h + 12),
              (std::vector<uint8_t>{0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
