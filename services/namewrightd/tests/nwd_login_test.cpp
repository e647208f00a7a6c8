// The login exchange and the nonces it hands out, tried as an attacker
// would: a service that is not the directory's, guesses from another place,
// replayed and revoked nonces, a password change, nonce checks from outside.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "nwd_fixture.h"
#include "qrd/loginwire.h"
#include "qrd/scram.h"

namespace nwdtest {
namespace {

constexpr uint32_t kOtherSource = 0x7F000002; // 127.0.0.2
constexpr uint32_t kOutsider = 0x7F000009;    // no server of the directory

class LoginAttack : public HandlerTest {
  protected:
    uint16_t startFrom(uint32_t from, const Nonce& n) {
        uint32_t saved = source;
        source = from;
        uint16_t refusal = 0;
        startSession(n, &refusal);
        source = saved;
        return refusal;
    }
    void admin(const std::string& line, const std::string& password = "") {
        std::ostringstream out;
        AdminContext ctx{storage, out, nullptr, kTestIterations};
        ctx.readPassword = [&](const std::string&, std::string& pw) {
            pw = password;
            return true;
        };
        std::istringstream words(line);
        std::vector<std::string> args;
        for (std::string w; words >> w;)
            args.push_back(w);
        runAdmin(ctx, args);
    }
};

bool contains(const std::vector<uint8_t>& haystack, const std::string& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// Whoever answers in the service's place (anyone who binds the broadcast
// port) sees no password, cannot sign the exchange, and the client refuses
// it.
TEST_F(LoginAttack, AServiceThatIsNotTheDirectorysLearnsNoPasswordAndIsRefused) {
    std::vector<std::vector<uint8_t>> seen;
    auto spoof = [&](Call c) {
        seen.push_back(c.data());
        namespace lw = qrd::loginwire;
        qrd::BeWriter w;
        w.u16(qrd::nm::kReturn);
        w.u16(0);
        if (qrd::getBe16(c.data().data() + 10) == qrd::nm::kLoginStart) {
            lw::StartReply a;
            a.exchange = 1;
            a.salt.assign(16, 0x11);
            a.iterations = 1000; // cheap, to make guessing easy for the spoofer
            lw::encode(a, w.data());
        } else {
            lw::FinishReply a; // a signature it cannot make, a nonce of its own
            a.nonce = {1, 2, 3, 4, 5, 6, 0, 0, 0, 9, 0, 0, 0, 1};
            a.canonical = "bob@Sales@Demo";
            lw::encode(a, w.data());
        }
        return Reply::of(w.data());
    };
    LoginOutcome o = scramLogin(spoof, "bob@Sales@Demo", "bob-pw");
    EXPECT_EQ(o.status, qrd::nm::kServerUnproven);
    EXPECT_TRUE(o.nonce.empty()) << "no nonce is taken from it";
    ASSERT_EQ(seen.size(), 2u);
    for (const std::vector<uint8_t>& d : seen)
        EXPECT_FALSE(contains(d, "bob-pw")) << "the password went on the wire";

    // Its proof is good for that exchange only: the real service refuses it.
    std::vector<uint8_t> captured(seen[1].begin() + 16, seen[1].end());
    Reply start =
        call(Call(qrd::nm::kLoginStart).str("bob@Sales@Demo").bytes(std::vector<uint8_t>(24)));
    ASSERT_TRUE(start.ok());
    uint32_t exchange = start.reader().u32();
    EXPECT_EQ(call(Call(qrd::nm::kLoginFinish).u32(exchange).bytes(captured)).code, 1020);
    // And the real service signs, so the real login goes on.
    EXPECT_EQ(tryLogin("bob@Sales@Demo", "bob-pw").status, 0);
}

// A name that is no user gets the answers a user gets: the same shape, the
// same count, a salt that does not change between tries, and 1020 at the
// end.
TEST_F(LoginAttack, UnknownUsersCannotBeToldFromWrongPasswords) {
    auto challenge = [&](const std::string& name) {
        Reply r = call(Call(qrd::nm::kLoginStart).str(name).bytes(std::vector<uint8_t>(24, 3)));
        EXPECT_TRUE(r.ok()) << name;
        return qrd::loginwire::decodeStartReply(r.results.data(), r.results.size());
    };
    auto known = challenge("bob@Sales@Demo"), unknown = challenge("nobody@Sales@Demo");
    ASSERT_TRUE(known && unknown);
    EXPECT_EQ(known->salt.size(), unknown->salt.size());
    EXPECT_EQ(known->iterations, unknown->iterations);
    EXPECT_EQ(challenge("nobody@Sales@Demo")->salt, unknown->salt);
    EXPECT_NE(challenge("nobody2@Sales@Demo")->salt, unknown->salt);
    EXPECT_EQ(tryLogin("nobody@Sales@Demo", "x").status, tryLogin("bob@Sales@Demo", "x").status);
    // Guessing at a name that is no user pauses like guessing at a user.
    for (uint32_t i = 0; i < LoginThrottle::kFreeFailures; ++i)
        tryLogin("nobody@Sales@Demo", "x");
    EXPECT_EQ(tryLogin("nobody@Sales@Demo", "x").status, 1021);
}

// Guesses from 127.0.0.2 pause logins from there only: the user logs in
// from its own workstation meanwhile.
TEST_F(LoginAttack, GuessesFromOnePlaceDoNotLockTheUserOutElsewhere) {
    source = kOtherSource;
    for (uint32_t i = 0; i < 3 * LoginThrottle::kFreeFailures; ++i) {
        tryLogin("bob@Sales@Demo", "guess");
        now += 1;
    }
    EXPECT_EQ(tryLogin("bob@Sales@Demo", "bob-pw").status, 1021) << "the guesser is paused";
    source = kOwnAddress;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tryLogin("bob@Sales@Demo", "bob-pw").status, 0) << "the user is not";
}

// A finished exchange cannot be finished again, nor from another address.
TEST_F(LoginAttack, AnExchangeIsFinishedOnceAndOnlyWhereItBegan) {
    Reply start =
        call(Call(qrd::nm::kLoginStart).str("bob@Sales@Demo").bytes(std::vector<uint8_t>(24)));
    ASSERT_TRUE(start.ok());
    const uint32_t exchange = start.reader().u32();
    source = kOtherSource;
    EXPECT_EQ(call(Call(qrd::nm::kLoginFinish).u32(exchange).bytes(std::vector<uint8_t>(32))).code,
              1020);
    source = kOwnAddress;
    EXPECT_EQ(call(Call(qrd::nm::kLoginFinish).u32(exchange).bytes(std::vector<uint8_t>(32))).code,
              1020);
    EXPECT_EQ(call(Call(qrd::nm::kLoginFinish).u32(exchange).bytes(std::vector<uint8_t>(32))).code,
              1020)
        << "used up";
}

TEST_F(LoginAttack, ANonceStartsSessionsOnlyFromItsWorkstationAndWithinItsRate) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    EXPECT_EQ(startFrom(kOtherSource, n), 1025) << "a copied nonce from elsewhere";
    for (uint32_t i = 0; i < NonceIssuer::kStartsPerMinute; ++i)
        ASSERT_EQ(startFrom(kOwnAddress, n), 0) << "start " << i;
    EXPECT_EQ(startFrom(kOwnAddress, n), 1025) << "a replay flood is cut off";
    now += 60;
    EXPECT_EQ(startFrom(kOwnAddress, n), 0) << "the next minute it serves again";
}

TEST_F(LoginAttack, ANonceReplayedAfterLogoutIsRefused) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    Nonce other = login("bob@Sales@Demo", "bob-pw");
    ASSERT_EQ(startFrom(kOwnAddress, n), 0);
    EXPECT_TRUE(call(Call(qrd::nm::kLogout).bytes(nonceBytes(n))).ok());
    EXPECT_EQ(startFrom(kOwnAddress, n), 1025);
    EXPECT_EQ(call(Call(qrd::nm::kLogout).bytes(nonceBytes(n))).code, 1025) << "already ended";
    EXPECT_EQ(startFrom(kOwnAddress, other), 0) << "another workstation's login goes on";
}

TEST_F(LoginAttack, APasswordChangeEndsOldNoncesAndSessions) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    std::vector<uint8_t> sid = startSession(n);
    ASSERT_TRUE(format(sid, kNameKindOrg, "Demo").ok());
    admin("user password bob@Sales@Demo", "new-pw");
    EXPECT_EQ(startFrom(kOwnAddress, n), 1025);
    EXPECT_EQ(format(sid, kNameKindOrg, "Demo").code, 1017) << "the open session ended too";
    EXPECT_EQ(tryLogin("bob@Sales@Demo", "bob-pw").status, 1020);
    EXPECT_EQ(tryLogin("bob@Sales@Demo", "new-pw").status, 0);
}

TEST_F(LoginAttack, AnAdministratorsLogoutEndsTheLiveSessionsToo) {
    std::vector<uint8_t> bob = sessionOf("bob@Sales@Demo", "bob-pw");
    std::vector<uint8_t> alice = sessionOf("alice@Sales@Demo", "alice-pw");
    admin("user logout bob@Sales@Demo");
    EXPECT_EQ(format(bob, kNameKindOrg, "Demo").code, 1017);
    EXPECT_TRUE(format(alice, kNameKindOrg, "Demo").ok()) << "other users go on";
    EXPECT_FALSE(sessionOf("bob@Sales@Demo", "bob-pw").empty()) << "a new login works";
}

TEST_F(LoginAttack, NonceChecksAnswerOnlyTheServersOfTheDirectory) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    source = kOutsider;
    EXPECT_EQ(call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n))).code, 1033);
    EXPECT_EQ(call(Call(qrd::nm::kNonceOwner).bytes(nonceBytes(n))).code, 1033);
    source = kOtherSource; // NW2@Support@Demo
    Reply valid = call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n)));
    ASSERT_TRUE(valid.ok());
    EXPECT_EQ(valid.reader().u16(), 1);
    EXPECT_TRUE(call(Call(qrd::nm::kNonceOwner).bytes(nonceBytes(n))).ok());
    // A server that names the workstation which presented the nonce learns
    // whether it is the one that logged in.
    Reply fromOwn = call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n)).u32(kOwnAddress));
    EXPECT_EQ(fromOwn.reader().u16(), 1);
    Reply fromElsewhere = call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n)).u32(kOutsider));
    EXPECT_EQ(fromElsewhere.reader().u16(), 0);
    EXPECT_EQ(call(Call(qrd::nm::kNonceOwner).bytes(nonceBytes(n)).u32(kOutsider)).code, 1025);
}

// A nonce of another server is checked there for the address that
// presented it here.
TEST_F(LoginAttack, AnotherServersNonceIsCheckedForTheWorkstationThatPresentsIt) {
    peer.user = "bob@Sales@Demo";
    Nonce foreign;
    foreign.word1 = serverIdOf("NW2@Support@Demo");
    foreign.word2 = 5;
    EXPECT_EQ(startFrom(kOutsider, foreign), 0);
    EXPECT_EQ(peer.askedWorkstation, kOutsider);
}

// A copy of the database holds no nonce: only keyed hashes, whose key
// lies elsewhere.
TEST_F(LoginAttack, StoredNoncesAreNotTheNonces) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    std::optional<NonceRecord> r = storage.findNonce(n.word2);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mac.size(), 32u);
    EXPECT_FALSE(contains(r->mac, std::string(n.opaque.begin(), n.opaque.end())));
    // A nonce made from the record alone (its words, any opaque bytes) fails.
    Nonce forged = n;
    forged.opaque = {};
    EXPECT_EQ(startFrom(kOwnAddress, forged), 1025);
}

} // namespace
} // namespace nwdtest
