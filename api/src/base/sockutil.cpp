#include "base/sockutil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

#include "qrd/bytes.h"

namespace qrd {

namespace {

// Linux errno -> socket-library error number. One table, so that both roads
// report the same status for the same failure.
struct ErrnoEntry {
    int linuxErrno;
    int number;
};
constexpr ErrnoEntry kErrnoTable[] = {
    {EINTR, 10004},           {EBADF, 10038},           {EACCES, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},
    {ENFILE, 10024},          {EAGAIN, 10035},          {EINPROGRESS, 10036},
    {EALREADY, 10037},        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},        {ENETUNREACH, 10051},
    {ENETRESET, 10052},       {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},          {EISCONN, 10056},
    {ENOTCONN, 10057},        {ESHUTDOWN, 10058},       {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
};

constinit std::mutex g_inetTextLock;
constinit char g_inetText[32] = "";

} // namespace

int socketErrorNumber(int linuxErrno) {
    if (linuxErrno == 0) return 0;
    if (linuxErrno == EWOULDBLOCK) linuxErrno = EAGAIN;
    for (const ErrnoEntry& e : kErrnoTable)
        if (e.linuxErrno == linuxErrno) return e.number;
    return -linuxErrno; // never a socket-library number: "any other"
}

QRDSTATUS statusFromErrno(int linuxErrno) {
    return QrdMapIpErrno(socketErrorNumber(linuxErrno));
}

int64_t ticksToMillis(uint32_t ticks) {
    if (ticks >= QRD_TIMEOUT_NONE) return -1;
    return int64_t(ticks) * 200;
}

int64_t receiveLimitMillis(const QRD_SOCK_REQ& req) {
    return req.reserved ? int64_t(req.reserved) : ticksToMillis(req.timeout);
}

int64_t monotonicMillis() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int pollMillisLeft(int64_t deadlineMs) {
    if (deadlineMs < 0) return -1;
    int64_t left = deadlineMs - monotonicMillis();
    if (left <= 0) return 0;
    return left > 1000000000 ? 1000000000 : int(left);
}

void inetPortFromSockaddr(const sockaddr_in& sa, QRD_PORT* port) {
    if (!port) return;
    uint8_t* b = reinterpret_cast<uint8_t*>(port);
    std::memset(b, 0, sizeof *port);
    putLe16(b, QRD_FAMILY_INET);
    putBe16(b + 2, ntohs(sa.sin_port));
    putBe32(b + 4, ntohl(sa.sin_addr.s_addr));
}

sockaddr_in sockaddrFromInetPort(const QRD_PORT& port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&port);
    sa.sin_port = htons(getBe16(b + 2));
    sa.sin_addr.s_addr = htonl(getBe32(b + 4));
    return sa;
}

const char* inetAddrToStr(const QRD_PORT* port) {
    QRD_PORT p;
    if (port)
        p = *port;
    else
        std::memset(&p, 0xFF, sizeof p);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&p);
    std::lock_guard lock(g_inetTextLock);
    std::snprintf(g_inetText, sizeof g_inetText, "%d.%d.%d.%d[%d]", b[4], b[5], b[6], b[7],
                  int(getBe16(b + 2)));
    return g_inetText;
}

uint32_t localAddressToward(uint32_t ip, uint16_t port) {
    uint32_t local = INADDR_LOOPBACK;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return local;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(ip);
    sa.sin_port = htons(port);
    socklen_t len = sizeof sa;
    // Connecting a datagram socket sends nothing; it only picks the route.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0 &&
        sa.sin_addr.s_addr != htonl(INADDR_ANY))
        local = ntohl(sa.sin_addr.s_addr);
    ::close(fd);
    return local;
}

} // namespace qrd

// The status of a socket-library error number; sockutil owns both tables.
extern "C" QRDAPI QRDSTATUS QrdMapIpErrno(int error) {
    switch (error) {
    case 10004:
    case 10053:
        return QRDERR_ABORTED;
    case 10035:
    case 10036:
    case 10037:
        return QRDERR_WOULD_BLOCK;
    case 10038:
        return QRDERR_BAD_SOCKET;
    case 10039:
        return QRDERR_DEST_REQUIRED;
    case 10040:
        return QRDERR_TOO_BIG;
    case 10041:
    case 10043:
    case 10045:
        return QRDERR_PROTOCOL_ABSENT;
    case 10044:
        return QRDERR_BAD_OPTION;
    case 10047:
        return QRDERR_NO_PROTOCOL;
    case 10048:
        return QRDERR_ADDR_IN_USE;
    case 10049:
        return QRDERR_ADDR_NOT_AVAIL;
    case 10050:
        return QRDERR_NET_DOWN2;
    case 10051:
        return QRDERR_NET_UNREACHABLE;
    case 10054:
        return QRDERR_RESET;
    case 10055:
        return QRDERR_NO_BUFFERS;
    case 10056:
        return QRDERR_IS_CONNECTED;
    case 10057:
        return QRDERR_NOT_CONNECTED;
    case 10060:
        return QRDERR_TIMEOUT;
    case 10061:
        return QRDERR_REFUSED;
    case 10064:
        return QRDERR_NET_DOWN;
    case 10065:
        return QRDERR_HOST_DOWN;
    default:
        return QRDERR_SOCKET_OTHER;
    }
}
