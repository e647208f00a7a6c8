// An attacker on the same machine: finds the UDP ports a process holds (as
// /proc shows them to anyone) and sprays forged datagrams at them from a
// socket of its own, until stopped. Loopback only.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace nwdtest {

// The local UDP ports on 127.0.0.0/8 or any address held by process `pid`.
inline std::vector<uint16_t> udpPortsOf(pid_t pid) {
    std::set<std::string> inodes;
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* d = opendir(fdDir.c_str())) {
        while (dirent* e = readdir(d)) {
            char link[64] = {};
            std::string path = fdDir + "/" + e->d_name;
            ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
            std::string s(link, n > 0 ? size_t(n) : 0);
            if (s.rfind("socket:[", 0) == 0) inodes.insert(s.substr(8, s.size() - 9));
        }
        closedir(d);
    }
    std::vector<uint16_t> ports;
    std::ifstream udp("/proc/net/udp");
    std::string line;
    std::getline(udp, line); // heading
    while (std::getline(udp, line)) {
        std::istringstream in(line);
        std::string sl, local, remote, st, queues, tr, retr, uid, timeout, inode;
        in >> sl >> local >> remote >> st >> queues >> tr >> retr >> uid >> timeout >> inode;
        if (!inodes.count(inode) || local.size() != 13) continue;
        const uint32_t addr = ntohl(uint32_t(std::stoul(local.substr(0, 8), nullptr, 16)));
        if (addr != 0 && (addr >> 24) != 127) continue;
        ports.push_back(uint16_t(std::stoul(local.substr(9, 4), nullptr, 16)));
    }
    return ports;
}

// Sprays `forge()` at every UDP port of `pid` (looked up again every round,
// so sockets opened later are hit too) until destroyed.
class Sprayer {
  public:
    using Forge = std::function<std::vector<uint8_t>()>;
    Sprayer(pid_t pid, Forge forge) : pid_(pid), forge_(std::move(forge)) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        thread_ = std::thread([this] { run(); });
    }
    ~Sprayer() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    uint64_t sent() const { return sent_; }
    // Waits until `n` datagrams went out (false after `timeoutMs`).
    bool waitSent(uint64_t n, int timeoutMs = 5000) const {
        for (int waited = 0; sent_ < n; ++waited) {
            if (waited >= timeoutMs) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    void run() {
        while (!stop_) {
            for (uint16_t port : udpPortsOf(pid_)) {
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_port = htons(port);
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                for (int i = 0; i < 20 && !stop_; ++i) {
                    const std::vector<uint8_t> d = forge_();
                    if (sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to),
                               sizeof to) > 0)
                        ++sent_;
                }
            }
            std::this_thread::yield();
        }
    }

    pid_t pid_;
    Forge forge_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread thread_;
};

} // namespace nwdtest
