// The NMDA client against a fake service that answers what the test
// crafts: the locate datagram and its closing one, replies that lie about
// their counts and lengths, the character codes of a session.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "qrd/nmdawire.h"
#include "qrdapi.h"
#include "rpc_fake_server.h"
#include "transport_testutil.h"

using qrdtest::Bytes;
using qrdtest::FakeServer;
using qrdtest::Received;
using transporttest::commStackIni;
using transporttest::ScopedQordaIni;
namespace nw = qrd::nmdawire;

namespace {

Bytes locateAnswer() {
    nw::Locate a;
    a.op = nw::kLocateAnswer;
    a.word = nw::kRevision;
    a.user = "NMDA-FAKE@Sales@Demo";
    a.pattern = "FAKE";
    const auto d = nw::encodeLocate(a);
    return Bytes(d.begin(), d.end());
}

class NmdaClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QRD_NONCE nonce{};
        nonce.word1 = 0x1234;
        nonce.word2 = 7;
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
        char user[NMNAMELEN] = "bob@Sales@Demo";
        ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, user, NMNAMELEN), 0);
        server.onDatagram([this](const Received& r) -> std::vector<Bytes> {
            if (!r.data.empty() && r.data[0] == nw::kLocateTag) {
                if (r.data.size() == nw::kLocateSize && r.data[1] == nw::kLocateAsk)
                    return {locateAnswer()};
                return {};
            }
            std::lock_guard<std::mutex> l(mu);
            return {reply};
        });
        uint16_t family = QRD_FAMILY_NATIVE, subnet = 1, number = QRD_NMDA_WKP;
        uint32_t network = 0x7F000001;
        QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &port);
        ASSERT_EQ(QrdStartNmdaSession(&port, &handle), 0);
    }
    void TearDown() override { QrdEndNmdaSession(handle); }

    void answer(const Bytes& results) {
        std::lock_guard<std::mutex> l(mu);
        reply = qrdtest::returnReply(results);
    }
    void answerData(const nw::DataReply& m) {
        Bytes b;
        nw::encode(m, b);
        answer(b);
    }
    void answerAttr(const nw::AttrReply& m) {
        Bytes b;
        nw::encode(m, b);
        answer(b);
    }
    QRDSTATUS data(QRD_NMDA_QUERY& q, QRD_NMDA_RESULT& r) {
        QRD_NMDA_CONTEXT ctx{};
        ctx.operation = QRD_NMDA_OP_FIRST;
        ctx.pageSize = QRD_NMDA_PAGE;
        return QrdGetNmdaData(handle, &ctx, &q, nullptr, &r);
    }
    // The data request the service got last.
    nw::DataRequest lastRequest() {
        std::vector<Received> calls = server.calls(nw::kProcQuery);
        EXPECT_FALSE(calls.empty());
        Bytes args = calls.back().args();
        std::optional<nw::DataRequest> rq = nw::decodeDataRequest(args.data(), args.size());
        EXPECT_TRUE(rq);
        return rq ? *rq : nw::DataRequest{};
    }

    FakeServer server{QRD_NMDA_WKP};
    std::mutex mu;
    Bytes reply; // guarded by mu
    QRD_PORT port{};
    QRD_NMDA_HANDLE handle = nullptr;
};

nw::DataReply entries(size_t n, const std::string& name = "bob@Sales@Demo") {
    nw::DataReply m;
    for (size_t i = 0; i < n; ++i)
        m.entries.push_back({name, nw::kEntryFound, 0, nw::kValueText, "Bob"});
    return m;
}

TEST_F(NmdaClientTest, TheSessionProbeLocatesAndThenSaysGoodbye) {
    ASSERT_TRUE(server.waitFor(2));
    std::vector<Received> got = server.received();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0].data.size(), nw::kLocateSize);
    EXPECT_EQ(got[0].data[1], nw::kLocateAsk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&got[0].data[nw::kUserAt])),
              "bob@Sales@Demo");
    EXPECT_EQ(got[1].data[1], nw::kLocateClose);
    QRD_NMDA_SESSION block{};
    ASSERT_EQ(QrdGetNmdaSession(handle, &block), 0);
    const uint32_t word1 = block.nonce.word1; // a packed field: copied, not bound
    EXPECT_EQ(word1, 0x1234u);
}

TEST_F(NmdaClientTest, RepliesThatLieAboutTheirCountsOrLengthsAreRefused) {
    QRD_NMDA_QUERY q{};
    QRD_NMDA_RESULT r{};
    answerData(entries(QRD_NMDA_PAGE));
    ASSERT_EQ(data(q, r), 0);
    EXPECT_EQ(r.count, QRD_NMDA_PAGE);

    answerData(entries(QRD_NMDA_PAGE + 1));
    EXPECT_EQ(data(q, r), QRDERR_MARSHAL) << "more names than were asked for";
    Bytes cut;
    nw::encode(entries(3), cut);
    cut.resize(cut.size() - 3);
    answer(cut);
    EXPECT_EQ(data(q, r), QRDERR_MARSHAL) << "a reply cut short";

    QRD_NMDA_ATTR rec{};
    nw::AttrReply a;
    a.entries = 1;
    a.name = "bob@Sales@Demo";
    a.type = ATTR_INTEGERS;
    a.count = 5; // five integers are 20 bytes, not 8
    a.value.assign(8, 1);
    answerAttr(a);
    EXPECT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", 7, 3, &rec), QRDERR_MARSHAL);
    a.type = 9;
    a.count = 8;
    answerAttr(a);
    EXPECT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", 7, 3, &rec), QRDERR_MARSHAL)
        << "an unknown type";
    a.type = ATTR_INTEGERS;
    a.count = 2;
    answerAttr(a);
    ASSERT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", 7, 3, &rec), 0);
    uint32_t first = 0;
    std::memcpy(&first, rec.value, 4);
    EXPECT_EQ(first, 0x01010101u) << "integers in host order";

    a.entryStatus = 4;
    answerAttr(a);
    EXPECT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", 7, 3, &rec), QRDERR_NMDA_ENTRY_STATUS);
    answerAttr(nw::AttrReply{});
    EXPECT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", 7, 3, &rec), QRDERR_NMDA_NO_ENTRY);
}

TEST_F(NmdaClientTest, RecordsOfTheCallerAreCheckedBeforeAnythingIsSent) {
    QRD_NMDA_QUERY q{};
    QRD_NMDA_RESULT r{};
    std::memset(q.pattern, 'a', sizeof q.pattern);
    EXPECT_EQ(data(q, r), QRDERR_NM_NAME_TOO_LONG) << "a pattern without its NUL";
    q = QRD_NMDA_QUERY{};
    q.criteriaCount = QRD_NMDA_MAX_CRITERIA + 1;
    EXPECT_EQ(data(q, r), QRDERR_NM_BAD_ARG);
    q.criteriaCount = 1;
    q.criteria[0] = {QRD_NMDA_MATCH_EXACT, {0, 1}, QRD_NMDA_VALUE_TEXT, 4, nullptr};
    EXPECT_EQ(data(q, r), QRDERR_NM_BAD_ARG) << "a criterion without its text";
    EXPECT_TRUE(server.calls(nw::kProcQuery).empty());
    EXPECT_EQ(QrdGetNmdaData(handle, nullptr, &q, nullptr, &r), QRDERR_NM_BAD_ARG);
    EXPECT_EQ(QrdSetNmdaCharCode(handle, 6), QRDERR_BAD_ARG);
}

TEST_F(NmdaClientTest, CharacterCodesConvertTextsBothWays) {
    const std::string latin1 = "j\xFCrgen@Sales@Demo"; // u with diaeresis in Latin-1
    QRD_NMDA_QUERY q{};
    std::strcpy(q.pattern, "\x81*"); // the same letter in the PC code page
    QRD_NMDA_RESULT r{};

    answerData(entries(1, latin1));
    ASSERT_EQ(data(q, r), 0);
    EXPECT_EQ(std::string(r.entries[0].name), latin1) << "code 5 converts nothing";
    EXPECT_EQ(lastRequest().query.pattern, "\x81*");

    ASSERT_EQ(QrdSetNmdaCharCode(handle, QRD_NMDA_CHARS_PCM), 0);
    ASSERT_EQ(data(q, r), 0);
    EXPECT_EQ(std::string(r.entries[0].name), "j\x81rgen@Sales@Demo");
    EXPECT_EQ(lastRequest().query.pattern, "\xFC*") << "sent in Latin-1";

    ASSERT_EQ(QrdSetNmdaCharCode(handle, QRD_NMDA_CHARS_ASCII), 0);
    ASSERT_EQ(data(q, r), 0);
    EXPECT_EQ(std::string(r.entries[0].name), "jurgen@Sales@Demo");
}

TEST(NmdaClientHandles, UnknownAndEndedHandlesAreRefused) {
    QRD_NMDA_SESSION block{};
    EXPECT_EQ(QrdGetNmdaSession(reinterpret_cast<QRD_NMDA_HANDLE>(&block), &block),
              QRDERR_NO_MEMORY);
    EXPECT_EQ(QrdEndNmdaSession(nullptr), 0);
}

} // namespace

// The client runs while its comm-stack device takes native sockets; the
// first answer holds for quick calls until a call with seconds asks again.
TEST(ClientRunning, FollowsTheDeviceAndKeepsItsAnswerForQuickCalls) {
    {
        ScopedQordaIni off(commStackIni("127.0.0.1", "127.255.255.255",
                                        qrdtest::workstation().portBase, "Disabled=1"));
        EXPECT_EQ(QrdIsClientRunning(0), 0);
    }
    EXPECT_EQ(QrdIsClientRunning(0), 0); // the kept answer
    EXPECT_EQ(QrdIsClientRunning(1), 1); // asks again: running at the first ask, no wait
    ScopedQordaIni off(commStackIni("127.0.0.1", "127.255.255.255", qrdtest::workstation().portBase,
                                    "Disabled=1"));
    EXPECT_EQ(QrdIsClientRunning(0), 1);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(QrdIsClientRunning(1), 0); // two asks, one second apart
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
}
