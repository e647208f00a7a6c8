// Runs the namewrightd program for end-to-end tests: one-shot commands
// (seed, admin) and a serving daemon that is waited for by its ready line.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "testenv.h"

namespace nwdtest {

inline std::string daemonPath() {
    return qrdtest::binaryDir() + "/services/namewrightd/namewrightd";
}

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

// Runs the program at `path` with `args`, feeding `input` on standard input;
// gives up (and kills it) after `timeoutMs`.
inline Outcome runProgram(std::string path, const std::vector<std::string>& args,
                          const std::string& input = "", const std::vector<std::string>& env = {},
                          int timeoutMs = 30000) {
    Outcome o;
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return o;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        argv.push_back(path.data());
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
    }
    close(in[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[4096];
    while (open > 0) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                           deadline - std::chrono::steady_clock::now())
                           .count());
        if (left <= 0 || poll(fds, 2, left) <= 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? o.out : o.err).append(buf, size_t(n));
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    if (open > 0) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// Runs namewrightd with `args`.
inline Outcome runTool(const std::vector<std::string>& args, const std::string& input = "",
                       const std::vector<std::string>& env = {}, int timeoutMs = 30000) {
    return runProgram(daemonPath(), args, input, env, timeoutMs);
}

// A serving daemon. The destructor kills it if it still runs.
class Daemon {
  public:
    ~Daemon() { kill(SIGKILL); }

    // Starts `namewrightd serve ARGS` and waits for its ready line. Its
    // standard error goes to `logPath`.
    bool start(const std::vector<std::string>& args, const std::string& logPath,
               const std::vector<std::string>& env = {}, int timeoutMs = 15000) {
        int out[2];
        if (pipe(out)) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (log >= 0) dup2(log, 2);
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv;
            std::string path = daemonPath();
            std::string serve = "serve";
            argv.push_back(path.data());
            argv.push_back(serve.data());
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char c;
        while (ready_.find('\n') == std::string::npos) {
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                               deadline - std::chrono::steady_clock::now())
                               .count());
            pollfd p{out_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0 || read(out_, &c, 1) != 1) return false;
            ready_.push_back(c);
        }
        return ready_.rfind("namewrightd ready:", 0) == 0;
    }
    const std::string& readyLine() const { return ready_; }
    pid_t pid() const { return pid_; }

    void kill(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
        if (sig == SIGKILL) wait(5000);
    }
    // The exit code, or -1 when it did not end in time (or died by a signal).
    // The end shows as the end of its standard output, which only it holds.
    int wait(int timeoutMs) {
        if (pid_ <= 0) return exit_;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buf[256];
        while (out_ >= 0) {
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                               deadline - std::chrono::steady_clock::now())
                               .count());
            pollfd p{out_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0) return -1;
            if (read(out_, buf, sizeof buf) <= 0) {
                close(out_);
                out_ = -1;
            }
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exit_;
    }

  private:
    pid_t pid_ = 0;
    int out_ = -1;
    int exit_ = -1;
    std::string ready_;
};

} // namespace nwdtest
