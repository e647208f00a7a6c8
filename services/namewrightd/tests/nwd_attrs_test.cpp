// Attribute procedures and association records of the daemon, datagram in
// and datagram out: chunked transfers and their snapshots, limits, who may
// write, referrals and the old-revision mode.
#include <gtest/gtest.h>

#include "nwd_fixture.h"
#include "qrd/bytes.h"

using namespace nwd;
using nwdtest::Call;
using nwdtest::Reply;

namespace {

constexpr uint16_t kObj = 0, kGrp = 5;
constexpr uint16_t kMore = qrd::nm::kPartMore, kGoesOn = qrd::nm::kPartContinues;

struct Chunk {
    uint16_t code = 0;
    uint32_t type = 0, index = 0, count = 0, flags = 0;
    std::vector<uint8_t> data;
};

class AttrTest : public nwdtest::HandlerTest {
  protected:
    // 42 with the elements in wire form (integers as big-endian bytes).
    Reply write(const std::vector<uint8_t>& sid, const std::string& name, uint16_t ocl, AttrId a,
                uint32_t type, uint32_t index, const std::vector<uint8_t>& data, uint32_t flags = 0,
                uint16_t part = 0) {
        uint32_t count = uint32_t(data.size() / (type == 4 ? 4 : 1));
        Call c(qrd::nm::kWriteAttr);
        c.bytes(sid).str(name).u16(ocl).u32(a.category).u32(a.number);
        c.u32(type).u32(index).u32(count).u32(flags);
        if (count)
            c.u16(uint16_t(type)).u16(uint16_t(count)).bytes(data);
        else
            c.u16(0);
        c.u16(0).u16(part);
        return call(c);
    }
    Chunk read(const std::vector<uint8_t>& sid, const std::string& name, uint16_t ocl, AttrId a,
               uint32_t type, uint32_t index, uint32_t count, uint16_t part = 0) {
        Call c(qrd::nm::kReadAttr);
        c.bytes(sid).str(name).u16(ocl).u32(a.category).u32(a.number);
        c.u32(type).u32(index).u32(count).u32(0).u16(0).u16(part);
        Reply r = call(c);
        Chunk out;
        out.code = r.code;
        if (!r.ok()) return out;
        qrd::BeReader rd = r.reader();
        out.type = rd.u32();
        out.index = rd.u32();
        out.count = rd.u32();
        out.flags = rd.u32();
        uint16_t tag = rd.u16();
        if (tag) {
            uint16_t n = rd.u16();
            out.data.resize(size_t(n) * (tag == 4 ? 4 : 1));
            rd.bytes(out.data.data(), out.data.size());
        }
        EXPECT_EQ(rd.u16(), 0);
        EXPECT_TRUE(rd.ok()) << "a read reply that does not decode";
        return out;
    }
    // A whole value read chunk after chunk, as the client does.
    std::vector<uint8_t> readAll(const std::vector<uint8_t>& sid, const std::string& name,
                                 uint16_t ocl, AttrId a, uint32_t type) {
        std::vector<uint8_t> all;
        uint32_t index = 0;
        for (;;) {
            Chunk c = read(sid, name, ocl, a, type, index, 0xFFFFFFFF, index ? kGoesOn : 0);
            EXPECT_EQ(c.code, 0);
            all.insert(all.end(), c.data.begin(), c.data.end());
            index += c.count;
            if (c.code || !(c.flags & 1) || c.count == 0) return all;
        }
    }
    Reply simple(uint16_t proc, const std::vector<uint8_t>& sid, const std::string& name,
                 uint16_t ocl, AttrId a) {
        return call(Call(proc).bytes(sid).str(name).u16(ocl).u32(a.category).u32(a.number));
    }
    static std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = uint8_t(seed + i * 7 + i / 251);
        return v;
    }
    // Writes `data` in exchanges of at most 4096 bytes, as the client does;
    // the first carries `flags`. Stops before exchange `stopAt`.
    void writeChunked(const std::vector<uint8_t>& sid, const std::string& name, AttrId a,
                      const std::vector<uint8_t>& data, uint32_t flags = 2,
                      size_t stopAt = SIZE_MAX) {
        size_t exchange = 0;
        for (size_t at = 0; at == 0 || at < data.size(); at += 4096, ++exchange) {
            if (exchange == stopAt) return;
            const size_t to = std::min(data.size(), at + 4096);
            std::vector<uint8_t> part(data.begin() + long(at), data.begin() + long(to));
            const uint16_t where = uint16_t((at ? kGoesOn : 0) | (to < data.size() ? kMore : 0));
            ASSERT_TRUE(
                write(sid, name, kObj, a, 2, uint32_t(at), part, at ? 0 : flags, where).ok());
        }
    }

    std::vector<uint8_t> alice = sessionOf("alice@Sales@Demo", "alice-pw");
    std::vector<uint8_t> bob = sessionOf("bob@Sales@Demo", "bob-pw");
    std::vector<uint8_t> jose = sessionOf("jos\xE9@Support@Demo", "jos\xE9-pw");
};

const AttrId kMain{52, 250000};

TEST_F(AttrTest, AValueWrittenInChunksReadsBackInChunksOfAtMost4096Bytes) {
    std::vector<uint8_t> value = pattern(10000, 3);
    writeChunked(bob, "bob@Sales@Demo", kMain, value);
    Reply info = simple(qrd::nm::kAttrInfo, bob, "BOB@sales@demo", kObj, kMain);
    ASSERT_TRUE(info.ok());
    qrd::BeReader rd = info.reader();
    EXPECT_EQ(rd.u32(), 2u);
    EXPECT_EQ(rd.u32(), 10000u);
    EXPECT_EQ(rd.u32(), 10000u);

    Chunk first = read(bob, "bob@Sales@Demo", kObj, kMain, 2, 0, 10000);
    EXPECT_EQ(first.count, 4096u);
    EXPECT_EQ(first.flags & 1, 1u);
    EXPECT_EQ(first.type, 2u);
    EXPECT_EQ(readAll(bob, "bob@Sales@Demo", kObj, kMain, 2), value);

    // Integers: 1000 to an exchange, as big-endian words.
    std::vector<uint8_t> ints = pattern(2500 * 4, 9);
    ASSERT_TRUE(write(bob, "bob@Sales@Demo", kObj, {52, 250001}, 4, 0,
                      std::vector<uint8_t>(ints.begin(), ints.begin() + 4000), 2)
                    .ok());
    ASSERT_TRUE(write(bob, "bob@Sales@Demo", kObj, {52, 250001}, 4, 1000,
                      std::vector<uint8_t>(ints.begin() + 4000, ints.begin() + 8000))
                    .ok());
    Reply last = write(bob, "bob@Sales@Demo", kObj, {52, 250001}, 4, 2000,
                       std::vector<uint8_t>(ints.begin() + 8000, ints.end()));
    ASSERT_TRUE(last.ok());
    EXPECT_EQ(last.reader().u32(), 2500u) << "the write answers where the next exchange goes on";
    Chunk i0 = read(bob, "bob@Sales@Demo", kObj, {52, 250001}, 4, 0, 2500);
    EXPECT_EQ(i0.count, 1000u);
    EXPECT_EQ(readAll(bob, "bob@Sales@Demo", kObj, {52, 250001}, 4), ints);
    // Bytes cannot be read as integers, nor the reverse.
    EXPECT_EQ(read(bob, "bob@Sales@Demo", kObj, {52, 250001}, 2, 0, 10).code, 1068);
    EXPECT_EQ(read(bob, "bob@Sales@Demo", kObj, kMain, 4, 0, 10).code, 1068);
}

TEST_F(AttrTest, WritesOverwriteInPlaceExtendAndCutOnlyWithFlag2) {
    const std::string me = "bob@Sales@Demo";
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 0, {1, 2, 3, 4, 5, 6}).ok());
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 2, {9, 9}).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 0, 100).data, (std::vector<uint8_t>{1, 2, 9, 9, 5, 6}));
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 5, {7, 7, 7}).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 0, 100).data,
              (std::vector<uint8_t>{1, 2, 9, 9, 5, 7, 7, 7}));
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 1, {8}, 2).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 0, 100).data, (std::vector<uint8_t>{1, 8}));
    // Beyond the end the gap is zero; an empty cutting write empties the value.
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 4, {5}).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 0, 100).data, (std::vector<uint8_t>{1, 8, 0, 0, 5}));
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 0, {}, 2).ok());
    Chunk empty = read(bob, me, kObj, kMain, 2, 0, 100);
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.flags, 0u);
    // Text, and a type change when the whole value is replaced.
    ASSERT_TRUE(write(bob, me, kObj, kMain, 3, 0, {'h', 0xFC, 0, 'x', 0}, 2).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 3, 0, 100).type, 3u);
    ASSERT_TRUE(write(bob, me, kObj, kMain, 4, 0, {0, 0, 0, 1}, 2).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 4, 0, 100).data, (std::vector<uint8_t>{0, 0, 0, 1}));
    // Keeping part of an integer value while writing bytes would mix widths.
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, 1, {1}).code, 1068);
    // Byte types 1 and 5 share the width: read as either, named as stored.
    ASSERT_TRUE(write(bob, me, kObj, kMain, 5, 0, {4, 5}, 2).ok());
    Chunk five = read(bob, me, kObj, kMain, 1, 0, 100);
    EXPECT_EQ(five.type, 5u);
    EXPECT_EQ(five.data, (std::vector<uint8_t>{4, 5}));

    EXPECT_EQ(read(bob, me, kObj, {52, 1}, 2, 0, 10).code, 1055);
    EXPECT_EQ(simple(qrd::nm::kAttrInfo, bob, me, kObj, {52, 1}).code, 1055);
    EXPECT_TRUE(simple(qrd::nm::kDeleteAttr, bob, me, kObj, kMain).ok());
    EXPECT_EQ(simple(qrd::nm::kDeleteAttr, bob, me, kObj, kMain).code, 1055);
    EXPECT_EQ(read(bob, me, kObj, kMain, 4, 0, 10).code, 1055);
}

TEST_F(AttrTest, CountsIndexesAndLengthsAreCheckedBeforeUse) {
    const std::string me = "bob@Sales@Demo";
    // An index near 2^32 with a count: no wrap, refused as beyond the limit.
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, 0xFFFFFFFF, {1}).code, 1068);
    EXPECT_EQ(write(bob, me, kObj, kMain, 4, 0x3FFFFFFF, {0, 0, 0, 1}).code, 1068);
    // The largest value kept, and one byte beyond.
    EXPECT_TRUE(write(bob, me, kObj, kMain, 2, uint32_t(kMaxValueBytes - 1), {1}).ok());
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, uint32_t(kMaxValueBytes), {1}).code, 1068);
    // A chunk above the exchange limit, counts that disagree, a tag that is
    // not the type, types outside 1-5, qualifiers, values cut short.
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, 0, std::vector<uint8_t>(4097)).code, 1068);
    EXPECT_EQ(write(bob, me, kObj, kMain, 4, 0, std::vector<uint8_t>(4004)).code, 1068);
    auto raw42 = [&](uint32_t type, uint32_t count, uint16_t tag, uint16_t n, size_t bytes) {
        Call c(qrd::nm::kWriteAttr);
        c.bytes(bob).str(me).u16(kObj).u32(52).u32(250000).u32(type).u32(0).u32(count).u32(0);
        c.u16(tag).u16(n).bytes(std::vector<uint8_t>(bytes, 1)).u16(0).u16(0);
        return call(c).code;
    };
    EXPECT_EQ(raw42(2, 3, 2, 3, 3), 0);
    EXPECT_EQ(raw42(2, 4, 2, 3, 3), 1068);
    EXPECT_EQ(raw42(2, 3, 3, 3, 3), 1068);
    EXPECT_EQ(raw42(6, 3, 6, 3, 3), 1068);
    EXPECT_EQ(raw42(0, 0, 0, 0, 0), 1068);
    EXPECT_EQ(raw42(2, 40, 2, 40, 3), 1068) << "40 bytes announced, 3 sent (and no trailer)";
    Call qual(qrd::nm::kReadAttr);
    qual.bytes(bob).str(me).u16(kObj).u32(52).u32(250000).u32(2).u32(0).u32(10).u32(0);
    qual.u16(1).u16(0);
    EXPECT_EQ(call(qual).code, 1068);
    EXPECT_EQ(read(bob, me, kObj, kMain, 0, 0, 10).code, 1068);
    EXPECT_EQ(read(bob, me, 7, kMain, 2, 0, 10).code, 1068) << "object class";
    // Reads past the end answer nothing more.
    Chunk past = read(bob, me, kObj, kMain, 2, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(past.code, 0);
    EXPECT_EQ(past.count, 0u);
    EXPECT_EQ(past.flags, 0u);
    // Unknown sessions, for every procedure.
    std::vector<uint8_t> gone = {9, 9, 9, 9};
    EXPECT_EQ(read(gone, me, kObj, kMain, 2, 0, 1).code, 1017);
    EXPECT_EQ(write(gone, me, kObj, kMain, 2, 0, {1}).code, 1017);
    for (uint16_t proc : {qrd::nm::kDeleteAttr, qrd::nm::kAttrInfo})
        EXPECT_EQ(simple(proc, gone, me, kObj, kMain).code, 1017);
    EXPECT_EQ(call(Call(qrd::nm::kReadAssoc).bytes(gone).str(me).u16(kObj).u16(1)).code, 1017);
}

TEST_F(AttrTest, AContinuedReadIsAnsweredOnlyFromTheVersionItBeganWith) {
    const std::string me = "bob@Sales@Demo";
    std::vector<uint8_t> before = pattern(9000, 1), after = pattern(9000, 77);
    writeChunked(bob, me, kMain, before);
    std::vector<uint8_t> other = sessionOf("bob@Sales@Demo", "bob-pw");

    // A write by anyone between two exchanges: the continuation is refused
    // (never a mix), and reading again gives the new value whole.
    Chunk a = read(bob, me, kObj, kMain, 2, 0, 9000);
    ASSERT_EQ(a.count, 4096u);
    writeChunked(other, me, kMain, after);
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 4096, 9000, kGoesOn).code, 1039);
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 4096, 9000, kGoesOn).code, 1039) << "forgotten";
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), after);
    // Also a change through the storage itself, and the reader's own write.
    Directory dir(storage);
    const int64_t id = dir.resolve(me, kNameKindObject).entry.id;
    ASSERT_EQ(read(bob, me, kObj, kMain, 2, 0, 9000).count, 4096u);
    storage.setAttribute(id, kMain, AttrValue{2, before});
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 4096, 9000, kGoesOn).code, 1039);
    ASSERT_EQ(read(bob, me, kObj, kMain, 2, 0, 10).flags & 1, 1u) << "10 of 9000: more follows";
    ASSERT_TRUE(write(bob, me, kObj, kMain, 2, 10, {0xAB}).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 10, 1, kGoesOn).code, 1039);
    // And a delete.
    ASSERT_EQ(read(bob, me, kObj, kMain, 2, 0, 9000).count, 4096u);
    ASSERT_TRUE(simple(qrd::nm::kDeleteAttr, bob, me, kObj, kMain).ok());
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 4096, 9000, kGoesOn).code, 1039);

    // Unchanged: the continuation reads on; another index, or a first
    // exchange anywhere, reads the stored value.
    writeChunked(bob, me, kMain, before);
    ASSERT_EQ(read(bob, me, kObj, kMain, 2, 0, 9000).count, 4096u);
    Chunk b = read(bob, me, kObj, kMain, 2, 4096, 9000, kGoesOn);
    EXPECT_EQ(b.code, 0);
    EXPECT_EQ(b.data, std::vector<uint8_t>(before.begin() + 4096, before.begin() + 8192));
    EXPECT_EQ(read(bob, me, kObj, kMain, 2, 100, 10, kGoesOn).code, 1039) << "not at the cursor";
    Chunk c = read(bob, me, kObj, kMain, 2, 8990, 100);
    EXPECT_EQ(c.data, std::vector<uint8_t>(before.begin() + 8990, before.end()));
    EXPECT_EQ(c.flags & 1, 0u);
    // A continuation nobody began (the daemon forgot it, or never knew it).
    EXPECT_EQ(read(alice, me, kObj, kMain, 2, 4096, 9000, kGoesOn).code, 1039);
}

TEST_F(AttrTest, AWriteInSeveralExchangesIsStoredWholeAtItsLastOrNotAtAll) {
    const std::string me = "bob@Sales@Demo";
    std::vector<uint8_t> oldValue = pattern(12000, 5), newValue = pattern(10000, 99);
    writeChunked(bob, me, kMain, oldValue);
    std::vector<uint8_t> other = sessionOf("bob@Sales@Demo", "bob-pw");

    // Until the last exchange, everybody (the writer too) reads the old value.
    writeChunked(other, me, kMain, newValue, 2, 2);
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), oldValue);
    EXPECT_EQ(readAll(other, me, kObj, kMain, 2), oldValue);
    // The last exchange stores all three.
    std::vector<uint8_t> tail(newValue.begin() + 8192, newValue.end());
    ASSERT_TRUE(write(other, me, kObj, kMain, 2, 8192, tail, 0, kGoesOn).ok());
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), newValue);

    // Abandoned midway, by an ended session: the value stays; the write's
    // next exchange is refused instead of being stored alone.
    writeChunked(other, me, kMain, oldValue, 2, 1);
    ASSERT_TRUE(call(Call(qrd::nm::kEndSession).bytes(other)).ok());
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), newValue);
    writeChunked(bob, me, kMain, oldValue, 2, 1);
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, 8192, tail, 0, kGoesOn).code, 1039)
        << "not where the staged write ended";
    EXPECT_EQ(write(bob, me, kObj, kMain, 2, 4096, tail, 0, kGoesOn).code, 1039)
        << "the refusal forgot the write";
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), newValue);
    // A new first exchange replaces a staged write of the same attribute.
    writeChunked(bob, me, kMain, pattern(9000, 1), 2, 1);
    writeChunked(bob, me, kMain, oldValue);
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), oldValue);

    // Two writers interleaved exchange by exchange: the last to finish wins
    // whole, never a mix.
    std::vector<uint8_t> x = pattern(9000, 11), y = pattern(9000, 22);
    std::vector<uint8_t> third = sessionOf("bob@Sales@Demo", "bob-pw");
    for (size_t at = 0; at < 9000; at += 4096) {
        const size_t to = std::min<size_t>(9000, at + 4096);
        const uint16_t where = uint16_t((at ? kGoesOn : 0) | (to < 9000 ? kMore : 0));
        std::vector<uint8_t> px(x.begin() + long(at), x.begin() + long(to));
        std::vector<uint8_t> py(y.begin() + long(at), y.begin() + long(to));
        ASSERT_TRUE(write(bob, me, kObj, kMain, 2, uint32_t(at), px, at ? 0 : 2, where).ok());
        ASSERT_TRUE(write(third, me, kObj, kMain, 2, uint32_t(at), py, at ? 0 : 2, where).ok());
        if (to < 9000) {
            EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), oldValue);
        }
    }
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), y);
    // A refused last exchange (an integer part where bytes stay) stores none.
    std::vector<uint8_t> ints(8, 1);
    writeChunked(bob, me, kMain, pattern(5000, 3), 0, 1);
    EXPECT_EQ(write(bob, me, kObj, kMain, 4, 4096, ints, 0, kGoesOn).code, 1068);
    EXPECT_EQ(readAll(bob, me, kObj, kMain, 2), y);
}

TEST_F(AttrTest, TransferTableKeepsItsLimitsAndForgetsInLogarithmicSteps) {
    TransferLimits limits;
    limits.perSession = 2;
    limits.maxTransfers = 3;
    limits.stagedBudget = 100;
    limits.idleSeconds = 60;
    TransferTable t(limits);
    SessionId s1{1, 1, 1, 1}, s2{2, 2, 2, 2}, s3{3, 3, 3, 3};
    auto bytes = [](size_t n) { return StagedPart{2, 0, std::vector<uint8_t>(n), false}; };
    AttrVersion v{5, 1};
    // Staged bytes: over the budget, the least recently used write goes.
    ASSERT_TRUE(t.stage(s1, 7, {1, 1}, true, 0, bytes(60), 60, 100));
    ASSERT_TRUE(t.stage(s2, 7, {1, 1}, true, 0, bytes(30), 30, 100));
    ASSERT_TRUE(t.stage(s2, 7, {1, 1}, false, 30, bytes(30), 60, 101));
    EXPECT_EQ(t.stagedBytes(), 60u);
    ASSERT_TRUE(t.stage(s2, 7, {1, 1}, false, 30, bytes(30), 60, 101)) << "sent again";
    EXPECT_EQ(t.stagedBytes(), 60u);
    EXPECT_FALSE(t.stage(s1, 7, {1, 1}, false, 60, bytes(1), 61, 101)) << "pushed out";
    EXPECT_FALSE(t.stage(s1, 7, {1, 1}, true, 0, bytes(101), 101, 101)) << "never fits";
    std::optional<std::vector<StagedPart>> parts = t.take(s2, 7, {1, 1}, 60, 102);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->size(), 2u);
    EXPECT_EQ(t.stagedBytes(), 0u);
    EXPECT_FALSE(t.take(s2, 7, {1, 1}, 60, 102)) << "taken once";
    // A session keeps at most two transfers; the table at most three.
    t.readDone(s1, 7, {1, 1}, v, 10, true, 103);
    t.readDone(s1, 7, {1, 2}, v, 10, true, 104);
    t.readDone(s1, 7, {1, 3}, v, 10, true, 105);
    EXPECT_EQ(t.size(), 2u);
    EXPECT_FALSE(t.continuedRead(s1, 7, {1, 1}, 10, 105)) << "the oldest of s1 went";
    t.readDone(s2, 7, {1, 1}, v, 10, true, 106);
    t.readDone(s3, 7, {1, 1}, v, 10, true, 107);
    EXPECT_EQ(t.size(), 3u);
    EXPECT_FALSE(t.continuedRead(s1, 7, {1, 2}, 10, 107)) << "the oldest of all went";
    EXPECT_EQ(t.continuedRead(s3, 7, {1, 1}, 10, 107), v);
    // Ended sessions, finished reads and idle transfers go.
    t.dropSession(s2);
    EXPECT_FALSE(t.continuedRead(s2, 7, {1, 1}, 10, 107));
    t.readDone(s3, 7, {1, 1}, v, 20, false, 108);
    EXPECT_FALSE(t.continuedRead(s3, 7, {1, 1}, 20, 108));
    ASSERT_TRUE(t.stage(s3, 8, {0, 0}, true, 0, bytes(5), 5, 108));
    EXPECT_EQ(t.size(), 2u);
    EXPECT_FALSE(t.take(s3, 8, {0, 0}, 5, 200)) << "idle for more than a minute";
    EXPECT_EQ(t.size(), 0u);
    EXPECT_EQ(t.stagedBytes(), 0u);
}

TEST_F(AttrTest, UsersWriteTheirOwnAndTheirGroupsObjectsAndPublishToOthers) {
    const std::vector<uint8_t> v = {1, 2, 3};
    EXPECT_TRUE(write(bob, "bob@Sales@Demo", kObj, kMain, 2, 0, v).ok());
    EXPECT_TRUE(write(bob, "Sales@Demo", kGrp, {52, 200201}, 2, 0, v).ok());
    EXPECT_EQ(write(bob, "Support@Demo", kGrp, {52, 200201}, 2, 0, v).code, 1033);
    EXPECT_EQ(write(bob, "alice@Sales@Demo", kObj, kMain, 2, 0, v).code, 1033);
    EXPECT_EQ(write(bob, "Team@Sales@Demo", kObj, kMain, 2, 0, v).code, 1033);
    EXPECT_EQ(write(jose, "bob@Sales@Demo", kObj, kMain, 2, 0, v).code, 1033);
    EXPECT_EQ(simple(qrd::nm::kDeleteAttr, jose, "bob@Sales@Demo", kObj, kMain).code, 1033);
    // Reading is open to every session.
    EXPECT_EQ(read(jose, "bob@Sales@Demo", kObj, kMain, 2, 0, 10).data, v);

    // Publication: the new-folders list of a desktop user (one with a
    // business card), and nothing else of that user.
    const AttrId main{52, 200000}, contents{57, 200000}, card{34, 200004};
    EXPECT_EQ(write(jose, "bob@Sales@Demo", kObj, contents, 2, 0, v).code, 1033)
        << "bob has no desktop yet";
    ASSERT_TRUE(write(bob, "bob@Sales@Demo", kObj, card, 2, 0, v).ok());
    EXPECT_TRUE(write(jose, "bob@Sales@Demo", kObj, contents, 2, 0, v, 2).ok());
    EXPECT_TRUE(write(jose, "bob@Sales@Demo", kObj, main, 2, 0, v).ok());
    EXPECT_EQ(write(jose, "bob@Sales@Demo", kObj, {57, 200001}, 2, 0, v).code, 1033);
    EXPECT_EQ(write(jose, "bob@Sales@Demo", kObj, card, 2, 0, v).code, 1033);
    EXPECT_EQ(simple(qrd::nm::kDeleteAttr, jose, "bob@Sales@Demo", kObj, contents).code, 1033);
    EXPECT_EQ(write(jose, "FILES@Sales@Demo", kObj, contents, 2, 0, v).code, 1033)
        << "only users have a new-folders list";

    // The administrator writes everything; the made-up type attribute is
    // written by nobody.
    EXPECT_TRUE(write(alice, "bob@Sales@Demo", kObj, card, 2, 0, v).ok());
    EXPECT_TRUE(write(alice, "Support@Demo", kGrp, {52, 200201}, 2, 0, v).ok());
    EXPECT_TRUE(simple(qrd::nm::kDeleteAttr, alice, "bob@Sales@Demo", kObj, card).ok());
    EXPECT_EQ(write(alice, "bob@Sales@Demo", kObj, {0, 6}, 4, 0, {0, 0, 0, 9}).code, 1033);
    EXPECT_EQ(simple(qrd::nm::kDeleteAttr, alice, "bob@Sales@Demo", kObj, {0, 6}).code, 1033);
    // A session whose user this directory does not know writes nothing.
    Session stranger;
    stranger.user = "eve@Else@Where";
    stranger.source = source;
    SessionId sid;
    ASSERT_TRUE(sessions.open(stranger, now, sid));
    std::vector<uint8_t> eve(sid.begin(), sid.end());
    EXPECT_EQ(write(eve, "bob@Sales@Demo", kObj, contents, 2, 0, v).code, 1033);
}

TEST_F(AttrTest, TheTypeAttributeNamesTheKindOfTheObject) {
    auto typeOf = [&](const std::string& name, uint16_t ocl) {
        Chunk c = read(bob, name, ocl, {0, 6}, 4, 0, 1);
        EXPECT_EQ(c.code, 0) << name;
        return c.data.size() == 4 ? qrd::getBe32(c.data.data()) : 0u;
    };
    EXPECT_EQ(typeOf("alice@Sales@Demo", kObj), 1u);
    EXPECT_EQ(typeOf("ali@Sales@Demo", kObj), 1u) << "a nickname is its target";
    EXPECT_EQ(typeOf("Team@Sales@Demo", kObj), 3u);
    EXPECT_EQ(typeOf("Sales@Demo", kGrp), 5u);
    EXPECT_EQ(typeOf("FILES@Sales@Demo", kObj), 2u);
    Reply info = simple(qrd::nm::kAttrInfo, bob, "Team@Sales@Demo", kObj, {0, 6});
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.results, (std::vector<uint8_t>{0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 4}));
    // Names that do not fit the object class, or do not exist.
    EXPECT_EQ(read(bob, "Sales@Demo", kObj, {0, 6}, 4, 0, 1).code, 1001);
    EXPECT_EQ(read(bob, "bob@Sales@Demo", kGrp, {0, 6}, 4, 0, 1).code, 1001);
    EXPECT_EQ(read(bob, "nobody@Sales@Demo", kObj, {0, 6}, 4, 0, 1).code, 1002);
    EXPECT_EQ(read(bob, "Nowhere@Demo", kGrp, {0, 6}, 4, 0, 1).code, 1002);
}

TEST_F(AttrTest, AScanPagesThroughTheRangeAndEndsWithAnAllZeroPass) {
    const std::string me = "bob@Sales@Demo";
    for (uint32_t n = 250200; n < 250207; ++n)
        ASSERT_TRUE(write(bob, me, kObj, {52, n}, 2, 0, {1}).ok());
    ASSERT_TRUE(write(bob, me, kObj, {53, 250200}, 2, 0, {1}).ok());
    auto scan = [&](AttrId first, AttrId last, std::vector<uint8_t>& pass, uint16_t max) {
        Call c(qrd::nm::kScanAttr);
        c.bytes(bob).str(me).u16(kObj).u32(first.category).u32(first.number);
        c.u32(last.category).u32(last.number).bytes(pass).u16(max);
        Reply r = call(c);
        EXPECT_TRUE(r.ok());
        qrd::BeReader rd = r.reader();
        rd.bytes(pass.data(), 8);
        std::vector<AttrId> names(rd.u16());
        for (AttrId& a : names) {
            a.category = rd.u32();
            a.number = rd.u32();
        }
        EXPECT_TRUE(rd.ok());
        return names;
    };
    std::vector<uint8_t> pass(8, 0);
    std::vector<AttrId> got = scan({52, 250200}, {52, 259999}, pass, 3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (AttrId{52, 250200}));
    EXPECT_NE(pass, std::vector<uint8_t>(8, 0));
    got = scan({52, 250200}, {52, 259999}, pass, 3);
    EXPECT_EQ(got[0], (AttrId{52, 250203}));
    got = scan({52, 250200}, {52, 259999}, pass, 3);
    ASSERT_EQ(got.size(), 1u) << "the seventh and last";
    EXPECT_EQ(pass, std::vector<uint8_t>(8, 0));
    // Exactly full: the pass is zero at once, not one empty round later.
    got = scan({52, 250200}, {52, 250206}, pass, 7);
    EXPECT_EQ(got.size(), 7u);
    EXPECT_EQ(pass, std::vector<uint8_t>(8, 0));
    // The whole range holds the type attribute and the other category.
    got = scan({0, 0}, {0xFFFFFFFF, 0xFFFFFFFF}, pass, 100);
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got.front(), (AttrId{0, 6}));
    EXPECT_EQ(got.back(), (AttrId{53, 250200}));
    // No room: the pass stays as it was; an empty range is done at once.
    std::vector<uint8_t> mid = {0, 0, 0, 52, 0, 3, 0xD1, 0x5B};
    pass = mid;
    EXPECT_TRUE(scan({52, 0}, {52, 0xFFFFFFFF}, pass, 0).empty());
    EXPECT_EQ(pass, mid);
    pass.assign(8, 0);
    EXPECT_TRUE(scan({60, 0}, {50, 0}, pass, 10).empty());
    EXPECT_EQ(pass, std::vector<uint8_t>(8, 0));
}

TEST_F(AttrTest, ObjectsOfAGroupHeldElsewhereAreReferredRecordsAreServedHere) {
    ASSERT_NO_THROW(nwdtest::seed(storage, "group set-server Support@Demo NW2@Support@Demo\n"));
    const std::string j = "jos\xE9@Support@Demo";
    EXPECT_EQ(read(jose, j, kObj, kMain, 2, 0, 10).code, 101);
    EXPECT_EQ(write(alice, j, kObj, kMain, 2, 0, {1}).code, 101);
    EXPECT_EQ(read(jose, "Support@Demo", kGrp, kMain, 2, 0, 10).code, 101);
    for (uint16_t proc : {qrd::nm::kDeleteAttr, qrd::nm::kAttrInfo, qrd::nm::kScanAttr})
        EXPECT_EQ(call(Call(proc)
                           .bytes(jose)
                           .str(j)
                           .u16(kObj)
                           .u32(0)
                           .u32(0)
                           .u32(0)
                           .u32(0)
                           .bytes(std::vector<uint8_t>(8))
                           .u16(1))
                      .code,
                  101);
    // The record that leads the client there.
    auto record2 = [&](const std::string& group) {
        Reply r = call(Call(qrd::nm::kReadAssoc).bytes(jose).str(group).u16(kGrp).u16(2));
        EXPECT_TRUE(r.ok());
        qrd::BeReader rd = r.reader();
        std::string rec, server;
        rd.string(rec, 4096);
        qrd::BeReader inner(reinterpret_cast<const uint8_t*>(rec.data()), rec.size());
        inner.string(server, 63);
        return server;
    };
    EXPECT_EQ(record2("support@demo"), "NW2@Support@Demo");
    EXPECT_EQ(record2("Sales@Demo"), "NW1@Sales@Demo") << "held by this server";
    // A group held by this server under its own name is not referred.
    ASSERT_NO_THROW(nwdtest::seed(storage, "group set-server Sales@Demo nw1@sales@demo\n"));
    EXPECT_TRUE(write(bob, "bob@Sales@Demo", kObj, kMain, 2, 0, {1}).ok());
}

TEST_F(AttrTest, AssociationRecordsKeepTheirBytesAndTheUserRecordComesFromTheDirectory) {
    auto readRec = [&](const std::vector<uint8_t>& sid, const std::string& name, uint16_t ocl,
                       uint16_t rec, std::string& out) {
        Reply r = call(Call(qrd::nm::kReadAssoc).bytes(sid).str(name).u16(ocl).u16(rec));
        qrd::BeReader rd = r.reader();
        if (r.ok()) {
            EXPECT_TRUE(rd.string(out, 4096));
        }
        return r.code;
    };
    auto writeRec = [&](const std::vector<uint8_t>& sid, const std::string& name, uint16_t ocl,
                        uint16_t rec, const std::string& data) {
        return call(Call(qrd::nm::kWriteAssoc).bytes(sid).str(name).u16(ocl).u16(rec).str(data))
            .code;
    };
    std::string rec;
    ASSERT_EQ(readRec(bob, "ALICE@sales@demo", kObj, 1, rec), 0);
    qrd::BeReader rd(reinterpret_cast<const uint8_t*>(rec.data()), rec.size());
    std::string description;
    rd.string(description, 127);
    EXPECT_EQ(description, "Alice Archer");
    EXPECT_EQ(rd.remaining(), 6u + 2 + 2 + 4 + 4);
    EXPECT_EQ(readRec(bob, "Team@Sales@Demo", kObj, 1, rec), 1013) << "not a user";
    EXPECT_EQ(readRec(bob, "nobody@Sales@Demo", kObj, 1, rec), 1002);
    EXPECT_EQ(writeRec(alice, "bob@Sales@Demo", kObj, 1, "x"), 1033) << "kept by the directory";
    EXPECT_EQ(writeRec(alice, "Sales@Demo", kGrp, 2, "x"), 1033);

    // The emulation record: 1682 bytes, written and read back whole,
    // including zero bytes and an odd length elsewhere.
    std::string emu(1682, '\0');
    emu.replace(0, 4, "attr");
    emu[1000] = '\xFF';
    EXPECT_EQ(readRec(bob, "bob@Sales@Demo", kObj, 762, rec), 1013);
    ASSERT_EQ(writeRec(bob, "bob@Sales@Demo", kObj, 762, emu), 0);
    ASSERT_EQ(readRec(jose, "bob@Sales@Demo", kObj, 762, rec), 0);
    EXPECT_EQ(rec, emu);
    ASSERT_EQ(writeRec(bob, "Sales@Demo", kGrp, 9, "odd"), 0);
    ASSERT_EQ(readRec(bob, "Sales@Demo", kGrp, 9, rec), 0);
    EXPECT_EQ(rec, "odd");
    EXPECT_EQ(writeRec(jose, "bob@Sales@Demo", kObj, 762, emu), 1033);
    EXPECT_EQ(writeRec(bob, "bob@Sales@Demo", kObj, 762, std::string(kMaxRecordBytes + 1, 'x')),
              1068);
}

TEST_F(AttrTest, AnOldRevisionRefusesTheAttributeProceduresButKeepsRecords) {
    makeHandler(50000);
    EXPECT_EQ(read(bob, "bob@Sales@Demo", kObj, kMain, 2, 0, 10).code, 1099);
    EXPECT_EQ(write(bob, "bob@Sales@Demo", kObj, kMain, 2, 0, {1}).code, 1099);
    for (uint16_t proc : {qrd::nm::kDeleteAttr, qrd::nm::kAttrInfo, qrd::nm::kScanAttr})
        EXPECT_EQ(simple(proc, bob, "bob@Sales@Demo", kObj, kMain).code, 1099);
    EXPECT_EQ(call(Call(qrd::nm::kWriteAssoc)
                       .bytes(bob)
                       .str("bob@Sales@Demo")
                       .u16(kObj)
                       .u16(762)
                       .str("attr"))
                  .code,
              0);
    EXPECT_TRUE(
        call(Call(qrd::nm::kReadAssoc).bytes(bob).str("bob@Sales@Demo").u16(kObj).u16(762)).ok());
    Reply rev = call(Call(qrd::nm::kLongRevision));
    EXPECT_EQ(rev.reader().u32(), 50000u);
}

} // namespace

// An access-rights value is read only as far as it holds whole entries: a
// count beyond them, a length past the end and names outside Latin-1 name
// nobody, and nothing is read beyond the value.
TEST(AccessRightsNames, ReadOnlyWholeLatin1Entries) {
    auto entry = [](std::vector<uint8_t>& v, const std::u16string& name, uint32_t units) {
        uint8_t word[4];
        qrd::putLe32(word, 1);
        v.insert(v.end(), word, word + 4);
        qrd::putLe32(word, units);
        v.insert(v.end(), word, word + 4);
        for (char16_t c : name) {
            v.push_back(uint8_t(c));
            v.push_back(uint8_t(c >> 8));
        }
    };
    std::vector<uint8_t> v(4);
    qrd::putLe32(v.data(), 1000); // more than it holds
    entry(v, u"carol@Support@Demo", 18);
    entry(v, u"\u0100va@Support@Demo", 16);
    entry(v, u"dave@Support@Demo", 17);
    EXPECT_EQ(accessRightsNames(v),
              (std::vector<std::string>{"carol@Support@Demo", "dave@Support@Demo"}));
    std::vector<uint8_t> cut(4);
    qrd::putLe32(cut.data(), 1);
    entry(cut, u"carol", 40); // runs past the end
    EXPECT_TRUE(accessRightsNames(cut).empty());
    EXPECT_TRUE(accessRightsNames(std::vector<uint8_t>(3, 0xFF)).empty());
}
