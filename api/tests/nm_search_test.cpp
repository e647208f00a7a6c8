// The service search against a fake server that answers broadcasts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "base/sockutil.h"
#include "nm/search.h"
#include "qrdapi.h"
#include "rpc/stubs.h"
#include "rpc_fake_server.h"

using namespace qrdtest;

namespace {

Bytes answer(uint16_t size, uint16_t kind, uint32_t revision) {
    Bytes a(size, 0);
    qrd::putBe16(a.data(), kind);
    if (size == 26) qrd::putBe32(a.data() + 22, revision);
    if (size >= 6) qrd::putBe16(a.data() + 4, uint16_t(revision));
    return a;
}

// Answers searches from a server of `revision` when it lies within the range.
std::vector<Bytes> inRange(const Received& r, uint32_t revision, size_t skip = 0) {
    qrd::BeReader q(r.data.data() + skip, r.data.size() - skip);
    q.skip(10);
    const uint32_t lo = q.u32(), hi = q.u32();
    if (!q.ok() || revision < lo || revision > hi) return {};
    return {answer(26, 5, revision)};
}

TEST(NmSearch, FindsAServerWithinTheRevisionRange) {
    FakeServer server;
    server.onDatagram([](const Received& r) {
        if (r.broadcast) return inRange(r, 40000);
        return std::vector<Bytes>{returnReply(be32(40000))};
    });
    QRD_PORT found;
    const char crit[] = "fast";
    ASSERT_EQ(
        QrdFindSvc(15, &found, 1, 6, 30000, 89999, 4, crit, 0, nullptr, 0, nullptr, 0, nullptr),
        QRD_OK);
    auto queries = server.broadcasts();
    ASSERT_EQ(queries.size(), 1u);
    const Bytes& q = queries[0].data;
    ASSERT_EQ(q.size(), 18u + 1 + 4 + 3);
    EXPECT_EQ(Bytes(q.begin() + 18, q.end()), (Bytes{4, 'f', 'a', 's', 't', 0, 0, 0}));

    // The answer's source is the service: a call to it reaches the server.
    uint32_t revision = 0;
    ASSERT_EQ(qrd::rpc::nmRevision(&found, &revision), QRD_OK);
    EXPECT_EQ(revision, 40000u);
}

TEST(NmSearch, ThreeBroadcastsWithoutAnAnswerGive163) {
    FakeServer server;
    server.onDatagram([](const Received& r) { return inRange(r, 40000); });
    QRD_PORT found;
    EXPECT_EQ(
        QrdFindSvc(15, &found, 0, 5, 70000, 89999, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr),
        QRDERR_TIMEOUT);
    EXPECT_EQ(server.broadcasts().size(), 3u);
}

TEST(NmSearch, JunkIsIgnoredAndShortAnswersCarryA16BitRevision) {
    FakeServer server;
    server.onDatagram([](const Received& r) {
        if (!r.broadcast) return std::vector<Bytes>{};
        Bytes longJunk(3000, 0);
        qrd::putBe16(longJunk.data(), 5);
        return std::vector<Bytes>{answer(24, 5, 1), answer(26, 6, 2), Bytes{0, 5, 0}, longJunk,
                                  answer(22, 5, 0xBEEF)};
    });
    qrd::nm::SearchQuery q;
    q.service = 15;
    q.minRevision = 30000;
    q.maxRevision = 89999;
    std::vector<qrd::nm::SearchAnswer> answers;
    ASSERT_EQ(qrd::nm::findServices(q, QRD_FAMILY_NATIVE, answers), QRD_OK);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].revision, 0xBEEFu);
    EXPECT_EQ(server.broadcasts().size(), 1u) << "the answer came within the first broadcast";
}

TEST(NmSearch, InternetRoadGoesToTheSearchAddressWithAServicePrefix) {
    // [Internet] SearchAddress:SearchPort is PortBase + 511 on loopback. The
    // message service answers with its own port inside the answer, the
    // Namewright service with none (the answer's source counts then).
    FakeServer server(511);
    FakeServer messages(19, /*withExtraSocket=*/true);
    messages.onDatagram([](const Received&) { return std::vector<Bytes>{returnReply(be32(8))}; });
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(messages.extraPort());
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QRD_PORT carried;
    qrd::inetPortFromSockaddr(sa, &carried);
    server.onDatagram([&](const Received& r) {
        const bool prefixed = r.data[1] == 11;
        auto answers = inRange(r, 60000, prefixed ? 4 : 0);
        if (prefixed && !answers.empty())
            std::memcpy(answers[0].data() + 6, &carried, sizeof carried);
        return answers;
    });
    QRD_PORT found;
    ASSERT_EQ(QrdFindSvcMP(QRD_FAMILY_INET, 19, &found, 0, 5, 50000, 89999, 0, nullptr, 0, nullptr,
                           0, nullptr, 0, nullptr),
              QRD_OK);
    EXPECT_EQ(std::memcmp(&found, &carried, sizeof found), 0);
    uint32_t reply = 0;
    EXPECT_EQ(qrd::rpc::nmRevision(&found, &reply), QRD_OK);
    EXPECT_EQ(reply, 8u);

    ASSERT_EQ(QrdFindSvcMP(QRD_FAMILY_INET, 15, &found, 0, 5, 50000, 89999, 0, nullptr, 0, nullptr,
                           0, nullptr, 0, nullptr),
              QRD_OK);
    auto got = server.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(Bytes(got[0].data.begin(), got[0].data.begin() + 6), (Bytes{0, 11, 0, 19, 0, 4}));
    EXPECT_EQ(Bytes(got[1].data.begin(), got[1].data.begin() + 2), (Bytes{0, 4}))
        << "no prefix for the Namewright service";
    const auto* b = reinterpret_cast<const uint8_t*>(&found);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(qrd::getBe16(b + 2), qrdtest::workstation().ipPort) << "the answer's source";
}

TEST(NmSearch, EasyFindFallsBackToTheOlderRange) {
    FakeServer server;
    server.onDatagram([](const Received& r) {
        if (!r.broadcast) return std::vector<Bytes>{};
        qrd::BeReader q(r.data.data(), r.data.size());
        q.skip(10);
        // Only the second search (spread 4 goes into the port, not the
        // query) asks from 30000 on.
        return q.u32() == 30000 ? std::vector<Bytes>{answer(26, 5, 45000)} : std::vector<Bytes>{};
    });
    QRD_PORT found;
    ASSERT_EQ(QrdEasyFindSvc(15, &found), QRD_OK);
    // The quick look found an older server: the newer range is still
    // searched in full (three broadcasts) before the older one is taken.
    EXPECT_EQ(server.broadcasts().size(), 1u + 3u + 1u);
}

TEST(NmSearch, EasyFindTakesANewerServerThatAnswersTheQuickLook) {
    FakeServer server;
    server.onDatagram([](const Received& r) {
        if (r.broadcast) return inRange(r, 71000);
        return std::vector<Bytes>{returnReply(be32(71000))};
    });
    QRD_PORT found;
    ASSERT_EQ(QrdEasyFindSvc(15, &found), QRD_OK);
    EXPECT_EQ(server.broadcasts().size(), 1u);
    uint32_t revision = 0;
    ASSERT_EQ(qrd::rpc::nmRevision(&found, &revision), QRD_OK);
    EXPECT_EQ(revision, 71000u);
}

// Nobody there: 163 after the quick look's two short broadcasts, not after
// two full searches of 9 s each.
TEST(NmSearch, EasyFindReportsAnUnreachableServiceAfterTheQuickLook) {
    FakeServer server;
    server.onDatagram([](const Received&) { return std::vector<Bytes>{}; });
    const int64_t started = qrd::monotonicMillis();
    QRD_PORT found;
    EXPECT_EQ(QrdEasyFindSvc(15, &found), QRDERR_TIMEOUT);
    const int64_t took = qrd::monotonicMillis() - started;
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 3000);
    EXPECT_EQ(server.broadcasts().size(), size_t(qrd::nm::kProbeBroadcasts));
}

} // namespace
