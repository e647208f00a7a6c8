// What surrounds the measurements: the echo baseline, the temporary
// workstation and its clean-up, and child processes with time-outs.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

#include "echo.h"
#include "harness.h"
#include "qrd/bytes.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> request(uint16_t size, uint32_t sequence, size_t length = kRequestSize) {
    std::vector<uint8_t> r(length < 6 ? 6 : length, 0);
    qrd::putBe16(r.data(), size);
    qrd::putBe32(r.data() + 2, sequence);
    r.resize(length);
    return r;
}

TEST(BenchEcho, RepliesCarryTheSequenceAndTheAskedSize) {
    std::vector<uint8_t> reply;
    auto r = request(4096, 0xA1B2C3D4);
    ASSERT_TRUE(echoReply(r.data(), r.size(), reply));
    ASSERT_EQ(reply.size(), 4096u);
    EXPECT_EQ(qrd::getBe32(reply.data()), 0xA1B2C3D4u);

    // Not requests: too short, a reply too small for the sequence number.
    auto shortOne = request(100, 1, 5);
    EXPECT_FALSE(echoReply(shortOne.data(), shortOne.size(), reply));
    auto tiny = request(3, 1);
    EXPECT_FALSE(echoReply(tiny.data(), tiny.size(), reply));
    // The largest datagram UDP carries is answered in full.
    auto big = request(uint16_t(kMaxReply), 2);
    ASSERT_TRUE(echoReply(big.data(), big.size(), reply));
    EXPECT_EQ(reply.size(), kMaxReply);
    auto tooBig = request(uint16_t(kMaxReply + 1), 2);
    EXPECT_FALSE(echoReply(tooBig.data(), tooBig.size(), reply));
}

TEST(BenchEcho, RoundTripsBetweenProcessesAndTimesOutWithoutServer) {
    EchoServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    EchoClient client;
    ASSERT_TRUE(client.open(server.port(), error)) << error;
    for (size_t size : {size_t(100), size_t(4096), kMaxReply})
        EXPECT_TRUE(client.roundTrip(size, 2000, error)) << size << ": " << error;

    uint16_t port = server.port();
    server.stop();
    EchoClient orphan;
    ASSERT_TRUE(orphan.open(port, error)) << error;
    auto t0 = std::chrono::steady_clock::now();
    // Loopback reports the closed port (ECONNREFUSED) or nothing comes back;
    // either way the call ends with a message, within its time-out.
    EXPECT_FALSE(orphan.roundTrip(100, 300, error));
    EXPECT_FALSE(error.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
}

TEST(BenchWorkspace, OwnFolderPortSlotAndCleanUp) {
    fs::path parent = fs::temp_directory_path() / ("qrdbenchtest-" + std::to_string(getpid()));
    fs::create_directories(parent);
    Workspace ws;
    std::string error;
    ASSERT_TRUE(ws.create(parent.string(), error)) << error;
    ASSERT_TRUE(fs::is_directory(ws.dir()));
    EXPECT_EQ(fs::path(ws.dir()).parent_path(), parent);
    std::ifstream ini(ws.dir() + "/QORDA.INI");
    std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("PortBase=" + std::to_string(ws.portBase()) + "\n"), std::string::npos);
    EXPECT_NE(text.find("BroadcastAddress=127.255.255.255"), std::string::npos);
    EXPECT_EQ((ws.portBase() - 10240) % 512, 0);

    // The slot is held: nobody else gets its lock while the workspace lives.
    std::string lock =
        "/tmp/qrd-test-portbase-" + std::to_string((ws.portBase() - 10240) / 512) + ".lock";
    int fd = open(lock.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);

    // Shared blocks of this workstation go; a workstation whose id merely
    // starts the same keeps its own.
    std::string mine = "/dev/shm/qrdbenchtestblock." + ws.workstationId();
    std::string other = mine + "7";
    std::ofstream(mine).put('x');
    std::ofstream(other).put('x');
    ws.cleanup(false);
    EXPECT_FALSE(fs::exists(ws.dir()));
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(other));
    // The slot is free again.
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    fs::remove(other);

    Workspace kept;
    ASSERT_TRUE(kept.create(parent.string(), error)) << error;
    kept.cleanup(true);
    EXPECT_TRUE(fs::is_directory(kept.dir()));
    fs::remove_all(parent);
}

TEST(BenchTools, InputOutputExitCodesAndTimeOut) {
    ToolOutcome cat = runTool("/bin/cat", {}, "secret line\n", 5000);
    EXPECT_EQ(cat.exitCode, 0);
    EXPECT_EQ(cat.out, "secret line\n");

    ToolOutcome failing = runTool("/bin/sh", {"-c", "echo why >&2; exit 3"}, "", 5000);
    EXPECT_EQ(failing.exitCode, 3);
    EXPECT_EQ(failing.err, "why\n");

    ToolOutcome missing = runTool("/nonexistent/program", {}, "", 5000);
    EXPECT_EQ(missing.exitCode, 127);

    auto t0 = std::chrono::steady_clock::now();
    ToolOutcome hung = runTool("/bin/sleep", {"30"}, "", 300);
    EXPECT_EQ(hung.exitCode, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

class BenchDaemon : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qrdbenchd-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string script(const std::string& name, const std::string& body) {
        fs::path p = dir_ / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
    fs::path dir_;
};

TEST_F(BenchDaemon, ReadyLineIsWaitedForAndAStubbornDaemonIsKilled) {
    // Ignores SIGTERM: stop must fall back to SIGKILL within its grace.
    std::string stubborn = script("stubborn", "trap '' TERM\n"
                                              "echo \"namewrightd ready: test\"\n"
                                              "while :; do sleep 1 >/dev/null; done");
    Daemon d;
    std::string error;
    ASSERT_TRUE(d.start(stubborn, {}, (dir_ / "log").string(), 5000, error)) << error;
    EXPECT_TRUE(d.running());
    auto t0 = std::chrono::steady_clock::now();
    d.stop(300);
    EXPECT_FALSE(d.running());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
}

TEST_F(BenchDaemon, StartFailsOnWrongLineEarlyEndOrSilence) {
    std::string error;
    Daemon wrong;
    EXPECT_FALSE(wrong.start(script("wrong", "echo \"cannot open database\"; exec sleep 30"), {},
                             (dir_ / "log").string(), 5000, error));
    EXPECT_NE(error.find("cannot open database"), std::string::npos);

    Daemon ended;
    EXPECT_FALSE(ended.start(script("ended", "echo broken >&2; exit 1"), {},
                             (dir_ / "log").string(), 5000, error));
    EXPECT_NE(error.find("ended"), std::string::npos);
    // Its standard error went to the log.
    std::ifstream log(dir_ / "log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("broken"), std::string::npos);

    Daemon silent;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        silent.start(script("silent", "exec sleep 30"), {}, (dir_ / "log").string(), 300, error));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    silent.stop(300);
}

} // namespace
} // namespace bench
