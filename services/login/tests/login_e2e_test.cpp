// The login command end to end against a real daemon: names typed in UTF-8
// reach the service in Latin-1 and come back as typed; mistakes are told
// plainly and exit with the documented codes.
#include <gtest/gtest.h>

#include <fstream>

#include "nwd_process.h"
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
