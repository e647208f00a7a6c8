#include "setup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "harness.h"

namespace bench {

const char kBenchServer[] = "NW1@Lab@Bench";
const char kBenchUser[] = "runner@Lab@Bench";
const char kBenchPassword[] = "bench-runner-pass";

bool startBenchDaemon(const std::string& daemon, const Workspace& ws, Daemon& server, int cpu,
                      std::string& error) {
    const std::string db = ws.dir() + "/directory.db", log = ws.dir() + "/daemon.log";
    if (!seedBenchDirectory(daemon, db, error)) {
        if (stopSignal()) error = "interrupted";
        return false;
    }
    if (server.start(
            daemon,
            {"--db", db, "--server-name", kBenchServer, "--ip-port", std::to_string(ws.ipPort())},
            log, 15000, error, cpu))
        return true;
    const std::string tail = fileTail(log, 2000);
    if (!tail.empty()) error += "\ndaemon log:\n" + tail;
    return false;
}

namespace {
const char kOrg[] = "Bench";
const char kGroup[] = "Lab@Bench";
// The password hash's work factor only slows the seeding and the login.
const char kKdfIterations[] = "1000";
constexpr int kToolTimeoutMs = 30000;
} // namespace

bool seedBenchDirectory(const std::string& daemon, const std::string& db, std::string& error) {
    auto admin = [&](std::vector<std::string> args, const std::string& input) {
        std::vector<std::string> all{"admin", "--db", db, "--kdf-iterations", kKdfIterations};
        all.insert(all.end(), args.begin(), args.end());
        ToolOutcome o = runTool(daemon, all, input, kToolTimeoutMs);
        if (o.exitCode == 0) return true;
        error = "namewrightd admin";
        for (const std::string& a : args)
            error += " " + a;
        error += o.exitCode < 0 ? ": did not finish" : ": " + o.err;
        while (!error.empty() && error.back() == '\n')
            error.pop_back();
        return false;
    };
    return admin({"init"}, "") && admin({"org", "add", kOrg}, "") &&
           admin({"group", "add", kGroup}, "") &&
           admin({"server", "add", kBenchServer, "127.0.0.1"}, "") &&
           admin({"user", "add", kBenchUser}, std::string(kBenchPassword) + "\n");
}

Placement placeProcesses(const std::string& asked) {
    Placement p;
    std::vector<int> cpus = allowedCpus();
    p.name = asked == "split" && cpus.size() < 2 ? "same" : asked;
    if (p.name != "free" && !cpus.empty()) {
        p.clientCpu = cpus[0];
        p.serverCpu = p.name == "split" ? cpus[1] : cpus[0];
    } else {
        p.name = "free";
    }
    return p;
}

int runWorker(int cpu, int64_t deadline, const char* program, const std::function<int()>& work) {
    int life[2];
    if (pipe2(life, O_CLOEXEC)) {
        std::fprintf(stderr, "%s: pipe: %s\n", program, std::strerror(errno));
        return 1;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t worker = fork();
    if (worker == 0) {
        // The worker keeps the write end until it ends.
        resetStopHandlers();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (cpu >= 0) pinToCpu(cpu);
        close(life[0]);
        const int result = work();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(result);
    }
    close(life[1]);
    if (worker < 0) {
        close(life[0]);
        std::fprintf(stderr, "%s: fork: %s\n", program, std::strerror(errno));
        return 1;
    }
    const int code = waitForWorker(worker, life[0], deadline, program);
    close(life[0]);
    return code;
}

int waitForWorker(pid_t worker, int life, int64_t deadline, const char* program) {
    bool timedOut = false;
    for (;;) {
        if (stopSignal()) break;
        if (nowMs() >= deadline) {
            timedOut = true;
            break;
        }
        pollfd p{life, POLLIN, 0};
        int r = poll(&p, 1, 200);
        if (r > 0) {
            char c;
            if (read(life, &c, 1) <= 0) break; // the worker has ended
        }
    }
    int status = 0;
    if (waitpid(worker, &status, WNOHANG) == 0) {
        if (timedOut)
            std::fprintf(stderr, "%s: no result within the time-out; stopping\n", program);
        kill(worker, SIGTERM);
        int64_t grace = nowMs() + 2000;
        while (waitpid(worker, &status, WNOHANG) == 0) {
            if (nowMs() >= grace) {
                kill(worker, SIGKILL);
                waitpid(worker, &status, 0);
                break;
            }
            pollfd p{life, POLLIN, 0};
            poll(&p, 1, 50);
        }
    }
    if (stopSignal()) return 130;
    if (timedOut) return 1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    std::fprintf(stderr, "%s: the measuring process died (signal %d)\n", program, WTERMSIG(status));
    return 1;
}

void reportEnd(int code, const std::string& daemonLog) {
    std::printf("load average at the end: %s\n", loadAverage().c_str());
    if (code == 0 || code == 130) return;
    const std::string tail = fileTail(daemonLog, 2000);
    if (!tail.empty()) std::fprintf(stderr, "daemon log (last lines):\n%s\n", tail.c_str());
}

} // namespace bench
