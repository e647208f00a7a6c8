// The action definition file parser: what each key and value gives, and
// lines from a hostile file that must not change another line's meaning.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "action_file.h"

using namespace deskinstall;

namespace {

ActionFile parse(const std::string& text) {
    return parseActionFile(text);
}

// The one action of a file that must define exactly one.
ActionDefinition only(const std::string& text) {
    ActionFile f = parse(text);
    EXPECT_EQ(f.actions.size(), 1u) << text;
    return f.actions.empty() ? ActionDefinition{} : f.actions[0];
}

bool mentions(const ActionFile& f, const std::string& what) {
    for (const std::string& p : f.problems)
        if (p.find(what) != std::string::npos) return true;
    return false;
}

} // namespace

TEST(ActionFile, SectionsGiveActionsWithTheirKeysAndDefaults) {
    ActionFile f = parse("[Editor]\n"
                         "  command =  ~/bin/edit %s  \n"
                         "DESCRIPTION=Edits = text\n"
                         "StartDir=/tmp\n"
                         "Shared=yes\n"
                         "Initial=On\n"
                         "WinMode=SW_SHOWMAXIMIZED\n"
                         "Caps=Doc\n"
                         "Icon=4\n"
                         "[Viewer]\n"
                         "Description=no command line\n");
    ASSERT_EQ(f.actions.size(), 2u);
    const ActionDefinition& e = f.actions[0];
    EXPECT_EQ(e.name, "Editor");
    EXPECT_EQ(e.commandLine, "~/bin/edit %s");
    EXPECT_EQ(e.description, "Edits = text");
    EXPECT_EQ(e.startDirectory, "/tmp");
    EXPECT_EQ(e.shared, 1);
    EXPECT_EQ(e.initial, 1);
    EXPECT_EQ(e.showMode, 3);
    EXPECT_EQ(e.capabilities, 2);
    EXPECT_EQ(e.iconIndex, 4);

    const ActionDefinition& v = f.actions[1];
    EXPECT_EQ(v.name, "Viewer");
    EXPECT_EQ(v.commandLine, "");
    EXPECT_EQ(v.shared, 0);
    EXPECT_EQ(v.initial, 0);
    EXPECT_EQ(v.showMode, 1);
    EXPECT_EQ(v.capabilities, 0);
    EXPECT_EQ(v.iconIndex, 0);
    EXPECT_TRUE(f.problems.empty());
}

TEST(ActionFile, BooleansAreTheListedWordsInAnyCase) {
    for (const char* yes :
         {"YES", "yes", "1", "one", "True", "ON", "oui", "Ja", "si", "OkYah", "kychnijz"})
        EXPECT_TRUE(parseBoolean(yes)) << yes;
    for (const char* no : {"", "no", "0", "Y", "yes please", "2", "TRUE!", "off"})
        EXPECT_FALSE(parseBoolean(no)) << no;
    // Personal is the other side of Shared; the last line decides.
    EXPECT_EQ(only("[a]\nShared=yes\nPersonal=yes\n").shared, 0);
    EXPECT_EQ(only("[a]\nPersonal=no\n").shared, 1);
    EXPECT_EQ(only("[a]\nShared=yes\nShared=nope\n").shared, 0);
}

TEST(ActionFile, WinModeNamesInAnyCaseAndUnknownOnesGiveNormal) {
    EXPECT_EQ(only("[a]\nWinMode=sw_maximize\n").showMode, 3);
    EXPECT_EQ(only("[a]\nWinMode=SW_HIDE\n").showMode, 0);
    EXPECT_EQ(only("[a]\nWinMode=SW_MINIZE\n").showMode, 6);
    EXPECT_EQ(only("[a]\nWinMode=SW_MINIMIZE\n").showMode, 6);
    EXPECT_EQ(only("[a]\nWinMode=SW_SHOWDEFAULT\n").showMode, 10);
    ActionFile f = parse("[a]\nWinMode=SW_HIDE\nWinMode=SW_BIGGER\n");
    EXPECT_EQ(f.actions.at(0).showMode, 1);
    EXPECT_TRUE(mentions(f, "SW_BIGGER"));
}

TEST(ActionFile, CapabilitiesAddTheBitsOfEveryKnownName) {
    EXPECT_EQ(parseCapabilities("Doc Web"), 10);
    EXPECT_EQ(parseCapabilities("\tdocuments\r\nPEOPLE  generic "), 2 | 4 | 16);
    EXPECT_EQ(parseCapabilities("URL FTP HTTP WWW Internet DIR_TYPE_WEB"), 8);
    EXPECT_EQ(parseCapabilities("None Nothing DIR_TYPE_NONE"), 0);
    EXPECT_EQ(parseCapabilities("Doc All"), -1);
    EXPECT_EQ(parseCapabilities("\"\""), 16);
    std::vector<std::string> unknown;
    EXPECT_EQ(parseCapabilities("Doc Spreadsheets Web", &unknown), 10);
    EXPECT_EQ(unknown, std::vector<std::string>{"Spreadsheets"});
    EXPECT_EQ(only("[a]\nCap=People\n").capabilities, 4);
    EXPECT_EQ(only("[a]\nCapabilities=Doc Web\n").capabilities, 10);
}

TEST(ActionFile, AnOverlongLineIsPassedOverWholeNeverSplit) {
    // Cut at 255 bytes, the tail would read as a line of its own.
    std::string description = "Description=" + std::string(250, 'x') + "Command=rm -rf ~";
    ActionFile f = parse("[a]\nCommand=safe\n" + description + "\n");
    EXPECT_EQ(f.actions.at(0).commandLine, "safe");
    EXPECT_EQ(f.actions.at(0).description, "");
    EXPECT_TRUE(mentions(f, "line 3: line longer than 255"));

    // 255 bytes is still a line.
    std::string longest = "Command=" + std::string(kMaxLineLength - 8, 'c');
    EXPECT_EQ(only("[a]\n" + longest + "\n").commandLine.size(), kMaxLineLength - 8);

    // An overlong header still ends the section before it.
    ActionFile h = parse("[a]\nCommand=one\n[" + std::string(300, 'n') + "]\nCommand=two\n");
    ASSERT_EQ(h.actions.size(), 1u);
    EXPECT_EQ(h.actions[0].commandLine, "one");
}

TEST(ActionFile, BadHeadersSkipTheirSectionInsteadOfLendingItToTheOneBefore) {
    for (const char* bad : {"[unclosed\n", "[]\n", "[   ]\n", "[na\tme\x01]\n"}) {
        ActionFile f = parse(std::string("[good]\nCommand=good\n") + bad + "Command=evil\n");
        ASSERT_EQ(f.actions.size(), 1u) << bad;
        EXPECT_EQ(f.actions[0].commandLine, "good") << bad;
        EXPECT_FALSE(f.problems.empty()) << bad;
    }
    // Text after "]" is not part of the name; "[" inside a value starts nothing.
    ActionFile f = parse("[ Tool ] trailing\nDescription=see [manual]\nIcon=2\n");
    ASSERT_EQ(f.actions.size(), 1u);
    EXPECT_EQ(f.actions[0].name, "Tool");
    EXPECT_EQ(f.actions[0].description, "see [manual]");
    EXPECT_EQ(f.actions[0].iconIndex, 2);
}

TEST(ActionFile, LinesWithControlBytesOrOutsideSectionsAreIgnored) {
    std::string nul("Command=ok\0; rm -rf ~", 21);
    ActionFile f = parse("Command=before any section\n[a]\n" + nul + "\nStartDir=/s\x1b[2J\n");
    ASSERT_EQ(f.actions.size(), 1u);
    EXPECT_EQ(f.actions[0].commandLine, "");
    EXPECT_EQ(f.actions[0].startDirectory, "");
    EXPECT_TRUE(mentions(f, "line 1:"));
    EXPECT_TRUE(mentions(f, "line 3: line holds control characters"));
    EXPECT_TRUE(mentions(f, "line 4: line holds control characters"));
    // Remarks and unknown keys change nothing.
    ActionDefinition d = only("[a]\n; a remark\nremark without equals\nColour=red\n=x\n");
    EXPECT_EQ(d.commandLine, "");
}

TEST(ActionFile, LineEndsOfEveryKindAndAByteOrderMark) {
    ActionFile f = parse("\xEF\xBB\xBF[a]\r\nCommand=crlf\r\n[b]\rCommand=cr\r[c]\nCommand=lf");
    ASSERT_EQ(f.actions.size(), 3u);
    EXPECT_EQ(f.actions[0].name, "a");
    EXPECT_EQ(f.actions[0].commandLine, "crlf");
    EXPECT_EQ(f.actions[1].commandLine, "cr");
    EXPECT_EQ(f.actions[2].commandLine, "lf");
    EXPECT_TRUE(f.problems.empty());
    EXPECT_TRUE(parse("").actions.empty());
    EXPECT_TRUE(parse("\n\r\n\r").actions.empty());
}

TEST(ActionFile, IconMustBeAWholeNumberThatFits32Bits) {
    EXPECT_EQ(only("[a]\nIcon=-3\n").iconIndex, -3);
    EXPECT_EQ(only("[a]\nIcon=2147483647\n").iconIndex, 2147483647L);
    for (const char* bad : {"12abc", "2147483648", "99999999999999999999", "-", "", "0x10"}) {
        ActionFile f = parse(std::string("[a]\nIcon=7\nIcon=") + bad + "\n");
        EXPECT_EQ(f.actions.at(0).iconIndex, 0) << bad;
        EXPECT_TRUE(mentions(f, "Icon")) << bad;
    }
}

TEST(ActionFile, InstallDirectoryTakesThePlaceOfTheTilde) {
    EXPECT_EQ(applyInstallDirectory("~bin/tool %s", "/opt/app"), "/opt/app/bin/tool %s");
    EXPECT_EQ(applyInstallDirectory("~/bin/tool", "/opt/app"), "/opt/app/bin/tool");
    EXPECT_EQ(applyInstallDirectory("~bin/tool", "/opt/app/"), "/opt/app/bin/tool");
    EXPECT_EQ(applyInstallDirectory("~\\bin\\tool.exe", "\\\\srv\\apps"),
              "\\\\srv\\apps\\bin\\tool.exe");
    EXPECT_EQ(applyInstallDirectory("~", "/opt/app"), "/opt/app");
    EXPECT_EQ(applyInstallDirectory("bin/~tool", "/opt/app"), "bin/~tool");
    EXPECT_EQ(applyInstallDirectory("~tool", ""), "~tool");
}

TEST(ActionFile, ReadingRefusesWhatIsNoDefinitionFile) {
    ActionFile f;
    std::string why;
    EXPECT_FALSE(readActionFile("/nonexistent/actions.ini", f, why));
    EXPECT_NE(why.find("No such file"), std::string::npos) << why;
    EXPECT_FALSE(readActionFile("/tmp", f, why));

    char path[] = "/tmp/actionfile-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out << "[a]\nCommand=x\n";
    }
    ASSERT_TRUE(readActionFile(path, f, why)) << why;
    EXPECT_EQ(f.actions.at(0).commandLine, "x");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(kMaxFileSize + 1, '\n');
    }
    EXPECT_FALSE(readActionFile(path, f, why));
    EXPECT_NE(why.find("larger than"), std::string::npos) << why;
    std::remove(path);
}
