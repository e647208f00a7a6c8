// The RPC socket cache: reuse per port and owner, the least-used eviction,
// and the sockets it closes.
#include <gtest/gtest.h>
#include <set>
#include <vector>

#include "qrd/bytes.h"
#include "qrdapi.h"
#include "transport/lifecycle.h"
#include "transport/rpccache.h"

namespace {

QRD_PORT native(uint16_t port) {
    QRD_PORT p{};
    uint16_t family = 3, subnet = 1;
    uint32_t network = 0x7F000001, w = 0;
    uint8_t zero = 0;
    QrdSetPortFields(&family, &network, &subnet, &port, &zero, &zero, &w, &p);
    return p;
}

QRD_PORT inet(uint16_t port) {
    QRD_PORT p{};
    uint8_t* b = reinterpret_cast<uint8_t*>(&p);
    qrd::putLe16(b, 2);
    qrd::putBe16(b + 2, port);
    qrd::putBe32(b + 4, 0x7F000001);
    return p;
}

struct Taken {
    QRDSTATUS status;
    int entry = -1;
    uint32_t socket = 0;
    uint16_t family = 0;
};

Taken take(const QRD_PORT& dest, uint32_t owner) {
    Taken t;
    t.status = qrd::rpcCacheOpen(&dest, owner, &t.entry, &t.socket, &t.family);
    return t;
}

// True when `socket` is still open (a no-wait receive does not refuse it).
bool isOpen(const Taken& t) {
    char buf[4];
    QRD_SOCK_REQ r{};
    r.socket = t.socket;
    r.buffer = buf;
    r.length = sizeof buf;
    r.flags = QRD_SOCK_NOWAIT;
    QRDSTATUS st = RpcSocketReceive(t.family, 1, &r);
    return st == 0 && r.status == 0;
}

class RpcCache : public ::testing::Test {
  protected:
    void SetUp() override { qrd::rpcCacheCloseAll(); }
    void TearDown() override {
        qrd::setDaemonSocketFlags(false);
        qrd::rpcCacheCloseAll();
    }
};

TEST_F(RpcCache, IdleSocketIsReusedForTheSamePortAndOwnerOnly) {
    Taken a = take(native(15), 1);
    ASSERT_EQ(a.status, 0);
    EXPECT_EQ(a.family, 3);

    // In use: the same port and owner get another socket.
    Taken busy = take(native(15), 1);
    ASSERT_EQ(busy.status, 0);
    EXPECT_NE(busy.entry, a.entry);
    EXPECT_NE(busy.socket, a.socket);

    qrd::rpcCacheRelease(a.entry);
    Taken again = take(native(15), 1);
    EXPECT_EQ(again.entry, a.entry);
    EXPECT_EQ(again.socket, a.socket);
    qrd::rpcCacheRelease(again.entry);

    Taken otherOwner = take(native(15), 2);
    EXPECT_NE(otherOwner.socket, a.socket);
    Taken otherPort = take(native(16), 1);
    EXPECT_NE(otherPort.socket, a.socket);

    // The Internet road for a family-2 destination.
    Taken ip = take(inet(9999), 1);
    ASSERT_EQ(ip.status, 0);
    EXPECT_EQ(ip.family, 2);
    EXPECT_TRUE(isOpen(ip));
}

TEST_F(RpcCache, FullCacheEvictsTheLeastUsedIdleEntry) {
    std::vector<Taken> all;
    for (uint16_t i = 0; i < qrd::kRpcCacheEntries; ++i) {
        all.push_back(take(native(100 + i), 7));
        ASSERT_EQ(all.back().status, 0) << i;
    }
    std::set<int> entries;
    for (auto& t : all)
        entries.insert(t.entry);
    EXPECT_EQ(entries.size(), size_t(qrd::kRpcCacheEntries));

    // Every entry in use: nothing to take.
    Taken none = take(native(200), 7);
    EXPECT_EQ(none.status, QRDERR_NO_CACHE_ENTRY);

    // Use every entry but #5 a second time, then free them all.
    for (auto& t : all)
        qrd::rpcCacheRelease(t.entry);
    for (size_t i = 0; i < all.size(); ++i) {
        if (i == 5) continue;
        Taken t = take(native(uint16_t(100 + i)), 7);
        ASSERT_EQ(t.entry, all[i].entry);
        qrd::rpcCacheRelease(t.entry);
    }
    Taken fresh = take(native(200), 7);
    ASSERT_EQ(fresh.status, 0);
    EXPECT_EQ(fresh.entry, all[5].entry);
    EXPECT_FALSE(isOpen(all[5])) << "the evicted socket is closed";
    for (size_t i = 0; i < all.size(); ++i) {
        if (i != 5) {
            EXPECT_TRUE(isOpen(all[i])) << i;
        }
    }
}

TEST_F(RpcCache, DestroyClosesAndFreesTheEntryAndCloseAllClosesEverything) {
    Taken a = take(native(15), 1);
    Taken b = take(native(16), 1);
    ASSERT_EQ(a.status, 0);
    qrd::rpcCacheDestroy(a.entry);
    EXPECT_FALSE(isOpen(a));
    qrd::rpcCacheDestroy(a.entry); // a second destroy closes nothing else
    EXPECT_TRUE(isOpen(b));

    // The freed entry is taken before a new one is appended.
    Taken c = take(native(17), 1);
    EXPECT_EQ(c.entry, a.entry);

    qrd::rpcCacheRelease(b.entry);
    qrd::rpcCacheCloseAll();
    EXPECT_FALSE(isOpen(b));
    EXPECT_FALSE(isOpen(c));
    // Out-of-range entries are ignored.
    qrd::rpcCacheRelease(-1);
    qrd::rpcCacheDestroy(qrd::kRpcCacheEntries);
}

TEST_F(RpcCache, DaemonFlagsNeverBecomeAnInternetPortNumber) {
    // On the Internet road the open's flags argument is the local port; the
    // daemon flag must not pin every cached socket to one port.
    qrd::setDaemonSocketFlags(true);
    Taken a = take(inet(9999), 1);
    Taken b = take(inet(9998), 1);
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    Taken n = take(native(15), 1);
    ASSERT_EQ(n.status, 0);
}

} // namespace
