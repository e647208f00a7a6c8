// Two daemons, each holding its own groups: a nonce issued by one starts a
// session at the other, which asks the issuer (procedures 55 and 58).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "nwd_process.h"
#include "nwd_spray.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

namespace {

const char kSeed[] = R"(org add Demo
group add Sales@Demo --server NW1@Sales@Demo
group add Support@Demo --server NW2@Support@Demo
server add NW1@Sales@Demo 127.0.0.1
server add NW2@Support@Demo 127.0.0.2
user add alice@Sales@Demo --password alice-pw
user add carol@Support@Demo --password carol-pw
)";

QRD_PORT serverPort(uint8_t lastByte) {
    QRD_PORT p{};
    uint16_t family = QRD_FAMILY_NATIVE, subnet = 1, number = QRD_SVC_NAMEWRIGHT;
    uint32_t network = 0x7F000000u | lastByte;
    QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &p);
    return p;
}

class PeersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        // The second server lives on 127.0.0.2 with the same port base; its
        // Internet road stays off so that the two do not share a UDP port.
        iniB = ws.dir + "/QORDA-B.INI";
        std::ifstream in(ws.qordaIni);
        std::ofstream out(iniB);
        std::string line;
        while (std::getline(in, line))
            out << (line.rfind("ServerAddress=", 0) == 0 ? "ServerAddress=127.0.0.2" : line)
                << "\n";
        out.close();
        for (const char* which : {"a", "b"}) {
            std::string db = ws.dir + "/peer-" + which + ".db";
            nwdtest::Outcome o =
                nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000", "-"}, kSeed);
            ASSERT_EQ(o.exitCode, 0) << o.err;
        }
        std::string ws_id = std::getenv("QRD_WORKSTATION");
        ASSERT_TRUE(a.start({"--db", ws.dir + "/peer-a.db", "--server-name", "NW1@Sales@Demo",
                             "--config", ws.qordaIni},
                            ws.dir + "/peer-a.log", {"QRD_WORKSTATION=" + ws_id + "-a"}));
        ASSERT_TRUE(b.start({"--db", ws.dir + "/peer-b.db", "--server-name", "NW2@Support@Demo",
                             "--config", iniB, "--ip-port", "0"},
                            ws.dir + "/peer-b.log", {"QRD_WORKSTATION=" + ws_id + "-b"}));
    }

    std::string iniB;
    nwdtest::Daemon a, b;
};

TEST_F(PeersTest, ANonceOfOneServerOpensASessionAtTheOther) {
    QRD_PORT atA = serverPort(1), atB = serverPort(2);
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&atA, "alice@Sales@Demo", "alice-pw", &nonce, canonical), 0);

    uint8_t sid[4];
    ASSERT_EQ(qrd::rpc::nmStartSession(&atB, nonce, sid), 0);
    char out[NMNAMELEN];
    ASSERT_EQ(qrd::rpc::nmFormatName(&atB, sid, 200, "SUPPORT@demo", out), 0);
    EXPECT_STREQ(out, "Support@Demo");
    // B vouches only for its own nonces.
    uint16_t valid = 1;
    ASSERT_EQ(qrd::rpc::nmVerifyNonce(&atB, nonce, &valid), 0);
    EXPECT_EQ(valid, 0);

    QRD_NONCE forged = nonce;
    forged.opaque[0] ^= 0xFF;
    EXPECT_EQ(qrd::rpc::nmStartSession(&atB, forged, sid), 1025);

    // Without its issuer, B cannot tell: not a refusal of the credential.
    a.kill(SIGTERM);
    ASSERT_EQ(a.wait(5000), 0);
    EXPECT_EQ(qrd::rpc::nmStartSession(&atB, nonce, sid), 155);
}

// An attacker on the machine sprays forged issuer answers ("valid", "the
// nonce is the administrator's") at every port of B while B asks A about a
// made-up nonce: B takes only A's own answer to its own question.
TEST_F(PeersTest, AForgedIssuerAnswerIsDropped) {
    QRD_PORT atA = serverPort(1), atB = serverPort(2);
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&atA, "alice@Sales@Demo", "alice-pw", &nonce, canonical), 0);

    std::atomic<uint32_t> n{0};
    nwdtest::Sprayer attacker(b.pid(), [&] {
        const uint32_t i = ++n;
        qrd::BeWriter w;
        w.u16(2);
        w.u16(uint16_t(i * 40503u)); // a guess at the echo
        if (i & 1)
            w.u16(1); // 55: valid
        else
            w.string("alice@Sales@Demo"); // 58: whose
        return w.data();
    });
    ASSERT_TRUE(attacker.waitSent(200)) << "the attack is under way";
    uint8_t sid[4];
    for (int i = 0; i < 10; ++i) {
        QRD_NONCE madeUp = nonce;
        madeUp.opaque[0] ^= uint8_t(0x80 | i);
        EXPECT_EQ(qrd::rpc::nmStartSession(&atB, madeUp, sid), 1025) << "attempt " << i;
    }
    EXPECT_EQ(qrd::rpc::nmStartSession(&atB, nonce, sid), 0) << "the real nonce still works";
    EXPECT_GT(attacker.sent(), 200u);
}

// Session starts whose issuer does not answer do not hold B's road: a plain
// call goes through while five of them wait for the silent issuer.
TEST_F(PeersTest, ASilentIssuerDoesNotStallTheRoad) {
    QRD_PORT atA = serverPort(1), atB = serverPort(2);
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&atA, "alice@Sales@Demo", "alice-pw", &nonce, canonical), 0);
    a.kill(SIGSTOP); // there, but silent
    std::vector<std::thread> starts;
    std::atomic<int> silent{0};
    for (int i = 0; i < 5; ++i)
        starts.emplace_back([&, i] {
            QRD_NONCE other = nonce;
            other.opaque[1] ^= uint8_t(i + 1);
            uint8_t sid[4];
            if (qrd::rpc::nmStartSession(&atB, other, sid) == 155) ++silent;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the starts are waiting
    auto begin = std::chrono::steady_clock::now();
    uint32_t revision = 0;
    EXPECT_EQ(qrd::rpc::nmRevision(&atB, &revision), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(300));
    for (std::thread& t : starts)
        t.join();
    EXPECT_EQ(silent, 5) << "each start learns that the issuer did not answer";
    a.kill(SIGCONT);
}

} // namespace
