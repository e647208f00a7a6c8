#include "server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
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
#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "qrdapi.h"
#include "replycache.h"
#include "secretkey.h"
#include "sqlite_storage.h"

namespace nwd {

namespace {

constexpr size_t kDatagramMax = 65536;
constexpr int kWaitMs = 1000;       // per receive, to notice a stop request
constexpr uint32_t kWaitTicks = 5;  // the same in ticks of 1/5 s
constexpr int kErrorPauseMs = 200;  // after an unexpected socket error
constexpr size_t kWorkers = 8;      // requests served at once
constexpr size_t kLoginWorkers = 1; // password hashes computed at once
constexpr size_t kQueueMax = 4096;  // requests waiting; beyond, they are dropped

// The IPv4 address behind a native road's source record: its network for a
// well-known port, else the address the comm stack keeps in word12.
Source sourceOf(const QRD_PORT& p) {
    const uint32_t network = qrd::getBe32(p.network);
    const uint32_t word12 = qrd::getBe32(p.word12);
    const bool server = qrd::getBe16(p.subnet) == qrd::port::kSubnetServer;
    return Source{server || word12 == 0 ? network : word12};
}

std::string dotted(uint32_t ip) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255,
                  ip & 255);
    return buf;
}

// Where a datagram came from: the reply goes back there.
struct ReplyTo {
    sockaddr_in from{}; // Internet road
    socklen_t len = 0;
    QRD_PORT remote{}; // native road
};

class Endpoint;

// A datagram waiting for a worker.
struct Job {
    Endpoint* endpoint = nullptr;
    std::vector<uint8_t> data;
    ReplyTo to;
    Source origin;               // the sender's address, which sessions are bound to
    ReplyCache::Source cacheKey; // who sent it, for the answers to repeated calls
};

// Workers fed by a queue (the login lane): a slow request holds one worker,
// not the road. The queue is bounded; a full queue drops the datagram, which
// its client sends again.
class WorkerPool {
  public:
    WorkerPool(Handler& h, ReplyCache& replies) : handler_(h), replies_(replies) {}
    ~WorkerPool() { stop(); }
    // `background`: the workers run at a lower priority.
    void start(size_t n, bool background = false) {
        for (size_t i = 0; i < n; ++i)
            threads_.emplace_back([this, background] {
                if (background) setpriority(PRIO_PROCESS, pid_t(gettid()), 10);
                work();
            });
    }
    bool submit(Job job) {
        {
            std::lock_guard<std::mutex> l(mu_);
            if (queue_.size() >= kQueueMax) return false;
            queue_.push_back(std::move(job));
        }
        cv_.notify_one();
        return true;
    }
    void stop() {
        {
            std::lock_guard<std::mutex> l(mu_);
            stopping_ = true;
        }
        cv_.notify_all();
        for (std::thread& t : threads_)
            t.join();
        threads_.clear();
    }

  private:
    void work();

    Handler& handler_;
    ReplyCache& replies_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Job> queue_; // guarded by mu_
    bool stopping_ = false; // guarded by mu_
    std::vector<std::thread> threads_;
};

// Each socket is read by several threads at once (the kernel hands each
// datagram to one of them), and a thread serves what it received itself: no
// hand-over on the way of a request. Logins (the exchange's HMACs and the
// throttles) are handed to a lane of their own with one
// low-priority worker, so that a storm of them leaves the other requests
// their threads and the CPU.
struct Lanes {
    Handler& handler;
    ReplyCache& replies;
    WorkerPool& logins;
    // False when the request was dropped (the login lane is full).
    bool serve(Job job) {
        std::optional<qrd::rpcwire::RequestHeader> h =
            qrd::rpcwire::readRequestHeader(job.data.data(), job.data.size());
        if (h && (h->procedure == qrd::nm::kLoginStart || h->procedure == qrd::nm::kLoginFinish))
            return logins.submit(std::move(job));
        run(job);
        return true;
    }
    void run(Job& job);
};

// One socket the daemon serves.
class Endpoint {
  public:
    Endpoint(Road road, ServiceKind service) : road_(road), service_(service) {}
    virtual ~Endpoint() = default;
    Road road() const { return road_; }
    ServiceKind service() const { return service_; }
    virtual std::string describe() const = 0;
    // Receives and serves datagrams until `stop` is set; several threads
    // may run it at once.
    virtual void run(Lanes& pool, const std::atomic<bool>& stop) = 0;
    // Sends a reply to where a request came from (any thread).
    virtual void reply(const ReplyTo& to, const std::vector<uint8_t>& data) = 0;

  private:
    Road road_;
    ServiceKind service_;
};

// Serves one datagram: a repeated call is answered from the reply cache, so
// a call that is not idempotent runs once however often it arrives.
void serveJob(Handler& handler, ReplyCache& replies, Job& job) {
    Endpoint& ep = *job.endpoint;
    Handler::Reply reply = replies.answer(job.cacheKey, job.data.data(), job.data.size(), [&] {
        return handler.handle(ep.road(), ep.service(), job.data.data(), job.data.size(),
                              job.origin);
    });
    if (reply) ep.reply(job.to, *reply);
}

void Lanes::run(Job& job) {
    serveJob(handler, replies, job);
}

void WorkerPool::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> l(mu_);
            cv_.wait(l, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return; // stopping
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        serveJob(handler_, replies_, job);
    }
}

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

    void run(Lanes& pool, const std::atomic<bool>& stop) override {
        std::vector<uint8_t> buf(kDatagramMax);
        while (!stop) {
            pollfd p{fd_, POLLIN, 0};
            int r = poll(&p, 1, kWaitMs);
            if (r <= 0) continue;
            Job job;
            job.endpoint = this;
            job.to.len = sizeof job.to.from;
            ssize_t n = recvfrom(fd_, buf.data(), buf.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&job.to.from), &job.to.len);
            if (n < 0) continue;
            job.data.assign(buf.begin(), buf.begin() + n);
            job.origin = Source{ntohl(job.to.from.sin_addr.s_addr)};
            job.cacheKey.road = uint8_t(road());
            std::memcpy(job.cacheKey.address.data(), &job.to.from,
                        std::min(sizeof job.to.from, job.cacheKey.address.size()));
            if (!pool.serve(std::move(job)))
                logLine(LogLevel::Debug, "%s: busy, a request was dropped", describe().c_str());
        }
    }

    void reply(const ReplyTo& to, const std::vector<uint8_t>& data) override {
        int out = fd_;
        if (sibling_ && answerService(data) == sibling_->service()) out = sibling_->fd_;
        if (sendto(out, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to.from),
                   to.len) < 0)
            logLine(LogLevel::Debug, "reply to %s:%u not sent: %s",
                    dotted(ntohl(to.from.sin_addr.s_addr)).c_str(), ntohs(to.from.sin_port),
                    std::strerror(errno));
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

    void run(Lanes& pool, const std::atomic<bool>& stop) override {
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
            Job job;
            job.endpoint = this;
            job.data.assign(buf.begin(), buf.begin() + req.count);
            job.to.remote = req.remote;
            job.origin = sourceOf(req.remote);
            job.cacheKey.road = uint8_t(road());
            std::memcpy(job.cacheKey.address.data(), &req.remote, job.cacheKey.address.size());
            if (!pool.serve(std::move(job)))
                logLine(LogLevel::Debug, "%s: busy, a request was dropped", describe().c_str());
        }
    }

    void reply(const ReplyTo& to, const std::vector<uint8_t>& data) override {
        QRD_SOCK_REQ out{};
        out.socket = socket_;
        out.buffer = const_cast<uint8_t*>(data.data());
        out.length = uint32_t(data.size());
        out.remote = to.remote;
        out.flags = to.remote.network[0] != 0xFF ? QRD_SOCK_DIRECTED : 0;
        if (QRDSTATUS st = QrdSocketSend(&out))
            logLine(LogLevel::Debug, "%s: reply not sent, status %u", describe().c_str(), st);
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
        storage->enableGroupCommit();
    } catch (const StorageError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return 1;
    }

    HandlerConfig cfg;
    cfg.revision = opt.revision;
    if (!opt.nmdaName.empty()) {
        std::vector<std::string> nmdaParts;
        if (!utf8ToLatin1(opt.nmdaName, cfg.nmdaName) || !splitName(cfg.nmdaName, nmdaParts) ||
            nmdaParts.size() != 3) {
            std::fprintf(stderr, "namewrightd: --nmda-name must be a full name "
                                 "(service@group@organisation)\n");
            return 2;
        }
    }
    cfg.nativeAddress = comm.serverAddress;
    cfg.nonces.nonceLifetime = opt.nonceLifetimeDays * 86400u;
    if (std::string keyError; !loadSecretKey(opt.db, cfg.secretKey, keyError)) {
        std::fprintf(stderr, "namewrightd: %s\n", keyError.c_str());
        return 1;
    }
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
        auto nmda =
            std::make_unique<NativeEndpoint>(ServiceKind::Nmda, qrd::nmdawire::kWellKnownPort);
        if (!nw->open(error) || !msg->open(error) || !nmda->open(error)) {
            std::fprintf(stderr, "namewrightd: cannot open the native road: %s\n", error.c_str());
            return 1;
        }
        cfg.answerPorts[int(Road::Native)][0] = nw->localPort();
        cfg.answerPorts[int(Road::Native)][1] = msg->localPort();
        cfg.answerPorts[int(Road::Native)][2] = nmda->localPort();
        nativeText = dotted(comm.serverAddress) + " port base " + std::to_string(comm.portBase);
        endpoints.push_back(std::move(nw));
        endpoints.push_back(std::move(msg));
        endpoints.push_back(std::move(nmda));
    }
    if (opt.internet && ipPort > 0) {
        auto nw = std::make_unique<UdpEndpoint>(Road::Internet, ServiceKind::Namewright);
        auto msg = std::make_unique<UdpEndpoint>(Road::Internet, ServiceKind::Message);
        auto nmda = std::make_unique<UdpEndpoint>(Road::Internet, ServiceKind::Nmda);
        if (!nw->open(bindAddress, uint16_t(ipPort), error) ||
            !msg->open(bindAddress, uint16_t(opt.ipMessagePort), error) ||
            !nmda->open(bindAddress, uint16_t(opt.ipNmdaPort), error)) {
            std::fprintf(stderr, "namewrightd: cannot open the Internet road: %s\n", error.c_str());
            return 1;
        }
        nw->setSibling(msg.get());
        msg->setSibling(nw.get());
        cfg.answerPorts[int(Road::Internet)][0] = internetPort(ipAddress, nw->port());
        cfg.answerPorts[int(Road::Internet)][1] = internetPort(ipAddress, msg->port());
        cfg.answerPorts[int(Road::Internet)][2] = internetPort(ipAddress, nmda->port());
        ipText = dotted(ipAddress) + ":" + std::to_string(nw->port()) + " messages " +
                 std::to_string(msg->port()) + " nmda " + std::to_string(nmda->port());
        endpoints.push_back(std::move(nw));
        endpoints.push_back(std::move(msg));
        endpoints.push_back(std::move(nmda));
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
    WorkerPool logins(handler, replies);
    logins.start(kLoginWorkers, true);
    Lanes lanes{handler, replies, logins};
    std::vector<std::thread> threads;
    for (auto& e : endpoints)
        for (size_t i = 0; i < kWorkers; ++i)
            threads.emplace_back([&lanes, &stop, ep = e.get()] { ep->run(lanes, stop); });

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
    logins.stop();
    endpoints.clear();
    return 0;
}

} // namespace nwd
