// Calls to the namewrightd program through a loss seam: requests and replies
// dropped on the way, calls sent again and answered once; a daemon that is
// gone still ends a call at its time-out; replies sprayed by an attacker at
// the client's sockets never pass for an answer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "loss_seam.h"
#include "nwd_process.h"
#include "nwd_spray.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "rpc/stub.h"
#include "rpc/stubs.h"

using namespace std::chrono_literals;
using qrdtest::LossSeam;
using qrdtest::procedureOf;

namespace {

QRD_PORT serverPort() {
    QRD_PORT p{};
    uint16_t family = QRD_FAMILY_NATIVE, subnet = 1, number = QRD_SVC_NAMEWRIGHT;
    uint32_t network = 0x7F000001u;
    QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &p);
    return p;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + i / 4096);
    return v;
}

const char kBob[] = "bob@Sales@Demo";
const AttrName kValue{52, 250300};

class LossTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        const std::string db = ws.dir + "/loss.db";
        log = ws.dir + "/loss.log";
        std::remove(log.c_str());
        nwdtest::Outcome seeded =
            nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        ASSERT_TRUE(daemon.start(
            {"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni}, log,
            {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"}));
        char canonical[NMNAMELEN];
        ASSERT_EQ(QrdNmLogin(&port, kBob, "bob-demo", &nonce, canonical), 0);
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
    }

    // How often the daemon's log says `text`.
    size_t logged(const std::string& text) const {
        std::ifstream in(log);
        std::stringstream all;
        all << in.rdbuf();
        const std::string s = all.str();
        size_t n = 0;
        for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1))
            ++n;
        return n;
    }

    QRDSTATUS write(QRD_NM_SESS& s, const std::vector<uint8_t>& v) {
        uint32_t index = 0, flags = 2;
        return QrdSetSNmAttr(&s, kBob, QRD_OCL_OBJECT, &kValue, ATTR_RAW, &index,
                             uint32_t(v.size()), v.data(), &flags);
    }
    QRDSTATUS read(QRD_NM_SESS& s, std::vector<uint8_t>& v) {
        uint32_t type = ATTR_RAW, index = 0, count = uint32_t(v.size()), flags = 0;
        QRDSTATUS st = QrdGetSNmAttr(&s, kBob, QRD_OCL_OBJECT, &kValue, &type, &index, &count,
                                     v.data(), &flags);
        if (st == 0) v.resize(count);
        return st;
    }

    std::string log;
    nwdtest::Daemon daemon;
    QRD_PORT port = serverPort();
    QRD_NONCE nonce{};
};

// Every other request and every third reply lost: each kind of call still
// succeeds, a session start runs once per start, values stay whole.
TEST_F(LossTest, EveryCallKindSurvivesLostRequestsAndReplies) {
    LossSeam seam([](uint64_t n, const uint8_t*, size_t) { return n % 2 == 0; },
                  [](uint64_t n, const uint8_t*, size_t) { return n % 3 == 1; });

    uint8_t sid[4];
    const size_t startsBefore = logged("session started");
    ASSERT_EQ(qrd::rpc::nmStartSession(&port, nonce, sid), 0);
    char canonical[NMNAMELEN];
    QRD_NONCE again{};
    ASSERT_EQ(QrdNmLogin(&port, kBob, "bob-demo", &again, canonical), 0);
    char out[NMNAMELEN];
    ASSERT_EQ(qrd::rpc::nmFormatName(&port, sid, 200, "SALES@demo", out), 0);
    EXPECT_STREQ(out, "Sales@Demo");
    uint32_t revision = 0;
    ASSERT_EQ(qrd::rpc::nmRevision(&port, &revision), 0);
    uint16_t passnum = 0;
    NmRec rec{};
    Catsel sel{};
    ASSERT_EQ(qrd::rpc::nmListNames(&port, sid, "*@Demo", 200, 0, sel, &passnum, &rec), 0);
    EXPECT_GT(rec.count, 0);
    ASSERT_EQ(qrd::rpc::nmEndSession(&port, sid), 0) << "ended once, not refused as unknown";

    QRD_NM_SESS s{};
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &s), 0);
    const std::vector<uint8_t> value = pattern(10000, 3);
    ASSERT_EQ(write(s, value), 0);
    std::vector<uint8_t> back(12000);
    ASSERT_EQ(read(s, back), 0);
    EXPECT_EQ(back, value);
    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, kBob, QRD_OCL_OBJECT, &kValue, &type, &count, &bytes), 0);
    EXPECT_EQ(bytes, 10000u);
    QrdEndNmSession(&s);

    EXPECT_GT(seam.droppedSends(), 5u);
    EXPECT_GT(seam.droppedReceives(), 3u);
    EXPECT_EQ(logged("session started") - startsBefore, 2u)
        << "each start ran once although requests and replies were sent twice";
}

// The reply of each exchange of a chunked write and read lost once: the
// exchange is sent again (answered from the daemon's replies, not run twice)
// instead of failing the transfer.
TEST_F(LossTest, ChunkExchangesAreRepeatedNotFailed) {
    QRD_NM_SESS s{};
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &s), 0);
    const std::vector<uint8_t> old = pattern(10000, 1), value = pattern(10000, 2);
    ASSERT_EQ(write(s, old), 0);

    // Drop the first reply to each new request: every exchange loses its
    // answer once and gets it from the daemon's copy.
    std::atomic<int> lastCall{-1};
    std::atomic<bool> dropNext{false};
    LossSeam seam(
        [&](uint64_t, const uint8_t* d, size_t n) {
            const int id = n >= 8 ? int(qrd::getBe32(d + 4)) : 0;
            if (id != lastCall.exchange(id)) dropNext = true;
            return false;
        },
        [&](uint64_t, const uint8_t*, size_t) { return dropNext.exchange(false); });
    ASSERT_EQ(write(s, value), 0);
    std::vector<uint8_t> back(10000);
    ASSERT_EQ(read(s, back), 0);
    EXPECT_EQ(back, value);
    EXPECT_GE(seam.droppedReceives(), 6u) << "three write and three read exchanges";
    QrdEndNmSession(&s);
}

// With the daemon gone, and with every request lost, a call ends at its
// time-out, having sent its request at growing intervals meanwhile.
TEST_F(LossTest, TimeOutsHoldWhenThePeerIsGone) {
    for (bool killed : {false, true}) {
        if (killed) {
            daemon.kill(SIGTERM);
            ASSERT_EQ(daemon.wait(5000), 0);
        }
        LossSeam seam([&](uint64_t, const uint8_t*, size_t) { return !killed; }, nullptr);
        uint32_t value = 0;
        std::vector<uint8_t> results;
        auto start = std::chrono::steady_clock::now();
        QRDSTATUS st = qrd::rpc::runStub(
            &port, qrd::rpc::ProcInfo{111, 5, 0},
            [&](qrd::rpc::Xdr& x) { qrd::rpc::_U32(x, &value); }, qrd::rpc::noResults);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(st, QRDERR_TIMEOUT);
        EXPECT_GE(took, 990ms);
        EXPECT_LT(took, 1500ms);
        EXPECT_GE(seam.sent(), 3u) << "sent again within the second";
        EXPECT_LE(seam.sent(), 12u) << "at growing intervals, not in a tight loop";
    }
}

// Another program sprays forged read replies (random echoes) at every UDP
// port of this process while it reads: no forged byte ever comes back with
// status 0, and the reads go on.
TEST_F(LossTest, SpoofedRepliesSprayedAtTheClientNeverPass) {
    QRD_NM_SESS s{};
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &s), 0);
    const std::vector<uint8_t> value = pattern(100, 9);
    ASSERT_EQ(write(s, value), 0);

    uint32_t counter = 0;
    nwdtest::Sprayer attacker(getpid(), [&] {
        // {type 2, echo guess} type, index, count, flags, the value "EVIL...".
        qrd::BeWriter w;
        w.u16(2);
        w.u16(uint16_t(++counter * 40503u));
        w.u32(ATTR_RAW);
        w.u32(0);
        w.u32(4);
        w.u32(0);
        w.u16(ATTR_RAW);
        w.u16(4);
        for (char c : std::string("EVIL"))
            w.u8(uint8_t(c));
        w.u16(0);
        return w.data();
    });
    ASSERT_TRUE(attacker.waitSent(200)) << "the attack is under way";
    int good = 0;
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> back(200);
        QRDSTATUS st = read(s, back);
        if (st == 0) {
            ASSERT_EQ(back, value) << "read " << i << " returned forged bytes";
            ++good;
        }
    }
    EXPECT_EQ(good, 300) << "legitimate reads go on";
    EXPECT_GT(attacker.sent(), 200u);
    QrdEndNmSession(&s);
}

} // namespace
