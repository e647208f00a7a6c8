// conc_bench: many clients against one namewrightd at once. 1, 2, 4 and 8
// client processes read (4 KiB) or write durably (4 KiB, each its own
// attribute) for a fixed time; the table gives the operations per second of
// all of them together and the p50/p99 of one operation. A last measurement
// sets the p99 of one reader beside the same reader while other clients log
// in as fast as they can (each login a password hash in the daemon).
//
// Every client is a process of its own that loads the client library after
// the workstation's environment is in place, logs in, starts a session and
// waits for the common start; its latencies go to a file of the temporary
// folder, which this program reads when all have ended.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "harness.h"
#include "qrdlib.h"
#include "setup.h"
#include "stats.h"

namespace bench {
namespace {

const char kUsageText[] = R"(usage: conc_bench [options]

Runs 1, 2, 4 and 8 client processes against a namewrightd of its own on
loopback, reading 4 KiB values and writing them durably (each client its own
attribute), and shows operations per second of all clients together and the
p50/p99 of one operation; then one reader's p99 alone and beside clients that
log in without pause.

  --duration MS   how long each measurement runs (default 2000)
  --daemon PATH   the namewrightd program (default: the build tree's)
  --library PATH  the client library (default: the build tree's)
  --tmpdir DIR    where the temporary folder is made (default $TMPDIR, else
                  /tmp); its file system decides what a durable write costs
  --keep          keep the temporary folder (database, daemon log)
  -h, --help      show this text

Exit status: 0 measured, 1 failed, 2 wrong usage, 130 interrupted.
)";

constexpr size_t kValueBytes = 4096;
constexpr AttrName kSharedAttr{52, 250100}; // client 0's own, written first

enum class Role { Reader, Writer, Login };

struct Options {
    int durationMs = 2000;
    std::string daemon, library, tmpdir;
    bool keep = false;
};

void fail(const std::string& message) {
    std::fprintf(stderr, "conc_bench: %s\n", message.c_str());
}

// One client process: log in, start a session, wait for `go` to close, then
// run `role` for `durationMs`, writing each latency (µs) to `out`.
int client(const Options& o, const std::string& library, Role role, int index, int ready, int go,
           const std::string& out) {
    QrdLib lib;
    std::string error;
    if (!lib.load(library, error)) {
        fail(error);
        return 1;
    }
    QRD_PORT service{};
    lib.setPortNull(&service);
    if (QRDSTATUS st = lib.easyFindSvc(QRD_SVC_NAMEWRIGHT, &service)) {
        fail("no Namewright service: " + lib.describe(st));
        return 1;
    }
    lib.servicePort = &service;
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    if (QRDSTATUS st = lib.nmLogin(&service, kBenchUser, kBenchPassword, &nonce, canonical)) {
        fail("login: " + lib.describe(st));
        return 1;
    }
    lib.setNonce(&nonce);
    QRD_NM_SESS sess{};
    if (QRDSTATUS st = lib.startNmSession(&service, QRD_CHARSET_LATIN1, nullptr, &sess)) {
        fail("session: " + lib.describe(st));
        return 1;
    }
    std::vector<uint8_t> value(kValueBytes, uint8_t(index));
    const AttrName own{52, uint32_t(250100 + index)};
    auto write = [&](const AttrName& a) {
        uint32_t ix = 0, flags = 2;
        return lib.setSNmAttr(&sess, kBenchUser, QRD_OCL_OBJECT, &a, ATTR_RAW, &ix,
                              uint32_t(value.size()), value.data(), &flags);
    };
    auto read = [&] {
        uint32_t type = ATTR_RAW, ix = 0, count = uint32_t(value.size()), flags = 0;
        return lib.getSNmAttr(&sess, kBenchUser, QRD_OCL_OBJECT, &kSharedAttr, &type, &ix, &count,
                              value.data(), &flags);
    };
    if (role == Role::Writer && write(own)) {
        fail("first write failed");
        return 1;
    }
    char byte = 1;
    if (::write(ready, &byte, 1) != 1) return 1;
    close(ready);
    while (::read(go, &byte, 1) > 0) {
    }
    std::vector<double> us;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(o.durationMs);
    while (std::chrono::steady_clock::now() < end) {
        const auto t0 = std::chrono::steady_clock::now();
        QRDSTATUS st = 0;
        if (role == Role::Reader) st = read();
        if (role == Role::Writer) {
            // New bytes each time: a write of the bytes already stored
            // changes no page and costs no sync.
            ++value[0];
            st = write(own);
        }
        if (role == Role::Login)
            st = lib.nmLogin(&service, kBenchUser, kBenchPassword, &nonce, canonical);
        if (st) {
            fail("operation failed: " + lib.describe(st));
            return 1;
        }
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    lib.endNmSession(&sess);
    std::ofstream f(out);
    for (double v : us)
        f << v << '\n';
    return f ? 0 : 1;
}

struct Result {
    double opsPerSec = 0;
    Summary first; // latencies of the first client (the measured reader)
    Summary all;
};

// Runs one client process per role, together; false with a message.
bool runTogether(const Options& o, const std::string& library, const std::string& dir,
                 const std::vector<Role>& roles, Result& r, std::string& error) {
    int ready[2], go[2];
    if (pipe2(ready, O_CLOEXEC) || pipe2(go, O_CLOEXEC)) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<pid_t> pids;
    std::fflush(stdout);
    for (size_t i = 0; i < roles.size(); ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            resetStopHandlers();
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(ready[0]);
            close(go[1]);
            _exit(client(o, library, roles[i], int(i), ready[1], go[0],
                         dir + "/client-" + std::to_string(i)));
        }
        if (pid > 0) pids.push_back(pid);
    }
    close(ready[1]);
    close(go[0]);
    size_t readyCount = 0;
    char byte;
    while (readyCount < pids.size() && read(ready[0], &byte, 1) == 1)
        ++readyCount;
    close(ready[0]);
    close(go[1]); // start
    bool ok = readyCount == roles.size();
    for (pid_t p : pids) {
        int status = 0;
        waitpid(p, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (!ok) {
        error = "a client failed (see above)";
        return false;
    }
    std::vector<double> all;
    double ops = 0;
    for (size_t i = 0; i < roles.size(); ++i) {
        std::ifstream f(dir + "/client-" + std::to_string(i));
        std::vector<double> mine;
        for (double v; f >> v;)
            mine.push_back(v);
        if (i == 0) r.first = summarize(mine);
        if (roles[i] == roles[0]) {
            ops += double(mine.size());
            all.insert(all.end(), mine.begin(), mine.end());
        }
    }
    r.opsPerSec = ops * 1000.0 / o.durationMs;
    r.all = summarize(all);
    return true;
}

int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        std::string v;
        if (a == "-h" || a == "--help") {
            std::fputs(kUsageText, stdout);
            return 0;
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--duration" && value(v) && std::atoi(v.c_str()) > 0) {
            o.durationMs = std::atoi(v.c_str());
        } else if (!((a == "--daemon" && value(o.daemon)) ||
                     (a == "--library" && value(o.library)) ||
                     (a == "--tmpdir" && value(o.tmpdir)))) {
            std::fprintf(stderr, "conc_bench: wrong option or value: %s\n%s", a.c_str(),
                         kUsageText);
            return 2;
        }
    }
    return -1;
}

int supervise(const Options& o) {
    const std::string dir = programDir();
    const std::string daemon =
        o.daemon.empty() ? dir + "/../services/namewrightd/namewrightd" : o.daemon;
    const std::string library = o.library.empty() ? dir + "/../api/libqrdxapi.so" : o.library;
    Workspace ws;
    Daemon server;
    std::string error;
    auto finish = [&](int result) {
        server.stop();
        ws.cleanup(o.keep);
        if (stopSignal() && result != 0) result = 130;
        return result;
    };
    if (!ws.create(o.tmpdir, error)) {
        fail(error);
        return finish(1);
    }
    ws.applyEnvironment();
    const std::string log = ws.dir() + "/daemon.log";
    if (!startBenchDaemon(daemon, ws, server, -1, error)) {
        fail(error);
        return finish(1);
    }
    std::printf("conc_bench: folder %s, %d ms per measurement, load average %s\n", ws.dir().c_str(),
                o.durationMs, loadAverage().c_str());
    Result r;
    // The shared value the readers read.
    if (!runTogether(o, library, ws.dir(), {Role::Writer}, r, error)) {
        fail(error);
        return finish(1);
    }
    std::printf("\n%-26s %8s %10s %9s %9s\n", "operation", "clients", "ops/s", "p50 us", "p99 us");
    for (Role role : {Role::Reader, Role::Writer}) {
        double single = 0;
        for (size_t n : {1, 2, 4, 8}) {
            if (!runTogether(o, library, ws.dir(), std::vector<Role>(n, role), r, error)) {
                fail(error + "\n" + fileTail(log, 2000));
                return finish(1);
            }
            if (n == 1) single = r.opsPerSec;
            std::printf("%-26s %8zu %10.0f %9.1f %9.1f   %.2fx one client\n",
                        role == Role::Reader ? "read 4 KiB" : "write 4 KiB (durable)", n,
                        r.opsPerSec, r.all.p50, r.all.p99, single ? r.opsPerSec / single : 0);
        }
    }
    Result idle, storm;
    if (!runTogether(o, library, ws.dir(), {Role::Reader}, idle, error) ||
        !runTogether(o, library, ws.dir(),
                     {Role::Reader, Role::Login, Role::Login, Role::Login, Role::Login}, storm,
                     error)) {
        fail(error);
        return finish(1);
    }
    std::printf("%-26s %8s %10.0f %9.1f %9.1f\n", "read, idle", "1", idle.opsPerSec, idle.first.p50,
                idle.first.p99);
    std::printf("%-26s %8s %10.0f %9.1f %9.1f   p99 %.2fx idle (aim: <= 2x)\n",
                "read, 4 clients logging in", "1+4", storm.opsPerSec, storm.first.p50,
                storm.first.p99, idle.first.p99 ? storm.first.p99 / idle.first.p99 : 0);
    std::printf("load average at the end: %s\n", loadAverage().c_str());
    return finish(0);
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    bench::Options o;
    int parsed = bench::parse(argc, argv, o);
    if (parsed >= 0) return parsed;
    bench::installStopHandlers();
    return bench::supervise(o);
}
