// loss_bench: 10,000-byte attribute reads and durable writes through the
// client library while datagrams are lost at random: success rate, p50 and
// p99 at 0%, 10% and 30% loss.
//
// Loss is made inside a network namespace of this program's own (the kernel
// here has no netem): an nftables rule on the input hook drops each UDP
// datagram with the chosen probability (`numgen random mod 100 < N`). On
// loopback every datagram passes the input hook once, so requests and
// replies are each lost with that probability. Needs root and nft; without
// them it says so and does nothing. The namespace ends with the program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "harness.h"
#include "qrd/bytes.h"
#include "qrdlib.h"
#include "setup.h"
#include "stats.h"

namespace bench {
namespace {

constexpr size_t kValueBytes = 10000;
constexpr uint32_t kCategory = 52, kReadNumber = 300, kWriteNumber = 301;
constexpr int kLossPercents[] = {0, 10, 30};
constexpr int kToolTimeoutMs = 10000;
constexpr int kReadyTimeoutMs = 15000;

const char kUsage[] =
    "usage: loss_bench [--ops N] [--daemon PATH] [--library PATH]\n"
    "  10,000-byte reads and durable writes at 0%, 10% and 30% datagram loss, in a\n"
    "  network namespace with an nftables drop rule (run as root; needs nft).\n"
    "  --ops N        operations of each kind per loss level (default 200)\n"
    "  --daemon PATH  the namewrightd to measure (default: this build's)\n"
    "  --library PATH the client library (default: this build's libqrdxapi.so)\n";

struct Options {
    size_t ops = 200;
    std::string daemon, library;
};

void fail(const std::string& message) {
    std::fprintf(stderr, "loss_bench: %s\n", message.c_str());
}

bool nft(const std::vector<std::string>& args, std::string& error) {
    ToolOutcome o = runTool("/usr/sbin/nft", args, "", kToolTimeoutMs);
    if (o.exitCode == 0) return true;
    error = "nft";
    for (const std::string& a : args)
        error += " " + a;
    error += ": " + o.err;
    return false;
}

// Drops `percent` of the UDP datagrams that reach this namespace.
bool setLoss(int percent, std::string& error) {
    if (!nft({"flush", "chain", "inet", "qrdloss", "input"}, error)) return false;
    if (percent == 0) return true;
    return nft({"add", "rule", "inet", "qrdloss", "input", "meta", "l4proto", "udp", "numgen",
                "random", "mod", "100", "lt", std::to_string(percent), "drop"},
               error);
}

// A namespace of our own with loopback up and the (empty) drop chain.
bool enterNamespace(std::string& error) {
    if (unshare(CLONE_NEWNET) != 0) {
        error = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return false;
    }
    ToolOutcome up = runTool("/usr/sbin/ip", {"link", "set", "lo", "up"}, "", kToolTimeoutMs);
    if (up.exitCode != 0) {
        error = "ip link set lo up: " + up.err;
        return false;
    }
    return nft({"add", "table", "inet", "qrdloss"}, error) &&
           nft({"add", "chain", "inet", "qrdloss", "input",
                "{ type filter hook input priority 0 ; policy accept ; }"},
               error);
}

std::vector<uint8_t> pattern(uint32_t seed) {
    std::vector<uint8_t> v(kValueBytes);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = uint8_t(i * 31 + seed + i / 4096);
    return v;
}

double nowUs() {
    return double(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

class Worker {
  public:
    Worker(const Options& o) : o_(o) {}

    int run() {
        std::string error;
        if (!lib_.load(o_.library, error)) return failed(error);
        if (!login(error)) return failed(error);
        const std::vector<uint8_t> stable = pattern(7);
        if (QRDSTATUS st = write(kReadNumber, stable)) return failed("store: " + lib_.describe(st));

        std::printf("\n%-6s %-16s %8s %10s %10s %10s\n", "loss", "operation", "success", "p50 ms",
                    "p99 ms", "max ms");
        for (int percent : kLossPercents) {
            if (!setLoss(percent, error)) return failed(error);
            std::vector<double> wt, rt;
            size_t wOk = 0, rOk = 0;
            for (size_t i = 0; i < o_.ops; ++i) {
                std::vector<uint8_t> v = pattern(uint32_t(i));
                qrd::putBe32(v.data(), uint32_t(percent * 100000 + i));
                double t0 = nowUs();
                if (write(kWriteNumber, v) == 0) ++wOk;
                wt.push_back(nowUs() - t0);
                std::vector<uint8_t> back(kValueBytes);
                t0 = nowUs();
                if (read(kReadNumber, back) == 0 && back == stable) ++rOk;
                rt.push_back(nowUs() - t0);
            }
            setLoss(0, error);
            row(percent, "write (durable)", wOk, wt);
            row(percent, "read", rOk, rt);
        }
        lib_.endNmSession(&session_);
        lib_.done();
        return 0;
    }

  private:
    int failed(const std::string& m) {
        fail(m);
        return 1;
    }

    void row(int percent, const char* op, size_t ok, const std::vector<double>& us) {
        std::printf("%3d%%   %-16s %7.1f%% %10.2f %10.2f %10.2f\n", percent, op,
                    100.0 * double(ok) / double(o_.ops), percentile(us, 50) / 1000,
                    percentile(us, 99) / 1000, *std::max_element(us.begin(), us.end()) / 1000);
        std::fflush(stdout);
    }

    bool login(std::string& error) {
        QRD_NONCE nonce{};
        if (!lib_.findAndLogIn(service_, nonce, user_, error)) return false;
        QRDSTATUS st = lib_.setNonce(&nonce);
        if (!st) st = lib_.startNmSession(&service_, QRD_CHARSET_LATIN1, nullptr, &session_);
        if (st) {
            error = "no session: " + lib_.describe(st);
            return false;
        }
        return true;
    }

    QRDSTATUS write(uint32_t number, const std::vector<uint8_t>& v) {
        AttrName a{kCategory, number};
        uint32_t index = 0, flags = 2;
        return lib_.setSNmAttr(&session_, user_.c_str(), QRD_OCL_OBJECT, &a, ATTR_RAW, &index,
                               uint32_t(v.size()), v.data(), &flags);
    }
    QRDSTATUS read(uint32_t number, std::vector<uint8_t>& v) {
        AttrName a{kCategory, number};
        uint32_t type = ATTR_RAW, index = 0, count = uint32_t(v.size()), flags = 0;
        QRDSTATUS st = lib_.getSNmAttr(&session_, user_.c_str(), QRD_OCL_OBJECT, &a, &type, &index,
                                       &count, v.data(), &flags);
        if (st == 0 && count != v.size()) st = QRDERR_MARSHAL;
        return st;
    }

    Options o_;
    QrdLib lib_;
    QRD_PORT service_{};
    QRD_NM_SESS session_{};
    std::string user_;
};

bool parse(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--ops" && value(v)) {
            char* end = nullptr;
            unsigned long n = std::strtoul(v.c_str(), &end, 10);
            if (*end || n == 0 || n > 100000) return false;
            o.ops = n;
        } else if (!(a == "--daemon" && value(o.daemon)) &&
                   !(a == "--library" && value(o.library))) {
            return false;
        }
    }
    return true;
}

int supervise(const Options& o) {
    if (geteuid() != 0) {
        std::printf("loss_bench: skipped: it needs root to make a network namespace and an "
                    "nftables drop rule (run it with sudo)\n");
        return 0;
    }
    if (access("/usr/sbin/nft", X_OK) != 0) {
        std::printf("loss_bench: skipped: nft is not installed (scripts/install-packages "
                    "installs nftables)\n");
        return 0;
    }
    std::string error;
    if (!enterNamespace(error)) {
        fail(error);
        return 1;
    }
    Workspace ws;
    Daemon server;
    auto finish = [&](int code) {
        server.stop();
        ws.cleanup(false);
        return code;
    };
    if (!ws.create("", error)) {
        fail(error);
        return finish(1);
    }
    ws.applyEnvironment();
    const std::string db = ws.dir() + "/directory.db", log = ws.dir() + "/daemon.log";
    if (!seedBenchDirectory(o.daemon, db, error) ||
        !server.start(o.daemon, {"--db", db, "--server-name", kBenchServer, "--ip-port", "0"}, log,
                      kReadyTimeoutMs, error)) {
        fail(error);
        return finish(1);
    }
    std::printf("loss_bench: %zu reads and %zu writes of %zu bytes per loss level, loopback in a "
                "namespace of its own\n",
                o.ops, o.ops, kValueBytes);
    int life[2];
    if (pipe2(life, O_CLOEXEC)) return finish(1);
    std::fflush(stdout);
    pid_t worker = fork();
    if (worker == 0) {
        resetStopHandlers();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(life[0]);
        int code = Worker(o).run();
        std::fflush(stdout);
        _exit(code);
    }
    close(life[1]);
    if (worker < 0) return finish(1);
    int code = waitForWorker(worker, life[0], nowMs() + 3600 * 1000, "loss_bench");
    close(life[0]);
    return finish(code);
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    bench::Options o;
    bool help = false;
    if (!bench::parse(argc, argv, o, help)) {
        std::fprintf(stderr, "loss_bench: wrong usage\n%s", bench::kUsage);
        return 2;
    }
    if (help) {
        std::fputs(bench::kUsage, stdout);
        return 0;
    }
    const std::string dir = bench::programDir();
    if (o.daemon.empty()) o.daemon = dir + "/../services/namewrightd/namewrightd";
    if (o.library.empty()) o.library = dir + "/../api/libqrdxapi.so";
    bench::installStopHandlers();
    return bench::supervise(o);
}
