// The raw baseline: a plain UDP request/reply round trip on loopback between
// two processes, with no library and no daemon in the way.
//
// Request: u16 reply size, u32 sequence number, padding to kRequestSize.
// Reply: u32 sequence number, then filler up to the asked size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

constexpr size_t kRequestSize = 100;
constexpr size_t kMaxReply = 65507; // largest UDP payload over IPv4

// The reply to one request, or false for a datagram that is not a request
// (too short, or asking for less than the sequence number or more than UDP
// can carry).
bool echoReply(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);

// The echo server, a process of its own so that, like the daemon, it is
// scheduled apart from the client.
class EchoServer {
  public:
    ~EchoServer() { stop(); }
    // With `cpu` >= 0 the server runs on that CPU only.
    bool start(std::string& error, int cpu = -1);
    void stop();
    uint16_t port() const { return port_; }

  private:
    pid_t pid_ = 0;
    uint16_t port_ = 0;
};

class EchoClient {
  public:
    ~EchoClient();
    bool open(uint16_t port, std::string& error);
    // One round trip asking for `replySize` bytes; false with a message when
    // no matching reply came within `timeoutMs`.
    bool roundTrip(size_t replySize, int timeoutMs, std::string& error);

  private:
    int fd_ = -1;
    uint32_t sequence_ = 0;
    std::vector<uint8_t> request_;
    std::vector<uint8_t> reply_;
};

} // namespace bench
