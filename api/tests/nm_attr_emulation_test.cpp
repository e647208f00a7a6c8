// Attributes emulated in association record 762 on servers below revision
// 53000: the record's layout and its damage checks, and the calls through a
// referral to such a server.
#include <gtest/gtest.h>

#include "nm/emulation.h"
#include "nm_attr_fake.h"
#include "qrdapi.h"

using namespace qrdtest;
namespace emu = qrd::nm::emu;

namespace {

const AttrName kAttr{52, 7};
const char* const kObject = "anna@sales@acme";

Bytes emptyBlock() {
    Bytes b(emu::kBlockSize, 0);
    std::memcpy(b.data(), "attr", 4);
    return b;
}
void putEntry(Bytes& b, size_t i, AttrName attr, uint32_t offset, uint8_t used = 1) {
    uint8_t* e = &b[4 + i * 13];
    qrd::putBe32(e, attr.category);
    qrd::putBe32(e + 4, attr.number);
    qrd::putBe32(e + 8, offset);
    e[12] = used;
}
void putValue(Bytes& b, size_t offset, uint16_t type, const Bytes& data, uint16_t count) {
    qrd::putBe16(&b[offset], type);
    qrd::putBe16(&b[offset + 2], count);
    std::copy(data.begin(), data.end(), b.begin() + ptrdiff_t(offset + 4));
}
QRDSTATUS decodeOf(const Bytes& b) {
    emu::AttrSet set;
    return emu::decode(b.data(), b.size(), set);
}

TEST(NmAttrEmulationRecord, EncodesPackedAndDecodesBack) {
    uint32_t ints[2] = {0x01020304, 7};
    emu::AttrSet set = {
        {{52, 7}, 2, {'h', 'i', '!'}},
        {{53, 1},
         4,
         Bytes(reinterpret_cast<uint8_t*>(ints), reinterpret_cast<uint8_t*>(ints) + 8)}};
    Bytes record;
    ASSERT_EQ(emu::encode(set, record), QRD_OK);
    Bytes expected = emptyBlock();
    putEntry(expected, 0, {52, 7}, 654);
    putValue(expected, 654, 2, {'h', 'i', '!'}, 3);
    putEntry(expected, 1, {53, 1}, 661);
    putValue(expected, 661, 4, {1, 2, 3, 4, 0, 0, 0, 7}, 2);
    EXPECT_EQ(record, expected);

    emu::AttrSet back;
    ASSERT_EQ(emu::decode(record.data(), record.size(), back), QRD_OK);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].data, set[0].data);
    EXPECT_EQ(back[1].type, 4u);
    EXPECT_EQ(back[1].data, set[1].data);

    // Unused entries are skipped whatever they hold.
    putEntry(record, 5, {1, 1}, 3, 0);
    ASSERT_EQ(emu::decode(record.data(), record.size(), back), QRD_OK);
    EXPECT_EQ(back.size(), 2u);
}

TEST(NmAttrEmulationRecord, MarkersSizesAndBrokenDirectoriesAreRecognised) {
    EXPECT_EQ(decodeOf(emptyBlock()), QRD_OK);
    Bytes gone = emptyBlock();
    std::memcpy(gone.data(), "gone", 4);
    EXPECT_EQ(decodeOf(gone), 1032);
    EXPECT_EQ(decodeOf(Bytes{'g', 'o', 'n', 'e'}), 1032);
    Bytes other = emptyBlock();
    std::memcpy(other.data(), "attx", 4);
    EXPECT_EQ(decodeOf(other), 1064);
    Bytes shortBlock = emptyBlock();
    shortBlock.pop_back();
    EXPECT_EQ(decodeOf(shortBlock), 1064);
    EXPECT_EQ(decodeOf(Bytes{}), 1064);

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"used flag 2", [](Bytes& b) { putEntry(b, 0, kAttr, 654, 2); }},
        {"value inside the directory", [](Bytes& b) { putEntry(b, 0, kAttr, 650); }},
        {"header past the end", [](Bytes& b) { putEntry(b, 0, kAttr, 1679); }},
        {"count past the end",
         [](Bytes& b) {
             putEntry(b, 0, kAttr, 1600);
             putValue(b, 1600, 2, {}, 100);
         }},
        {"type 0",
         [](Bytes& b) {
             putEntry(b, 0, kAttr, 654);
             putValue(b, 654, 0, {}, 1);
         }},
        {"type 6",
         [](Bytes& b) {
             putEntry(b, 0, kAttr, 654);
             putValue(b, 654, 6, {}, 1);
         }},
        {"overlapping values",
         [](Bytes& b) {
             putEntry(b, 0, kAttr, 654);
             putValue(b, 654, 2, {}, 10);
             putEntry(b, 1, {52, 8}, 660);
             putValue(b, 660, 2, {}, 1);
         }},
        {"one name twice",
         [](Bytes& b) {
             putEntry(b, 0, kAttr, 654);
             putValue(b, 654, 2, {}, 1);
             putEntry(b, 1, kAttr, 700);
             putValue(b, 700, 2, {}, 1);
         }},
    };
    for (const Case& c : cases) {
        Bytes b = emptyBlock();
        c.damage(b);
        EXPECT_EQ(decodeOf(b), 1064) << c.what;
    }
}

TEST(NmAttrEmulationRecord, ASetThatDoesNotFitIsRefused) {
    Bytes record;
    emu::AttrSet full = {{kAttr, 2, Bytes(emu::kValuesSize - 4, 1)}};
    EXPECT_EQ(emu::encode(full, record), QRD_OK);
    full[0].data.push_back(1);
    EXPECT_EQ(emu::encode(full, record), 1006);

    emu::AttrSet many;
    for (uint32_t i = 0; i < 51; ++i)
        many.push_back({{1, i}, 2, {}});
    EXPECT_EQ(emu::encode(many, record), 1006);
    many.pop_back();
    EXPECT_EQ(emu::encode(many, record), QRD_OK);
}

// Calls through a referral to a server of revision 52000.
class NmAttrEmulation : public ::testing::Test {
  protected:
    void SetUp() override {
        loginForTests();
        referAttributes(a_, old_, "sales@acme");
    }
    QRD_NM_SESS session(uint16_t charset = 1) {
        QRD_NM_SESS s;
        QRD_PORT p = a_.port();
        EXPECT_EQ(QrdStartNmSession(&p, charset, nullptr, &s), QRD_OK);
        return s;
    }
    QRDSTATUS write(QRD_NM_SESS& s, const AttrName& attr, uint32_t type, uint32_t index,
                    const void* data, uint32_t count, uint32_t flags = 0) {
        return QrdSetSNmAttr(&s, kObject, 0, &attr, type, &index, count, data, &flags);
    }
    QRDSTATUS read(QRD_NM_SESS& s, const AttrName& attr, uint32_t type, uint32_t index, void* data,
                   uint32_t& count, uint32_t& flags) {
        return QrdGetSNmAttr(&s, kObject, 0, &attr, &type, &index, &count, data, &flags);
    }
    Bytes record() {
        Bytes b;
        old_.record(kObject, 762, b);
        return b;
    }
    FakeNw a_{"127.0.0.1"};
    FakeNw old_{"127.0.0.2", 52000};
};

TEST_F(NmAttrEmulation, ValuesAreWrittenAndReadInTheRecord) {
    QRD_NM_SESS s = session();
    ASSERT_EQ(write(s, kAttr, 2, 0, "hello", 5), QRD_OK);
    const uint32_t ints[2] = {1, 0x0A0B0C0D};
    const AttrName second{52, 9};
    ASSERT_EQ(write(s, second, 4, 0, ints, 2), QRD_OK);

    Bytes expected = emptyBlock();
    putEntry(expected, 0, kAttr, 654);
    putValue(expected, 654, 2, {'h', 'e', 'l', 'l', 'o'}, 5);
    putEntry(expected, 1, second, 663);
    putValue(expected, 663, 4, {0, 0, 0, 1, 10, 11, 12, 13}, 2);
    EXPECT_EQ(record(), expected);
    EXPECT_EQ(old_.count(41) + old_.count(42), 0u) << "only records travel";

    // Writes at an index overwrite and extend; flag 2 cuts after them.
    ASSERT_EQ(write(s, kAttr, 2, 3, "p!", 2), QRD_OK);
    char text[8] = {};
    uint32_t count = 8, flags = 0;
    ASSERT_EQ(read(s, kAttr, 2, 0, text, count, flags), QRD_OK);
    EXPECT_EQ(std::string(text, count), "help!");
    ASSERT_EQ(write(s, kAttr, 2, 2, "y", 1, 2), QRD_OK);
    count = 8;
    ASSERT_EQ(read(s, kAttr, 2, 0, text, count, flags), QRD_OK);
    EXPECT_EQ(std::string(text, count), "hey");
    EXPECT_EQ(flags, 0u);
    count = 1;
    ASSERT_EQ(read(s, kAttr, 2, 1, text, count, flags), QRD_OK);
    EXPECT_EQ(text[0], 'e');
    EXPECT_EQ(flags, QRD_ATTR_MORE);

    uint32_t got[2] = {};
    count = 2;
    ASSERT_EQ(read(s, second, 4, 0, got, count, flags), QRD_OK);
    EXPECT_EQ(got[1], 0x0A0B0C0Du);
    count = 2;
    EXPECT_EQ(read(s, second, 2, 0, text, count, flags), 1068) << "integers into bytes";

    uint32_t type = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &second, &type, &count, &bytes), QRD_OK);
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes, 8u);

    ASSERT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), QRD_OK);
    count = 8;
    EXPECT_EQ(read(s, kAttr, 2, 0, text, count, flags), 1055);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), 1055);
    EXPECT_EQ(old_.count(28), old_.count(14));
}

TEST_F(NmAttrEmulation, ScanReturnsTheRangeInOrderAcrossCalls) {
    QRD_NM_SESS s = session();
    for (AttrName a : {AttrName{52, 9}, AttrName{52, 3}, AttrName{60, 1}, AttrName{52, 5}})
        ASSERT_EQ(write(s, a, 2, 0, "x", 1), QRD_OK);
    const AttrName first{52, 0}, last{52, 0xFFFFFFFF};
    AttrName names[2];
    QRD_SCAN_PASS pass{};
    uint16_t n = 2;
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), QRD_OK);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(names[0].number, 3u);
    EXPECT_EQ(names[1].number, 5u);
    EXPECT_NE(pass.bytes[3], 0) << "more follow";
    n = 2;
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &first, &last, &pass, &n, names), QRD_OK);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(names[0].number, 9u);
    EXPECT_EQ(std::count(pass.bytes, pass.bytes + 8, 0), 8);
}

TEST_F(NmAttrEmulation, TextIsStoredInLatin1) {
    QRD_NM_SESS s = session(3);
    const uint8_t pcm[] = {'a', 0x81, 0, 0x81};
    ASSERT_EQ(write(s, kAttr, 3, 0, pcm, 4), QRD_OK);
    const Bytes stored = record();
    ASSERT_EQ(stored.size(), emu::kBlockSize);
    EXPECT_EQ(Bytes(stored.begin() + 658, stored.begin() + 662), (Bytes{'a', 0xFC, 0, 0xFC}));
    uint8_t got[4];
    uint32_t count = 4, flags = 0;
    ASSERT_EQ(read(s, kAttr, 3, 0, got, count, flags), QRD_OK);
    EXPECT_EQ(Bytes(got, got + 4), Bytes(pcm, pcm + 4));
}

TEST_F(NmAttrEmulation, GoneDamagedAndMissingRecords) {
    QRD_NM_SESS s = session();
    char text[4];
    uint32_t count = 4, flags = 0, type = 0, bytes = 0;
    AttrName names[2];
    QRD_SCAN_PASS pass{};
    uint16_t n = 2;

    // Missing: an empty set, which a write creates.
    EXPECT_EQ(read(s, kAttr, 2, 0, text, count, flags), 1055);
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 1055);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), 1055);
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &kAttr, &kAttr, &pass, &n, names), QRD_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(old_.count(1), 0u);
    ASSERT_EQ(write(s, kAttr, 2, 0, "ab", 2), QRD_OK);
    EXPECT_EQ(record().size(), emu::kBlockSize);

    Bytes gone = emptyBlock();
    std::memcpy(gone.data(), "gone", 4);
    old_.setRecord(kObject, 762, gone);
    count = 4;
    EXPECT_EQ(read(s, kAttr, 2, 0, text, count, flags), 1032);
    EXPECT_EQ(write(s, kAttr, 2, 0, "ab", 2), 1032);
    EXPECT_EQ(record(), gone) << "a removed set is not written over";

    Bytes damaged = emptyBlock();
    damaged.resize(1000);
    old_.setRecord(kObject, 762, damaged);
    EXPECT_EQ(write(s, kAttr, 2, 0, "ab", 2), 1064);
    EXPECT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), 1064);
    EXPECT_EQ(record(), damaged);
}

TEST_F(NmAttrEmulation, AWriteThatDoesNotFitLeavesTheRecordAlone) {
    QRD_NM_SESS s = session();
    ASSERT_EQ(write(s, kAttr, 2, 0, "keep", 4), QRD_OK);
    const Bytes before = record();
    const Bytes big(1020, 'x');
    EXPECT_EQ(write(s, {52, 8}, 2, 0, big.data(), uint32_t(big.size())), 1006);
    EXPECT_EQ(write(s, kAttr, 2, 0xFFFFFFF0u, "x", 1), 1006) << "an index far out";
    EXPECT_EQ(record(), before);
}

} // namespace
