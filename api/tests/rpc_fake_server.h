// A fake service for the RPC and Namewright tests: a thread with plain UDP
// sockets on 127.0.0.1:PortBase+P of the test's workstation (and on the
// broadcast address, for searches), answering with datagrams that the test
// crafts. Every received datagram is recorded.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "qrd/bytes.h"
#include "testenv.h"

namespace qrdtest {

using Bytes = std::vector<uint8_t>;

struct Received {
    Bytes data;
    sockaddr_in from{};
    bool broadcast = false; // came in on the broadcast socket
    int socketIndex = 0;    // 0 = the well-known port, 1 = broadcast, 2 = the extra socket

    uint16_t type() const { return data.size() >= 2 ? qrd::getBe16(data.data()) : 0xFFFF; }
    uint16_t version() const { return data.size() >= 12 ? qrd::getBe16(&data[8]) : 0; }
    uint16_t procedure() const { return data.size() >= 12 ? qrd::getBe16(&data[10]) : 0xFFFF; }
    // The arguments after the 12-byte header.
    Bytes args() const { return data.size() > 12 ? Bytes(data.begin() + 12, data.end()) : Bytes{}; }
};

// A return reply (type 2) carrying `results`.
inline Bytes returnReply(const Bytes& results = {}) {
    Bytes b(4 + results.size(), 0);
    b[1] = 2;
    std::copy(results.begin(), results.end(), b.begin() + 4);
    return b;
}
// A refusal (type 1 or 3) with `code` at bytes 4-5.
inline Bytes refusal(uint16_t code, uint16_t type = 1) {
    Bytes b(6, 0);
    qrd::putBe16(b.data(), type);
    qrd::putBe16(b.data() + 4, code);
    return b;
}
inline Bytes be32(uint32_t v) {
    Bytes b(4);
    qrd::putBe32(b.data(), v);
    return b;
}

// A reply to `r` as a server sends it: a reply to a call echoes the call's
// identity in bytes 2-3 (anything else is sent as crafted).
inline Bytes echoed(const Received& r, Bytes reply) {
    const uint16_t type = reply.size() >= 4 ? qrd::getBe16(reply.data()) : 0;
    if (r.type() == 0 && r.data.size() >= 12 && type >= 1 && type <= 3)
        qrd::putBe16(reply.data() + 2, qrd::getBe16(&r.data[6]));
    return reply;
}

class FakeServer {
  public:
    // Answers to one datagram: each is sent back to its source.
    using Handler = std::function<std::vector<Bytes>(const Received&)>;

    explicit FakeServer(uint16_t wellKnownPort = 15, bool withExtraSocket = false) {
        stop_ = eventfd(0, EFD_CLOEXEC);
        const uint16_t udp = uint16_t(workstation().portBase + wellKnownPort);
        fds_.push_back(bound(INADDR_LOOPBACK, udp));
        fds_.push_back(bound(0x7FFFFFFF, udp)); // 127.255.255.255
        if (withExtraSocket) fds_.push_back(bound(INADDR_LOOPBACK, 0));
        thread_ = std::thread([this] { run(); });
    }
    ~FakeServer() {
        uint64_t one = 1;
        (void)!write(stop_, &one, sizeof one);
        thread_.join();
        for (int fd : fds_)
            close(fd);
        close(stop_);
    }

    void onDatagram(Handler h) {
        std::lock_guard<std::mutex> lock(mu_);
        handler_ = std::move(h);
    }
    // Off: replies leave exactly as the handler crafted them (no echo).
    void setEcho(bool on) { echo_ = on; }

    // The UDP port of the extra socket (for Internet-road destinations).
    uint16_t extraPort() const {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(fds_.at(2), reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }

    std::vector<Received> received() const {
        std::lock_guard<std::mutex> lock(mu_);
        return received_;
    }
    // Requests of one procedure (type-0 datagrams on the unicast sockets).
    std::vector<Received> calls(uint16_t procedure) const {
        std::vector<Received> out;
        for (const Received& r : received())
            if (!r.broadcast && r.type() == 0 && r.procedure() == procedure) out.push_back(r);
        return out;
    }
    std::vector<Received> broadcasts() const {
        std::vector<Received> out;
        for (const Received& r : received())
            if (r.broadcast) out.push_back(r);
        return out;
    }
    // Waits until `n` datagrams arrived (false after the time-out).
    bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, timeout, [&] { return received_.size() >= n; });
    }

    // Sends a datagram from the well-known port to `to`.
    void sendTo(const Bytes& data, const sockaddr_in& to) const {
        sendto(fds_[0], data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }

  private:
    static int bound(uint32_t hostAddr, uint16_t port) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(hostAddr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            std::perror("fake server bind");
            std::abort();
        }
        return fd;
    }

    void run() {
        std::vector<pollfd> pfds;
        for (int fd : fds_)
            pfds.push_back({fd, POLLIN, 0});
        pfds.push_back({stop_, POLLIN, 0});
        std::vector<uint8_t> buf(70000);
        for (;;) {
            if (poll(pfds.data(), pfds.size(), -1) < 0) continue;
            if (pfds.back().revents) return;
            for (size_t i = 0; i + 1 < pfds.size(); ++i) {
                if (!(pfds[i].revents & POLLIN)) continue;
                Received r;
                socklen_t len = sizeof r.from;
                ssize_t n = recvfrom(fds_[i], buf.data(), buf.size(), 0,
                                     reinterpret_cast<sockaddr*>(&r.from), &len);
                if (n < 0) continue;
                r.data.assign(buf.begin(), buf.begin() + n);
                r.broadcast = i == 1;
                r.socketIndex = int(i);
                Handler h;
                {
                    std::lock_guard<std::mutex> lock(mu_);
                    received_.push_back(r);
                    h = handler_;
                }
                cv_.notify_all();
                if (!h) continue;
                // Replies leave from the unicast socket the request reached
                // (the well-known one for broadcasts).
                const int out = fds_[i == 1 ? 0 : i];
                for (const Bytes& crafted : h(r)) {
                    const Bytes reply = echo_ ? echoed(r, crafted) : crafted;
                    sendto(out, reply.data(), reply.size(), 0,
                           reinterpret_cast<const sockaddr*>(&r.from), sizeof r.from);
                }
            }
        }
    }

    std::vector<int> fds_;
    int stop_ = -1;
    std::thread thread_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::atomic<bool> echo_{true};
    Handler handler_;                // guarded by mu_
    std::vector<Received> received_; // guarded by mu_
};

} // namespace qrdtest
