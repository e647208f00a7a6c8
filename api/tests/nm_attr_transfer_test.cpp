// Attribute reads and writes in chunks, replace mode, text conversion, the
// information, delete and scan calls, against a fake Namewright service.
#include <gtest/gtest.h>

#include <numeric>

#include "nm_attr_fake.h"
#include "qrdapi.h"

using namespace qrdtest;

namespace {

const AttrName kAttr{52, 7};
const char* const kObject = "anna@sales@acme";

Bytes beInts(const std::vector<uint32_t>& v) {
    Bytes b(v.size() * 4);
    for (size_t i = 0; i < v.size(); ++i)
        qrd::putBe32(&b[i * 4], v[i]);
    return b;
}

class NmAttrTransfer : public FakeNwTest {
  protected:
    QRDSTATUS read(QRD_NM_SESS& s, uint32_t type, uint32_t& count, void* buffer, uint32_t& flags,
                   uint32_t& index) {
        return QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, buffer, &flags);
    }
};

TEST_F(NmAttrTransfer, MissingArgumentsBadTypesAndLongNamesAreRefusedWithoutTraffic) {
    QRD_NM_SESS s = session();
    const size_t before = nw_.procedures().size();
    uint32_t type = 2, index = 0, count = 4, flags = 0, bytes = 0;
    uint8_t buf[4];
    QRD_SCAN_PASS pass{};
    uint16_t n = 1;
    AttrName names[1];

    EXPECT_EQ(QrdGetSNmAttr(nullptr, kObject, 0, &kAttr, &type, &index, &count, buf, &flags), 1068);
    EXPECT_EQ(QrdGetSNmAttr(&s, nullptr, 0, &kAttr, &type, &index, &count, buf, &flags), 1068);
    EXPECT_EQ(QrdGetSNmAttr(&s, kObject, 0, nullptr, &type, &index, &count, buf, &flags), 1068);
    EXPECT_EQ(QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, nullptr, &flags), 1068);
    EXPECT_EQ(QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, buf, nullptr), 1068);
    EXPECT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, nullptr, 4, buf, &flags), 1068);
    EXPECT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 4, nullptr, &flags), 1068);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, nullptr), 1068);
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, nullptr), 1068);
    EXPECT_EQ(QrdScanSNmAttr(&s, kObject, 0, &kAttr, &kAttr, &pass, &n, nullptr), 1068);
    for (uint32_t bad : {0u, 6u}) {
        type = bad;
        EXPECT_EQ(QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, buf, &flags), 1068);
        EXPECT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, bad, &index, 4, buf, &flags), 1068);
    }
    const std::string longName(64, 'a');
    type = 2;
    EXPECT_EQ(QrdGetSNmAttr(&s, longName.c_str(), 0, &kAttr, &type, &index, &count, buf, &flags),
              1005);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, longName.c_str(), 0, &kAttr), 1005);
    EXPECT_EQ(QrdScanSNmAttr(&s, longName.c_str(), 0, &kAttr, &kAttr, &pass, &n, names), 1005);
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, longName.c_str(), 0, &kAttr, &type, &count, &bytes), 1005);
    EXPECT_EQ(nw_.procedures().size(), before);
}

TEST_F(NmAttrTransfer, IntegersAreReadInChunksOfAThousandAtTheirAbsoluteIndex) {
    std::vector<uint32_t> ints(2500);
    std::iota(ints.begin(), ints.end(), 0x10000);
    nw_.setValue(kObject, kAttr.category, kAttr.number, {4, beInts(ints)});
    QRD_NM_SESS s = session();

    std::vector<uint32_t> got(2500);
    uint32_t count = 2500, flags = 0x40, index = 0;
    ASSERT_EQ(read(s, 4, count, got.data(), flags, index), QRD_OK);
    EXPECT_EQ(got, ints);
    EXPECT_EQ(count, 2500u);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(index, 0u);

    auto reads = nw_.calls(41);
    ASSERT_EQ(reads.size(), 3u);
    const uint32_t indexes[] = {0, 1000, 2000}, counts[] = {1000, 1000, 500};
    for (size_t i = 0; i < 3; ++i) {
        Transfer t = readTransfer(reads[i]);
        EXPECT_EQ(t.head.name, kObject);
        EXPECT_EQ(t.type, 4u);
        EXPECT_EQ(t.index, indexes[i]);
        EXPECT_EQ(t.count, counts[i]);
        EXPECT_EQ(t.flags, i == 0 ? 0x40u : 0u) << "the caller's flags go with the first only";
    }
}

TEST_F(NmAttrTransfer, ReadFromAnIndexWritesBackTheFirstReplysIndex) {
    nw_.setValue(kObject, kAttr.category, kAttr.number, {2, Bytes(6000, 0x5A)});
    QRD_NM_SESS s = session();
    std::vector<uint8_t> got(5000);
    uint32_t count = 5000, flags = 0, index = 1000;
    ASSERT_EQ(read(s, 2, count, got.data(), flags, index), QRD_OK);
    EXPECT_EQ(count, 5000u);
    EXPECT_EQ(index, 1000u);
    auto reads = nw_.calls(41);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(readTransfer(reads[1]).index, 5096u);
    EXPECT_EQ(readTransfer(reads[1]).count, 904u);
}

TEST_F(NmAttrTransfer, ASessionLostMidTransferGives1039ButIsRestartedOnTheFirstExchange) {
    std::vector<uint32_t> ints(2500, 7);
    nw_.setValue(kObject, kAttr.category, kAttr.number, {4, beInts(ints)});
    std::atomic<int> reads{0};
    std::atomic<int> loseAt{2};
    nw_.on(41, [&](const Received& r) -> std::vector<Bytes> {
        if (++reads == loseAt) return {refusal(1017)};
        // Serve the rest from the store by answering as it would.
        Transfer t = readTransfer(r);
        qrd::BeWriter w;
        const uint32_t n = std::min(t.count, 1000u);
        w.u32(4);
        w.u32(t.index);
        w.u32(n);
        w.u32(t.index + n < 2500 ? 1 : 0);
        w.u16(4);
        w.u16(uint16_t(n));
        w.bytes(beInts(std::vector<uint32_t>(n, 7)).data(), n * 4);
        w.u16(0);
        return {returnReply(w.data())};
    });
    QRD_NM_SESS s = session();
    std::vector<uint32_t> got(2500);
    uint32_t count = 2500, flags = 0, index = 0;
    EXPECT_EQ(read(s, 4, count, got.data(), flags, index), 1039);
    EXPECT_EQ(count, 2500u) << "nothing is written back after a failure";
    EXPECT_EQ(reads, 2) << "the second exchange is not retried";
    EXPECT_EQ(s.active, 0);
    EXPECT_EQ(nw_.count(14), 1u);

    // Lost on the first exchange: the session is restarted and the call
    // succeeds on the new one.
    reads = 0;
    loseAt = 1;
    count = 2500;
    EXPECT_EQ(read(s, 4, count, got.data(), flags, index), QRD_OK);
    EXPECT_EQ(reads, 4);
    EXPECT_EQ(nw_.count(28), 3u);
}

TEST_F(NmAttrTransfer, AShortBufferGetsWhatFitsAndTheMoreFlag) {
    Bytes value(100);
    std::iota(value.begin(), value.end(), 1);
    nw_.setValue(kObject, kAttr.category, kAttr.number, {2, value});
    QRD_NM_SESS s = session();
    uint8_t got[12];
    std::memset(got, 0xEE, sizeof got);
    uint32_t count = 10, flags = 0, index = 0;
    ASSERT_EQ(read(s, 2, count, got, flags, index), QRD_OK);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(flags & QRD_ATTR_MORE, 1u);
    EXPECT_EQ(Bytes(got, got + 10), Bytes(value.begin(), value.begin() + 10));
    EXPECT_EQ(got[10], 0xEE) << "nothing is written past the caller's count";
    EXPECT_EQ(nw_.count(41), 1u);
}

TEST_F(NmAttrTransfer, HostileReadRepliesFailWithoutOverrunningTheBuffer) {
    QRD_NM_SESS s = session();
    auto reply = [](uint16_t tag, uint16_t n, size_t width) {
        qrd::BeWriter w;
        w.u32(tag);
        w.u32(0);
        w.u32(n);
        w.u32(1);
        w.u16(tag);
        w.u16(n);
        Bytes body(n * width, 0x41);
        w.bytes(body.data(), body.size());
        w.u16(0);
        return returnReply(w.data());
    };
    uint8_t got[8] = {};
    uint32_t count = 4, flags = 0, index = 0;
    // More elements than asked for.
    nw_.on(41, [&](const Received&) { return std::vector<Bytes>{reply(2, 8, 1)}; });
    EXPECT_EQ(read(s, 2, count, got, flags, index), 107);
    EXPECT_EQ(got[4], 0);
    // Integers for a byte buffer.
    nw_.on(41, [&](const Received&) { return std::vector<Bytes>{reply(4, 1, 4)}; });
    count = 4;
    EXPECT_EQ(read(s, 2, count, got, flags, index), 107);
    // An empty chunk with the more flag set ends the read instead of looping.
    nw_.on(41, [&](const Received&) { return std::vector<Bytes>{reply(2, 0, 1)}; });
    count = 4;
    EXPECT_EQ(read(s, 2, count, got, flags, index), QRD_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(NmAttrTransfer, FiveThousandBytesAreWrittenAs4096And904) {
    Bytes value(5000);
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = uint8_t(i * 7);
    QRD_NM_SESS s = session();
    uint32_t index = 0, flags = 2;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 5000, value.data(), &flags), 0);

    auto writes = nw_.calls(42);
    ASSERT_EQ(writes.size(), 2u);
    Transfer a = readTransfer(writes[0]), b = readTransfer(writes[1]);
    EXPECT_EQ(a.count, 4096u);
    EXPECT_EQ(a.value.size(), 4096u);
    EXPECT_EQ(a.index, 0u);
    EXPECT_EQ(a.flags, 2u);
    EXPECT_EQ(b.count, 904u);
    EXPECT_EQ(b.index, 4096u);
    EXPECT_EQ(b.flags, 0u);
    FakeNw::Value stored;
    ASSERT_TRUE(nw_.value(kObject, kAttr.category, kAttr.number, stored));
    EXPECT_EQ(stored.data, value);
    // The index and flags of the last reply (the fake numbers its replies).
    EXPECT_EQ(index, 5000u);
    EXPECT_EQ(flags, 0x101u);
}

TEST_F(NmAttrTransfer, IntegersAreWrittenBigEndianFromAnUnalignedBuffer) {
    std::vector<uint32_t> ints(1001);
    std::iota(ints.begin(), ints.end(), 0xA0B0C000);
    std::vector<uint8_t> raw(ints.size() * 4 + 1);
    std::memcpy(raw.data() + 1, ints.data(), ints.size() * 4);
    QRD_NM_SESS s = session();
    uint32_t index = 0, flags = 0;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 4, &index, 1001, raw.data() + 1, &flags), 0);
    auto writes = nw_.calls(42);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(readTransfer(writes[1]).count, 1u);
    FakeNw::Value stored;
    ASSERT_TRUE(nw_.value(kObject, kAttr.category, kAttr.number, stored));
    EXPECT_EQ(stored.data, beInts(ints));
}

TEST_F(NmAttrTransfer, AnEmptyWriteIsOneEmptyExchange) {
    QRD_NM_SESS s = session();
    uint32_t index = 0, flags = 2;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 0, nullptr, &flags), QRD_OK);
    auto writes = nw_.calls(42);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(readTransfer(writes[0]).count, 0u);
    EXPECT_TRUE(readTransfer(writes[0]).value.empty());
}

TEST_F(NmAttrTransfer, ReplaceModeDeletesFirstAndNeedsIndexZero) {
    QRD_NM_SESS s = session();
    const uint8_t value[3] = {1, 2, 3};
    uint32_t index = 1, flags = QRD_ATTR_REPLACE;
    const size_t before = nw_.procedures().size();
    EXPECT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 3, value, &flags), 1069);
    EXPECT_EQ(nw_.procedures().size(), before) << "nothing is touched";

    // Without the attribute: the 1055 of the delete is ignored.
    index = 0;
    flags = QRD_ATTR_REPLACE;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 3, value, &flags), QRD_OK);
    EXPECT_EQ(nw_.count(43), 1u);
    ASSERT_EQ(nw_.count(42), 1u);
    EXPECT_EQ(readTransfer(nw_.calls(42)[0]).flags, 0u) << "replace mode is not sent";

    // A longer value is replaced, not overwritten at the front.
    nw_.setValue(kObject, kAttr.category, kAttr.number, {2, Bytes(50, 9)});
    index = 0; // the last reply's index came back
    flags = QRD_ATTR_REPLACE;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 3, value, &flags), QRD_OK);
    FakeNw::Value stored;
    ASSERT_TRUE(nw_.value(kObject, kAttr.category, kAttr.number, stored));
    EXPECT_EQ(stored.data, (Bytes{1, 2, 3}));

    // Other failures of the delete stop the write.
    nw_.on(43, [](const Received&) { return std::vector<Bytes>{refusal(1033)}; });
    index = 0;
    flags = QRD_ATTR_REPLACE;
    EXPECT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 3, value, &flags), 1033);
    EXPECT_EQ(nw_.count(42), 2u);
}

TEST_F(NmAttrTransfer, TextIsConvertedPerCharacterSetIncludingItsLastByte) {
    // Two strings; the second is not terminated and ends in 0xFC.
    const Bytes latin1 = {'a', 0xFC, 0, 'b', 0xFC};
    nw_.setValue(kObject, kAttr.category, kAttr.number, {3, latin1});
    struct Case {
        uint16_t charset;
        Bytes expected;
    };
    for (const Case& c :
         {Case{0, {'a', 'u', 0, 'b', 'u'}}, Case{1, latin1}, Case{3, {'a', 0x81, 0, 'b', 0x81}}}) {
        QRD_NM_SESS s = session(c.charset);
        uint8_t got[5];
        uint32_t count = 5, flags = 0, index = 0;
        ASSERT_EQ(read(s, 3, count, got, flags, index), QRD_OK);
        EXPECT_EQ(Bytes(got, got + 5), c.expected) << "charset " << c.charset;
    }

    // Written from the PC code page, the text goes out in Latin-1; the
    // caller's buffer stays as it was, and the name goes out in ASCII.
    QRD_NM_SESS s = session(3);
    uint8_t pcm[] = {'x', 0x81, 0, 0x81};
    uint32_t index = 0, flags = 0;
    const char name[] = "j\x81rg@sales@acme";
    ASSERT_EQ(QrdSetSNmAttr(&s, name, 0, &kAttr, 3, &index, 4, pcm, &flags), QRD_OK);
    EXPECT_EQ(pcm[1], 0x81);
    Transfer t = readTransfer(nw_.calls(42).back());
    EXPECT_EQ(t.head.name, "jurg@sales@acme");
    EXPECT_EQ(t.value, (Bytes{'x', 0xFC, 0, 0xFC}));
}

TEST_F(NmAttrTransfer, InfoAndDeleteReportTheServicesAnswers) {
    nw_.setValue(kObject, kAttr.category, kAttr.number, {4, beInts({1, 2, 3})});
    QRD_NM_SESS s = session();
    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), QRD_OK);
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), QRD_OK);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), 1055);
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 1055);
}

// Scan replies: a pass and a list of names.
Bytes scanReply(const QRD_SCAN_PASS& pass, const std::vector<AttrName>& names) {
    qrd::BeWriter w;
    w.bytes(pass.bytes, 8);
    w.u16(uint16_t(names.size()));
    for (const AttrName& n : names) {
        w.u32(n.category);
        w.u32(n.number);
    }
    return returnReply(w.data());
}

TEST_F(NmAttrTransfer, ScanAsksForTheRestUntilThePassIsZeroOrTheArrayFull) {
    QRD_NM_SESS s = session();
    std::vector<Bytes> replies = {scanReply({{0, 0, 0, 1}}, {{52, 1}, {52, 2}}),
                                  scanReply({{0, 0, 0, 2}}, {{52, 3}}),
                                  scanReply({{0, 0, 0, 3}}, {{52, 4}, {52, 5}})};
    std::atomic<size_t> next{0};
    nw_.on(46, [&](const Received&) { return std::vector<Bytes>{replies.at(next++)}; });
    AttrName names[5];
    QRD_SCAN_PASS pass{};
    uint16_t n = 5;
    const AttrName first{52, 0}, last{52, 99};
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), QRD_OK);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(names[4].number, 5u);
    EXPECT_EQ(pass.bytes[3], 3) << "the last pass is handed back";
    auto scans = nw_.calls(46);
    ASSERT_EQ(scans.size(), 3u);
    const uint16_t asked[] = {5, 3, 2};
    for (size_t i = 0; i < 3; ++i) {
        Args a(scans[i]);
        readHead(a);
        a.bytes(8); // last
        Bytes sentPass = a.bytes(8);
        EXPECT_EQ(sentPass[3], i) << "the pass goes back to the service";
        EXPECT_EQ(a.u16(), asked[i]);
    }

    // An all-zero pass ends the scan even with room left.
    next = 0;
    replies = {scanReply({}, {{52, 9}})};
    pass = {};
    n = 5;
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), QRD_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(names[0].number, 9u);
    EXPECT_EQ(nw_.count(46), 4u);

    // A reply without names that leaves the pass unchanged ends it as well.
    next = 0;
    replies = {scanReply({{1}}, {{52, 1}}), scanReply({{1}}, {})};
    pass = {};
    n = 5;
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), QRD_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nw_.count(46), 6u);

    // More names than asked for is a bad reply.
    next = 0;
    replies = {scanReply({}, {{52, 1}, {52, 2}})};
    n = 1;
    EXPECT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), 107);
    EXPECT_EQ(n, 1);
}

TEST_F(NmAttrTransfer, TheImplicitFormsUseTheImplicitSession) {
    nw_.setValue(kObject, kAttr.category, kAttr.number, {2, Bytes{4, 5, 6}});
    uint32_t type = 2, index = 0, count = 3, flags = 0;
    uint8_t got[3];
    ASSERT_EQ(QrdGetNmAttr(kObject, 0, &kAttr, &type, &index, &count, got, &flags), QRD_OK);
    EXPECT_EQ(Bytes(got, got + 3), (Bytes{4, 5, 6}));
    uint32_t bytes = 0;
    ASSERT_EQ(QrdGetNmAttrInfo(kObject, 0, &kAttr, &type, &count, &bytes), QRD_OK);
    EXPECT_EQ(bytes, 3u);
    ASSERT_EQ(QrdSetNmAttr(kObject, 0, &kAttr, 2, &index, 1, got, &flags), QRD_OK);
    ASSERT_EQ(QrdDeleteNmAttr(kObject, 0, &kAttr), QRD_OK);
    EXPECT_EQ(nw_.count(28), 1u) << "one implicit session for all";
}

} // namespace
