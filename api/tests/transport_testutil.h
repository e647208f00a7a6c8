// Helpers of the transport tests: a QORDA.INI of the test's own choosing,
// native sockets that close themselves, and forked helper processes.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "commstack.h"
#include "qrdapi.h"
#include "testenv.h"
#include "transport/lifecycle.h"

namespace transporttest {

// The [CommStack] and [Internet] text of a workstation.
inline std::string commStackIni(const std::string& server, const std::string& broadcast,
                                uint16_t portBase, const std::string& extra = "") {
    return "[CommStack]\nServerAddress=" + server + "\nBroadcastAddress=" + broadcast +
           "\nPortBase=" + std::to_string(portBase) + "\n" + extra +
           "\n[Internet]\nSearchAddress=127.0.0.1\nSearchPort=" + std::to_string(portBase + 511) +
           "\n";
}

// Points QORDA_INI at a file with `text` and closes the device, so that the
// next device call reads it; the destructor puts the workstation's own back.
class ScopedQordaIni {
  public:
    explicit ScopedQordaIni(const std::string& text) {
        path_ = qrdtest::workstation().dir + "/QORDA-" + std::to_string(getpid()) + "-" +
                std::to_string(++counter()) + ".INI";
        std::ofstream(path_) << text;
        setenv("QORDA_INI", path_.c_str(), 1);
        qrd::commStackClose();
    }
    ~ScopedQordaIni() {
        setenv("QORDA_INI", qrdtest::workstation().qordaIni.c_str(), 1);
        qrd::commStackClose();
        std::remove(path_.c_str());
    }
    ScopedQordaIni(const ScopedQordaIni&) = delete;
    ScopedQordaIni& operator=(const ScopedQordaIni&) = delete;

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::string path_;
};

// A native socket closed at scope end.
struct NativeSocket {
    uint32_t handle = 0;
    QRD_PORT local{};
    QRDSTATUS status;
    explicit NativeSocket(uint16_t port = QRD_PORT_ANY) {
        status = QrdOpenSocket(&handle, QRD_FAMILY_NATIVE, 1, port, &local, 0);
    }
    ~NativeSocket() {
        if (status == QRD_OK) QrdCloseSocket(handle);
    }
    NativeSocket(const NativeSocket&) = delete;
    NativeSocket& operator=(const NativeSocket&) = delete;
};

inline QRD_SOCK_REQ request(uint32_t socket, void* buffer, uint32_t length, uint32_t timeout,
                            uint32_t flags = 0) {
    QRD_SOCK_REQ r{};
    r.socket = socket;
    r.buffer = buffer;
    r.length = length;
    r.timeout = timeout;
    r.flags = flags;
    return r;
}

inline QRDSTATUS sendText(uint32_t socket, const QRD_PORT& to, const std::string& text) {
    QRD_SOCK_REQ r = request(socket, const_cast<char*>(text.data()), uint32_t(text.size()), 25);
    r.remote = to;
    return QrdSocketSend(&r);
}

// A forked helper process with a pipe back to the test. The child runs `body`
// and exits with its return value; it writes lines to `out`.
class Child {
  public:
    explicit Child(std::function<int(int out)> body) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            // The parent's device and its sockets are not the child's.
            qrd::commStackClose();
            int rc = body(fds[1]);
            _exit(rc);
        }
        close(fds[1]);
        in_ = fds[0];
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) close(in_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }

    // The next line the child wrote, waiting at most `ms`; "" on time-out.
    std::string readLine(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) return "";
            pollfd p{in_, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0) continue;
            char chunk[256];
            ssize_t n = read(in_, chunk, sizeof chunk);
            if (n <= 0) return "";
            buffer_.append(chunk, size_t(n));
        }
    }

    // The child's exit code, waiting at most `ms`; -1 on time-out or signal.
    int wait(int ms) {
        if (pid_ <= 0) return -1;
        int pidfd = int(syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            int r = poll(&p, 1, ms);
            close(pidfd);
            if (r <= 0) return -1;
        }
        int st = 0;
        if (waitpid(pid_, &st, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    std::string buffer_;
};

inline void writeLine(int fd, const std::string& line) {
    std::string s = line + "\n";
    ssize_t r = write(fd, s.data(), s.size());
    (void)r;
}

} // namespace transporttest
