#include "server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "handlers.h"
#include "log.h"
#include "names.h"
#include "peer.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrd/nmproto.h"
#include "qrdapi.h"
#include "replycache.h"
#include "sqlite_storage.h"

namespace nwd {

namespace {

constexpr size_t kDatagramMax = 65536;
constexpr int kWaitMs = 1000;      // per receive, to notice a stop request
constexpr uint32_t kWaitTicks = 5; // the same in ticks of 1/5 s
constexpr int kErrorPauseMs = 200; // after an unexpected socket error

std::string dotted(uint32_t ip) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255,
                  ip & 255);
    return buf;
}

// One socket the daemon serves.
class Endpoint {
  public:
    Endpoint(Road road, ServiceKind service) : road_(road), service_(service) {}
    virtual ~Endpoint() = default;
    Road road() const { return road_; }
    ServiceKind service() const { return service_; }
    virtual std::string describe() const = 0;
    // Serves datagrams until `stop` is set; repeated calls are answered from
    // `replies`.
    virtual void run(Handler& h, ReplyCache& replies, const std::atomic<bool>& stop) = 0;

  private:
    Road road_;
    ServiceKind service_;
};

class UdpEndpoint : public Endpoint {
  public:
    UdpEndpoint(Road road, ServiceKind service) : Endpoint(road, service) {}
    // A client takes the source of a search answer as the service's port, so
    // an answer for the other service leaves from that service's socket.
    void setSibling(const UdpEndpoint* other) { sibling_ = other; }
    ~UdpEndpoint() override {
        if (fd_ >= 0) close(fd_);
    }
    // Binds `address` (host order; 0 = every local address); port 0 takes a
    // free one. False with a message.
    bool open(uint32_t address, uint16_t port, std::string& error) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(address);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error =
                "UDP " + dotted(address) + ":" + std::to_string(port) + ": " + std::strerror(errno);
            return false;
        }
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        return true;
    }
    uint16_t port() const { return port_; }
    std::string describe() const override { return "UDP port " + std::to_string(port_); }

    void run(Handler& h, ReplyCache& replies, const std::atomic<bool>& stop) override {
        std::vector<uint8_t> buf(kDatagramMax);
        while (!stop) {
            pollfd p{fd_, POLLIN, 0};
            int r = poll(&p, 1, kWaitMs);
            if (r <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd_, buf.data(), buf.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) continue;
            ReplyCache::Source src{uint8_t(road()), {}};
            std::memcpy(src.address.data(), &from, std::min(sizeof from, src.address.size()));
            Handler::Reply reply = replies.answer(src, buf.data(), size_t(n), [&] {
                return h.handle(road(), service(), buf.data(), size_t(n));
            });
            int out = fd_;
            if (reply && sibling_ && answerService(*reply) == sibling_->service())
                out = sibling_->fd_;
            if (reply && sendto(out, reply->data(), reply->size(), 0,
                                reinterpret_cast<sockaddr*>(&from), len) < 0)
                logLine(LogLevel::Debug, "reply to %s:%u not sent: %s",
                        dotted(ntohl(from.sin_addr.s_addr)).c_str(), ntohs(from.sin_port),
                        std::strerror(errno));
        }
    }

  private:
    static std::optional<ServiceKind> answerService(const std::vector<uint8_t>& reply) {
        if (reply.size() != qrd::nm::kAnswerSize ||
            qrd::getBe16(reply.data()) != qrd::nm::kAnswerKind)
            return std::nullopt;
        uint16_t svc = qrd::getBe16(reply.data() + 2);
        if (svc == qrd::nm::kServiceNamewright) return ServiceKind::Namewright;
        if (svc == qrd::nm::kServiceMessage) return ServiceKind::Message;
        return std::nullopt;
    }

    int fd_ = -1;
    uint16_t port_ = 0;
    const UdpEndpoint* sibling_ = nullptr;
};

// A well-known port of the native road, through the client library.
class NativeEndpoint : public Endpoint {
  public:
    NativeEndpoint(ServiceKind service, uint16_t wellKnown)
        : Endpoint(Road::Native, service), wellKnown_(wellKnown) {}
    ~NativeEndpoint() override {
        if (open_) QrdCloseSocket(socket_);
    }
    bool open(std::string& error) {
        QRDSTATUS st = QrdOpenSocket(&socket_, QRD_FAMILY_NATIVE, 1, wellKnown_, &local_, 0);
        if (st != 0) {
            error = "native port " + std::to_string(wellKnown_) + ": status " + std::to_string(st);
            return false;
        }
        open_ = true;
        return true;
    }
    PortRecord localPort() const {
        PortRecord p;
        std::memcpy(p.data(), &local_, p.size());
        return p;
    }
    std::string describe() const override { return "native port " + std::to_string(wellKnown_); }

    void run(Handler& h, ReplyCache& replies, const std::atomic<bool>& stop) override {
        std::vector<uint8_t> buf(kDatagramMax);
        unsigned errors = 0;
        while (!stop) {
            QRD_SOCK_REQ req{};
            req.socket = socket_;
            req.buffer = buf.data();
            req.length = uint32_t(buf.size());
            req.timeout = kWaitTicks;
            QRDSTATUS st = QrdSocketReceive(&req);
            if (st == 0) st = QRDSTATUS(req.status);
            if (st == QRDERR_TIMEOUT) continue;
            if (st != 0 || req.count == QRD_COUNT_NOTHING || req.count > buf.size()) {
                // A persistent fault is logged once in a while, not every pause.
                if (errors++ % 100 == 0)
                    logLine(LogLevel::Error, "%s: receive status %u", describe().c_str(), st);
                std::this_thread::sleep_for(std::chrono::milliseconds(kErrorPauseMs));
                continue;
            }
            errors = 0;
            ReplyCache::Source src{uint8_t(road()), {}};
            std::memcpy(src.address.data(), &req.remote, src.address.size());
            Handler::Reply reply = replies.answer(src, buf.data(), req.count, [&] {
                return h.handle(road(), service(), buf.data(), req.count);
            });
            if (!reply) continue;
            QRD_SOCK_REQ out{};
            out.socket = socket_;
            out.buffer = reply->data();
            out.length = uint32_t(reply->size());
            out.remote = req.remote;
            out.flags = req.remote.network[0] != 0xFF ? QRD_SOCK_DIRECTED : 0;
            st = QrdSocketSend(&out);
            if (st != 0)
                logLine(LogLevel::Debug, "%s: reply not sent, status %u", describe().c_str(), st);
        }
    }

  private:
    uint16_t wellKnown_;
    uint32_t socket_ = 0;
    QRD_PORT local_{};
    bool open_ = false;
};

} // namespace

int serve(const ServeOptions& opt) {
    setLogVerbose(opt.verbose);

    std::string serverLatin1;
    std::vector<std::string> parts;
    if (!utf8ToLatin1(opt.serverName, serverLatin1) || !splitName(serverLatin1, parts) ||
        parts.size() != 3) {
        std::fprintf(stderr, "namewrightd: --server-name must be a full name "
                             "(server@group@organisation)\n");
        return 2;
    }
    qrd::CommStackConfig comm = qrd::loadCommStackConfig(qrd::loadQordaIni());
    uint32_t ipAddress = comm.serverAddress;
    if (!opt.ipAddress.empty() && !qrd::parseIpv4(opt.ipAddress, ipAddress)) {
        std::fprintf(stderr, "namewrightd: --ip-address %s is not an IPv4 address\n",
                     opt.ipAddress.c_str());
        return 2;
    }
    uint32_t bindAddress = ipAddress;
    if (!opt.ipBind.empty() && !qrd::parseIpv4(opt.ipBind, bindAddress)) {
        std::fprintf(stderr, "namewrightd: --ip-bind %s is not an IPv4 address\n",
                     opt.ipBind.c_str());
        return 2;
    }
    int ipPort = opt.ipPort >= 0 ? opt.ipPort : comm.searchPort;

    std::unique_ptr<SqliteStorage> storage;
    try {
        storage = std::make_unique<SqliteStorage>(opt.db);
    } catch (const StorageError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return 1;
    }

    HandlerConfig cfg;
    cfg.revision = opt.revision;
    cfg.nativeAddress = comm.serverAddress;
    cfg.nonces.nonceLifetime = opt.nonceLifetimeDays * 86400u;
    {
        // Use the stored spelling when this server is in the directory.
        Directory dir(*storage);
        Resolved r = dir.resolve(serverLatin1, kNameKindObject);
        cfg.serverName = r.status == 0 && r.entry.kind == Kind::Server ? r.canonical : serverLatin1;
        if (r.status != 0)
            logLine(LogLevel::Info,
                    "note: %s is not a server of the directory; other servers "
                    "cannot check the nonces it issues",
                    opt.serverName.c_str());
    }

    // Signals are taken by sigwait in this thread only.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGINT);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    std::vector<std::unique_ptr<Endpoint>> endpoints;
    std::string error;
    std::string nativeText = "off", ipText = "off";
    if (opt.native) {
        auto nw =
            std::make_unique<NativeEndpoint>(ServiceKind::Namewright, qrd::nm::kServiceNamewright);
        auto msg = std::make_unique<NativeEndpoint>(ServiceKind::Message, qrd::nm::kServiceMessage);
        if (!nw->open(error) || !msg->open(error)) {
            std::fprintf(stderr, "namewrightd: cannot open the native road: %s\n", error.c_str());
            return 1;
        }
        cfg.answerPorts[int(Road::Native)][0] = nw->localPort();
        cfg.answerPorts[int(Road::Native)][1] = msg->localPort();
        nativeText = dotted(comm.serverAddress) + " port base " + std::to_string(comm.portBase);
        endpoints.push_back(std::move(nw));
        endpoints.push_back(std::move(msg));
    }
    if (opt.internet && ipPort > 0) {
        auto nw = std::make_unique<UdpEndpoint>(Road::Internet, ServiceKind::Namewright);
        auto msg = std::make_unique<UdpEndpoint>(Road::Internet, ServiceKind::Message);
        if (!nw->open(bindAddress, uint16_t(ipPort), error) ||
            !msg->open(bindAddress, uint16_t(opt.ipMessagePort), error)) {
            std::fprintf(stderr, "namewrightd: cannot open the Internet road: %s\n", error.c_str());
            return 1;
        }
        nw->setSibling(msg.get());
        msg->setSibling(nw.get());
        cfg.answerPorts[int(Road::Internet)][0] = internetPort(ipAddress, nw->port());
        cfg.answerPorts[int(Road::Internet)][1] = internetPort(ipAddress, msg->port());
        ipText = dotted(ipAddress) + ":" + std::to_string(nw->port()) + " messages " +
                 std::to_string(msg->port());
        endpoints.push_back(std::move(nw));
        endpoints.push_back(std::move(msg));
    }
    if (endpoints.empty()) {
        std::fprintf(stderr, "namewrightd: both roads are switched off; nothing to serve\n");
        return 2;
    }

    SessionTable sessions;
    NativePeerClient nativePeer;
    Handler handler(*storage, sessions, opt.native ? &nativePeer : nullptr, cfg);
    ReplyCache replies;

    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (auto& e : endpoints)
        threads.emplace_back(
            [&handler, &replies, &stop, ep = e.get()] { ep->run(handler, replies, stop); });

    logLine(LogLevel::Info, "serving %s, revision %u", latin1ToUtf8(cfg.serverName).c_str(),
            cfg.revision);
    // The ready line tells scripts and tests that every socket is open.
    std::printf("namewrightd ready: server %s revision %u native %s internet %s\n",
                latin1ToUtf8(cfg.serverName).c_str(), cfg.revision, nativeText.c_str(),
                ipText.c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&sigs, &sig);
    logLine(LogLevel::Info, "stopping on signal %d", sig);
    stop = true;
    for (std::thread& t : threads)
        t.join();
    endpoints.clear();
    return 0;
}

} // namespace nwd
