// The unified sockets of the RPC layer and the Internet road: family 3 goes
// to the comm-stack device, every other family to plain UDP/IPv4 sockets.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/sockutil.h"
#include "qrdapi.h"

namespace {

// An open Internet-road socket. The descriptor is closed when the last user
// lets go, so that a close from another thread never leaves a receive polling
// a descriptor number that the process has since reused.
struct InetSocket {
    int fd;
    std::atomic<bool> closed{false};
    explicit InetSocket(int f) : fd(f) {}
    ~InetSocket() { ::close(fd); }
};

// Open Internet-road sockets by handle (the descriptor number). Guarded by
// g_inetLock; leaked on purpose so that the process detach can still use it.
constinit std::mutex g_inetLock;
std::map<uint32_t, std::shared_ptr<InetSocket>>& inetSockets() {
    static auto* table = new std::map<uint32_t, std::shared_ptr<InetSocket>>;
    return *table;
}

std::shared_ptr<InetSocket> findInet(uint32_t handle) {
    std::lock_guard lock(g_inetLock);
    auto it = inetSockets().find(handle);
    return it == inetSockets().end() ? nullptr : it->second;
}

bool setNonBlocking(int fd, bool on) {
    int fl = fcntl(fd, F_GETFL);
    if (fl < 0) return false;
    fl = on ? (fl | O_NONBLOCK) : (fl & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, fl) == 0;
}

QRDSTATUS inetOpen(uint32_t* socketOut, QRD_PORT* localPortOut, uint16_t portNumber) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return qrd::statusFromErrno(errno);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    sa.sin_port = htons(portNumber);
    socklen_t len = sizeof sa;
    int one = 1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) {
        int e = errno;
        ::close(fd);
        return qrd::statusFromErrno(e);
    }
    if (localPortOut) qrd::inetPortFromSockaddr(sa, localPortOut);
    std::lock_guard lock(g_inetLock);
    inetSockets()[uint32_t(fd)] = std::make_shared<InetSocket>(fd);
    *socketOut = uint32_t(fd);
    return QRD_OK;
}

QRDSTATUS inetClose(uint32_t handle) {
    std::shared_ptr<InetSocket> s;
    {
        std::lock_guard lock(g_inetLock);
        auto it = inetSockets().find(handle);
        if (it == inetSockets().end()) return QRDERR_BAD_SOCKET;
        s = std::move(it->second);
        inetSockets().erase(it);
    }
    // Wakes a receive that is waiting on it in another thread.
    s->closed = true;
    ::shutdown(s->fd, SHUT_RDWR);
    return QRD_OK;
}

QRDSTATUS fail(QRD_SOCK_REQ* req, QRDSTATUS st) {
    req->status = st;
    return st;
}

QRDSTATUS inetSend(QRD_SOCK_REQ* req) {
    req->status = 0;
    auto s = findInet(req->socket);
    if (!s) return fail(req, QRDERR_BAD_SOCKET);
    if (!req->buffer && req->length) return fail(req, QRDERR_BAD_ARG);
    if (!setNonBlocking(s->fd, req->flags & QRD_SOCK_NOWAIT))
        return fail(req, qrd::statusFromErrno(errno));
    sockaddr_in to = qrd::sockaddrFromInetPort(req->remote);
    ssize_t n;
    if (req->flags & QRD_SOCK_CONNECTED) {
        if (::connect(s->fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            return fail(req, qrd::statusFromErrno(errno));
        n = ::send(s->fd, req->buffer, req->length, MSG_NOSIGNAL);
    } else {
        n = ::sendto(s->fd, req->buffer, req->length, MSG_NOSIGNAL,
                     reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    if (n < 0) return fail(req, qrd::statusFromErrno(errno));
    req->count = 0;
    req->status = 0;
    return QRD_OK;
}

// Statuses of a receive stay in the record; the call itself returns 0 unless
// the record cannot be used at all.
QRDSTATUS inetReceive(QRD_SOCK_REQ* req) {
    req->status = 0;
    auto s = findInet(req->socket);
    if (!s) {
        req->status = QRDERR_BAD_SOCKET;
        return QRD_OK;
    }
    if (!req->buffer && req->length) return fail(req, QRDERR_BAD_ARG);
    const bool connected = req->flags & QRD_SOCK_CONNECTED;
    const int64_t limit = qrd::receiveLimitMillis(*req);
    const int64_t deadline = limit < 0 ? -1 : qrd::monotonicMillis() + limit;
    for (;;) {
        if (s->closed) {
            // Closed by another thread while we waited.
            req->status = QRDERR_ABORTED;
            return QRD_OK;
        }
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        // Peek first: a datagram larger than the buffer stays queued, and the
        // caller learns its size and can retry with a bigger buffer.
        uint8_t probe;
        ssize_t size = ::recvfrom(s->fd, &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT,
                                  reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (size >= 0) {
            if (size_t(size) > req->length) {
                req->count = uint32_t(size);
                req->status = QRDERR_TOO_BIG;
                return QRD_OK;
            }
            fromLen = sizeof from;
            ssize_t n = connected ? ::recv(s->fd, req->buffer, req->length, MSG_DONTWAIT)
                                  : ::recvfrom(s->fd, req->buffer, req->length, MSG_DONTWAIT,
                                               reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n == 0 && s->closed) continue; // the close's end-of-file, not a datagram
            if (n >= 0) {
                req->count = uint32_t(n);
                if (!connected) qrd::inetPortFromSockaddr(from, &req->remote);
                return QRD_OK;
            }
        }
        int e = errno;
        if (e != EAGAIN && e != EWOULDBLOCK && e != EINTR) {
            req->status = qrd::statusFromErrno(e);
            return QRD_OK;
        }
        if (e == EINTR) continue;
        if (req->flags & QRD_SOCK_NOWAIT) {
            req->count = QRD_COUNT_NOTHING;
            return QRD_OK;
        }
        pollfd pfd{s->fd, POLLIN, 0};
        int r = ::poll(&pfd, 1, qrd::pollMillisLeft(deadline));
        if (r < 0 && errno != EINTR) {
            req->status = qrd::statusFromErrno(errno);
            return QRD_OK;
        }
        if (r == 0) {
            req->status = QRDERR_TIMEOUT;
            return QRD_OK;
        }
    }
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS RpcOpenSocket(uint32_t* socketOut, uint16_t family, uint16_t kind,
                               uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags) {
    if (family == QRD_FAMILY_NATIVE)
        return QrdOpenSocket(socketOut, family, kind, portNumber, localPortOut, flags);
    if (!socketOut) return QRDERR_BAD_ARG;
    *socketOut = 0;
    // On this road the flags argument is the local port number to bind.
    return inetOpen(socketOut, localPortOut, flags);
}

QRDAPI QRDSTATUS RpcSocketSend(uint16_t family, uint16_t kind, QRD_SOCK_REQ* req) {
    (void)kind;
    if (family == QRD_FAMILY_NATIVE) return QrdSocketSend(req);
    if (!req) return QRDERR_BAD_ARG;
    return inetSend(req);
}

QRDAPI QRDSTATUS RpcSocketReceive(uint16_t family, uint16_t kind, QRD_SOCK_REQ* req) {
    (void)kind;
    if (family == QRD_FAMILY_NATIVE) return QrdSocketReceive(req);
    if (!req) return QRDERR_BAD_ARG;
    return inetReceive(req);
}

QRDAPI QRDSTATUS RpcSocketWait(uint32_t a, uint16_t b) {
    return QrdSocketWait(a, b);
}

QRDAPI QRDSTATUS RpcCloseSocket(uint32_t socket, uint16_t family) {
    if (family == QRD_FAMILY_NATIVE) return QrdCloseSocket(socket);
    return inetClose(socket);
}

} // extern "C"
