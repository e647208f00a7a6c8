// The namewrightd program end to end: seeded through its command line,
// served on loopback with this test's workstation, reached through the
// client library.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "nwd_process.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

using nwdtest::Daemon;
using nwdtest::runTool;

namespace {

class DaemonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/nwd.db";
        nwdtest::Outcome seeded = runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        ASSERT_TRUE(
            daemon.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                         ws.dir + "/nwd.log", daemonEnv()))
            << "no ready line; got \"" << daemon.readyLine() << "\"";
    }

    // The daemon gets a global-variable store of its own.
    static std::vector<std::string> daemonEnv() {
        return {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"};
    }

    // Logs in through procedure 12 and makes the nonce the workstation's.
    void loginAs(const char* user, const char* password) {
        QRD_PORT port = nwdtest::localService();
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN] = {};
        ASSERT_EQ(QrdNmLogin(&port, user, password, &nonce, canonical), 0);
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
    }

    std::string db;
    Daemon daemon;
};

TEST_F(DaemonTest, TheClientLibraryLogsInStartsSessionsAndFormatsNames) {
    loginAs("BOB@sales@demo", "bob-demo");
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    EXPECT_EQ(sess.active, 1);

    char out[NMNAMELEN];
    uint16_t len = sizeof out;
    ASSERT_EQ(QrdFormatSNmName(&sess, "ALI@SALES@DEMO", out, &len), 0);
    EXPECT_STREQ(out, "alice@Sales@Demo");
    len = sizeof out;
    ASSERT_EQ(QrdFormatSNmGroup(&sess, "support@DEMO", out, &len), 0);
    EXPECT_STREQ(out, "Support@Demo");
    len = sizeof out;
    EXPECT_EQ(QrdFormatSNmOrg(&sess, "Elsewhere", out, &len), 1011);
    len = sizeof out;
    EXPECT_EQ(QrdFormatSNmName(&sess, "zed@Sales@Demo", out, &len), 1002);

    // A user the administrator adds while the service runs (password on
    // standard input) can log in at once.
    nwdtest::Outcome added = runTool({"admin", "--db", db, "--kdf-iterations", "1000", "user",
                                      "add", "erin@Support@Demo", "--description", "Erin"},
                                     "erin-pw\n");
    ASSERT_EQ(added.exitCode, 0) << added.err;
    loginAs("erin@Support@Demo", "erin-pw");
    QRD_NM_SESS erin;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &erin), 0);

    QRD_PORT port = nwdtest::localService();
    QRD_NONCE none{};
    char canonical[NMNAMELEN];
    EXPECT_EQ(QrdNmLogin(&port, "erin@Support@Demo", "wrong", &none, canonical), 1020);
    EXPECT_EQ(QrdNmLogin(&port, "nobody@Support@Demo", "x", &none, canonical), 1020)
        << "unknown users are told apart from wrong passwords by nobody";

    QrdEndNmSession(&sess);
    QrdEndNmSession(&erin);
    EXPECT_EQ(sess.active, 0);
}

TEST_F(DaemonTest, RevisionsServerPortsAndErrorTextsReachTheClient) {
    QRD_PORT port = nwdtest::localService();
    uint32_t revision = 0;
    ASSERT_EQ(QrdGetSvrLRev(&port, &revision), 0);
    EXPECT_EQ(revision, 71000u);

    loginAs("alice@Sales@Demo", "alice-demo");
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    QRD_PORT server;
    ASSERT_EQ(QrdCreateSSvrWkp(&sess, "nw1@sales@demo", QRD_SVC_NAMEWRIGHT, &server), 0);
    // The same server: family, network, subnetwork 1 and port agree (the
    // local port may carry more in the fields the transport keeps for itself).
    uint16_t family = 0, subnet = 0, number = 0;
    uint32_t network = 0, ownNetwork = 0;
    QrdGetPortFields(&server, &family, &network, &subnet, &number, nullptr, nullptr, nullptr);
    QrdGetPortFields(&port, nullptr, &ownNetwork, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(family, QRD_FAMILY_NATIVE);
    EXPECT_EQ(network, ownNetwork);
    EXPECT_EQ(subnet, 1);
    EXPECT_EQ(number, QRD_SVC_NAMEWRIGHT);
    ASSERT_EQ(QrdGetSvrLRev(&server, &revision), 0);
    EXPECT_EQ(QrdCreateSSvrWkp(&sess, "bob@Sales@Demo", QRD_SVC_NAMEWRIGHT, &server), 1002);

    char text[QRD_ERRTEXT_LEN];
    ASSERT_EQ(QrdGetErrorText(&port, 1017, text), 0);
    EXPECT_STREQ(text, "Unknown or expired session");
    QrdEndNmSession(&sess);
}

TEST_F(DaemonTest, SearchesFindTheServiceOnBothRoads) {
    QRD_PORT found;
    ASSERT_EQ(QrdFindSvc(QRD_SVC_NAMEWRIGHT, &found, 0, 5, 70000, 89999, 0, nullptr, 0, nullptr, 0,
                         nullptr, 0, nullptr),
              0);
    uint32_t revision = 0;
    ASSERT_EQ(qrd::rpc::nmRevision(&found, &revision), 0);
    EXPECT_EQ(revision, 71000u);

    // The Internet road: the search goes to [Internet] SearchAddress:SearchPort
    // and the calls follow to the port found.
    ASSERT_EQ(QrdSetProtocolPref(QRD_PROT_IP), 0);
    QRD_PORT ip;
    QRDSTATUS st = QrdFindSvc(QRD_SVC_NAMEWRIGHT, &ip, 0, 5, 70000, 89999, 0, nullptr, 0, nullptr,
                              0, nullptr, 0, nullptr);
    QRD_PORT msg;
    QRDSTATUS msgSt = QrdFindSvc(QRD_SVC_MESSAGE, &msg, 0, 5, 70000, 89999, 0, nullptr, 0, nullptr,
                                 0, nullptr, 0, nullptr);
    QrdSetProtocolPref(QRD_PROT_QIP);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(msgSt, 0);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&ip);
    EXPECT_EQ(b[0], 2) << "an Internet socket address";
    EXPECT_EQ(qrd::getBe16(b + 2), qrdtest::workstation().ipPort);
    EXPECT_NE(std::memcmp(&ip, &msg, sizeof ip), 0) << "the message service has its own port";
    ASSERT_EQ(qrd::rpc::nmLongRevision(&ip, &revision), 0);
    EXPECT_EQ(revision, 71000u);
}

TEST_F(DaemonTest, MessagesReachTheRecipientsMailbox) {
    QRD_PORT msgPort = nwdtest::localService(QRD_SVC_MESSAGE);
    // Without a session of its sender a message is dropped.
    ASSERT_EQ(qrd::rpc::userMessage(&msgPort, "bob@Sales@Demo", "ali@Sales@Demo", "forged"), 0);
    loginAs("bob@Sales@Demo", "bob-demo");
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    ASSERT_EQ(qrd::rpc::userMessage(&msgPort, "bob@Sales@Demo", "ali@Sales@Demo", "see you"), 0);

    // The message service never replies; a search sent to the same socket
    // afterwards is answered only once the message was handled.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(qrdtest::workstation().portBase + QRD_SVC_MESSAGE));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    qrd::BeWriter q;
    for (uint16_t v : {4, 3, 0, 0, 0})
        q.u16(v);
    q.u32(0);
    q.u32(0xFFFFFFFF);
    q.u32(0);
    ASSERT_EQ(sendto(fd, q.data().data(), q.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              ssize_t(q.size()));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1) << "the message service did not answer the search";
    uint8_t answer[64];
    EXPECT_EQ(recv(fd, answer, sizeof answer, 0), 26);
    close(fd);

    nwdtest::Outcome shown = runTool({"admin", "--db", db, "messages", "alice@Sales@Demo"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("\tbob@Sales@Demo\tsee you\n"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("forged"), std::string::npos) << shown.out;
    QrdEndNmSession(&sess);
}

TEST_F(DaemonTest, StopsCleanlyOnSigterm) {
    daemon.kill(SIGTERM);
    EXPECT_EQ(daemon.wait(5000), 0);
}

TEST(DaemonCommands, EveryCommandExplainsItselfAndRefusesMistakesClearly) {
    for (std::vector<std::string> help : std::vector<std::vector<std::string>>{
             {"--help"}, {"serve", "--help"}, {"admin", "--help"}, {"seed", "--help"}}) {
        nwdtest::Outcome o = runTool(help);
        EXPECT_EQ(o.exitCode, 0) << help[0];
        EXPECT_NE(o.out.find("usage: namewrightd"), std::string::npos) << help[0];
    }
    std::string db = qrdtest::workstation().dir + "/cmd.db";
    nwdtest::Outcome o = runTool({"serve", "--server-name", "NW1@Sales@Demo"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("--db FILE is required"), std::string::npos);
    o = runTool({"serve", "--db", db, "--server-name", "NW1"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("full name"), std::string::npos);
    o = runTool({"frobnicate"});
    EXPECT_EQ(o.exitCode, 2);
    o = runTool({"seed", "--db", db, "/no/such/seed"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("cannot read /no/such/seed"), std::string::npos);
    o = runTool({"admin", "--db", db, "--kdf-iterations", "5", "org", "list"});
    EXPECT_EQ(o.exitCode, 2);
}

// A mistyped --db must not leave an empty directory behind: only init (and
// seed) make the file.
TEST(DaemonCommands, AdminWorksOnExistingDatabasesAndInitMakesOne) {
    std::string db = qrdtest::workstation().dir + "/admin.db";
    nwdtest::Outcome o = runTool({"admin", "--db", db, "org", "list"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("does not exist"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(" init"), std::string::npos) << "says how to make one: " << o.err;
    EXPECT_NE(access(db.c_str(), F_OK), 0) << "the file was created";

    EXPECT_EQ(runTool({"admin", "--db", db, "init"}).exitCode, 0);
    o = runTool({"admin", "--db", db, "init"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("already exists"), std::string::npos) << o.err;
    o = runTool({"admin", "--db", db, "user", "add", "x@Y@Z"}, "pw\n");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("no organisation"), std::string::npos) << o.err;
}

TEST(DaemonCommands, AdminUsageErrorsExit2AndEveryCommandHasHelp) {
    std::string db = qrdtest::workstation().dir + "/usage.db";
    ASSERT_EQ(runTool({"admin", "--db", db, "init"}).exitCode, 0);
    for (std::vector<std::string> wrong :
         std::vector<std::vector<std::string>>{{"frobnicate"},
                                               {"org"},
                                               {"org", "rename", "Demo"},
                                               {"org", "add"},
                                               {"org", "add", "A", "B"},
                                               {"org", "list", "--bogus"},
                                               {"group", "add", "G@O", "--server"}}) {
        std::vector<std::string> args{"admin", "--db", db};
        args.insert(args.end(), wrong.begin(), wrong.end());
        nwdtest::Outcome o = runTool(args);
        EXPECT_EQ(o.exitCode, 2) << wrong[0] << ": " << o.err;
        EXPECT_FALSE(o.err.empty());
    }
    EXPECT_EQ(runTool({"admin", "--db", db}).exitCode, 2);
    EXPECT_EQ(runTool({"admin", "org", "list"}).exitCode, 2) << "no --db";

    // Help needs no database, for the whole, a noun and each command.
    nwdtest::Outcome o = runTool({"admin", "user", "--help"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_NE(o.out.find("user logout NAME"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("org add"), std::string::npos) << o.out;
    for (const char* verb : {"add", "password", "set", "logout", "remove", "list"}) {
        o = runTool({"admin", "--db", db, "user", verb, "--help"});
        EXPECT_EQ(o.exitCode, 0) << verb;
        EXPECT_EQ(o.out.find("usage: namewrightd admin --db FILE user " + std::string(verb)), 0u)
            << o.out;
    }
}

} // namespace
