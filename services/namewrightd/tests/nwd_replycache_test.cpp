// The reply cache: a call that arrives again runs once, within bounds.
#include <gtest/gtest.h>

#include "qrd/bytes.h"
#include "qrd/rpcheader.h"
#include "replycache.h"

namespace {

using nwd::ReplyCache;
using Bytes = std::vector<uint8_t>;

Bytes call(uint32_t id, uint16_t procedure, uint8_t arg = 0) {
    Bytes b(13, 0);
    qrd::rpcwire::putRequestHeader(b.data(), 1, procedure, id);
    b[12] = arg;
    return b;
}

ReplyCache::Source source(uint8_t last) {
    ReplyCache::Source s;
    s.address[7] = last;
    return s;
}

struct Counted {
    int runs = 0;
    ReplyCache::Reply operator()() {
        ++runs;
        return Bytes{0, 2, 0, 0, uint8_t(runs)};
    }
};

class ReplyCacheTest : public ::testing::Test {
  protected:
    int64_t now = 1000;
    ReplyCache cache{nwd::ReplyLimits{4, 1 << 20, 30000}, [this] { return now; }};
    Counted handler;
    ReplyCache::Reply ask(const Bytes& c, uint8_t from = 1) {
        return cache.answer(source(from), c.data(), c.size(), [&] { return handler(); });
    }
};

TEST_F(ReplyCacheTest, ACopyOfACallGetsTheFirstReplyAndRunsNothing) {
    const Bytes c = call(0x12345678, 28);
    ReplyCache::Reply first = ask(c);
    ASSERT_TRUE(first);
    EXPECT_EQ(qrd::getBe16(first->data() + 2), 0x5678) << "the reply echoes the identity";
    EXPECT_EQ(ask(c), first);
    EXPECT_EQ(ask(c), first);
    EXPECT_EQ(handler.runs, 1);

    // Another source, another identity, or another request under the same
    // identity: each a call of its own.
    ask(c, 2);
    ask(call(0x12345679, 28));
    ask(call(0x12345678, 28, 7));
    EXPECT_EQ(handler.runs, 4);
}

TEST_F(ReplyCacheTest, CallsWithoutIdentityOrWithoutReplyRunAgain) {
    const Bytes old = call(0, 42);
    ask(old);
    ReplyCache::Reply r = ask(old);
    EXPECT_EQ(handler.runs, 2);
    EXPECT_EQ(qrd::getBe16(r->data() + 2), 0);

    int silent = 0;
    const Bytes c = call(99, 28);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(cache.answer(source(1), c.data(), c.size(), [&] {
            ++silent;
            return ReplyCache::Reply();
        }));
    EXPECT_EQ(silent, 3) << "a call that got no reply is asked again";
    EXPECT_EQ(cache.entries(), 0u);

    // Not a call: passed through untouched.
    const Bytes search{0, 4, 0, 3};
    ReplyCache::Reply through = cache.answer(source(1), search.data(), search.size(), [] {
        return Bytes{0, 5, 0, 15};
    });
    EXPECT_EQ(*through, (Bytes{0, 5, 0, 15}));
}

TEST_F(ReplyCacheTest, ACopyArrivingWhileTheFirstRunsIsDropped) {
    const Bytes c = call(7, 42);
    ReplyCache::Reply inner;
    ReplyCache::Reply outer = cache.answer(source(1), c.data(), c.size(), [&] {
        inner = ask(c); // the copy, while the first is being answered
        return Bytes{0, 2, 0, 0};
    });
    EXPECT_FALSE(inner);
    EXPECT_TRUE(outer);
    EXPECT_EQ(handler.runs, 0);
}

TEST_F(ReplyCacheTest, BoundsAndLifetimePushTheOldestOut) {
    for (uint32_t id = 1; id <= 6; ++id)
        ask(call(id, 41));
    EXPECT_EQ(cache.entries(), 4u);
    ask(call(1, 41));
    EXPECT_EQ(handler.runs, 7) << "the oldest was pushed out";
    ask(call(6, 41));
    EXPECT_EQ(handler.runs, 7) << "the newest stays";

    now += 30000;
    ask(call(6, 41));
    EXPECT_EQ(handler.runs, 8) << "past its lifetime";
    EXPECT_EQ(cache.entries(), 1u);

    ReplyCache small{nwd::ReplyLimits{100, 400, 30000}, [this] { return now; }};
    for (uint32_t id = 1; id <= 10; ++id) {
        const Bytes c = call(id, 41);
        small.answer(source(1), c.data(), c.size(), [] { return Bytes(100, 2); });
    }
    EXPECT_LE(small.bytes(), 400u);
    EXPECT_GE(small.entries(), 1u);
}

} // namespace
