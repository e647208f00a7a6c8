// A daemon killed with SIGKILL and started again on the same database keeps
// what it had acknowledged: the directory, changes made while it ran, and
// the nonces it issued.
#include <gtest/gtest.h>

#include <cstring>

#include "nwd_process.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

namespace {

std::vector<std::string> daemonEnv() {
    return {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"};
}

TEST(DaemonRestart, AcknowledgedWritesAndIssuedNoncesSurviveSigkill) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    std::string db = ws.dir + "/restart.db";
    ASSERT_EQ(nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"}).exitCode, 0);
    std::vector<std::string> args = {"--db",           db,         "--server-name",
                                     "NW1@Sales@Demo", "--config", ws.qordaIni};

    nwdtest::Daemon first;
    ASSERT_TRUE(first.start(args, ws.dir + "/restart.log", daemonEnv()));
    QRD_PORT port = nwdtest::localService();
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&port, "carol@Support@Demo", "carol-demo", &nonce, canonical), 0);
    ASSERT_EQ(QrdSetNonce(&nonce), 0);
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    // A service port set through the service while it runs.
    QRD_PORT value;
    std::memset(&value, 0x5A, sizeof value);
    nwdtest::Outcome admin =
        nwdtest::runTool({"admin", "--db", db, "service", "set", "PRINT@Support@Demo", "--manager",
                          "carol@Support@Demo"});
    ASSERT_EQ(admin.exitCode, 0) << admin.err;
    ASSERT_EQ(qrd::rpc::nmSetServicePort(&port, sess.id, "PRINT@Support@Demo", 1, value), 0);

    first.kill(SIGKILL);

    nwdtest::Daemon second;
    ASSERT_TRUE(second.start(args, ws.dir + "/restart.log", daemonEnv()));
    // The old session died with the process; the library's wrapper meets
    // 1017 and starts a new one with the same nonce, which is still honoured.
    char out[NMNAMELEN];
    uint16_t len = sizeof out;
    ASSERT_EQ(QrdFormatSNmName(&sess, "CAROL@support@demo", out, &len), 0);
    EXPECT_STREQ(out, "carol@Support@Demo");
    QRD_PORT back;
    ASSERT_EQ(qrd::rpc::nmReadServicePort(&port, sess.id, "PRINT@Support@Demo", 1, &back), 0);
    EXPECT_EQ(QrdComparePorts(&back, &value), 1);
    uint16_t valid = 0;
    ASSERT_EQ(qrd::rpc::nmVerifyNonce(&port, nonce, &valid), 0);
    EXPECT_EQ(valid, 1);
    QrdEndNmSession(&sess);
}

} // namespace
