// The login command end to end against a real daemon: names typed in UTF-8
// reach the service in Latin-1 and come back as typed; mistakes are told
// plainly and exit with the documented codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "nwd_process.h"
#include "qrd/bytes.h"
#include "qrd/loginwire.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "qrdapi.h"

using nwdtest::Outcome;

namespace {

std::string loginPath() {
    return qrdtest::binaryDir() + "/services/login/qrdlogin";
}

Outcome qrdlogin(const std::vector<std::string>& args, const std::string& input = "",
                 const std::vector<std::string>& env = {}) {
    return nwdtest::runProgram(loginPath(), args, input, env);
}

class LoginCommand : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        std::string db = ws.dir + "/login.db";
        // "bøb" and his password "pø" are typed in UTF-8, as a terminal does.
        Outcome seeded = nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000", "-"},
                                          "org add Demo\n"
                                          "group add Sales@Demo\n"
                                          "server add NW1@Sales@Demo 127.0.0.1\n"
                                          "user add b\xC3\xB8"
                                          "b@Sales@Demo --password p\xC3\xB8\n"
                                          "user add alice@Sales@Demo --password alice-pw\n");
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        daemon = new nwdtest::Daemon;
        ASSERT_TRUE(daemon->start(
            {"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
            ws.dir + "/login.log",
            {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"}))
            << daemon->readyLine();
    }
    static void TearDownTestSuite() {
        delete daemon;
        daemon = nullptr;
    }
    void TearDown() override { qrdlogin({"logout"}); }

    static nwdtest::Daemon* daemon;
};
nwdtest::Daemon* LoginCommand::daemon = nullptr;

TEST_F(LoginCommand, AUtf8NameLogsInAndIsShownAsTyped) {
    Outcome in = qrdlogin({"login", "B\xC3\x98"
                                    "B@sales@demo"},
                          "p\xC3\xB8\n");
    ASSERT_EQ(in.exitCode, 0) << in.err;
    EXPECT_EQ(in.out, "Logged in as b\xC3\xB8"
                      "b@Sales@Demo\n");

    Outcome status = qrdlogin({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_NE(status.out.find("Settings: " + qrdtest::workstation().qordaIni + "\n"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("Logged in as b\xC3\xB8"
                              "b@Sales@Demo\n"),
              std::string::npos)
        << status.out;

    // Every other program reads the name through the client API, in Latin-1.
    char user[NMNAMELEN] = {};
    ASSERT_EQ(QrdGetUserName(user), QRD_OK);
    EXPECT_STREQ(user, "b\xF8"
                       "b@Sales@Demo");

    Outcome out = qrdlogin({"logout"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out, "Logged out b\xC3\xB8"
                       "b@Sales@Demo\n");
}

// Logout ends the nonce at the service: a copy kept by anyone starts no
// session afterwards.
TEST_F(LoginCommand, LogoutRevokesTheNonceAtTheService) {
    ASSERT_EQ(qrdlogin({"login", "alice@Sales@Demo"}, "alice-pw\n").exitCode, 0);
    QRD_NONCE copy{};
    ASSERT_EQ(QrdGetNonce(&copy), QRD_OK);
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, &copy, &sess), 0);
    QrdEndNmSession(&sess);

    Outcome out = qrdlogin({"logout"});
    ASSERT_EQ(out.exitCode, 0) << out.err;
    EXPECT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, &copy, &sess), 1025)
        << "the nonce outlived the logout";
}

TEST_F(LoginCommand, NamesThatCannotBeSentAreRefusedBeforeAskingTheService) {
    struct Case {
        std::string name, expect;
    } cases[] = {
        {"b\xE2\x82\xAC"
         "b@Sales@Demo",
         "not a valid name"}, // the euro sign is not Latin-1
        {"b\xF8"
         "b@Sales@Demo",
         "not a valid name"}, // a raw Latin-1 byte is not UTF-8
        {"alice*@Sales@Demo", "not a valid name"},
        {"alice@Sales@Demo@More", "not a valid name"},
        {std::string(5000, 'x'), "5000 characters long; at most 63"},
    };
    for (const Case& c : cases) {
        Outcome o = qrdlogin({"login", c.name}, "alice-pw\n");
        EXPECT_EQ(o.exitCode, 1) << c.name;
        EXPECT_NE(o.err.find(c.expect), std::string::npos) << o.err;
        EXPECT_LT(o.err.size(), 400u) << "the name is not echoed whole";
    }
    Outcome empty = qrdlogin({"login", "alice@Sales@Demo"}, "\n");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("no password given"), std::string::npos) << empty.err;

    // None of these counted as a wrong password: the right one still works.
    Outcome ok = qrdlogin({"login", "alice@Sales@Demo"}, "alice-pw\n");
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
}

// Anyone may bind the broadcast port and answer the search. Such a
// spoofer, answering the login exchange as well as it can, never sees the
// password, cannot sign the exchange, and the login fails cleanly.
TEST(SpoofedSearch, TheAnswererGetsNoPasswordAndTheLoginFails) {
    const uint16_t port = uint16_t(qrdtest::workstation().portBase + qrd::nm::kServiceNamewright);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);

    std::atomic<bool> stop{false};
    std::vector<std::vector<uint8_t>> seen;
    int exchanges = 0;
    std::thread spoofer([&] {
        std::vector<uint8_t> buf(2048);
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n =
                recvfrom(fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 2) continue;
            std::vector<uint8_t> d(buf.begin(), buf.begin() + n);
            seen.push_back(d);
            qrd::BeWriter w;
            if (qrd::getBe16(d.data()) == qrd::nm::kQueryFindSvc) { // a search: "here I am"
                w.u16(qrd::nm::kAnswerKind);
                w.u16(qrd::nm::kServiceNamewright);
                w.u16(uint16_t(71000));
                qrd::port::Bytes me = qrd::port::native(0x7F000001, 1, qrd::nm::kServiceNamewright);
                w.bytes(me.data(), me.size());
                w.u32(71000);
            } else if (n >= 12 && qrd::getBe16(d.data()) == 0) {
                ++exchanges;
                w.u16(qrd::nm::kReturn);
                w.u16(qrd::rpcwire::echoOf(qrd::getBe32(d.data() + 4))); // as a server would
                if (qrd::getBe16(d.data() + 10) == qrd::nm::kLoginStart) {
                    qrd::loginwire::StartReply r;
                    r.exchange = 1;
                    r.salt.assign(16, 0x42);
                    r.iterations = 1000;
                    qrd::loginwire::encode(r, w.data());
                } else {
                    qrd::loginwire::FinishReply r;
                    r.nonce = {9, 9, 9, 9, 9, 9, 0, 0, 0, 1, 0, 0, 0, 1};
                    r.canonical = "alice@Sales@Demo";
                    qrd::loginwire::encode(r, w.data());
                }
            } else {
                continue;
            }
            sendto(fd, w.data().data(), w.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    });
    Outcome o = qrdlogin({"login", "alice@Sales@Demo"}, "alice-pw\n");
    stop = true;
    spoofer.join();
    close(fd);

    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("could not prove"), std::string::npos) << o.err;
    EXPECT_EQ(exchanges, 2) << "the spoofer was asked; the test would prove nothing otherwise";
    const std::string password = "alice-pw";
    for (const std::vector<uint8_t>& d : seen)
        EXPECT_EQ(std::search(d.begin(), d.end(), password.begin(), password.end()), d.end())
            << "the password reached the spoofer";
    EXPECT_EQ(qrdlogin({"status"}).out.rfind("Nobody is logged in", 0), 0u);
}

TEST(LoginUsage, MistakesSayWhatWasWrongThenShowTheUsage) {
    struct Case {
        std::vector<std::string> args;
        std::string expect;
    } cases[] = {
        {{}, "no command given"},
        {{"login"}, "login takes one NAME"},
        {{"login", "a@b@c", "extra"}, "login takes one NAME"},
        {{"status", "now"}, "status takes no arguments"},
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"--verbose"}, "unknown option --verbose"},
    };
    for (const Case& c : cases) {
        Outcome o = qrdlogin(c.args);
        EXPECT_EQ(o.exitCode, 2) << c.expect;
        EXPECT_EQ(o.err.rfind("qrdlogin: " + c.expect + "\n", 0), 0u) << o.err;
        EXPECT_NE(o.err.find("Usage: qrdlogin"), std::string::npos) << o.err;
    }
    Outcome help = qrdlogin({"status", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: qrdlogin", 0), 0u);
}

TEST(LoginSettings, ABadQordaIniStopsEveryCommandWithItsLine) {
    const std::string ini = qrdtest::workstation().dir + "/bad.ini";
    std::ofstream(ini)
        << "[CommStack]\nServerAddress=127.0.0.1\n\n[Internet]\nSearchAddress=my-host\n";
    for (const char* command : {"status", "logout"}) {
        Outcome o = qrdlogin({command}, "", {"QORDA_INI=" + ini});
        EXPECT_EQ(o.exitCode, 1) << command;
        EXPECT_EQ(o.err.rfind("qrdlogin: " + ini +
                                  ":5: [Internet] SearchAddress = \"my-host\" is not valid; "
                                  "expected an IPv4 address",
                              0),
                  0u)
            << o.err;
    }
    Outcome missing = qrdlogin({"status"}, "", {"QORDA_INI=" + ini + ".gone"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find(ini + ".gone: cannot read it"), std::string::npos) << missing.err;
}

} // namespace
