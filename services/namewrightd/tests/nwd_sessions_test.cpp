// Sessions under attack: guessing identifiers, using them from elsewhere,
// flooding the table with starts.
#include <gtest/gtest.h>

#include "nwd_fixture.h"
#include "qrd/statuses.h"

namespace nwdtest {
namespace {

constexpr uint32_t kOwner = 0x7F000001, kAttacker = 0x7F000002, kThird = 0x7F000003;
constexpr uint32_t kT0 = 1700000000;

Session sessionFor(const std::string& user, int64_t userId, uint32_t source) {
    Session s;
    s.user = user;
    s.userId = userId;
    s.source = source;
    return s;
}

TEST(SessionTableTest, ASessionAnswersOnlyTheAddressThatStartedIt) {
    SessionTable t;
    SessionId id;
    ASSERT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, id));
    EXPECT_FALSE(t.find(id, Source{kAttacker}, kT0)) << "a stolen identifier must not work";
    EXPECT_FALSE(t.close(id, Source{kAttacker}, kT0)) << "nor end the session";
    ASSERT_TRUE(t.find(id, Source{kOwner}, kT0));
    EXPECT_EQ(t.find(id, Source{kOwner}, kT0)->user, "bob@Sales@Demo");
    EXPECT_TRUE(t.close(id, Source{kOwner}, kT0));
    EXPECT_FALSE(t.find(id, Source{kOwner}, kT0));
}

// What belongs to a session (its open transfers) goes with it, also when
// the table evicts or expires it rather than a client ending it.
TEST(SessionTableTest, EverySessionThatEndsIsReportedHoweverItEnds) {
    SessionLimits lim;
    lim.perUser = 1;
    lim.idleSeconds = 100;
    SessionTable t(lim);
    std::vector<SessionId> ended;
    t.setOnEnd([&](const SessionId& id) { ended.push_back(id); });
    SessionId first, second, third;
    ASSERT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, first));
    ASSERT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, second));
    ASSERT_EQ(ended, std::vector<SessionId>{first}) << "the user's older session was evicted";
    EXPECT_FALSE(t.find(second, Source{kOwner}, kT0 + 101)) << "an idle session expires";
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended[1], second);
    ASSERT_TRUE(t.open(sessionFor("ann@Sales@Demo", 8, kOwner), kT0 + 200, third));
    EXPECT_TRUE(t.close(third, Source{kOwner}, kT0 + 200));
    ASSERT_EQ(ended.size(), 3u);
    EXPECT_EQ(ended[2], third);
    t.setOnEnd(nullptr);
}

TEST(SessionTableTest, FailedLookUpsThrottleTheirAddressOnlyAndWearOff) {
    SessionLimits lim;
    lim.failures.burst = 8;
    lim.failures.perMinute = 60;
    SessionTable t(lim);
    SessionId victim, mine;
    ASSERT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, victim));
    ASSERT_TRUE(t.open(sessionFor("eve@Sales@Demo", 9, kAttacker), kT0, mine));
    SessionId guess{};
    for (uint32_t g = 1; g <= 8; ++g) {
        qrd::putBe32(guess.data(), g);
        EXPECT_FALSE(t.find(guess, Source{kAttacker}, kT0));
    }
    // Throttled: even the attacker's own valid session is refused now, so
    // a hit cannot be told from a miss.
    EXPECT_FALSE(t.find(mine, Source{kAttacker}, kT0));
    EXPECT_TRUE(t.find(victim, Source{kOwner}, kT0)) << "another address goes on";
    // One failure earned back per second.
    EXPECT_TRUE(t.find(mine, Source{kAttacker}, kT0 + 1));
    EXPECT_TRUE(t.find(mine, Source{kAttacker}, kT0 + 60));
}

TEST(SessionTableTest, AFloodOfStartsByOneUserEndsOnlyThatUsersSessions) {
    SessionLimits lim;
    lim.capacity = 64;
    lim.perUser = 8;
    SessionTable t(lim);
    SessionId bobs[4];
    for (SessionId& id : bobs)
        ASSERT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, id));
    SessionId flood;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(t.open(sessionFor("eve@Sales@Demo", 9, kAttacker), kT0 + 1, flood));
    for (const SessionId& id : bobs)
        EXPECT_TRUE(t.find(id, Source{kOwner}, kT0 + 2));
    EXPECT_EQ(t.size(), 4u + 8u);
    EXPECT_TRUE(t.find(flood, Source{kAttacker}, kT0 + 2)) << "the newest one is kept";
}

TEST(SessionTableTest, AFullTableEndsIdleSessionsFirstAndNeverActiveOnes) {
    SessionLimits lim;
    lim.capacity = 4;
    lim.perUser = 4;
    lim.evictableAfter = 600;
    SessionTable t(lim);
    SessionId old, active[3], late;
    ASSERT_TRUE(t.open(sessionFor("ann@Sales@Demo", 5, kThird), kT0, old));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(t.open(sessionFor("user" + std::to_string(i) + "@Sales@Demo", 10 + i, kOwner),
                           kT0 + 100, active[i]));
    // Ann's session is the least recently used but was idle only 200 s.
    OpenRefusal why{};
    EXPECT_FALSE(t.open(sessionFor("eve@Sales@Demo", 9, kAttacker), kT0 + 200, late, &why));
    EXPECT_EQ(why, OpenRefusal::Full);
    // Idle long enough, it makes room; the active ones stay.
    ASSERT_TRUE(t.open(sessionFor("eve@Sales@Demo", 9, kAttacker), kT0 + 650, late));
    EXPECT_FALSE(t.find(old, Source{kThird}, kT0 + 650));
    for (const SessionId& id : active)
        EXPECT_TRUE(t.find(id, Source{kOwner}, kT0 + 650));
}

TEST(SessionTableTest, AnAddressAtItsCapGetsNoMoreButOthersDo) {
    SessionLimits lim;
    lim.perSource = 3;
    SessionTable t(lim);
    SessionId id;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(t.open(sessionFor("u" + std::to_string(i) + "@Sales@Demo", 10 + i, kAttacker),
                           kT0, id));
    EXPECT_FALSE(t.open(sessionFor("u9@Sales@Demo", 19, kAttacker), kT0, id));
    EXPECT_TRUE(t.open(sessionFor("bob@Sales@Demo", 7, kOwner), kT0, id));
}

TEST(SessionTableTest, UnusedSessionsExpireAndUseKeepsThemAlive) {
    SessionLimits lim;
    lim.idleSeconds = 100;
    SessionTable t(lim);
    SessionId a, b;
    ASSERT_TRUE(t.open(sessionFor("a@Sales@Demo", 1, kOwner), kT0, a));
    ASSERT_TRUE(t.open(sessionFor("b@Sales@Demo", 2, kOwner), kT0, b));
    EXPECT_TRUE(t.find(a, Source{kOwner}, kT0 + 90));
    EXPECT_TRUE(t.find(a, Source{kOwner}, kT0 + 180));
    EXPECT_FALSE(t.find(b, Source{kOwner}, kT0 + 180));
    EXPECT_TRUE(t.anyAt(Source{kOwner}, kT0 + 180));
    EXPECT_FALSE(t.anyAt(Source{kOwner}, kT0 + 400));
}

TEST(SessionTableTest, SessionsEndWithTheirUserOrNonce) {
    SessionTable t;
    Session s = sessionFor("bob@Sales@Demo", 7, kOwner);
    s.nonce.word1 = 1;
    s.nonce.word2 = 2;
    SessionId a, b, c;
    ASSERT_TRUE(t.open(s, kT0, a));
    s.nonce.word2 = 3;
    ASSERT_TRUE(t.open(s, kT0, b));
    ASSERT_TRUE(t.open(sessionFor("ann@Sales@Demo", 5, kOwner), kT0, c));
    EXPECT_EQ(t.endSessionsOfNonce(s.nonce), 1u);
    EXPECT_TRUE(t.find(a, Source{kOwner}, kT0));
    EXPECT_FALSE(t.find(b, Source{kOwner}, kT0));
    EXPECT_EQ(t.endSessionsOfUser(7), 1u);
    EXPECT_FALSE(t.find(a, Source{kOwner}, kT0));
    EXPECT_TRUE(t.find(c, Source{kOwner}, kT0));
    EXPECT_TRUE(t.findUserAt(Source{kOwner}, nameKey("ANN@sales@demo"), kT0));
    EXPECT_FALSE(t.findUserAt(Source{kAttacker}, nameKey("ann@Sales@Demo"), kT0));
}

class SessionAttackTest : public HandlerTest {
  protected:
    Handler::Reply from(uint32_t address, Call c) {
        return handler->handle(Road::Internet, ServiceKind::Namewright, c.data().data(),
                               c.data().size(), Source{address});
    }
    static uint16_t status(const Handler::Reply& r) {
        if (!r || r->size() < 4) return 0xFFFF;
        return qrd::getBe16(r->data()) == 2 ? 0 : qrd::getBe16(r->data() + 4);
    }
    std::vector<uint8_t> startFrom(uint32_t address, const Nonce& n) {
        Handler::Reply r = from(address, Call(qrd::nm::kStartSession).bytes(nonceBytes(n)));
        EXPECT_EQ(status(r), 0);
        return r && r->size() == 8 ? std::vector<uint8_t>(r->begin() + 4, r->end())
                                   : std::vector<uint8_t>{};
    }
    // A nonce starts sessions only from the address that logged in, and only
    // so many a minute: a fresh login now and then keeps a flood going.
    Nonce loginFrom(uint32_t address, const std::string& user, const std::string& pw) {
        const uint32_t before = source;
        source = address;
        Nonce n = login(user, pw);
        source = before;
        return n;
    }
    static constexpr int kStartsPerLogin = 50;
    Handler::Reply formatFrom(uint32_t address, const std::vector<uint8_t>& sid) {
        return from(address, Call(qrd::nm::kFormatName).bytes(sid).u16(300).str("bob@sales@demo"));
    }
};

TEST_F(SessionAttackTest, AGuessingLoopFromAnotherAddressFindsNothingAndIsThrottled) {
    Nonce bob;
    std::vector<std::vector<uint8_t>> live;
    for (int i = 0; i < 100; ++i) {
        if (i % kStartsPerLogin == 0) bob = loginFrom(kOwner, "bob@Sales@Demo", "bob-pw");
        live.push_back(startFrom(kOwner, bob));
    }
    // Even the right identifiers, sent from another address, find nothing.
    for (const auto& sid : live)
        EXPECT_EQ(status(formatFrom(kAttacker, sid)), qrd::nm::kUnknownSession);
    size_t found = 0;
    for (uint32_t g = 1; g <= 20000; ++g) {
        std::vector<uint8_t> sid(4);
        qrd::putBe32(sid.data(), g * 2654435761u);
        if (status(formatFrom(kAttacker, sid)) == 0) ++found;
    }
    EXPECT_EQ(found, 0u);
    // The attacker's own session is refused too while it is throttled.
    const Nonce ann = loginFrom(kAttacker, "alice@Sales@Demo", "alice-pw");
    const auto own = startFrom(kAttacker, ann);
    EXPECT_EQ(status(formatFrom(kAttacker, own)), qrd::nm::kUnknownSession);
    // The owner's calls go on, and ending them is refused from elsewhere.
    for (const auto& sid : live)
        EXPECT_EQ(status(formatFrom(kOwner, sid)), 0);
    EXPECT_EQ(status(from(kAttacker, Call(qrd::nm::kEndSession).bytes(live[0]))),
              qrd::nm::kUnknownSession);
    EXPECT_EQ(status(formatFrom(kOwner, live[0])), 0);
}

TEST_F(SessionAttackTest, AFloodOfStartsDoesNotEndAnotherUsersSession) {
    const auto bobs = startFrom(kOwner, loginFrom(kOwner, "bob@Sales@Demo", "bob-pw"));
    Nonce eve;
    for (int i = 0; i < 5000; ++i) {
        if (i % kStartsPerLogin == 0) eve = loginFrom(kAttacker, "alice@Sales@Demo", "alice-pw");
        startFrom(kAttacker, eve);
    }
    EXPECT_EQ(status(formatFrom(kOwner, bobs)), 0);
    EXPECT_LE(sessions.size(), 1u + SessionLimits{}.perUser);
}

} // namespace
} // namespace nwdtest
