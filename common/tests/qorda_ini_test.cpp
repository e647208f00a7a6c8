// QORDA.INI as people and accidents write it: every fault is reported with
// its file and line, and the settings that are fine still apply.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qrd/config.h"
#include "qrd/ini.h"

namespace {

qrd::IniFile parse(const std::string& text) {
    std::istringstream in(text);
    return qrd::IniFile::parse(in, "Q.INI");
}

// The one problem that mentions `needle`, or "" (and a failure) when not exactly one does.
std::string problemWith(const std::vector<std::string>& problems, const std::string& needle) {
    std::string found;
    int count = 0;
    for (const std::string& p : problems)
        if (p.find(needle) != std::string::npos) found = p, ++count;
    EXPECT_EQ(count, 1) << needle;
    return found;
}

TEST(QordaIni, LinesThatAreNotIniAreReportedWithTheirLine) {
    qrd::IniFile ini = parse("; a comment\n"
                             "[CommStack\n"
                             "PortBase 7100\n"
                             "=7100\n"
                             "[Internet]\n"
                             "SearchPort=9015\n"
                             "\x01\x02garbage\x7f\n");
    std::vector<std::string> p = qrd::qordaIniProblems(ini);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].rfind("Q.INI:2: \"[CommStack\" is a section without its closing ]", 0), 0u);
    EXPECT_EQ(p[1].rfind("Q.INI:3: \"PortBase 7100\" is not a setting", 0), 0u);
    EXPECT_EQ(p[2].rfind("Q.INI:4: \"=7100\" has no key", 0), 0u);
    EXPECT_EQ(p[3].rfind("Q.INI:7: \"??garbage", 0), 0u) << "control bytes are not echoed";
    // What could be read still applies; the rest keeps its defaults.
    qrd::CommStackConfig c = qrd::loadCommStackConfig(ini);
    EXPECT_EQ(c.searchPort, 9015);
    EXPECT_EQ(c.portBase, 7000);
}

TEST(QordaIni, BadValuesNameFileLineKeyAndWhatIsExpected) {
    qrd::IniFile ini = parse("[commstack]\n"
                             "portbase=abc\n"
                             "ServerAddress=localhost\n"
                             "BroadcastAddress=300.1.1.1\n"
                             "Disabled=yes\n"
                             "[Internet]\n"
                             "SearchAddress=\n"
                             "SearchPort=70000\n"
                             "[Client]\n"
                             "Version=-5\n");
    std::vector<std::string> p = qrd::qordaIniProblems(ini);
    EXPECT_EQ(p.size(), 7u);
    EXPECT_EQ(problemWith(p, "PortBase"),
              "Q.INI:2: [CommStack] PortBase = \"abc\" is not valid; expected a whole number "
              "from 1 to 65023 (well-known port P is UDP port PortBase + P) (or no PortBase "
              "line for the default 7000)");
    EXPECT_EQ(problemWith(p, "ServerAddress")
                  .rfind("Q.INI:3: [CommStack] ServerAddress = "
                         "\"localhost\" is not valid; expected an IPv4",
                         0),
              0u);
    EXPECT_NE(problemWith(p, "BroadcastAddress").find("Q.INI:4:"), std::string::npos);
    EXPECT_NE(problemWith(p, "Disabled").find("expected 0 or 1"), std::string::npos);
    EXPECT_NE(
        problemWith(p, "SearchAddress").find("Q.INI:7: [Internet] SearchAddress has no value"),
        std::string::npos);
    EXPECT_NE(problemWith(p, "SearchPort").find("Q.INI:8:"), std::string::npos);
    EXPECT_NE(problemWith(p, "Version").find("Q.INI:10:"), std::string::npos);

    // A library cannot stop over them: it keeps the defaults.
    qrd::CommStackConfig c = qrd::loadCommStackConfig(ini);
    qrd::CommStackConfig defaults;
    EXPECT_EQ(c.portBase, defaults.portBase);
    EXPECT_EQ(c.serverAddress, defaults.serverAddress);
    EXPECT_EQ(c.broadcastAddress, defaults.broadcastAddress);
    EXPECT_EQ(c.searchAddress, defaults.searchAddress);
    EXPECT_EQ(c.searchPort, defaults.searchPort);
}

TEST(QordaIni, NumbersAreDecimalAndInRange) {
    struct Case {
        const char* value;
        bool ok;
        uint16_t portBase;
    } cases[] = {
        {"7100", true, 7100},
        {"07100", true, 7100}, // not octal
        {"0x1B58", false, 7000},
        {"65023", true, 65023},
        {"65024", false, 7000},
        {"0", false, 7000},
        {"-7100", false, 7000},
        {"7100 ", true, 7100}, // trimmed
        {"99999999999999999999", false, 7000},
    };
    for (const Case& c : cases) {
        qrd::IniFile ini = parse(std::string("[CommStack]\nPortBase=") + c.value + "\n");
        EXPECT_EQ(qrd::qordaIniProblems(ini).empty(), c.ok) << c.value;
        EXPECT_EQ(qrd::loadCommStackConfig(ini).portBase, c.portBase) << c.value;
    }
}

TEST(QordaIni, LongLinesAndValuesAreCutInMessagesAndTheLastKeyWins) {
    std::string huge(5000, 'x');
    qrd::IniFile ini = parse("[CommStack]\n" + huge + "\nPortBase=7100\nPortBase=" + huge + "\n");
    std::vector<std::string> p = qrd::qordaIniProblems(ini);
    ASSERT_EQ(p.size(), 2u);
    for (const std::string& s : p)
        EXPECT_LT(s.size(), 300u);
    EXPECT_EQ(p[1].rfind("Q.INI:4: [CommStack] PortBase", 0), 0u) << p[1];
    EXPECT_EQ(ini.where("COMMSTACK", "portbase"), "Q.INI:4");
    EXPECT_EQ(ini.where("CommStack", "Nothing"), "");
}

class QordaIniFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::string(std::getenv("QRD_TEST_WS_DIR")) + "/ini-check";
        std::filesystem::create_directories(dir + "/config/namewright");
        std::filesystem::create_directories(dir + "/etc");
        saved = std::getenv("QORDA_INI");
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("QRD_SYSCONF_DIR", (dir + "/etc").c_str(), 1);
    }
    void TearDown() override { setenv("QORDA_INI", saved.c_str(), 1); }

    std::string dir, saved;
};

TEST_F(QordaIniFile, WithoutAnyFileTheDefaultsApplyAndSaySo) {
    unsetenv("QORDA_INI");
    qrd::QordaIniCheck c = qrd::checkQordaIni();
    EXPECT_TRUE(c.problems.empty());
    EXPECT_EQ(c.source.rfind("defaults on loopback (no " + dir +
                                 "/config/namewright/QORDA.INI or " + dir + "/etc/QORDA.INI)",
                             0),
              0u)
        << c.source;
}

TEST_F(QordaIniFile, AFileNamedByQordaIniMustExist) {
    setenv("QORDA_INI", (dir + "/missing.ini").c_str(), 1);
    qrd::QordaIniCheck c = qrd::checkQordaIni();
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_EQ(c.problems[0], dir + "/missing.ini: cannot read it: No such file or directory "
                                   "(the file $QORDA_INI names)");
    setenv("QORDA_INI", dir.c_str(), 1);
    c = qrd::checkQordaIni();
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_EQ(c.problems[0], dir + ": cannot read it: Is a directory (the file $QORDA_INI names)");
}

TEST_F(QordaIniFile, TheUsersFileIsCheckedAndAnEmptyOneSaysSo) {
    unsetenv("QORDA_INI");
    const std::string path = dir + "/config/namewright/QORDA.INI";
    std::ofstream(path) << "";
    qrd::QordaIniCheck c = qrd::checkQordaIni();
    EXPECT_TRUE(c.problems.empty());
    EXPECT_EQ(c.source, path + " (it sets nothing: defaults on loopback)");

    std::ofstream(path) << "[CommStack]\nPortBase=seven\n";
    c = qrd::checkQordaIni();
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_EQ(c.problems[0].rfind(path + ":2: [CommStack] PortBase = \"seven\"", 0), 0u);
    EXPECT_EQ(c.source, path);
}

} // namespace
