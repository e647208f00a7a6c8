#include "echo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "harness.h"
#include "qrd/bytes.h"

namespace bench {

bool echoReply(const uint8_t* request, size_t length, std::vector<uint8_t>& reply) {
    qrd::BeReader r(request, length);
    uint16_t size = r.u16();
    uint32_t sequence = r.u32();
    if (!r.ok() || size < 4 || size > kMaxReply) return false;
    reply.assign(size, 0x5A);
    qrd::putBe32(reply.data(), sequence);
    return true;
}

namespace {

[[noreturn]] void serve(int fd) {
    std::vector<uint8_t> request(kMaxReply + 1);
    std::vector<uint8_t> reply;
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n = recvfrom(fd, request.data(), request.size(), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR) continue;
            _exit(1);
        }
        if (!echoReply(request.data(), size_t(n), reply)) continue;
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
}

} // namespace

bool EchoServer::start(std::string& error, int cpu) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        error = std::string("echo socket: ") + std::strerror(errno);
        close(fd);
        return false;
    }
    port_ = ntohs(a.sin_port);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        resetStopHandlers();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        if (cpu >= 0 && !pinToCpu(cpu)) _exit(126);
        serve(fd);
    }
    close(fd);
    if (pid_ < 0) {
        pid_ = 0;
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void EchoServer::stop() {
    if (pid_ <= 0) return;
    // It holds no state worth a graceful end.
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

EchoClient::~EchoClient() {
    if (fd_ >= 0) close(fd_);
}

bool EchoClient::open(uint16_t port, std::string& error) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = std::string("connect: ") + std::strerror(errno);
        return false;
    }
    request_.assign(kRequestSize, 0xA5);
    reply_.resize(kMaxReply + 1);
    return true;
}

bool EchoClient::roundTrip(size_t replySize, int timeoutMs, std::string& error) {
    uint32_t sequence = ++sequence_;
    qrd::putBe16(request_.data(), uint16_t(replySize));
    qrd::putBe32(request_.data() + 2, sequence);
    if (send(fd_, request_.data(), request_.size(), 0) != ssize_t(request_.size())) {
        error = std::string("send: ") + std::strerror(errno);
        return false;
    }
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        int left = int(deadline - nowMs());
        if (left <= 0) {
            error = "no echo reply within " + std::to_string(timeoutMs) + " ms";
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        int r = poll(&p, 1, left);
        if (r < 0 && errno != EINTR) {
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (r <= 0) continue;
        ssize_t n = recv(fd_, reply_.data(), reply_.size(), 0);
        if (n < 0) {
            error = std::string("recv: ") + std::strerror(errno);
            return false;
        }
        // A late reply to an earlier request that timed out is skipped.
        qrd::BeReader rd(reply_.data(), size_t(n));
        if (rd.u32() == sequence && rd.ok() && size_t(n) == replySize) return true;
    }
}

} // namespace bench
