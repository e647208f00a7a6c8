// store_bench: the directory object store's operations against a
// namewrightd of its own on loopback: reading and writing one record of each
// kind and the free list's allocation, each as time and as client API
// exchanges beside single exchanges measured in the same run.
//
// This program (the supervisor) sets up the workstation, seeds the
// directory, starts the daemon and then runs store_bench_worker, which links
// the store and so must start with the workstation's environment already in
// place. The supervisor links neither the store nor the client library: it
// owns nothing a failing worker could leave behind, and removes the daemon,
// the temporary folder and the workstation's shared blocks in every case.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "harness.h"
#include "options.h"
#include "setup.h"

namespace bench {
namespace {

const char kUsageText[] = R"(usage: store_bench [options]

Measures the directory object store (libnamedir) against a namewrightd of its
own on loopback: reading and writing one record of each kind (main record,
access rights, parents, folder contents, subscribers, web, document and
action data, business card, preferences) and the free list's allocation and
release. Each operation is shown with the client API exchanges it took and
beside that many single exchanges (one read, one durable write of 100 bytes)
measured in the same run; the target is 1.3x.

  --iterations N   timed operations per measurement (default: up to 1000,
                   each measurement stopping after 1.2 s)
  --warmup N       untimed operations before each measurement (default 50)
  --daemon PATH    the namewrightd program (default: the build tree's)
  --tmpdir DIR     where the temporary folder is made (default $TMPDIR, else
                   /tmp); its file system decides what a durable write costs
  --placement P    split (default): the measuring process on one CPU, the
                   daemon on another; same: both on one CPU; free: anywhere
  --timeout SEC    give up after SEC seconds (default 600)
  --keep           keep the temporary folder (database, daemon log)
  -h, --help       show this text

Exit status: 0 measured, 1 failed, 2 wrong usage, 130 interrupted.
)";

void fail(const std::string& message) {
    std::fprintf(stderr, "store_bench: %s\n", message.c_str());
}

// Runs the worker on `cpu` (-1: anywhere) and waits for it, a stop, or the
// time-out. The worker holds the write end of `life` until it ends.
int runWorker(const std::string& path, const Options& o, int cpu) {
    int life[2];
    if (pipe(life)) {
        fail(std::string("pipe: ") + std::strerror(errno));
        return 1;
    }
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        resetStopHandlers();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (cpu >= 0) pinToCpu(cpu);
        close(life[0]);
        setenv("STORE_BENCH_PASSWORD", kBenchPassword, 1);
        std::string iterations = std::to_string(o.iterations), warmup = std::to_string(o.warmup);
        execl(path.c_str(), path.c_str(), kBenchUser, iterations.c_str(), warmup.c_str(), nullptr);
        std::fprintf(stderr, "store_bench: cannot run %s: %s\n", path.c_str(),
                     std::strerror(errno));
        _exit(1);
    }
    close(life[1]);
    if (pid < 0) {
        close(life[0]);
        fail(std::string("fork: ") + std::strerror(errno));
        return 1;
    }
    int code = waitForWorker(pid, life[0], nowMs() + int64_t(o.timeoutSec) * 1000, "store_bench");
    close(life[0]);
    return code;
}

int supervise(const Options& o) {
    std::string dir = programDir();
    std::string daemon = o.daemon.empty() ? dir + "/../services/namewrightd/namewrightd" : o.daemon;
    std::string worker = dir + "/store_bench_worker";
    for (const std::string& p : {daemon, worker}) {
        if (access(p.c_str(), X_OK) != 0) {
            fail(p + " cannot be run (build the tree, or give --daemon)");
            return 1;
        }
    }
    Workspace ws;
    Daemon server;
    std::string error;
    auto finish = [&](int result) {
        server.stop();
        ws.cleanup(o.keep);
        if (o.keep && !ws.dir().empty()) std::printf("kept %s\n", ws.dir().c_str());
        return stopSignal() && result != 0 ? 130 : result;
    };
    if (!ws.create(o.tmpdir, error)) {
        fail(error);
        return finish(1);
    }
    ws.applyEnvironment();
    std::string log = ws.dir() + "/daemon.log";

    const Placement place = placeProcesses(o.placement);
    std::printf("store_bench: %ld CPUs, placement %s, folder %s, port base %u\n",
                sysconf(_SC_NPROCESSORS_ONLN), place.name.c_str(), ws.dir().c_str(), ws.portBase());
    std::printf("load average at the start: %s\n", loadAverage().c_str());

    if (!startBenchDaemon(daemon, ws, server, place.serverCpu, error)) {
        fail(error);
        return finish(1);
    }
    int code = runWorker(worker, o, place.clientCpu);
    reportEnd(code, log);
    return finish(code);
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    bench::Options options;
    std::string error;
    std::vector<std::string> args(argv + 1, argv + argc);
    bool ok = bench::parseOptions(args, options, error);
    if (ok && !options.library.empty()) {
        ok = false;
        error = "--library is not an option of store_bench (it runs the build tree's store)";
    }
    if (!ok) {
        std::fprintf(stderr, "store_bench: %s\n(store_bench --help shows the options)\n",
                     error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(bench::kUsageText, stdout);
        return 0;
    }
    bench::installStopHandlers();
    return bench::supervise(options);
}
