// Launching: what an action's command line starts (through a recorder), and
// one real start of a script of the test's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "actions/launch.h"
#include "actions/processlauncher.h"
#include "core/strings.h"
#include "files/usrfile.h"
#include "launchrecorder.h"
#include "testenv.h"
#include "testfiles.h"

namespace fs = std::filesystem;
using namespace usraction;
using Kind = LaunchRequest::Kind;

using deskfiles::writeFile;

namespace {

const std::string kService = "\\\\Namewright\\FILES@Sales@Demo\\docs";

class Launching : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        qrdtest::appendQordaIni(
            "[Client]\nVersion=70651\n[DriveMappings]\nF=FILES@Sales@Demo,docs," + mount() + "\n");
        writeFile(mount() + "/tools/edit.sh", "#!/bin/sh\n", 0755);
        writeFile(mount() + "/tools/notes.bat", "echo\n", 0644);
        writeFile(mount() + "/reports/a b.doc", "x");
    }
    static std::string ws() { return qrdtest::workstation().dir; }
    static std::string mount() { return ws() + "/mnt/files"; }
    RecordLaunches record;
};

TEST_F(Launching, AnExecutableOnAShareStartsWithTheItemQuotedAndItsStartDirectory) {
    LaunchInput in;
    in.commandLine = kService + "\\tools\\edit.sh \"%%\"";
    in.item = kService + "\\reports\\a b.doc";
    in.startDirectory = kService + "\\reports";
    in.showMode = 3;
    ASSERT_EQ(launch(in), 0);
    ASSERT_EQ(record.recorder->started.size(), 1u);
    const LaunchRequest& r = record.recorder->started[0];
    EXPECT_EQ(r.kind, Kind::Direct);
    EXPECT_EQ(r.program, mount() + "/tools/edit.sh");
    EXPECT_EQ(r.arguments, std::vector<std::string>{mount() + "/reports/a b.doc"});
    EXPECT_EQ(r.workingDirectory, mount() + "/reports");
    EXPECT_EQ(r.showMode, 3);
    EXPECT_EQ(r.verb, "open");

    // An item cannot smuggle arguments past its quotes.
    in.item = "/x/a\" --evil \"b";
    ASSERT_EQ(launch(in), 0);
    EXPECT_EQ(record.recorder->started.back().arguments, std::vector<std::string>{"/x/a --evil b"});
}

TEST_F(Launching, AFileThatIsNotExecutableGoesToTheOpenerWithShowNormal) {
    LaunchInput in;
    in.commandLine = mount() + "/tools/notes.bat";
    in.showMode = 3;
    ASSERT_EQ(launch(in), 0);
    ASSERT_EQ(record.recorder->started.size(), 1u);
    const LaunchRequest& r = record.recorder->started[0];
    EXPECT_EQ(r.kind, Kind::OpenWithDefault);
    EXPECT_EQ(r.program, kOpener);
    EXPECT_EQ(r.arguments, std::vector<std::string>{mount() + "/tools/notes.bat"});
    EXPECT_EQ(r.showMode, kShowNormal);
}

TEST_F(Launching, FailuresAreSystemCodesWithTheirText) {
    EXPECT_EQ(launch({"/no/such/program \"%%\"", "x", "", 1, "open"}), ENOENT);
    EXPECT_EQ(launch({"", "", "", 1, "open"}), ENOENT);
    EXPECT_TRUE(record.recorder->started.empty());

    record.recorder->result = EACCES;
    EXPECT_EQ(launch({mount() + "/tools/edit.sh", "", "", 1, "open"}), EACCES);
    EXPECT_NE(USRErrorText(ENOENT).find("No such file or directory"), std::string::npos);
    EXPECT_EQ(launchCode(ENAMETOOLONG), ENOENT);
    EXPECT_LT(launchCode(EHOSTUNREACH), 33);
}

TEST_F(Launching, OpeningAFileWithItsDefaultProgram) {
    // A local file, blanks and no extension: the whole path goes to the opener.
    writeFile(ws() + "/home/My Notes", "x");
    ASSERT_EQ(openWithDefaultProgram(ws() + "/home/My Notes"), 0);
    // A mounted share's file normalises first, then goes through the
    // program registered for its type, with its local path.
    deskfiles::useOwnApplications(ws(), "text/plain=viewer.desktop\n");
    writeFile(ws() + "/share/applications/viewer.desktop",
              "[Desktop Entry]\nExec=" + ws() + "/bin/viewer --read %f\n");
    writeFile(ws() + "/bin/viewer", "#!/bin/sh\n", 0755);
    writeFile(mount() + "/reports/to do.txt", "x");
    ASSERT_EQ(openWithDefaultProgram(mount() + "/reports/to do.txt"), 0);

    ASSERT_EQ(record.recorder->started.size(), 2u);
    EXPECT_EQ(record.recorder->started[0].kind, Kind::OpenWithDefault);
    EXPECT_EQ(record.recorder->started[0].arguments,
              std::vector<std::string>{ws() + "/home/My Notes"});
    const LaunchRequest& viewer = record.recorder->started[1];
    EXPECT_EQ(viewer.kind, Kind::Direct);
    EXPECT_EQ(viewer.program, ws() + "/bin/viewer");
    EXPECT_EQ(viewer.arguments,
              (std::vector<std::string>{"--read", mount() + "/reports/to do.txt"}));

    EXPECT_EQ(openWithDefaultProgram(kService + "\\reports\\photo.unknownkind"), ENOENT);

    // An executable on a share starts on its own, not with itself as its file.
    ASSERT_EQ(openWithDefaultProgram(kService + "\\tools\\edit.sh"), 0);
    const LaunchRequest& tool = record.recorder->started.back();
    EXPECT_EQ(tool.kind, Kind::Direct);
    EXPECT_EQ(tool.program, mount() + "/tools/edit.sh");
    EXPECT_TRUE(tool.arguments.empty());
}

// Waits for a file to appear; false after the timeout.
bool waitForFile(const std::string& path, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(RealLaunch, TheProgramGetsItsArgumentsAndWorkingDirectoryAndNoOtherDescriptor) {
    std::string ws = qrdtest::workstation().dir;
    std::string script = ws + "/bin/probe";
    std::string out = ws + "/probe.out";
    // Writes its working directory, whether descriptor $2 reached it, and
    // its other arguments, then renames the file into place so that the
    // test never reads half of it.
    writeFile(script,
              "#!/bin/sh\nout=\"$1\"; fd=\"$2\"; shift 2\n"
              "{ pwd; if [ -e /proc/$$/fd/$fd ]; then echo leaked; else echo closed; fi\n"
              "  for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.part\"\n"
              "mv \"$out.part\" \"$out\"\n",
              0755);
    fs::create_directories(ws + "/work dir");
    std::string item = ws + "/some dir/a b.txt";
    int open = ::open(script.c_str(), O_RDONLY); // inheritable
    ASSERT_GE(open, 0);

    ASSERT_EQ(launch({script + " " + out + " " + std::to_string(open) + " \"%%\" second", item,
                      ws + "/work dir", 1, "open"}),
              0);
    ::close(open);
    ASSERT_TRUE(waitForFile(out, std::chrono::seconds(10)));
    std::vector<std::string> got = lines(out);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(fs::canonical(got[0]), fs::canonical(ws + "/work dir"));
    EXPECT_EQ(got[1], "closed");
    EXPECT_EQ(got[2], item);
    EXPECT_EQ(got[3], "second");
}

TEST(RealLaunch, AProgramThatCannotStartIsAnError) {
    std::string ws = qrdtest::workstation().dir;
    writeFile(ws + "/plain.txt", "not a program", 0644);
    USRProcessLauncher real;
    LaunchRequest request;
    request.program = ws + "/plain.txt";
    EXPECT_EQ(real.start(request), EACCES);
    request.program = ws + "/missing";
    EXPECT_EQ(real.start(request), ENOENT);
    writeFile(ws + "/ok.sh", "#!/bin/sh\n", 0755);
    request.program = ws + "/ok.sh";
    request.workingDirectory = ws + "/no such dir";
    EXPECT_EQ(real.start(request), ENOENT);
}

} // namespace
