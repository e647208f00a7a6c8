// The procedures of the daemon, datagram in and datagram out, without sockets.
#include <gtest/gtest.h>

#include <random>

#include "nwd_fixture.h"
#include "search.h"

using namespace nwd;
using nwdtest::Call;
using nwdtest::Reply;

namespace {

using nwdtest::HandlerTest;
using nwdtest::kOwnAddress;

TEST_F(HandlerTest, RevisionProceduresAnswerTheConfiguredRevision) {
    Reply r = call(Call(qrd::nm::kRevision).u32(0));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.reader().u32(), 71000u);
    // The argument of 111 carries nothing; a bare call is answered too.
    EXPECT_TRUE(call(Call(qrd::nm::kRevision)).ok());
    Reply lr = call(Call(qrd::nm::kLongRevision));
    ASSERT_EQ(lr.results.size(), 8u);
    qrd::BeReader rd = lr.reader();
    EXPECT_EQ(rd.u32(), 71000u);
    EXPECT_EQ(rd.u32(), 0u);
}

TEST_F(HandlerTest, LoginGivesANonceOfThisServerAndTheCanonicalName) {
    std::string canonical;
    Nonce n = login("ALICE@sales@DEMO", "alice-pw", &canonical);
    EXPECT_EQ(canonical, "alice@Sales@Demo");
    EXPECT_EQ(n.word1, serverIdOf("NW1@Sales@Demo"));
    EXPECT_NE(n.word2, 0u);
    // A nickname logs in its user; Latin-1 names fold case within Latin-1.
    login("ALI@Sales@Demo", "alice-pw", &canonical);
    EXPECT_EQ(canonical, "alice@Sales@Demo");
    login("JOS\xC9@support@demo", "jos\xE9-pw", &canonical);
    EXPECT_EQ(canonical, "jos\xE9@Support@Demo");
    // Two logins never share a nonce.
    Nonce a = login("bob@Sales@Demo", "bob-pw"), b = login("bob@Sales@Demo", "bob-pw");
    EXPECT_NE(a.word2, b.word2);
}

TEST_F(HandlerTest, LoginRefusesUnknownUsersWrongPasswordsAndNonUsersAlike) {
    // Names that are no user answer as a wrong password does.
    for (const char* name :
         {"nobody@Sales@Demo", "alice@Nowhere@Demo", "FILES@Sales@Demo", "Team@Sales@Demo"})
        EXPECT_EQ(tryLogin(name, "x").status, 1020) << name;
    EXPECT_EQ(tryLogin("alice@Sales@Demo", "bob-pw").status, 1020);
    EXPECT_EQ(tryLogin("alice", "alice-pw").status, 1001);
    EXPECT_EQ(tryLogin("a*@Sales@Demo", "x").status, 1001);
    // The password travels nowhere: the old password check is gone.
    EXPECT_EQ(call(Call(qrd::nm::kPasswordLogin).str("alice@Sales@Demo").str("alice-pw")).code,
              1099);
    // A name beyond the field's 63 bytes does not decode.
    EXPECT_EQ(
        call(Call(qrd::nm::kLoginStart).str(std::string(64, 'a')).bytes(std::vector<uint8_t>(24)))
            .code,
        1068);
}

TEST_F(HandlerTest, SessionsAreBoundToTheUserOfTheNonce) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    std::vector<uint8_t> sid = startSession(n);
    ASSERT_EQ(sid.size(), 4u);
    // bob manages FILES: his session may set its port; josé's may not; alice
    // is an administrator and may set any.
    std::vector<uint8_t> port(16, 0x11);
    EXPECT_TRUE(
        call(Call(qrd::nm::kSetServicePort).bytes(sid).str("FILES@Sales@Demo").u16(1).bytes(port))
            .ok());
    std::vector<uint8_t> jose = sessionOf("jos\xE9@Support@Demo", "jos\xE9-pw");
    EXPECT_EQ(
        call(Call(qrd::nm::kSetServicePort).bytes(jose).str("FILES@Sales@Demo").u16(1).bytes(port))
            .code,
        1033);
    std::vector<uint8_t> alice = sessionOf("alice@Sales@Demo", "alice-pw");
    EXPECT_TRUE(call(Call(qrd::nm::kSetServicePort)
                         .bytes(alice)
                         .str("PRINT@Support@Demo")
                         .u16(2)
                         .bytes(port))
                    .ok());
    EXPECT_EQ(
        call(Call(qrd::nm::kSetServicePort).bytes(sid).str("PRINT@Support@Demo").u16(2).bytes(port))
            .code,
        1033);
}

TEST_F(HandlerTest, StartSessionRefusesNoncesThatWereNotIssuedOrNoLongerHonoured) {
    Nonce good = login("alice@Sales@Demo", "alice-pw");
    uint16_t code = 0;

    Nonce forged = good;
    forged.opaque[5] ^= 1;
    EXPECT_TRUE(startSession(forged, &code).empty());
    EXPECT_EQ(code, 1025);

    Nonce otherSerial = good;
    otherSerial.word2 += 100;
    startSession(otherSerial, &code);
    EXPECT_EQ(code, 1025);

    Nonce nobody{};
    startSession(nobody, &code);
    EXPECT_EQ(code, 1025);

    Nonce unknownIssuer = good;
    unknownIssuer.word1 = 12345;
    startSession(unknownIssuer, &code);
    EXPECT_EQ(code, 1025);
    EXPECT_EQ(peer.calls, 0) << "only servers of the directory are asked";

    EXPECT_FALSE(startSession(good).empty());
    now += 3601; // past the lifetime
    startSession(good, &code);
    EXPECT_EQ(code, 1025);
}

TEST_F(HandlerTest, OnlyTheNewestNoncesOfAUserAreKept) {
    Nonce first = login("bob@Sales@Demo", "bob-pw");
    for (int i = 0; i < 4; ++i)
        login("bob@Sales@Demo", "bob-pw");
    uint16_t code = 0;
    startSession(first, &code);
    EXPECT_EQ(code, 1025) << "the fifth login pushes out the first nonce";
    // Other users' nonces are untouched by bob's logins.
    Nonce alice = login("alice@Sales@Demo", "alice-pw");
    for (int i = 0; i < 4; ++i)
        login("bob@Sales@Demo", "bob-pw");
    EXPECT_FALSE(startSession(alice).empty());
}

TEST_F(HandlerTest, RemovingAUserEndsTheHonourOfItsNonces) {
    Nonce n = login("bob@Sales@Demo", "bob-pw");
    Directory dir(storage);
    storage.removeEntry(dir.resolve("bob@Sales@Demo", kNameKindObject).entry.id);
    uint16_t code = 0;
    startSession(n, &code);
    EXPECT_EQ(code, 1025);
}

TEST_F(HandlerTest, ANonceOfAnotherServerIsCheckedWithItsIssuer) {
    Nonce foreign{};
    foreign.opaque = {1, 2, 3, 4, 5, 6};
    foreign.word1 = serverIdOf("NW2@Support@Demo");
    foreign.word2 = 7;

    peer.user = "JOS\xC9@Support@Demo";
    std::vector<uint8_t> sid = startSession(foreign);
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(peer.calls, 1);
    EXPECT_EQ(peer.askedAddress, 0x7F000002u);
    // The session belongs to the issuer's user: format works in it.
    EXPECT_TRUE(format(sid, kNameKindGroup, "support@demo").ok());

    uint16_t code = 0;
    peer.status = 1025;
    startSession(foreign, &code);
    EXPECT_EQ(code, 1025);
    // An issuer that does not answer is not a refusal of the credential.
    peer.status = 163;
    startSession(foreign, &code);
    EXPECT_EQ(code, 155);
}

TEST_F(HandlerTest, VerifyAndOwnerAnswerForThisServersNoncesOnly) {
    Nonce n = login("alice@Sales@Demo", "alice-pw");
    Reply v = call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n)));
    ASSERT_TRUE(v.ok());
    EXPECT_EQ(v.reader().u16(), 1);
    Reply o = call(Call(qrd::nm::kNonceOwner).bytes(nonceBytes(n)));
    ASSERT_TRUE(o.ok());
    EXPECT_EQ(text(o), "alice@Sales@Demo");

    n.opaque[0] ^= 0x80;
    EXPECT_EQ(call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n))).reader().u16(), 0);
    EXPECT_EQ(call(Call(qrd::nm::kNonceOwner).bytes(nonceBytes(n))).code, 1025);
    // A nonce in another server's name is never vouched for here.
    n.opaque[0] ^= 0x80;
    n.word1 = serverIdOf("NW2@Support@Demo");
    EXPECT_EQ(call(Call(qrd::nm::kVerifyNonce).bytes(nonceBytes(n))).reader().u16(), 0);
}

TEST_F(HandlerTest, EndSessionEndsItOnce) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    Reply r = call(Call(qrd::nm::kEndSession).bytes(sid));
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.results.empty());
    EXPECT_EQ(call(Call(qrd::nm::kEndSession).bytes(sid)).code, 1017);
    EXPECT_EQ(format(sid, kNameKindOrg, "demo").code, 1017);
}

TEST_F(HandlerTest, FormatGivesTheStoredSpellingOrTheStatusOfWhatIsMissing) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    EXPECT_EQ(text(format(sid, kNameKindOrg, "DEMO")), "Demo");
    EXPECT_EQ(text(format(sid, kNameKindGroup, "sales@demo")), "Sales@Demo");
    EXPECT_EQ(text(format(sid, kNameKindObject, "BOB@SALES@DEMO")), "bob@Sales@Demo");
    EXPECT_EQ(text(format(sid, kNameKindObject, "team@sales@demo")), "Team@Sales@Demo");
    EXPECT_EQ(text(format(sid, kNameKindObject, "jos\xC9@SUPPORT@demo")), "jos\xE9@Support@Demo");
    // A nickname is formatted as the object it stands for.
    EXPECT_EQ(text(format(sid, kNameKindObject, "Ali@Sales@Demo")), "alice@Sales@Demo");

    EXPECT_EQ(format(sid, kNameKindOrg, "Nowhere").code, 1011);
    EXPECT_EQ(format(sid, kNameKindGroup, "Nowhere@Demo").code, 1009);
    EXPECT_EQ(format(sid, kNameKindGroup, "Sales@Nowhere").code, 1011);
    EXPECT_EQ(format(sid, kNameKindObject, "carl@Sales@Demo").code, 1002);
    // The parts must match the kind; the client completes names, not the service.
    EXPECT_EQ(format(sid, kNameKindObject, "bob").code, 1001);
    // A well-formed name of another level is not a group or organisation:
    // the desktop tells group names from user names by 1009.
    EXPECT_EQ(format(sid, kNameKindGroup, "bob@Sales@Demo").code, 1009);
    EXPECT_EQ(format(sid, kNameKindGroup, "Demo").code, 1009);
    EXPECT_EQ(format(sid, kNameKindOrg, "Sales@Demo").code, 1011);
    EXPECT_EQ(format(sid, kNameKindGroup, "b*b@Demo").code, 1001);
    EXPECT_EQ(format(sid, kNameKindObject, "bob@@Demo").code, 1001);
    EXPECT_EQ(format(sid, kNameKindObject, "b*b@Sales@Demo").code, 1001);
    EXPECT_EQ(format(sid, kNameKindObject, "a@b@c@d").code, 1001);
    EXPECT_EQ(format(sid, 7, "Demo").code, 1068);
}

TEST_F(HandlerTest, ServerPortIsTheNativePortOfTheServer) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    Reply r = call(Call(qrd::nm::kServerPort).bytes(sid).str("nw2@support@demo"));
    ASSERT_TRUE(r.ok());
    const std::vector<uint8_t> want = {0, 3, 127, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(r.results, want);
    // This server answers for itself even when the directory does not list it.
    Directory dir(storage);
    storage.removeEntry(dir.resolve("NW1@Sales@Demo", kNameKindObject).entry.id);
    r = call(Call(qrd::nm::kServerPort).bytes(sid).str("NW1@SALES@DEMO"));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.results[5], 1);
    EXPECT_EQ(call(Call(qrd::nm::kServerPort).bytes(sid).str("bob@Sales@Demo")).code, 1002);
    EXPECT_EQ(call(Call(qrd::nm::kServerPort).bytes(sid).str("NW9@Sales@Demo")).code, 1002);
    EXPECT_EQ(call(Call(qrd::nm::kServerPort).bytes(sid).str("NW9@Nowhere@Demo")).code, 1002);
}

TEST_F(HandlerTest, ServicePortsAreStoredPerKindAndReadBack) {
    std::vector<uint8_t> sid = sessionOf("alice@Sales@Demo", "alice-pw");
    auto read = [&](const std::string& svc, uint16_t which) {
        return call(Call(qrd::nm::kReadServicePort).bytes(sid).str(svc).u16(which));
    };
    EXPECT_EQ(read("FILES@Sales@Demo", 1).code, 1013) << "never set";
    std::vector<uint8_t> rpc(16), spp(16);
    for (int i = 0; i < 16; ++i) {
        rpc[i] = uint8_t(i);
        spp[i] = uint8_t(0xF0 + i);
    }
    ASSERT_TRUE(
        call(Call(qrd::nm::kSetServicePort).bytes(sid).str("files@sales@demo").u16(1).bytes(rpc))
            .ok());
    ASSERT_TRUE(
        call(Call(qrd::nm::kSetServicePort).bytes(sid).str("FILES@Sales@Demo").u16(2).bytes(spp))
            .ok());
    EXPECT_EQ(read("FILES@Sales@Demo", 1).results, rpc);
    EXPECT_EQ(read("FILES@Sales@Demo", 2).results, spp);
    EXPECT_EQ(read("FILES@Sales@Demo", 3).code, 1068);
    EXPECT_EQ(read("bob@Sales@Demo", 1).code, 1002) << "not a service";
    EXPECT_EQ(read("NONE@Sales@Demo", 1).code, 1002);
    EXPECT_EQ(
        call(Call(qrd::nm::kSetServicePort).bytes(sid).str("FILES@Sales@Demo").u16(0).bytes(rpc))
            .code,
        1068);
    // A port cut short does not decode.
    EXPECT_EQ(call(Call(qrd::nm::kSetServicePort)
                       .bytes(sid)
                       .str("FILES@Sales@Demo")
                       .u16(1)
                       .bytes(std::vector<uint8_t>(15)))
                  .code,
              1068);
}

TEST_F(HandlerTest, ErrorTextsComeFromOurTable) {
    Reply r = call(Call(qrd::nm::kErrorText).u16(1002));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(text(r), "No such object");
    EXPECT_EQ(call(Call(qrd::nm::kErrorText).u16(1500)).code, 5029);
    EXPECT_EQ(call(Call(qrd::nm::kErrorText).u16(7)).code, 5001);
    EXPECT_EQ(call(Call(qrd::nm::kErrorText).u16(2033)).code, 5001);
    EXPECT_EQ(call(Call(qrd::nm::kErrorText)).code, 1068);
}

TEST_F(HandlerTest, MalformedDatagramsAreRefusedOrIgnoredNeverTrusted) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    // Too short to say what it is: no reply.
    EXPECT_FALSE(raw({}).has_value());
    EXPECT_FALSE(raw({0}).has_value());
    // A call whose header is cut short.
    Handler::Reply r = raw({0, 0, 0, 0, 0, 0, 0, 1, 0});
    ASSERT_TRUE(r);
    EXPECT_EQ(Reply::of(*r).code, 1068);
    // Replies and answers that reach the service are never answered.
    EXPECT_FALSE(raw({0, 2, 0, 0, 0, 0, 0, 0x6F}).has_value());
    EXPECT_FALSE(raw({0, 1, 0, 0, 4, 0x11}).has_value());
    EXPECT_FALSE(raw({0, 7, 1, 2, 3}).has_value());
    // Unknown procedures and versions.
    EXPECT_EQ(call(Call(999)).code, 1099);
    EXPECT_EQ(call(Call(44)).code, 1099);
    EXPECT_EQ(call(Call(qrd::nm::kRevision, 2)).code, 1099);
    // A string length beyond the datagram, and beyond the field's capacity.
    Call longer(qrd::nm::kFormatName);
    longer.bytes(sid).u16(300).u16(40).bytes({'a', 'b'});
    EXPECT_EQ(call(longer).code, 1068);
    EXPECT_EQ(format(sid, kNameKindObject, std::string(64, 'a')).code, 1068);
    // Session-bound procedures without or with an unknown session.
    EXPECT_EQ(call(Call(qrd::nm::kFormatName).bytes({1, 2})).code, 1068);
    EXPECT_EQ(call(Call(qrd::nm::kFormatName).bytes({9, 9, 9, 9}).u16(100).str("Demo")).code, 1017);
    EXPECT_EQ(call(Call(qrd::nm::kServerPort).bytes({0, 0, 0, 0}).str("NW1@Sales@Demo")).code,
              1017);
    // Nonces cut short.
    EXPECT_EQ(call(Call(qrd::nm::kStartSession).bytes({1, 2, 3, 4, 5, 6, 0, 0, 0, 1})).code, 1068);
    EXPECT_EQ(call(Call(qrd::nm::kVerifyNonce)).code, 1068);
}

TEST_F(HandlerTest, MutatedDatagramsGetWellFormedAnswers) {
    std::vector<uint8_t> sid = sessionOf("alice@Sales@Demo", "alice-pw");
    std::vector<std::vector<uint8_t>> seeds = {
        Call(qrd::nm::kFormatName).bytes(sid).u16(300).str("alice@Sales@Demo").data(),
        Call(qrd::nm::kLoginStart).str("bob@Sales@Demo").bytes(std::vector<uint8_t>(24, 7)).data(),
        Call(qrd::nm::kLoginFinish).u32(1).bytes(std::vector<uint8_t>(32, 7)).data(),
        Call(qrd::nm::kLogout).bytes(std::vector<uint8_t>(14, 7)).data(),
        Call(qrd::nm::kSetServicePort)
            .bytes(sid)
            .str("FILES@Sales@Demo")
            .u16(1)
            .bytes(std::vector<uint8_t>(16, 1))
            .data(),
        Call(qrd::nm::kErrorText).u16(1017).data(),
        Call(qrd::nm::kStartSession).bytes(nonceBytes(login("bob@Sales@Demo", "bob-pw"))).data(),
    };
    std::mt19937 rng(20261207);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> d = seeds[rng() % seeds.size()];
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 3) {
            case 0:
                d[rng() % d.size()] = uint8_t(rng());
                break;
            case 1:
                d.resize(rng() % (d.size() + 1));
                break;
            default:
                d.push_back(uint8_t(rng()));
                break;
            }
            if (d.empty()) d.push_back(0);
        }
        Handler::Reply r = raw(d);
        if (!r) continue;
        ASSERT_GE(r->size(), 4u);
        uint16_t type = qrd::getBe16(r->data());
        if (type == qrd::nm::kRefused) {
            ASSERT_EQ(r->size(), 6u);
        } else {
            ASSERT_TRUE(type == qrd::nm::kReturn || type == qrd::nm::kAnswerKind)
                << "reply type " << type;
        }
    }
}

TEST_F(HandlerTest, AStorageFailureIsRefusedWith1012AndTheServiceGoesOn) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    storage.broken = true;
    EXPECT_EQ(format(sid, kNameKindOrg, "Demo").code, 1012);
    EXPECT_EQ(tryLogin("bob@Sales@Demo", "bob-pw").status, 1012);
    storage.broken = false;
    EXPECT_TRUE(format(sid, kNameKindOrg, "Demo").ok());
}

TEST_F(HandlerTest, MessagesAreStoredForTheRecipientWithoutAReply) {
    ASSERT_FALSE(sessionOf("bob@Sales@Demo", "bob-pw").empty()); // the sender's
    Directory dir(storage);
    int64_t alice = dir.resolve("alice@Sales@Demo", kNameKindObject).entry.id;
    std::vector<uint8_t> msg = Call(qrd::nm::kProcUserMessage)
                                   .str("bob@Sales@Demo")
                                   .u16(1)
                                   .str("ALI@sales@demo")
                                   .str("lunch?")
                                   .data();
    EXPECT_FALSE(raw(msg, ServiceKind::Message).has_value());
    std::vector<MessageRecord> got = storage.messages(alice);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sender, "bob@Sales@Demo");
    EXPECT_EQ(got[0].text, "lunch?");
    EXPECT_EQ(got[0].received, now);

    // Unknown recipients, counts beyond capacity and cut datagrams store nothing.
    raw(Call(8).str("bob@Sales@Demo").u16(1).str("nobody@Sales@Demo").str("x").data(),
        ServiceKind::Message);
    raw(Call(8).str("bob@Sales@Demo").u16(17).str("alice@Sales@Demo").str("x").data(),
        ServiceKind::Message);
    raw(Call(8).str("bob@Sales@Demo").u16(2).str("alice@Sales@Demo").str("x").data(),
        ServiceKind::Message);
    raw(Call(8)
            .str("bob@Sales@Demo")
            .u16(1)
            .str("alice@Sales@Demo")
            .str(std::string(81, 'x'))
            .data(),
        ServiceKind::Message);
    EXPECT_EQ(storage.messages(alice).size(), 1u);
    // Procedure 8 of the Namewright service is another procedure.
    EXPECT_EQ(call(Call(8).str("bob@Sales@Demo").u16(1).str("alice@Sales@Demo").str("x")).code,
              1099);
    // The message service answers nothing, whatever it gets (the second
    // datagram is a call cut short that a fuzzer found answered).
    EXPECT_FALSE(raw(Call(qrd::nm::kRevision).data(), ServiceKind::Message).has_value());
    EXPECT_FALSE(raw({0, 0, 0, 0, 0, 0, 0}, ServiceKind::Message).has_value());
}

std::vector<uint8_t> query(uint32_t minRev, uint32_t maxRev, uint16_t kind = 4) {
    qrd::BeWriter w;
    w.u16(kind);
    w.u16(3);
    w.u16(uint16_t(minRev));
    w.u16(uint16_t(maxRev));
    w.u16(0);
    w.u32(minRev);
    w.u32(maxRev);
    for (int i = 0; i < 4; ++i)
        w.u8(0);
    return w.data();
}

TEST_F(HandlerTest, SearchesAreAnsweredWithinTheRevisionRange) {
    Handler::Reply a = raw(query(70000, 89999));
    ASSERT_TRUE(a);
    ASSERT_EQ(a->size(), 26u);
    qrd::BeReader rd(a->data(), a->size());
    EXPECT_EQ(rd.u16(), 5);
    EXPECT_EQ(rd.u16(), 15);
    EXPECT_EQ(rd.u16(), uint16_t(71000));
    PortRecord port;
    rd.bytes(port.data(), 16);
    EXPECT_EQ(port, nativeServerPort(kOwnAddress));
    EXPECT_EQ(rd.u32(), 71000u);

    EXPECT_FALSE(raw(query(71001, 89999)));
    EXPECT_FALSE(raw(query(30000, 70999)));
    EXPECT_FALSE(raw(query(70000, 89999, 6)));
    // The native message socket was not configured with a port: no answer.
    EXPECT_FALSE(raw(query(70000, 89999), ServiceKind::Message));
    // Criteria that run past the datagram.
    std::vector<uint8_t> cut = query(70000, 89999);
    cut[18] = 5;
    EXPECT_FALSE(raw(cut));

    // Internet road: no prefix for 15, a prefix for any other service.
    Handler::Reply ip = raw(query(30000, 89999), ServiceKind::Namewright, Road::Internet);
    ASSERT_TRUE(ip);
    PortRecord ipPort = internetPort(kOwnAddress, 9015);
    EXPECT_EQ(std::vector<uint8_t>(ip->begin() + 6, ip->begin() + 22),
              std::vector<uint8_t>(ipPort.begin(), ipPort.end()));
    std::vector<uint8_t> prefixed = {0, 11, 0, 19};
    std::vector<uint8_t> q = query(30000, 89999);
    prefixed.insert(prefixed.end(), q.begin(), q.end());
    Handler::Reply msg = raw(prefixed, ServiceKind::Namewright, Road::Internet);
    ASSERT_TRUE(msg);
    EXPECT_EQ(qrd::getBe16(msg->data() + 2), 19);
    EXPECT_EQ(qrd::getBe16(msg->data() + 8), 9019);
    prefixed[3] = 22;
    EXPECT_FALSE(raw(prefixed, ServiceKind::Namewright, Road::Internet)) << "a service we lack";
}

} // namespace

TEST_F(HandlerTest, WrongPasswordsPauseTheUsersLoginsFromThatPlace) {
    auto attempt = [&](const char* password) {
        return tryLogin("bob@Sales@Demo", password).status;
    };
    for (uint32_t i = 0; i < LoginThrottle::kFreeFailures; ++i)
        EXPECT_EQ(attempt("guess"), 1020) << "attempt " << i;
    // Paused: even the right password is not checked now, and other users
    // are not affected.
    EXPECT_EQ(attempt("bob-pw"), 1021);
    EXPECT_EQ(tryLogin("alice@Sales@Demo", "alice-pw").status, 0);
    now += 1;
    EXPECT_EQ(attempt("guess"), 1020); // the pause doubles after each further failure
    EXPECT_EQ(attempt("bob-pw"), 1021);
    now += 2;
    EXPECT_EQ(attempt("bob-pw"), 0); // a success clears the record
    EXPECT_EQ(attempt("guess"), 1020);
    EXPECT_EQ(attempt("bob-pw"), 0);
}

// Every procedure that works within a session refuses an ended one before
// it looks at its other arguments, and a session id cut short as malformed.
TEST_F(HandlerTest, SessionBoundProceduresRefuseEndedAndCutSessions) {
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
    ASSERT_TRUE(call(Call(qrd::nm::kEndSession).bytes(sid)).ok());
    const uint16_t procedures[] = {
        qrd::nm::kReadAssoc,      qrd::nm::kWriteAssoc,      qrd::nm::kListNames,
        qrd::nm::kMembership,     qrd::nm::kListMembers,     qrd::nm::kFormatName,
        qrd::nm::kSetServicePort, qrd::nm::kReadServicePort, qrd::nm::kServerPort,
        qrd::nm::kReadAttr,       qrd::nm::kWriteAttr,       qrd::nm::kDeleteAttr,
        qrd::nm::kAttrInfo,       qrd::nm::kScanAttr};
    for (uint16_t p : procedures) {
        SCOPED_TRACE(p);
        EXPECT_EQ(call(Call(p).bytes(sid).str("bob@Sales@Demo").u16(0)).code, 1017);
        EXPECT_EQ(call(Call(p).bytes({sid[0], sid[1]})).code, 1068);
    }
}
