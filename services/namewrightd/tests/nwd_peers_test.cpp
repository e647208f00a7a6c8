// Two daemons, each holding its own groups: a nonce issued by one starts a
// session at the other, which asks the issuer (procedures 55 and 58).
#include <gtest/gtest.h>

#include <fstream>

#include "nwd_process.h"
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

} // namespace
