#include "commstack.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <map>
#include <memory>
#include <mutex>
#include <net/if.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "base/port.h"
#include "base/sockutil.h"
#include "devrecords.h"
#include "portmap.h"
#include "qrd/config.h"
#include "qrdapi.h"

namespace qrd::commstack {

namespace {

constexpr uint16_t kDatagramType = 1;
constexpr uint16_t kMaxHandle = 0xFFFF; // the close record carries a u16
constexpr int kNotifySliceMillis = 200; // notification waits pick up new sockets this often

struct Socket {
    uint16_t handle = 0;
    int fd = -1;          // bound to the socket's own address
    int broadcastFd = -1; // well-known ports: bound to BroadcastAddress
    uint16_t flags = 0;
    uint32_t thread = 0; // thread word of the open; QrdThreadDoneEx closes it
    std::atomic<bool> closed{false};
    std::atomic<bool> notified{false}; // reported by a notification, not read since
    std::mutex readLock;               // a peek and the read that follows it belong together

    ~Socket() {
        if (fd >= 0) ::close(fd);
        if (broadcastFd >= 0) ::close(broadcastFd);
    }
};

// One device call in flight. Blocking operations register it so that a
// cancel, a socket close or a thread-done can wake it through its event.
struct Call {
    int event = -1;
    int slot = -1; // pool slot, -1 for a private event
    uint32_t thread = 0;
    const void* request = nullptr; // the QRD_SOCK_REQ or notify record
    uint16_t socket = 0;           // 0 = any / none
    bool registered = false;
    std::atomic<bool> cancelled{false};
};

struct Device {
    PortMap map{};
    bool disabled = false;
    uint32_t localIp = 0; // this host's address toward ServerAddress
    uint32_t sessionPid = 0;
    int pool[kEventPoolSize];
    // Guarded by locks::eventPool(): pool slot use, sockets, calls in flight.
    uint16_t poolInUse[kEventPoolSize] = {};
    size_t privateInUse = 0;
    std::map<uint16_t, std::shared_ptr<Socket>> sockets;
    std::vector<Call*> calls;
    uint16_t nextHandle = 1;

    Device() {
        for (int& e : pool)
            e = -1;
    }
    ~Device() {
        for (int e : pool)
            if (e >= 0) ::close(e);
    }
};

// The open device, guarded by locks::global(). Leaked on purpose: the
// process detach may close it after static destructors have run.
std::shared_ptr<Device>& deviceSlot() {
    static auto* slot = new std::shared_ptr<Device>;
    return *slot;
}

void wake(Call* c) {
    uint64_t one = 1;
    ssize_t r = ::write(c->event, &one, sizeof one);
    (void)r; // a full counter is still readable: the wake is not lost
}

void drain(int event) {
    uint64_t v;
    while (::read(event, &v, sizeof v) > 0) {
    }
}

// ---- events ---------------------------------------------------------------

bool takeEvent(Device& d, Call& c) {
    {
        std::lock_guard lock(locks::eventPool());
        for (size_t i = 0; i < kEventPoolSize; ++i) {
            if (d.poolInUse[i] == 0) {
                d.poolInUse[i] = 1;
                c.slot = int(i);
                c.event = d.pool[i];
                return true;
            }
        }
        ++d.privateInUse;
    }
    c.slot = -1;
    c.event = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (c.event >= 0) return true;
    std::lock_guard lock(locks::eventPool());
    --d.privateInUse;
    return false;
}

void returnEvent(Device& d, Call& c) {
    std::lock_guard lock(locks::eventPool());
    if (c.registered) {
        std::erase(d.calls, &c);
        c.registered = false;
    }
    if (c.slot >= 0) {
        drain(c.event); // nobody can wake this call any more
        d.poolInUse[c.slot] = 0;
    } else {
        ::close(c.event);
        --d.privateInUse;
    }
}

void registerCall(Device& d, Call& c, const void* request, uint16_t socket) {
    std::lock_guard lock(locks::eventPool());
    c.request = request;
    c.socket = socket;
    c.registered = true;
    d.calls.push_back(&c);
}

// ---- sockets --------------------------------------------------------------

std::shared_ptr<Socket> findSocket(Device& d, uint32_t handle) {
    if (handle == 0 || handle > kMaxHandle) return nullptr;
    std::lock_guard lock(locks::eventPool());
    auto it = d.sockets.find(uint16_t(handle));
    return it == d.sockets.end() ? nullptr : it->second;
}

// Removes the sockets that `pick` selects and wakes the calls on them.
// Called with locks::eventPool() held.
template <class Pick> void closeSocketsLocked(Device& d, Pick pick) {
    for (auto it = d.sockets.begin(); it != d.sockets.end();) {
        if (!pick(*it->second)) {
            ++it;
            continue;
        }
        it->second->closed = true;
        for (Call* c : d.calls)
            if (c->socket == it->first) wake(c);
        it = d.sockets.erase(it);
    }
}

int udpSocket() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    return fd;
}

bool bindTo(int fd, uint32_t ip, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(ip);
    sa.sin_port = htons(port);
    return ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

QRDSTATUS opOpen(Device& d, const QRD_CNTL_BLOCK* b) {
    auto* a = static_cast<SockOpenArgs*>(b->arg);
    if (!a || !a->socketOut) return QRDERR_BAD_ARG;
    if (d.disabled) return QRDERR_PROTOCOL_ABSENT;
    if (a->family != QRD_FAMILY_NATIVE) return QRDERR_NO_PROTOCOL;
    if (a->type != kDatagramType) return QRDERR_BAD_OPTION;

    auto s = std::make_shared<Socket>();
    s->flags = a->flags;
    s->thread = b->thread;
    s->fd = udpSocket();
    if (s->fd < 0) return statusFromErrno(errno);
    const uint16_t p = a->portNumber;
    bool bound;
    if (p == QRD_PORT_ANY) {
        bound = bindTo(s->fd, INADDR_ANY, 0);
    } else if (p < kWellKnownPorts) {
        // A well-known service: its own address, and a second socket that
        // shares the broadcast address with every other server of the
        // machine, so that all of them hear a broadcast.
        const uint16_t udp = uint16_t(d.map.portBase + p);
        bound = bindTo(s->fd, d.map.serverAddress, udp);
        if (bound) {
            s->broadcastFd = udpSocket();
            int one = 1;
            bound = s->broadcastFd >= 0 &&
                    ::setsockopt(s->broadcastFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
                    bindTo(s->broadcastFd, d.map.broadcastAddress, udp);
        }
    } else {
        bound = bindTo(s->fd, INADDR_ANY, p);
    }
    sockaddr_in self{};
    socklen_t len = sizeof self;
    if (!bound || ::getsockname(s->fd, reinterpret_cast<sockaddr*>(&self), &len) != 0)
        return statusFromErrno(errno);
    uint32_t ip = ntohl(self.sin_addr.s_addr);
    if (ip == INADDR_ANY) ip = d.localIp;
    const QRD_PORT local = endpointRecord(d.map, ip, ntohs(self.sin_port));

    {
        std::lock_guard lock(locks::eventPool());
        if (d.sockets.size() >= kMaxHandle) return QRDERR_NO_BUFFERS;
        while (d.nextHandle == 0 || d.sockets.count(d.nextHandle))
            ++d.nextHandle;
        s->handle = d.nextHandle++;
        d.sockets[s->handle] = s;
    }
    *a->socketOut = s->handle;
    if (a->localPortOut) *a->localPortOut = local;
    return QRD_OK;
}

QRDSTATUS opClose(Device& d, const QRD_CNTL_BLOCK* b) {
    auto* a = static_cast<SockCloseArgs*>(b->arg);
    if (!a) return QRDERR_BAD_ARG;
    const uint16_t handle = a->socket;
    std::lock_guard lock(locks::eventPool());
    if (!d.sockets.count(handle)) return QRDERR_BAD_SOCKET;
    closeSocketsLocked(d, [&](const Socket& s) { return s.handle == handle; });
    return QRD_OK;
}

// ---- send and receive -----------------------------------------------------

// Waits until one of `fds` is ready for `events`, the call is woken, or the
// deadline passes. 1 ready, 0 time-out, -1 woken (the caller checks why),
// -2 the wait itself failed.
int waitReady(const Call& c, const std::vector<int>& fds, short events, int64_t deadline) {
    std::vector<pollfd> pfds;
    pfds.push_back({c.event, POLLIN, 0});
    for (int fd : fds)
        if (fd >= 0) pfds.push_back({fd, events, 0});
    for (;;) {
        int r = ::poll(pfds.data(), pfds.size(), pollMillisLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -2;
        if (r == 0) return 0;
        if (pfds[0].revents) {
            drain(c.event);
            return -1;
        }
        return 1;
    }
}

QRDSTATUS opSend(Device& d, Call& c, QRD_SOCK_REQ* req) {
    if (!req) return QRDERR_BAD_ARG;
    auto s = findSocket(d, req->socket);
    if (!s) return QRDERR_BAD_SOCKET;
    if (!req->buffer && req->length) return QRDERR_BAD_ARG;
    if (isNullPort(&req->remote)) return QRDERR_DEST_REQUIRED;
    if (!isNativePort(req->remote)) return QRDERR_NO_PROTOCOL;
    const sockaddr_in to = udpDestination(d.map, req->remote);
    registerCall(d, c, req, s->handle);
    const int64_t limit = ticksToMillis(req->timeout);
    const int64_t deadline = limit < 0 ? -1 : monotonicMillis() + limit;
    for (;;) {
        if (c.cancelled || s->closed) return QRDERR_ABORTED;
        ssize_t n = ::sendto(s->fd, req->buffer, req->length, MSG_DONTWAIT | MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (n >= 0) {
            req->count = uint32_t(n);
            return QRD_OK;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return statusFromErrno(errno);
        if (req->flags & QRD_SOCK_NOWAIT) return QRDERR_WOULD_BLOCK;
        int r = waitReady(c, {s->fd}, POLLOUT, deadline);
        if (r == 0) return QRDERR_TIMEOUT;
        if (r == -2) return QRDERR_NO_BUFFERS;
    }
}

enum class Read { Got, Empty, Failed };

// Reads one datagram from `fd` if one is waiting. A datagram larger than the
// buffer stays queued: 156 with its size in the count.
Read readOne(Device& d, Socket& s, int fd, QRD_SOCK_REQ* req, QRDSTATUS& st) {
    std::lock_guard lock(s.readLock);
    uint8_t probe;
    ssize_t size = ::recv(fd, &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (size < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return Read::Empty;
        st = statusFromErrno(errno);
        return Read::Failed;
    }
    if (size_t(size) > req->length) {
        req->count = uint32_t(size);
        st = QRDERR_TOO_BIG;
        return Read::Failed;
    }
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n = ::recvfrom(fd, req->buffer, req->length, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
        st = statusFromErrno(errno);
        return Read::Failed;
    }
    req->count = uint32_t(n);
    req->remote = endpointRecord(d.map, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
    st = QRD_OK;
    return Read::Got;
}

QRDSTATUS opReceive(Device& d, Call& c, QRD_SOCK_REQ* req) {
    if (!req) return QRDERR_BAD_ARG;
    auto s = findSocket(d, req->socket);
    if (!s) return QRDERR_BAD_SOCKET;
    if (!req->buffer && req->length) return QRDERR_BAD_ARG;
    s->notified = false;
    registerCall(d, c, req, s->handle);
    const int64_t limit = receiveLimitMillis(*req);
    const int64_t deadline = limit < 0 ? -1 : monotonicMillis() + limit;
    for (;;) {
        if (c.cancelled || s->closed) return QRDERR_ABORTED;
        for (int fd : {s->fd, s->broadcastFd}) {
            if (fd < 0) continue;
            QRDSTATUS st;
            if (readOne(d, *s, fd, req, st) != Read::Empty) return st;
        }
        if (req->flags & QRD_SOCK_NOWAIT) {
            req->count = QRD_COUNT_NOTHING;
            return QRD_OK;
        }
        int r = waitReady(c, {s->fd, s->broadcastFd}, POLLIN, deadline);
        if (r == 0) return QRDERR_TIMEOUT;
        if (r == -2) return QRDERR_NO_BUFFERS;
    }
}

QRDSTATUS opCancel(Device& d, const QRD_CNTL_BLOCK* b) {
    if (!b->arg) return QRDERR_BAD_ARG;
    std::lock_guard lock(locks::eventPool());
    for (Call* c : d.calls) {
        if (c->request == b->arg) {
            c->cancelled = true;
            wake(c);
            return QRD_OK;
        }
    }
    return QRDERR_BAD_ARG; // no such request in flight
}

// ---- waits and notifications ----------------------------------------------

std::vector<std::shared_ptr<Socket>> allSockets(Device& d) {
    std::vector<std::shared_ptr<Socket>> out;
    std::lock_guard lock(locks::eventPool());
    for (auto& [h, s] : d.sockets)
        out.push_back(s);
    return out;
}

std::vector<int> fdsOf(const std::vector<std::shared_ptr<Socket>>& socks) {
    std::vector<int> fds;
    for (auto& s : socks) {
        fds.push_back(s->fd);
        if (s->broadcastFd >= 0) fds.push_back(s->broadcastFd);
    }
    return fds;
}

QRDSTATUS opWait(Device& d, Call& c, const QRD_CNTL_BLOCK* b) {
    auto* a = static_cast<SockWaitArgs*>(b->arg);
    if (!a) return QRDERR_BAD_ARG;
    std::vector<std::shared_ptr<Socket>> socks;
    if (a->a != 0) {
        auto s = findSocket(d, a->a);
        if (!s) return QRDERR_BAD_SOCKET;
        socks.push_back(s);
    } else {
        socks = allSockets(d);
    }
    registerCall(d, c, nullptr, a->a > kMaxHandle ? 0 : uint16_t(a->a));
    const int64_t deadline = a->b == 0xFFFF ? -1 : monotonicMillis() + int64_t(a->b) * 200;
    for (;;) {
        if (c.cancelled) return QRDERR_ABORTED;
        for (auto& s : socks)
            if (s->closed) return QRDERR_ABORTED;
        int r = waitReady(c, fdsOf(socks), POLLIN, deadline);
        if (r == 1) return QRD_OK;
        if (r == 0) return QRDERR_TIMEOUT;
        if (r == -2) return QRDERR_NO_BUFFERS;
    }
}

QRDSTATUS opNotify(Device& d, Call& c, const QRD_CNTL_BLOCK* b) {
    auto* rec = static_cast<NotifyRecord*>(b->arg);
    if (!rec) return QRDERR_BAD_ARG;
    if (rec->state == kNotifyRegistered) return QRD_OK;
    registerCall(d, c, rec, 0);
    const int64_t deadline = monotonicMillis() + kNotifyWaitMillis;
    for (;;) {
        if (c.cancelled) return QRDERR_ABORTED;
        std::vector<std::shared_ptr<Socket>> socks;
        if (rec->mask & kNotifyDatagram)
            for (auto& s : allSockets(d))
                if (!s->notified && !s->closed) socks.push_back(s);
        for (auto& s : socks) {
            pollfd p[2] = {{s->fd, POLLIN, 0}, {s->broadcastFd, POLLIN, 0}};
            if (::poll(p, s->broadcastFd >= 0 ? 2 : 1, 0) > 0) {
                s->notified = true;
                rec->eventWord = s->handle;
                return QRD_OK;
            }
        }
        const int64_t left = deadline - monotonicMillis();
        if (left <= 0) return QRDERR_TIMEOUT;
        const int64_t slice =
            monotonicMillis() + (left < kNotifySliceMillis ? left : kNotifySliceMillis);
        if (waitReady(c, fdsOf(socks), POLLIN, slice) == -2) return QRDERR_NO_BUFFERS;
    }
}

// ---- the rest of the operations ---------------------------------------------

QRDSTATUS opThreadDone(Device& d, const Call& self, uint32_t thread) {
    if (thread == 0) return QRD_OK; // the whole process is done only at device close
    std::lock_guard lock(locks::eventPool());
    closeSocketsLocked(d, [&](const Socket& s) { return s.thread == thread; });
    for (Call* c : d.calls) {
        if (c != &self && c->thread == thread) {
            c->cancelled = true;
            wake(c);
        }
    }
    return QRD_OK;
}

// The adapter address of the interface that holds `ip`; loopback and
// interfaces without one get a stable locally administered id made from the
// machine id and the address.
void adapterAddress(uint32_t ip, uint8_t out[6]) {
    ifaddrs* list = nullptr;
    std::string name;
    if (::getifaddrs(&list) == 0) {
        for (ifaddrs* i = list; i; i = i->ifa_next) {
            if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET &&
                ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr) == ip)
                name = i->ifa_name;
        }
        for (ifaddrs* i = list; i && !name.empty(); i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_PACKET || name != i->ifa_name)
                continue;
            auto* ll = reinterpret_cast<sockaddr_ll*>(i->ifa_addr);
            bool zero = true;
            for (int k = 0; k < 6 && ll->sll_halen == 6; ++k)
                zero = zero && ll->sll_addr[k] == 0;
            if (ll->sll_halen == 6 && !zero) {
                std::memcpy(out, ll->sll_addr, 6);
                ::freeifaddrs(list);
                return;
            }
        }
        ::freeifaddrs(list);
    }
    std::string seed;
    std::ifstream("/etc/machine-id") >> seed;
    if (seed.empty()) {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        seed = host;
    }
    uint64_t h = 1469598103934665603ull; // FNV-1a
    auto mix = [&](uint8_t byte) { h = (h ^ byte) * 1099511628211ull; };
    for (char ch : seed)
        mix(uint8_t(ch));
    for (int k = 0; k < 4; ++k)
        mix(uint8_t(ip >> (8 * k)));
    for (int k = 0; k < 6; ++k)
        out[k] = uint8_t(h >> (8 * k));
    out[0] = uint8_t((out[0] | 0x02) & 0xFE); // locally administered, unicast
}

QRDSTATUS dispatch(Device& d, Call& c, QRD_CNTL_BLOCK* b) {
    switch (b->op) {
    case CNTL_SOOPEN:
        return opOpen(d, b);
    case CNTL_SOSEND:
    case CNTL_SORECV: {
        auto* req = static_cast<QRD_SOCK_REQ*>(b->arg);
        QRDSTATUS st = b->op == CNTL_SOSEND ? opSend(d, c, req) : opReceive(d, c, req);
        if (req) req->status = st;
        return st;
    }
    case CNTL_SOCLOSE:
        return opClose(d, b);
    case CNTL_SOWAIT:
        return opWait(d, c, b);
    case CNTL_NOTIFYWND:
        return QRDERR_NO_PROTOCOL; // no window system below the library
    case CNTL_SESOPEN:
        d.sessionPid = b->pid;
        return QRD_OK;
    case CNTL_NOTIFY:
        return opNotify(d, c, b);
    case CNTL_ISDIALIN: {
        if (!b->arg) return QRDERR_BAD_ARG;
        const uint16_t notDialin = 0;
        std::memcpy(b->arg, &notDialin, sizeof notDialin);
        return QRD_OK;
    }
    case CNTL_SOIOCTL: {
        auto* a = static_cast<SoIoctlArgs*>(b->arg);
        if (!a) return QRDERR_BAD_ARG;
        if (!findSocket(d, a->words[0])) return QRDERR_BAD_SOCKET;
        return QRDERR_BAD_OPTION; // the stand-in knows no socket controls
    }
    case CNTL_SOCANCEL:
        return opCancel(d, b);
    case CNTL_THREADDONE:
        return opThreadDone(d, c, b->thread);
    case CNTL_NICADDR: {
        auto* a = static_cast<NicAddressArgs*>(b->arg);
        if (!a) return QRDERR_BAD_ARG;
        std::memset(a->address, 0, sizeof a->address);
        adapterAddress(d.localIp, a->address);
        a->length = 6;
        return QRD_OK;
    }
    case CNTL_SOCONFIG:
        if (!b->arg) return QRDERR_BAD_ARG;
        return QRDERR_BAD_OPTION; // the stand-in keeps no stack configuration
    default:
        return QRDERR_DEVICE_CALL;
    }
}

// Called with locks::global() held.
std::shared_ptr<Device> openDevice() {
    auto d = std::make_shared<Device>();
    const IniFile ini = loadQordaIni();
    const CommStackConfig cfg = loadCommStackConfig(ini);
    d->map = PortMap{cfg.serverAddress, cfg.broadcastAddress, cfg.portBase};
    d->disabled = ini.getLong("CommStack", "Disabled", 0) != 0;
    d->localIp = localAddressToward(d->map.serverAddress, d->map.portBase);
    for (int& e : d->pool) {
        e = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (e < 0) return nullptr;
    }
    QRD_CNTL_BLOCK open{};
    open.op = CNTL_SESOPEN;
    open.pid = uint32_t(::getpid());
    Call c;
    if (dispatch(*d, c, &open) != QRD_OK) return nullptr;
    return d;
}

std::shared_ptr<Device> currentDevice(bool open) {
    std::lock_guard lock(locks::global());
    std::shared_ptr<Device>& slot = deviceSlot();
    if (!slot && open) slot = openDevice(); // a failed open is tried again next time
    return slot;
}

} // namespace

PoolUse poolUse() {
    auto d = currentDevice(false);
    if (!d) return {0, 0};
    std::lock_guard lock(locks::eventPool());
    PoolUse u{0, d->privateInUse};
    for (uint16_t n : d->poolInUse)
        u.pooled += n;
    return u;
}

bool pending(const void* request) {
    auto d = currentDevice(false);
    if (!d) return false;
    std::lock_guard lock(locks::eventPool());
    for (const Call* c : d->calls)
        if (c->request == request) return true;
    return false;
}

bool sameEndpoint(const QRD_PORT& dest, const QRD_PORT& source) {
    auto d = currentDevice(false);
    if (!d || !isNativePort(dest) || !isNativePort(source)) return false;
    const sockaddr_in to = udpDestination(d->map, dest);
    const sockaddr_in from = udpDestination(d->map, source);
    if (to.sin_port != from.sin_port) return false;
    uint32_t network = 0;
    std::memcpy(&network, dest.network, sizeof network);
    return network == 0xFFFFFFFFu || to.sin_addr.s_addr == from.sin_addr.s_addr;
}

} // namespace qrd::commstack

namespace qrd {

void commStackClose() {
    std::shared_ptr<commstack::Device> d;
    {
        std::lock_guard lock(locks::global());
        d = std::move(commstack::deviceSlot());
    }
    if (!d) return;
    // Operation 19 for the whole process: every socket closes, every waiting
    // call ends. The events go when the last call in flight lets go.
    std::lock_guard lock(locks::eventPool());
    commstack::closeSocketsLocked(*d, [](const commstack::Socket&) { return true; });
    for (commstack::Call* c : d->calls) {
        c->cancelled = true;
        commstack::wake(c);
    }
}

} // namespace qrd

extern "C" QRDAPI QRDSTATUS QrdCallSocket(QRD_CNTL_BLOCK* block) {
    using namespace qrd::commstack;
    if (!block) return QRDERR_DEVICE_CALL;
    std::shared_ptr<Device> d = currentDevice(true);
    if (!d) {
        block->qrderr = QRDERR_DEVICE_CALL;
        return QRDERR_DEVICE_CALL;
    }
    block->pid = uint32_t(::getpid());
    Call c;
    c.thread = block->thread;
    if (!takeEvent(*d, c)) {
        block->qrderr = QRDERR_DEVICE_CALL;
        return QRDERR_DEVICE_CALL;
    }
    QRDSTATUS st = dispatch(*d, c, block);
    returnEvent(*d, c);
    block->qrderr = st;
    return st;
}
