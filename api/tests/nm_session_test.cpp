// Namewright sessions, the per-call wrapper and the service-bound name
// functions against a fake Namewright service on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "base/sockutil.h"
#include "frame/errortext_service.h"
#include "nm/search.h"
#include "nm/session.h"
#include "qrdapi.h"
#include "rpc/stubs.h"
#include "rpc_fake_server.h"

using namespace qrdtest;
using qrd::nm::callInSession;

namespace {

QRD_PORT wellKnown(uint16_t number) {
    QRD_PORT p;
    EXPECT_EQ(QrdCreateLocalWkp(number, &p), QRD_OK);
    qrd::putBe16(p.subnet, 1);
    return p;
}

QRD_PORT nullPort() {
    QRD_PORT p;
    std::memset(&p, 0xFF, sizeof p);
    return p;
}

Bytes str(const std::string& s) {
    Bytes b(2 + s.size() + (s.size() & 1), 0);
    qrd::putBe16(b.data(), uint16_t(s.size()));
    std::copy(s.begin(), s.end(), b.begin() + 2);
    return b;
}

// A Namewright service: revision 75000, sessions 1, 2, 3 ..., and per
// procedure overrides that return the reply datagrams (empty = no reply).
class FakeNamewright {
  public:
    using Override = std::function<std::vector<Bytes>(const Received&)>;

    explicit FakeNamewright(uint16_t wellKnownPort = 15, uint32_t revision = 75000)
        : server_(wellKnownPort), revision_(revision) {
        server_.onDatagram([this](const Received& r) { return answer(r); });
    }
    void on(uint16_t procedure, Override o) {
        std::lock_guard<std::mutex> lock(mu_);
        overrides_[procedure] = std::move(o);
    }
    size_t count(uint16_t procedure) const { return server_.calls(procedure).size(); }
    FakeServer& server() { return server_; }

  private:
    std::vector<Bytes> answer(const Received& r) {
        if (r.broadcast) return search(r);
        Override o;
        {
            std::lock_guard<std::mutex> lock(mu_);
            auto it = overrides_.find(r.procedure());
            if (it != overrides_.end()) o = it->second;
        }
        if (o) return o(r);
        switch (r.procedure()) {
        case 111:
            return {returnReply(be32(revision_))};
        case 28:
            return {returnReply(be32(++sessions_))};
        case 14:
            return {returnReply()};
        default:
            return {refusal(1099)};
        }
    }
    std::vector<Bytes> search(const Received& r) {
        qrd::BeReader q(r.data.data(), r.data.size());
        if (q.u16() != 4) return {};
        q.skip(8);
        const uint32_t lo = q.u32(), hi = q.u32();
        if (!q.ok() || revision_ < lo || revision_ > hi) return {};
        Bytes a(26, 0);
        qrd::putBe16(a.data(), 5);
        qrd::putBe16(a.data() + 2, 15);
        qrd::putBe16(a.data() + 4, uint16_t(revision_));
        qrd::putBe32(a.data() + 22, revision_);
        return {a};
    }

    FakeServer server_;
    uint32_t revision_;
    std::atomic<uint32_t> sessions_{0};
    std::mutex mu_;
    std::map<uint16_t, Override> overrides_; // guarded by mu_
};

// A login nonce, and neither a remembered port nor a revision.
void loggedInWithNothingRemembered() {
    QRD_NONCE n{{1, 2, 3, 4, 5, 6}, 0x01020304, 0x0A0B0C0D};
    ASSERT_EQ(QrdSetNonce(&n), QRD_OK);
    uint32_t zero = 0;
    QRD_PORT none = nullPort();
    QrdSetGlobalVar(QRD_GV_NM_REVISION, &zero, sizeof zero);
    QrdSetGlobalVar(QRD_GV_NM_PORT, &none, sizeof none);
}

class NmSession : public ::testing::Test {
  protected:
    void SetUp() override {
        loggedInWithNothingRemembered();
        port_ = wellKnown(15);
    }
    // A session started on the fake service's port.
    void start(QRD_NM_SESS& s) {
        QRD_PORT p = port_;
        ASSERT_EQ(QrdStartNmSession(&p, 1, nullptr, &s), QRD_OK);
    }
    FakeNamewright nw_;
    QRD_PORT port_;
};

TEST_F(NmSession, StartWithoutALoginGives1801) {
    QRD_NONCE none{};
    ASSERT_EQ(QrdSetNonce(&none), QRD_OK);
    QRD_NM_SESS s;
    EXPECT_EQ(QrdStartNmSession(nullptr, 1, nullptr, &s), QRDERR_NM_NOT_LOGGED_IN);
    EXPECT_EQ(s.active, 0);
    EXPECT_EQ(QrdStartNmSession(nullptr, 1, nullptr, nullptr), QRD_OK);
    EXPECT_TRUE(nw_.server().received().empty());
}

TEST_F(NmSession, StartOnAGivenPortSendsTheLoginNonce) {
    nw_.on(28, [](const Received&) { return std::vector<Bytes>{returnReply({9, 8, 7, 6})}; });
    QRD_NM_SESS s;
    start(s);
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(Bytes(s.id, s.id + 4), (Bytes{9, 8, 7, 6}));
    EXPECT_EQ(std::memcmp(&s.port, &port_, sizeof port_), 0);
    auto starts = nw_.server().calls(28);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args(), (Bytes{1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 10, 11, 12, 13}));
    EXPECT_EQ(nw_.count(111), 0u) << "a given port is not searched for";

    QrdEndNmSession(&s);
    EXPECT_EQ(s.active, 0);
    ASSERT_TRUE(nw_.server().waitFor(2));
    auto ends = nw_.server().calls(14);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].args(), (Bytes{9, 8, 7, 6}));
    QrdEndNmSession(&s); // not active: nothing is sent
    EXPECT_EQ(nw_.count(14), 1u);
}

TEST_F(NmSession, RefusedCredentialsAreReturnedWithoutRetry) {
    nw_.on(28, [](const Received&) { return std::vector<Bytes>{refusal(1025)}; });
    QRD_NM_SESS s;
    QRD_PORT p = nullPort();
    EXPECT_EQ(QrdStartNmSession(&p, 1, nullptr, &s), 1025);
    EXPECT_EQ(s.active, 0);
    EXPECT_EQ(nw_.count(28), 1u);
}

TEST_F(NmSession, StartAsksTheLocalServerAndReportsThePort) {
    QRD_NM_SESS s;
    QRD_PORT found = nullPort();
    ASSERT_EQ(QrdStartNmSession(&found, 1, nullptr, &s), QRD_OK);
    auto all = nw_.server().received();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].procedure(), 111);
    EXPECT_EQ(all[0].args(), be32(0));
    EXPECT_EQ(all[1].procedure(), 28);
    EXPECT_EQ(std::memcmp(&found, &port_, sizeof found), 0);
}

TEST_F(NmSession, RememberedPortIsUsedFromRevision70000) {
    FakeNamewright remembered(40);
    QRD_PORT p = wellKnown(40);
    uint32_t revision = 70000;
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_NM_PORT, &p, sizeof p), QRD_OK);
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision), QRD_OK);
    QRD_NM_SESS s;
    ASSERT_EQ(QrdStartNmSession(nullptr, 1, nullptr, &s), QRD_OK);
    EXPECT_EQ(remembered.count(28), 1u);
    EXPECT_TRUE(nw_.server().received().empty());

    // Below 70000 the remembered port is not trusted.
    revision = 69999;
    QrdSetGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision);
    ASSERT_EQ(QrdStartNmSession(nullptr, 1, nullptr, &s), QRD_OK);
    EXPECT_EQ(remembered.count(28), 1u);
    EXPECT_EQ(nw_.count(28), 1u);
}

TEST_F(NmSession, SearchesWhenTheLocalServerHasNoService) {
    nw_.on(111, [](const Received&) { return std::vector<Bytes>{refusal(1099)}; });
    QRD_NM_SESS s;
    ASSERT_EQ(QrdStartNmSession(nullptr, 1, nullptr, &s), QRD_OK);
    auto queries = nw_.server().broadcasts();
    ASSERT_GE(queries.size(), 2u);
    // The quick look (30000-89999), then the first search. Kind 4, 3, the
    // low halves, 0, both revisions, four empty criteria.
    EXPECT_EQ(queries[0].data, (Bytes{0, 4,    0,    3, 0x75, 0x30, 0x5F, 0x8F, 0, 0, 0,
                                      0, 0x75, 0x30, 0, 1,    0x5F, 0x8F, 0,    0, 0, 0}));
    EXPECT_EQ(queries[1].data, (Bytes{0, 4,    0,    3, 0x11, 0x70, 0x5F, 0x8F, 0, 0, 0,
                                      1, 0x11, 0x70, 0, 1,    0x5F, 0x8F, 0,    0, 0, 0}));
    EXPECT_EQ(nw_.count(28), 1u);
    EXPECT_EQ(s.active, 1);
}

TEST(NmSessionStart, NoServiceAnsweringIsReportedAfterTheQuickLook) {
    loggedInWithNothingRemembered();
    // A server outside every searched range, without the local service.
    FakeNamewright old(15, 20000);
    old.on(111, [](const Received&) { return std::vector<Bytes>{refusal(1099)}; });
    const int64_t started = qrd::monotonicMillis();
    QRD_NM_SESS s;
    EXPECT_EQ(QrdStartNmSession(nullptr, 1, nullptr, &s), QRDERR_TIMEOUT);
    EXPECT_LT(qrd::monotonicMillis() - started, 3000);
    EXPECT_EQ(old.server().broadcasts().size(), size_t(qrd::nm::kProbeBroadcasts));
    EXPECT_EQ(old.count(28), 0u);
}

TEST_F(NmSession, WrapperRestartsALostSessionOnceThenGivesUp) {
    QRD_NM_SESS s;
    start(s);
    int calls = 0;
    EXPECT_EQ(callInSession(0, &s,
                            [&](const QRD_PORT*, const uint8_t*) {
                                ++calls;
                                return QRDSTATUS(QRDERR_TIMEOUT);
                            }),
              QRDERR_TIMEOUT);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(s.active, 0);
    EXPECT_EQ(nw_.count(14), 2u) << "the session is ended after each failure";
    EXPECT_EQ(nw_.count(28), 2u);

    // The next call starts a new session.
    EXPECT_EQ(
        callInSession(0, &s, [&](const QRD_PORT*, const uint8_t*) { return QRDSTATUS(QRD_OK); }),
        QRD_OK);
    EXPECT_EQ(nw_.count(28), 3u);
    EXPECT_EQ(s.active, 1);
}

TEST_F(NmSession, WrapperStatusesThatDoNotRestart) {
    QRD_NM_SESS s;
    start(s);
    EXPECT_EQ(
        callInSession(
            1, &s, [](const QRD_PORT*, const uint8_t*) { return QRDSTATUS(QRDERR_NM_NO_SESSION); }),
        QRDERR_NM_SESSION_LOST)
        << "a lost enumeration cannot be resumed in a new session";
    EXPECT_EQ(nw_.count(14), 1u);
    EXPECT_EQ(nw_.count(28), 1u);

    int calls = 0;
    EXPECT_EQ(callInSession(0, &s,
                            [&](const QRD_PORT*, const uint8_t*) {
                                ++calls;
                                return QRDSTATUS(1002);
                            }),
              1002);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(callInSession(0, nullptr, [](const QRD_PORT*, const uint8_t*) { return 0; }),
              QRDERR_NM_NO_SESSION);
}

TEST_F(NmSession, FormatRestartsAForgottenSessionAndCanonicalises) {
    std::atomic<int> n{0};
    nw_.on(15, [&](const Received& r) {
        if (n++ == 0) return std::vector<Bytes>{refusal(1017)};
        // sid, kind 300, the name: answer it in capitals.
        qrd::BeReader q(r.data.data() + 12, r.data.size() - 12);
        q.skip(4);
        EXPECT_EQ(q.u16(), 300);
        std::string name;
        q.string(name, 63);
        for (char& c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return std::vector<Bytes>{returnReply(str(name + "@SALES@ACME"))};
    });
    QRD_NM_SESS s;
    start(s);
    char out[64];
    uint16_t len = sizeof out;
    ASSERT_EQ(QrdFormatSNmName(&s, "joe", out, &len), QRD_OK);
    EXPECT_STREQ(out, "JOE@SALES@ACME");
    EXPECT_EQ(len, 15);
    EXPECT_EQ(nw_.count(28), 2u);

    len = 5;
    EXPECT_EQ(QrdFormatSNmName(&s, "joe", out, &len), QRDERR_NM_BUFFER_SMALL);
    EXPECT_STREQ(out, "JOE@");
    EXPECT_EQ(len, 15);

    EXPECT_EQ(QrdFormatSNmName(&s, nullptr, out, &len), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdFormatSNmName(&s, std::string(64, 'a').c_str(), out, &len),
              QRDERR_NM_NAME_TOO_LONG);
    EXPECT_EQ(nw_.count(15), 3u);
}

TEST_F(NmSession, ImplicitSessionStartsOnceUnderConcurrentFirstUse) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    std::vector<QRD_NM_SESS*> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            if (QrdGetImplicitNmSession(&seen[i]) != QRD_OK) ++failures;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(nw_.count(28), 1u);
    for (QRD_NM_SESS* p : seen)
        EXPECT_EQ(p, seen[0]);
    EXPECT_EQ(seen[0]->charset, 1);
    EXPECT_EQ(QrdGetImplicitNmSession(nullptr), QRD_OK);
}

TEST_F(NmSession, ServerPortsRevisionsAndErrorTexts) {
    nw_.on(26, [](const Received& r) {
        QRD_PORT p = wellKnown(0);
        EXPECT_EQ(Bytes(r.data.begin() + 16, r.data.end()), str("SRV1@ACME"));
        return std::vector<Bytes>{returnReply(
            Bytes(reinterpret_cast<uint8_t*>(&p), reinterpret_cast<uint8_t*>(&p) + 16))};
    });
    nw_.on(65, [](const Received&) {
        Bytes r = be32(75123);
        r.resize(8, 0);
        return std::vector<Bytes>{returnReply(r)};
    });
    nw_.on(255, [](const Received& r) {
        if (r.args() == Bytes{0x07, 0xF8}) return std::vector<Bytes>{refusal(5001)};
        return std::vector<Bytes>{returnReply(str(std::string(200, 't')))};
    });
    QRD_NM_SESS s;
    start(s);
    QRD_PORT out;
    ASSERT_EQ(QrdCreateSSvrWkp(&s, "SRV1@ACME", 0x10F, &out), QRD_OK);
    EXPECT_EQ(out.port[0], 1);
    EXPECT_EQ(out.port[1], 0x0F);

    uint32_t revision = 0;
    ASSERT_EQ(QrdGetSvrLRev(&port_, &revision), QRD_OK);
    EXPECT_EQ(revision, 75123u);

    char text[QRD_ERRTEXT_LEN];
    ASSERT_EQ(qrd::serviceErrorText(&port_, 1002, text), QRD_OK);
    EXPECT_EQ(std::string(text), std::string(127, 't')) << "a long text is cut, not refused";
    EXPECT_EQ(qrd::serviceErrorText(&port_, 2040, text), 5001);
}

TEST_F(NmSession, UserNameAndNonceComeFromTheWorkstation) {
    const char name[] = "joe@sales@acme";
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, name, sizeof name), QRD_OK);
    char out[64];
    ASSERT_EQ(QrdGetUserName(out), QRD_OK);
    EXPECT_STREQ(out, name);

    QRD_NONCE n{};
    ASSERT_EQ(QrdGetNonce(&n), QRD_OK);
    const uint32_t word1 = n.word1, word2 = n.word2; // packed: read through copies
    EXPECT_EQ(word1, 0x01020304u);
    EXPECT_EQ(word2, 0x0A0B0C0Du);
}

TEST(NmDriveMapping, ServiceNameAndRootOfAMappedDrive) {
    appendQordaIni("[DriveMappings]\nF=FILESVC@GROUP@ORG,share\\docs,/tmp\n");
    QrdDone(); // the device reads the table when it opens
    char fs[64], root[QRD_ROOT_LEN];
    ASSERT_EQ(QrdGetDriveMapping(6, fs, root), QRD_OK);
    EXPECT_STREQ(fs, "FILESVC@GROUP@ORG");
    EXPECT_STREQ(root, "share\\docs");
    EXPECT_NE(QrdGetDriveMapping(7, fs, root), QRD_OK);
    EXPECT_EQ(QrdGetDriveMapping(0, fs, root), QRDERR_BAD_ARG);
}

} // namespace
