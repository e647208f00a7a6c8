#include "harness.h"

#include "portslot.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

volatile sig_atomic_t g_stop = 0;

void onStop(int sig) {
    g_stop = sig;
}

// Waits are cut into slices so that a stop asked for between a check and the
// wait is seen soon.
constexpr int kSliceMs = 200;

int remainingMs(int64_t deadline) {
    int64_t left = deadline - nowMs();
    if (left <= 0) return 0;
    return int(left < kSliceMs ? left : kSliceMs);
}

// Runs in a forked child: becomes `path args...` or exits with 127.
[[noreturn]] void execProgram(const std::string& path, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    std::fprintf(stderr, "attr_bench: cannot run %s: %s\n", path.c_str(), std::strerror(errno));
    _exit(127);
}

} // namespace

int benchMain(const char* program, bool parsed, const std::string& error, bool help,
              const char* usage, const std::function<int()>& run) {
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\n(%s --help shows the options)\n", program, error.c_str(),
                     program);
        return 2;
    }
    if (help) {
        std::fputs(usage, stdout);
        return 0;
    }
    installStopHandlers();
    return run();
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void installStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: a blocking call returns at once
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
    // A tool that ends before reading its input must not end us.
    signal(SIGPIPE, SIG_IGN);
}

int stopSignal() {
    return g_stop;
}

std::vector<int> allowedCpus() {
    std::vector<int> cpus;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set)) cpus.push_back(i);
    return cpus;
}

bool pinToCpu(int cpu) {
    if (cpu < 0 || cpu >= CPU_SETSIZE) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::string loadAverage() {
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    if (!(f >> a >> b >> c)) return "unknown";
    return a + " " + b + " " + c;
}

void resetStopHandlers() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        signal(sig, SIG_DFL);
}

Workspace::~Workspace() {
    if (lockFd_ >= 0) close(lockFd_);
}

bool Workspace::create(const std::string& parent, std::string& error) {
    std::string base = parent;
    if (base.empty()) {
        const char* t = std::getenv("TMPDIR");
        base = t && *t ? t : "/tmp";
    }
    std::string tmpl = base + "/qrdbench-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        error = "cannot make a temporary folder in " + base + ": " + std::strerror(errno);
        return false;
    }
    dir_ = tmpl;
    id_ = "qrdbench" + std::to_string(getpid());

    // The lock is inherited by the children (no close-on-exec), so the slot
    // stays taken while the daemon lives.
    // The same slots as the test suite, so a benchmark and the tests never
    // share ports.
    qrdtest::PortSlot slot = qrdtest::reservePortSlot();
    lockFd_ = slot.lockFd;
    portBase_ = slot.base;
    if (portBase_ == 0) {
        error = "no free port base (all 40 slots of /tmp/qrd-test-portbase-*.lock are taken)";
        return false;
    }

    std::error_code ec;
    for (const char* sub : {"/config/namewright", "/state", "/etc"})
        std::filesystem::create_directories(dir_ + sub, ec);
    std::ofstream ini(dir_ + "/QORDA.INI");
    ini << "[CommStack]\nServerAddress=127.0.0.1\nBroadcastAddress=127.255.255.255\n"
        << "PortBase=" << portBase_ << "\n\n[Internet]\nSearchAddress=127.0.0.1\n"
        << "SearchPort=" << ipPort() << "\n";
    ini.close();
    if (!ini) {
        error = "cannot write " + dir_ + "/QORDA.INI";
        return false;
    }
    return true;
}

void Workspace::applyEnvironment() const {
    setenv("QORDA_INI", (dir_ + "/QORDA.INI").c_str(), 1);
    setenv("QRD_WORKSTATION", id_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("QRD_SYSCONF_DIR", (dir_ + "/etc").c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("HLV_PROTSEQ");
}

void Workspace::cleanup(bool keep) {
    std::error_code ec;
    if (!dir_.empty() && !keep) std::filesystem::remove_all(dir_, ec);
    // The global-variable store of the workstation: blocks whose names end
    // in ".<id>" (an id that merely starts the same belongs to someone else).
    if (!id_.empty()) {
        std::string tail = "." + id_;
        for (auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
            std::string name = e.path().filename().string();
            if (name.size() > tail.size() &&
                name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
                std::filesystem::remove(e.path(), ec);
        }
    }
    if (lockFd_ >= 0) close(lockFd_);
    lockFd_ = -1;
}

ToolOutcome runTool(const std::string& path, const std::vector<std::string>& args,
                    const std::string& input, int timeoutMs) {
    ToolOutcome o;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC)) return o;
    if (pipe2(out, O_CLOEXEC)) {
        close(in[0]);
        close(in[1]);
        return o;
    }
    if (pipe2(err, O_CLOEXEC)) {
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        return o;
    }
    pid_t pid = fork();
    if (pid == 0) {
        resetStopHandlers();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execProgram(path, args);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        for (int fd : {in[1], out[0], err[0]})
            close(fd);
        o.err = std::string("fork: ") + std::strerror(errno);
        return o;
    }
    // Input is a password line: far below the pipe's capacity.
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
    }
    close(in[1]);

    int64_t deadline = nowMs() + timeoutMs;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[4096];
    while (open > 0 && !stopSignal() && nowMs() < deadline) {
        int r = poll(fds, 2, remainingMs(deadline));
        if (r <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? o.out : o.err).append(buf, size_t(n));
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);
    if (open > 0) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    o.exitCode = open == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

bool Daemon::start(const std::string& path, const std::vector<std::string>& args,
                   const std::string& logPath, int timeoutMs, std::string& error, int cpu) {
    int out[2];
    if (pipe2(out, O_CLOEXEC)) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        resetStopHandlers();
        // Ends with us, even when we are killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        if (cpu >= 0 && !pinToCpu(cpu)) _exit(126);
        dup2(out[1], 1);
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log >= 0) dup2(log, 2);
        std::vector<std::string> all{"serve"};
        all.insert(all.end(), args.begin(), args.end());
        execProgram(path, all);
    }
    close(out[1]);
    if (pid_ < 0) {
        pid_ = 0;
        close(out[0]);
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    out_ = out[0];
    int64_t deadline = nowMs() + timeoutMs;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        if (stopSignal()) {
            error = "interrupted";
            return false;
        }
        if (nowMs() >= deadline) {
            error =
                "namewrightd did not get ready within " + std::to_string(timeoutMs / 1000) + " s";
            return false;
        }
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, remainingMs(deadline)) <= 0) continue;
        char c;
        if (read(out_, &c, 1) != 1) {
            error = "namewrightd ended before it was ready";
            return false;
        }
        line.push_back(c);
    }
    if (line.rfind("namewrightd ready:", 0) != 0) {
        error = "unexpected first line from namewrightd: " + line;
        return false;
    }
    return true;
}

void Daemon::stop(int graceMs) {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // Its end shows as the end of its standard output, which only it holds.
    auto endsWithin = [&](int ms) {
        int64_t deadline = nowMs() + ms;
        char buf[256];
        while (out_ >= 0 && nowMs() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, remainingMs(deadline)) <= 0) continue;
            if (read(out_, buf, sizeof buf) <= 0) {
                close(out_);
                out_ = -1;
            }
        }
        return out_ < 0;
    };
    bool ended = endsWithin(graceMs);
    if (!ended) {
        kill(pid_, SIGKILL);
        ended = endsWithin(2000);
    }
    // A process stuck in the kernel is left to init rather than waited for
    // without end.
    if (ended) waitpid(pid_, nullptr, 0);
    if (out_ >= 0) close(out_);
    out_ = -1;
    pid_ = 0;
}

std::string fileTail(const std::string& path, size_t maxBytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return {};
    f.seekg(0, std::ios::end);
    std::streamoff size = f.tellg();
    std::streamoff from = size > std::streamoff(maxBytes) ? size - std::streamoff(maxBytes) : 0;
    f.seekg(from);
    std::string text(size_t(size - from), '\0');
    f.read(text.data(), std::streamsize(text.size()));
    return text;
}

std::string programDir() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return self.parent_path().string();
}

} // namespace bench
