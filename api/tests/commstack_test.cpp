// The comm-stack device stand-in: native sockets over UDP on loopback.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "commstack.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "testenv.h"
#include "transport_testutil.h"

namespace {

using namespace transporttest;
using Clock = std::chrono::steady_clock;

std::string text(const QRD_SOCK_REQ& r) {
    return std::string(static_cast<const char*>(r.buffer), r.count);
}

// The port record of the well-known port `n` on the serving server.
QRD_PORT serverPort(uint16_t n) {
    QRD_PORT p;
    EXPECT_EQ(QrdCreateLocalWkp(n, &p), 0);
    uint16_t subnet = 1;
    QrdSetPortFields(nullptr, nullptr, &subnet, nullptr, nullptr, nullptr, nullptr, &p);
    return p;
}

// Waits (bounded) until `pred` holds, re-checking as the device's state moves.
template <class Pred> bool eventually(Pred pred, int ms = 5000) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(CommStack, DatagramsCarryTheSourceRecordBothWays) {
    NativeSocket server(20), client;
    ASSERT_EQ(server.status, 0);
    ASSERT_EQ(client.status, 0);
    EXPECT_NE(server.handle, client.handle);
    EXPECT_LE(server.handle, 0xFFFFu);

    // The well-known socket's own record names the server itself.
    uint16_t family, subnet, port;
    uint32_t network, word12;
    QrdGetPortFields(&server.local, &family, &network, &subnet, &port, nullptr, nullptr, &word12);
    EXPECT_EQ(family, 3);
    EXPECT_EQ(network, 0x7F000001u);
    EXPECT_EQ(subnet, 1);
    EXPECT_EQ(port, 20);
    EXPECT_EQ(word12, 0u);

    ASSERT_EQ(sendText(client.handle, serverPort(20), "ping"), 0);
    char buf[64];
    QRD_SOCK_REQ in = request(server.handle, buf, sizeof buf, 25);
    ASSERT_EQ(QrdSocketReceive(&in), 0);
    EXPECT_EQ(in.status, 0u);
    EXPECT_EQ(text(in), "ping");
    EXPECT_EQ(QrdComparePorts(&in.remote, &client.local), 1) << QrdAddrToStr(&in.remote);

    // The reply goes to the source record and comes back from the server's.
    ASSERT_EQ(sendText(server.handle, in.remote, "pong"), 0);
    QRD_SOCK_REQ back = request(client.handle, buf, sizeof buf, 25);
    ASSERT_EQ(QrdSocketReceive(&back), 0);
    EXPECT_EQ(text(back), "pong");
    EXPECT_EQ(QrdComparePorts(&back.remote, &server.local), 1) << QrdAddrToStr(&back.remote);

    // A well-known port has one owner on a server.
    NativeSocket second(20);
    EXPECT_EQ(second.status, QRDERR_ADDR_IN_USE);
}

TEST(CommStack, ReceiveTimesOutReportsOversizeAndNeverWaitsWhenAskedNot) {
    NativeSocket a, b;
    ASSERT_EQ(a.status, 0);
    char small[1500];

    QRD_SOCK_REQ r = request(b.handle, small, sizeof small, 0, QRD_SOCK_NOWAIT);
    ASSERT_EQ(QrdSocketReceive(&r), 0);
    EXPECT_EQ(r.count, QRD_COUNT_NOTHING);
    EXPECT_EQ(r.status, 0u);

    auto t0 = Clock::now();
    r = request(b.handle, small, sizeof small, 2); // 2 ticks = 400 ms
    EXPECT_EQ(QrdSocketReceive(&r), QRDERR_TIMEOUT);
    EXPECT_EQ(r.status, QRDERR_TIMEOUT);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(ms, 390);
    EXPECT_LT(ms, 3000);

    std::string big(3000, 'x');
    big[2999] = 'z';
    ASSERT_EQ(sendText(a.handle, b.local, big), 0);
    r = request(b.handle, small, sizeof small, 25);
    EXPECT_EQ(QrdSocketReceive(&r), QRDERR_TOO_BIG);
    EXPECT_EQ(r.count, 3000u);
    // The datagram stayed queued: a bigger buffer gets all of it.
    std::vector<char> large(3000);
    r = request(b.handle, large.data(), uint32_t(large.size()), 25);
    ASSERT_EQ(QrdSocketReceive(&r), 0);
    EXPECT_EQ(text(r), big);

    // An empty datagram is a datagram, not "nothing waiting".
    ASSERT_EQ(sendText(a.handle, b.local, ""), 0);
    r = request(b.handle, small, sizeof small, 25);
    ASSERT_EQ(QrdSocketReceive(&r), 0);
    EXPECT_EQ(r.count, 0u);
}

TEST(CommStack, BadHandlesAndUnsupportedRequestsAreRefused) {
    char buf[16];
    QRD_SOCK_REQ r = request(4242, buf, sizeof buf, 1);
    EXPECT_EQ(QrdSocketReceive(&r), QRDERR_BAD_SOCKET);
    EXPECT_EQ(r.status, QRDERR_BAD_SOCKET);
    EXPECT_EQ(QrdSocketSend(&r), QRDERR_BAD_SOCKET);
    EXPECT_EQ(QrdCloseSocket(4242), QRDERR_BAD_SOCKET);
    EXPECT_EQ(QrdCloseSocket(0x10001), QRDERR_BAD_SOCKET); // would truncate to handle 1

    uint32_t h = 77;
    EXPECT_EQ(QrdOpenSocket(&h, QRD_FAMILY_INET, 1, QRD_PORT_ANY, nullptr, 0), QRDERR_NO_PROTOCOL);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(QrdOpenSocket(&h, QRD_FAMILY_NATIVE, 2, QRD_PORT_ANY, nullptr, 0), QRDERR_BAD_OPTION);

    NativeSocket s;
    ASSERT_EQ(s.status, 0);
    // A closed socket is gone for good.
    uint32_t gone = 0;
    ASSERT_EQ(QrdOpenSocket(&gone, QRD_FAMILY_NATIVE, 1, QRD_PORT_ANY, nullptr, 0), 0);
    EXPECT_EQ(QrdCloseSocket(gone), 0);
    EXPECT_EQ(QrdCloseSocket(gone), QRDERR_BAD_SOCKET);

    // Sending needs a native destination.
    r = request(s.handle, buf, 4, 1);
    QrdSetPortNull(&r.remote);
    EXPECT_EQ(QrdSocketSend(&r), QRDERR_DEST_REQUIRED);

    EXPECT_EQ(QrdSocketNotifyWindow(reinterpret_cast<void*>(1), 0x400), QRDERR_NO_PROTOCOL);
    EXPECT_EQ(soioctl(4242, 1, 0, 0, 0, 0), QRDERR_BAD_SOCKET);
    EXPECT_EQ(soioctl(s.handle, 1, 0, 0, 0, 0), QRDERR_BAD_OPTION);
    EXPECT_EQ(soconfig(11, 0, 0), geteuid() == 0 ? QRDERR_BAD_OPTION : QRDERR_NO_SCM);

    uint16_t dialin = 0xABCD;
    EXPECT_EQ(QrdIsDialin(&dialin), 0);
    EXPECT_EQ(dialin, 0);

    // Unknown operations fail as device calls.
    QRD_CNTL_BLOCK block{};
    block.op = 99;
    EXPECT_EQ(QrdCallSocket(&block), QRDERR_DEVICE_CALL);
    EXPECT_EQ(block.qrderr, QRDERR_DEVICE_CALL);
    EXPECT_EQ(block.pid, uint32_t(getpid()));
}

TEST(CommStack, AdapterAddressIsStableAndShortBuffersAreReported) {
    uint8_t mac[8] = {};
    uint16_t len = sizeof mac;
    ASSERT_EQ(QrdGetNicAddress(mac, &len), 0);
    ASSERT_EQ(len, 6);
    uint8_t again[6];
    len = 6;
    ASSERT_EQ(QrdGetNicAddress(again, &len), 0);
    EXPECT_EQ(std::memcmp(mac, again, 6), 0);
    EXPECT_EQ(mac[0] & 1, 0) << "a unicast address";
    EXPECT_NE(std::vector<uint8_t>(mac, mac + 6), std::vector<uint8_t>(6, 0));

    uint8_t two[2] = {0, 0};
    len = 2;
    EXPECT_EQ(QrdGetNicAddress(two, &len), QRDERR_WOULD_BLOCK);
    EXPECT_EQ(len, 6);
    EXPECT_EQ(std::memcmp(two, mac, 2), 0);
}

TEST(CommStack, CancelCloseAndThreadDoneEndABlockedReceive) {
    NativeSocket s;
    ASSERT_EQ(s.status, 0);
    char buf[32];

    // Cancel: refused while nothing is pending, then ends the receive.
    QRD_SOCK_REQ r = request(s.handle, buf, sizeof buf, QRD_TIMEOUT_NONE);
    EXPECT_EQ(QrdCancelSocketRequest(&r), QRDERR_BAD_ARG);
    std::atomic<int> result{-1};
    std::thread t([&] { result = QrdSocketReceive(&r); });
    EXPECT_TRUE(eventually([&] { return QrdCancelSocketRequest(&r) == 0; }));
    t.join();
    EXPECT_EQ(result, QRDERR_ABORTED);
    EXPECT_EQ(r.status, QRDERR_ABORTED);

    // The socket still works after a cancelled receive.
    ASSERT_EQ(sendText(s.handle, s.local, "after"), 0);
    r = request(s.handle, buf, sizeof buf, 25);
    ASSERT_EQ(QrdSocketReceive(&r), 0);
    EXPECT_EQ(text(r), "after");

    // Close from another thread.
    uint32_t h = 0;
    ASSERT_EQ(QrdOpenSocket(&h, QRD_FAMILY_NATIVE, 1, QRD_PORT_ANY, nullptr, 0), 0);
    QRD_SOCK_REQ r2 = request(h, buf, sizeof buf, QRD_TIMEOUT_NONE);
    std::thread t2([&] { result = QrdSocketReceive(&r2); });
    // Wait until the receive is pending (a cancel probe finds it), then close.
    EXPECT_TRUE(eventually([&] { return qrd::commstack::pending(&r2); }));
    EXPECT_EQ(QrdCloseSocket(h), 0);
    t2.join();
    EXPECT_EQ(result, QRDERR_ABORTED);

    // Thread done: ends the thread's calls and closes the sockets it opened.
    const uint32_t word = 0x5151;
    uint32_t mine = 0;
    ASSERT_EQ(QrdOpenSocketEx(&mine, QRD_FAMILY_NATIVE, 1, QRD_PORT_ANY, nullptr, 0, word), 0);
    QRD_SOCK_REQ r3 = request(s.handle, buf, sizeof buf, QRD_TIMEOUT_NONE);
    std::thread t3([&] { result = QrdSocketReceiveEx(&r3, word); });
    EXPECT_TRUE(eventually([&] { return qrd::commstack::pending(&r3); }));
    EXPECT_EQ(QrdThreadDoneEx(word), 0);
    t3.join();
    EXPECT_EQ(result, QRDERR_ABORTED);
    EXPECT_EQ(QrdCloseSocket(mine), QRDERR_BAD_SOCKET);
    EXPECT_EQ(sendText(s.handle, s.local, "still open"), 0); // not opened by that thread
}

TEST(CommStack, FortyConcurrentBlockedReceivesAllComplete) {
    constexpr int kThreads = 40;
    std::vector<std::unique_ptr<NativeSocket>> socks;
    for (int i = 0; i < kThreads; ++i) {
        socks.push_back(std::make_unique<NativeSocket>());
        ASSERT_EQ(socks.back()->status, 0);
    }
    std::vector<std::string> got(kThreads);
    std::vector<int> status(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            char buf[64];
            QRD_SOCK_REQ r = request(socks[i]->handle, buf, sizeof buf, 150);
            status[i] = QrdSocketReceive(&r);
            if (status[i] == 0) got[i] = text(r);
        });
    }
    // All 40 are blocked: 32 on pooled events, 8 on private ones.
    EXPECT_TRUE(eventually([] {
        auto u = qrd::commstack::poolUse();
        return u.pooled == 32 && u.privateEvents == 8;
    }));
    NativeSocket sender;
    for (int i = 0; i < kThreads; ++i)
        ASSERT_EQ(sendText(sender.handle, socks[i]->local, "n" + std::to_string(i)), 0);
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(status[i], 0) << i;
        EXPECT_EQ(got[i], "n" + std::to_string(i));
    }
    auto u = qrd::commstack::poolUse();
    EXPECT_EQ(u.pooled, 0u);
    EXPECT_EQ(u.privateEvents, 0u);
}

TEST(CommStack, SocketWaitReportsAWaitingDatagram) {
    NativeSocket s, other;
    EXPECT_EQ(QrdSocketWait(s.handle, 1), QRDERR_TIMEOUT);
    EXPECT_EQ(QrdSocketWait(4242, 1), QRDERR_BAD_SOCKET);
    ASSERT_EQ(sendText(other.handle, s.local, "x"), 0);
    EXPECT_EQ(QrdSocketWait(s.handle, 25), 0);
    EXPECT_EQ(QrdSocketWait(0, 25), 0); // any socket of the process
    EXPECT_EQ(RpcSocketWait(s.handle, 25), 0);
}

TEST(CommStack, NotificationCallsBackWithTheSocketThatHasADatagram) {
    struct Seen {
        std::mutex m;
        std::condition_variable cv;
        std::vector<std::pair<uint32_t, uint16_t>> events;
    } seen;
    auto callback = [](uint32_t word, uint16_t status, void* ctx) -> uint16_t {
        auto* s = static_cast<Seen*>(ctx);
        std::lock_guard lock(s->m);
        s->events.emplace_back(word, status);
        s->cv.notify_all();
        return 1;
    };
    NativeSocket s, sender;
    ASSERT_EQ(QrdSocketNotify(callback, &seen, 1), 0);
    ASSERT_EQ(sendText(sender.handle, s.local, "hello"), 0);
    {
        std::unique_lock lock(seen.m);
        ASSERT_TRUE(seen.cv.wait_for(lock, std::chrono::seconds(5), [&] {
            for (auto& e : seen.events)
                if (e.second == 0) return true;
            return false;
        }));
        for (auto& e : seen.events) {
            if (e.second == 0) {
                EXPECT_EQ(e.first, s.handle);
            }
        }
    }
    // Stopping returns promptly even while the thread waits in the device.
    auto t0 = Clock::now();
    EXPECT_EQ(QrdSocketNotify(nullptr, nullptr, 0), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    size_t count;
    {
        std::lock_guard lock(seen.m);
        count = seen.events.size();
    }
    ASSERT_EQ(sendText(sender.handle, s.local, "again"), 0);
    EXPECT_EQ(QrdSocketWait(s.handle, 25), 0);
    std::lock_guard lock(seen.m);
    EXPECT_EQ(seen.events.size(), count) << "no callback after the stop";
}

TEST(CommStack, DeviceReadsItsSettingsWhenItOpens) {
    // A port base of our own: a plain UDP socket stands at PortBase + 33.
    const uint16_t base = uint16_t(qrdtest::workstation().portBase + 100);
    int plain = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(uint16_t(base + 33));
    ASSERT_EQ(bind(plain, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    {
        ScopedQordaIni ini(commStackIni("127.0.0.1", "127.255.255.255", base));
        NativeSocket s;
        ASSERT_EQ(s.status, 0);
        ASSERT_EQ(sendText(s.handle, serverPort(33), "to the new base"), 0);
    }
    char buf[64];
    timeval tv{5, 0};
    setsockopt(plain, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ssize_t n = recv(plain, buf, sizeof buf, 0);
    close(plain);
    EXPECT_EQ(std::string(buf, n > 0 ? size_t(n) : 0), "to the new base");

    ScopedQordaIni disabled(commStackIni("127.0.0.1", "127.255.255.255", base, "Disabled=1"));
    uint32_t h;
    EXPECT_EQ(QrdOpenSocket(&h, QRD_FAMILY_NATIVE, 1, QRD_PORT_ANY, nullptr, 0),
              QRDERR_PROTOCOL_ABSENT);
}

} // namespace
