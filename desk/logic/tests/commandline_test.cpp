// Expanding and splitting an action's command line.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "actions/commandline.h"

using namespace usraction;

namespace {

Environment fakeEnvironment(std::map<std::string, std::string> vars) {
    return [vars](const std::string& name) -> std::optional<std::string> {
        auto it = vars.find(name);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
}

std::function<bool(const std::string&)> existing(std::set<std::string> files) {
    return [files](const std::string& p) { return files.count(p) > 0; };
}

TEST(Expansion, ItemAndVariablesAreReplacedAndUnknownVariablesVanish) {
    Environment env = fakeEnvironment({{"EDITOR_HOME", "/opt/ed"}, {"EMPTY", ""}});
    EXPECT_EQ(expandCommandLine("%EDITOR_HOME%/ed \"%%\"", "/mnt/f/a b.txt", env),
              "/opt/ed/ed \"/mnt/f/a b.txt\"");
    EXPECT_EQ(expandCommandLine("run %NOT_SET%x%EMPTY%y", "", env), "run xy");
    // %% with no item leaves nothing, the rest stays.
    EXPECT_EQ(expandCommandLine("view \"%%\" -r", "", env), "view \"\" -r");
    // A lone percent sign is text.
    EXPECT_EQ(expandCommandLine("scale 100%", "i", env), "scale 100%");
}

TEST(Expansion, VariableNamesAreCutTo32Bytes) {
    std::string name32(32, 'V');
    Environment env = fakeEnvironment({{name32, "cut"}});
    EXPECT_EQ(expandCommandLine("a %" + name32 + "XYZ% b", "", env), "a cut b");
}

TEST(Expansion, TheLineIsCutAt260BytesAndNeverInsideACharacter) {
    std::string line(300, 'x');
    EXPECT_EQ(expandCommandLine(line, ""), std::string(260, 'x'));

    // An item that overflows is cut, and nothing after it is taken.
    std::string expanded = expandCommandLine("prog %% tail", std::string(400, 'i'));
    EXPECT_EQ(expanded.size(), 260u);
    EXPECT_EQ(expanded.substr(0, 5), "prog ");
    EXPECT_EQ(expanded.find("tail"), std::string::npos);

    // 259 bytes then a two-byte character: it does not fit, and a later
    // one-byte character is not squeezed in behind the gap.
    std::string nearlyFull(259, 'y');
    EXPECT_EQ(expandCommandLine(nearlyFull + "\xC3\xA9" + "z", ""), nearlyFull);
}

TEST(Splitting, QuotedProgramsAndPathsWithBlanksKeepTheirBlanks) {
    auto none = existing({});
    CommandParts quoted = splitCommandLine("\"/opt/my tools/ed\" \"/mnt/a b.txt\" -x", none);
    EXPECT_EQ(quoted.program, "/opt/my tools/ed");
    EXPECT_EQ(quoted.parameters, "\"/mnt/a b.txt\" -x");

    // The program ends at the separator after its first dot when that
    // names a file: a path with a blank before the extension.
    CommandParts dotted =
        splitCommandLine("/opt/my tools/ed.sh \"/x y\"", existing({"/opt/my tools/ed.sh"}));
    EXPECT_EQ(dotted.program, "/opt/my tools/ed.sh");
    EXPECT_EQ(dotted.parameters, "\"/x y\"");

    // A Linux program without an extension, given a file with one.
    CommandParts plain = splitCommandLine("python3 script.py --fast", none);
    EXPECT_EQ(plain.program, "python3");
    EXPECT_EQ(plain.parameters, "script.py --fast");

    // A whole line that names a file (an item opened on its own).
    CommandParts whole = splitCommandLine("/home/u/my notes", existing({"/home/u/my notes"}));
    EXPECT_EQ(whole.program, "/home/u/my notes");
    EXPECT_EQ(whole.parameters, "");

    EXPECT_EQ(splitCommandLine("", none).program, "");
}

TEST(Splitting, ParametersFollowDoubleQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitParameters("\"\\\\SVC\\docs\\a b.doc\" -r"),
              (V{"\\\\SVC\\docs\\a b.doc", "-r"}));
    EXPECT_EQ(splitParameters("  one\ttwo  "), (V{"one", "two"}));
    EXPECT_EQ(splitParameters("\"\" x"), (V{"", "x"}));
    EXPECT_EQ(splitParameters("pre\"fix mid\"post"), (V{"prefix midpost"}));
    EXPECT_TRUE(splitParameters("   ").empty());
}

} // namespace
