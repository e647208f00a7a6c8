// A program's icon from the installed desktop entries, in data
// directories of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "files/xdgapps.h"

namespace fs = std::filesystem;

namespace {

class ProgramIcon : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("programicon-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
        setenv("XDG_DATA_DIRS", ("relative/dir:" + (root_ / "sys").string()).c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }

    void entry(const std::string& where, const std::string& name, const std::string& body) {
        const fs::path dir = root_ / where / "applications";
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name) << "[Desktop Entry]\n" << body;
    }

    fs::path root_;
};

} // namespace

TEST_F(ProgramIcon, EntriesAreMatchedByTheProgramTheyStart) {
    entry("sys", "quoted.desktop",
          "Type=Application\nExec=\"/opt/my tools/edit\\\"or\" --new %F\nIcon=quoted-icon\n");
    entry("sys", "vendor/nested.desktop",
          "Exec=env LANG=C FOO=1 viewer %u\nIcon=/abs/viewer.png\n");
    entry("sys", "tryexec.desktop", "TryExec=/usr/bin/calc\nExec=launcher calc\nIcon=calc-icon\n");
    entry("sys", "noicon.desktop", "Exec=/bin/plain\n");

    EXPECT_EQ(usrfile::programIconName("/opt/my tools/edit\"or"), "quoted-icon");
    EXPECT_EQ(usrfile::programIconName("/opt/my tools/../my tools/edit\"or"), "quoted-icon");
    // A bare name on either side matches by file name, in sub-folders too.
    EXPECT_EQ(usrfile::programIconName("/usr/local/bin/viewer"), "/abs/viewer.png");
    EXPECT_EQ(usrfile::programIconName("calc"), "calc-icon");
    EXPECT_EQ(usrfile::programIconName("/usr/bin/calc"), "calc-icon");
    // Different paths with one file name are different programs.
    EXPECT_EQ(usrfile::programIconName("/opt/other/edit\"or"), "");
    EXPECT_EQ(usrfile::programIconName("/bin/plain"), "");
    EXPECT_EQ(usrfile::programIconName("env"), "");
    EXPECT_EQ(usrfile::programIconName(""), "");
}

TEST_F(ProgramIcon, TheUsersEntriesComeFirstAndHiddenOnesDoNotCount) {
    entry("sys", "tool.desktop", "Exec=/usr/bin/tool\nIcon=system-tool\n");
    entry("home", "tool.desktop", "Exec=/usr/bin/tool\nIcon=my-tool\n");
    EXPECT_EQ(usrfile::programIconName("/usr/bin/tool"), "my-tool");
    entry("home", "tool.desktop", "Exec=/usr/bin/tool\nIcon=my-tool\nHidden=true\n");
    EXPECT_EQ(usrfile::programIconName("/usr/bin/tool"), "system-tool");
    entry("sys", "tool.desktop", "Type=Link\nExec=/usr/bin/tool\nIcon=system-tool\n");
    EXPECT_EQ(usrfile::programIconName("/usr/bin/tool"), "");
    // An entry too large to be one is not read.
    entry("sys", "huge.desktop",
          "Exec=/usr/bin/huge\nIcon=huge\nX-Pad=" + std::string(300 * 1024, 'x') + "\n");
    EXPECT_EQ(usrfile::programIconName("/usr/bin/huge"), "");
}
