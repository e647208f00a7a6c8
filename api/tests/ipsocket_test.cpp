// The Internet road (plain UDP sockets behind the Rpc* functions) and the
// socket-library error map.
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "base/sockutil.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "transport_testutil.h"

namespace {

using namespace transporttest;
using Clock = std::chrono::steady_clock;

struct InetSocket {
    uint32_t handle = 0;
    QRD_PORT local{};
    QRDSTATUS status;
    explicit InetSocket(uint16_t port = 0) {
        status = RpcOpenSocket(&handle, QRD_FAMILY_INET, 1, QRD_PORT_ANY, &local, port);
    }
    ~InetSocket() {
        if (status == QRD_OK) RpcCloseSocket(handle, QRD_FAMILY_INET);
    }
    // The loopback address of this socket.
    QRD_PORT loopback() const {
        QRD_PORT p = local;
        qrd::putBe32(reinterpret_cast<uint8_t*>(&p) + 4, INADDR_LOOPBACK);
        return p;
    }
};

QRDSTATUS inetSend(const InetSocket& from, const QRD_PORT& to, const std::string& text,
                   uint32_t flags = 0) {
    QRD_SOCK_REQ r =
        request(from.handle, const_cast<char*>(text.data()), uint32_t(text.size()), 25, flags);
    r.remote = to;
    return RpcSocketSend(QRD_FAMILY_INET, 1, &r);
}

TEST(InternetRoad, OpenBindsAnyAddressWithTheFlagsAsPort) {
    InetSocket any;
    ASSERT_EQ(any.status, 0);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&any.local);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[1], 0);
    EXPECT_NE(qrd::getBe16(b + 2), 0);  // a port was chosen
    EXPECT_EQ(qrd::getBe32(b + 4), 0u); // any address
    EXPECT_EQ(qrd::getBe32(b + 8), 0u); // zero tail
    EXPECT_EQ(qrd::getBe32(b + 12), 0u);

    const uint16_t fixed = uint16_t(qrdtest::workstation().portBase + 200);
    InetSocket bound(fixed);
    ASSERT_EQ(bound.status, 0);
    EXPECT_EQ(qrd::getBe16(reinterpret_cast<const uint8_t*>(&bound.local) + 2), fixed);
    InetSocket clash(fixed);
    EXPECT_EQ(clash.status, QRDERR_ADDR_IN_USE);
}

TEST(InternetRoad, DatagramsTravelWithTheirSourceAddress) {
    InetSocket a, b;
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    ASSERT_EQ(inetSend(a, b.loopback(), "over ip"), 0);

    char buf[64];
    QRD_SOCK_REQ r = request(b.handle, buf, sizeof buf, 25);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(std::string(buf, r.count), "over ip");
    const QRD_PORT source = a.loopback();
    EXPECT_EQ(QrdComparePorts(&r.remote, &source), 1) << qrd::inetAddrToStr(&r.remote);

    // Connected mode: connect to the record's port, then plain send and receive.
    ASSERT_EQ(inetSend(b, a.loopback(), "connected", QRD_SOCK_CONNECTED), 0);
    r = request(a.handle, buf, sizeof buf, 25, QRD_SOCK_CONNECTED);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    EXPECT_EQ(std::string(buf, r.count), "connected");
}

TEST(InternetRoad, EmptyNoWaitTimeoutAndOversizeReceives) {
    InetSocket a, b;
    char small[16];

    QRD_SOCK_REQ r = request(b.handle, small, sizeof small, 0, QRD_SOCK_NOWAIT);
    r.status = 99;
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    EXPECT_EQ(r.count, QRD_COUNT_NOTHING);
    EXPECT_EQ(r.status, 0u);

    auto t0 = Clock::now();
    r = request(b.handle, small, sizeof small, 1);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0); // the status is in the record
    EXPECT_EQ(r.status, QRDERR_TIMEOUT);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(190));

    ASSERT_EQ(inetSend(a, b.loopback(), std::string(40, 'q')), 0);
    r = request(b.handle, small, sizeof small, 25);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    EXPECT_EQ(r.status, QRDERR_TOO_BIG);
    EXPECT_EQ(r.count, 40u);
    char big[40];
    r = request(b.handle, big, sizeof big, 25);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(std::string(big, r.count), std::string(40, 'q'));
}

TEST(InternetRoad, UnknownHandlesAreNeverTouched) {
    // A descriptor of the process that is not one of the road's sockets must
    // neither be closed nor written to.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(RpcCloseSocket(uint32_t(fds[1]), QRD_FAMILY_INET), QRDERR_BAD_SOCKET);
    EXPECT_EQ(write(fds[1], "x", 1), 1);
    QRD_SOCK_REQ r = request(uint32_t(fds[1]), nullptr, 0, 1);
    EXPECT_EQ(RpcSocketSend(QRD_FAMILY_INET, 1, &r), QRDERR_BAD_SOCKET);
    r = request(uint32_t(fds[0]), nullptr, 0, 1);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    EXPECT_EQ(r.status, QRDERR_BAD_SOCKET);
    close(fds[0]);
    close(fds[1]);

    InetSocket s;
    ASSERT_EQ(RpcCloseSocket(s.handle, QRD_FAMILY_INET), 0);
    EXPECT_EQ(RpcCloseSocket(s.handle, QRD_FAMILY_INET), QRDERR_BAD_SOCKET);
    s.status = 1; // already closed
}

TEST(InternetRoad, CloseFromAnotherThreadEndsAWaitingReceive) {
    InetSocket s;
    char buf[8];
    QRD_SOCK_REQ r = request(s.handle, buf, sizeof buf, QRD_TIMEOUT_NONE);
    std::thread t([&] { RpcSocketReceive(QRD_FAMILY_INET, 1, &r); });
    ASSERT_EQ(RpcCloseSocket(s.handle, QRD_FAMILY_INET), 0);
    s.status = 1;
    t.join(); // would hang if the close did not end the receive
    // Aborted while waiting, or refused when the close came first.
    EXPECT_TRUE(r.status == QRDERR_ABORTED || r.status == QRDERR_BAD_SOCKET) << r.status;
}

TEST(SocketErrors, LinuxErrnoReachesTheLibraryStatuses) {
    EXPECT_EQ(QrdMapIpErrno(10040), QRDERR_TOO_BIG);
    EXPECT_EQ(QrdMapIpErrno(10042), QRDERR_SOCKET_OTHER); // in the range, not in the table

    EXPECT_EQ(qrd::statusFromErrno(EAGAIN), QRDERR_WOULD_BLOCK);
    EXPECT_EQ(qrd::statusFromErrno(EWOULDBLOCK), QRDERR_WOULD_BLOCK);
    EXPECT_EQ(qrd::statusFromErrno(EADDRINUSE), QRDERR_ADDR_IN_USE);
    EXPECT_EQ(qrd::statusFromErrno(EMSGSIZE), QRDERR_TOO_BIG);
    EXPECT_EQ(qrd::statusFromErrno(ECONNREFUSED), QRDERR_REFUSED);
    EXPECT_EQ(qrd::statusFromErrno(ENETUNREACH), QRDERR_NET_UNREACHABLE);
    EXPECT_EQ(qrd::statusFromErrno(EBADF), QRDERR_BAD_SOCKET);
    EXPECT_EQ(qrd::statusFromErrno(EINTR), QRDERR_ABORTED);
    // errno values whose numbers would collide with the table must not.
    EXPECT_EQ(qrd::statusFromErrno(EIO), QRDERR_SOCKET_OTHER);
    EXPECT_EQ(qrd::statusFromErrno(EDEADLK), QRDERR_SOCKET_OTHER);
}

} // namespace
