// A second daemon started beside a running one (the same database, or the
// same ports) refuses with a message that says what to do, and the first
// one keeps serving as before.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "nwd_process.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

namespace {

std::vector<std::string> daemonEnv(const std::string& tail) {
    return {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + tail};
}

// The command line of process `pid`, arguments joined by spaces.
std::string commandLine(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/cmdline");
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : s)
        if (c == '\0') c = ' ';
    return s;
}

class SecondDaemon : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/first.db";
        ASSERT_EQ(nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"}).exitCode, 0);
        ASSERT_TRUE(first.start(serveArgs(db, ws.qordaIni), ws.dir + "/first.log", daemonEnv("-a")))
            << first.readyLine();
    }

    // Daemon::start puts "serve" in front.
    static std::vector<std::string> serveArgs(const std::string& db, const std::string& config) {
        return {"--db", db, "--server-name", "NW1@Sales@Demo", "--config", config};
    }
    static nwdtest::Outcome serveSecond(const std::string& db, const std::string& config) {
        std::vector<std::string> args = serveArgs(db, config);
        args.insert(args.begin(), "serve");
        return nwdtest::runTool(args, "", daemonEnv("-b"), 10000);
    }

    // The first daemon answers a login as before.
    static void expectFirstServes() {
        QRD_PORT port;
        ASSERT_EQ(QrdCreateLocalWkp(QRD_SVC_NAMEWRIGHT, &port), 0);
        port.subnet[0] = 0;
        port.subnet[1] = 1;
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN];
        EXPECT_EQ(QrdNmLogin(&port, "bob@Sales@Demo", "bob-demo", &nonce, canonical), 0);
    }

    std::string db;
    nwdtest::Daemon first;
};

TEST_F(SecondDaemon, OnTheSameDatabaseItNamesTheRunningOneAndHowToStopIt) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    nwdtest::Outcome second = serveSecond(db, ws.qordaIni);
    EXPECT_EQ(second.exitCode, 1);
    const std::string head = "namewrightd: another namewrightd (process ";
    ASSERT_EQ(second.err.rfind(head, 0), 0u) << second.err;
    std::string pid = second.err.substr(head.size(), second.err.find(')') - head.size());
    EXPECT_NE(commandLine(pid).find("namewrightd serve --db " + db), std::string::npos) << pid;
    EXPECT_NE(second.err.find("already serves " + db + "; stop it first (kill " + pid + ")"),
              std::string::npos)
        << second.err;
    expectFirstServes();

    // Once the first has stopped, the database may be served again.
    first.kill(SIGTERM);
    ASSERT_EQ(first.wait(10000), 0);
    nwdtest::Daemon again;
    EXPECT_TRUE(again.start(serveArgs(db, ws.qordaIni), ws.dir + "/again.log", daemonEnv("-c")))
        << again.readyLine();
}

TEST_F(SecondDaemon, OnTheSamePortsItNamesThePortAndTheSettingInsteadOfAStatus) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    ASSERT_EQ(nwdtest::runTool({"seed", "--db", ws.dir + "/other.db", "--kdf-iterations", "1000"})
                  .exitCode,
              0);
    nwdtest::Outcome second = serveSecond(ws.dir + "/other.db", ws.qordaIni);
    EXPECT_EQ(second.exitCode, 1);
    const std::string port = std::to_string(ws.portBase + QRD_SVC_NAMEWRIGHT);
    EXPECT_EQ(second.err.rfind("namewrightd: UDP port " + port +
                                   " on 127.0.0.1 (the native road's "
                                   "port 15 at port base " +
                                   std::to_string(ws.portBase) + " of " + ws.qordaIni + ")",
                               0),
              0u)
        << second.err;
    EXPECT_NE(second.err.find("another [CommStack] PortBase"), std::string::npos) << second.err;
    EXPECT_EQ(second.err.find("status"), std::string::npos) << second.err;

    // The native road elsewhere, the Internet road on the first one's port.
    const std::string otherIni = ws.dir + "/other.ini";
    std::ofstream(otherIni) << "[CommStack]\nServerAddress=127.0.0.1\nPortBase="
                            << ws.portBase + 200 << "\n[Internet]\nSearchPort=" << ws.ipPort
                            << "\n";
    second = serveSecond(ws.dir + "/other.db", otherIni);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err.rfind("namewrightd: UDP port " + std::to_string(ws.ipPort) +
                                   " on 127.0.0.1 (the Internet road",
                               0),
              0u)
        << second.err;
    expectFirstServes();
}

TEST(DaemonSettings, ABadQordaIniIsReportedWithItsLineAndNothingIsServed) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    const std::string ini = ws.dir + "/bad.ini";
    std::ofstream(ini) << "[CommStack]\nServerAddress=127.0.0.1\nPortBase=70o0\n";
    nwdtest::Outcome o = nwdtest::runTool(
        {"serve", "--db", ws.dir + "/bad.db", "--server-name", "NW1@Sales@Demo", "--config", ini},
        "", daemonEnv("-b"), 10000);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err.rfind("namewrightd: " + ini +
                              ":3: [CommStack] PortBase = \"70o0\" is not "
                              "valid; expected a whole number",
                          0),
              0u)
        << o.err;

    o = nwdtest::runTool({"serve", "--db", ws.dir + "/bad.db", "--server-name", "NW1@Sales@Demo",
                          "--config", ws.dir + "/missing.ini"},
                         "", daemonEnv("-b"), 10000);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find(ws.dir + "/missing.ini: cannot read it"), std::string::npos) << o.err;
}

} // namespace
