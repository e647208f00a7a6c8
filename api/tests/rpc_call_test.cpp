// _CallRemoteDg against a fake service on loopback, and against a fake socket
// layer for the faults a real socket does not produce on demand.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/sockutil.h"
#include "qrdapi.h"
#include "rpc/call.h"
#include "rpc/stub.h"
#include "rpc/stubs.h"
#include "rpc_fake_server.h"

using namespace qrdtest;
using namespace std::chrono_literals;
using qrd::rpc::ProcInfo;
using qrd::rpc::Xdr;

namespace {

// The Namewright service's port on the server that serves this workstation.
QRD_PORT servicePort(uint16_t wellKnown = 15) {
    QRD_PORT p;
    EXPECT_EQ(QrdCreateLocalWkp(wellKnown, &p), QRD_OK);
    qrd::putBe16(p.subnet, 1);
    return p;
}

// A call of `procedure` with a u32 argument whose reply results are kept raw.
QRDSTATUS rawCall(const QRD_PORT& port, uint16_t procedure, int32_t timeout, Bytes& results,
                  uint32_t arg = 0x11223344) {
    ProcInfo info{procedure, timeout, 0};
    return qrd::rpc::runStub(
        &port, info, [&](Xdr& x) { qrd::rpc::_U32(x, &arg); },
        [&](Xdr& x) {
            results.assign(x.data, x.data + x.size);
            x.pos = x.size;
        });
}

class RpcCall : public ::testing::Test {
  protected:
    void SetUp() override {
        qrd::rpc::setReceiveSize(qrd::rpc::kBaseReceiveSize);
        port_ = servicePort();
    }
    FakeServer server_;
    QRD_PORT port_;
};

TEST_F(RpcCall, RequestCarriesHeaderAndArgumentsAndReturnsResults) {
    server_.onDatagram([](const Received&) { return std::vector<Bytes>{returnReply(be32(42))}; });
    Bytes results;
    ASSERT_EQ(rawCall(port_, 111, 10, results), QRD_OK);
    EXPECT_EQ(results, be32(42));

    auto calls = server_.calls(111);
    ASSERT_EQ(calls.size(), 1u);
    const Bytes& d = calls[0].data;
    ASSERT_EQ(d.size(), 16u);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 4), (Bytes{0, 0, 0, 0}));
    EXPECT_NE(qrd::getBe16(&d[6]), 0) << "every call carries an identity";
    EXPECT_EQ(Bytes(d.begin() + 8, d.begin() + 12), (Bytes{0, 1, 0, 111}));
    EXPECT_EQ(calls[0].args(), be32(0x11223344));
}

TEST_F(RpcCall, IgnoresOtherReplyTypesAndKeepsWaiting) {
    server_.onDatagram([](const Received&) {
        Bytes other = returnReply(be32(1));
        other[1] = 7;
        return std::vector<Bytes>{other, Bytes{0}, returnReply(be32(2))};
    });
    Bytes results;
    ASSERT_EQ(rawCall(port_, 5, 10, results), QRD_OK);
    EXPECT_EQ(results, be32(2));
}

// Only the answer to this call counts: a late answer to an earlier call, an
// answer that does not echo the identity, one from another port and one of a
// server that never echoes are all dropped, and none of them moves the
// deadline.
TEST_F(RpcCall, OnlyTheAnswerToThisCallFromItsDestinationIsTaken) {
    FakeServer other(301, /*withExtraSocket=*/true);
    Bytes previous;
    server_.setEcho(false);
    server_.onDatagram([&](const Received& r) {
        Bytes late = echoed(r, returnReply(be32(666)));
        late[2] ^= 0x01; // an echo of another call
        Bytes noEcho = returnReply(be32(667));
        // The right echo, but sent from another port of this host.
        sockaddr_in to = r.from;
        other.sendTo(echoed(r, returnReply(be32(668))), to);
        std::vector<Bytes> out{late, noEcho};
        if (!previous.empty()) out.push_back(previous); // a replay of the last answer
        Bytes right = echoed(r, returnReply(be32(1)));
        previous = right;
        out.push_back(right);
        return out;
    });
    for (int i = 0; i < 3; ++i) {
        Bytes results;
        ASSERT_EQ(rawCall(port_, 5, 10, results), QRD_OK);
        EXPECT_EQ(results, be32(1));
    }

    // A server that never echoes is never heard, and junk does not keep the
    // call alive beyond its time-out.
    server_.onDatagram(
        [](const Received&) { return std::vector<Bytes>(50, returnReply(be32(2))); });
    Bytes results;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rawCall(port_, 5, 2, results), QRDERR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST_F(RpcCall, RefusalsReturnTheServiceCodeUnchanged) {
    std::atomic<int> n{0};
    server_.onDatagram([&](const Received&) {
        switch (n++) {
        case 0:
            return std::vector<Bytes>{refusal(1017, 3)};
        case 1:
            return std::vector<Bytes>{refusal(1055, 1)};
        case 2:
            return std::vector<Bytes>{refusal(0, 1)};
        default:
            return std::vector<Bytes>{Bytes{0, 1, 0, 0}};
        }
    });
    Bytes results;
    EXPECT_EQ(rawCall(port_, 41, 10, results), 1017);
    EXPECT_EQ(rawCall(port_, 41, 10, results), 1055);
    // A refusal without a usable code is no success.
    EXPECT_EQ(rawCall(port_, 41, 10, results), QRDERR_MARSHAL);
    EXPECT_EQ(rawCall(port_, 41, 10, results), QRDERR_MARSHAL);
}

TEST_F(RpcCall, ReceiveBufferGrowsForALargeReplyAndShrinksAfterASmallOne) {
    size_t replySize = 3000;
    server_.onDatagram([&](const Received&) {
        Bytes results(replySize - 4);
        for (size_t i = 0; i < results.size(); ++i)
            results[i] = uint8_t(i);
        return std::vector<Bytes>{returnReply(results)};
    });
    Bytes results;
    ASSERT_EQ(rawCall(port_, 41, 10, results), QRD_OK);
    ASSERT_EQ(results.size(), 2996u);
    EXPECT_EQ(results[2995], uint8_t(2995));
    EXPECT_EQ(qrd::rpc::receiveSize(), 3000u) << "the next call starts with 3000 bytes";

    replySize = 2000; // fits the grown buffer: no growth, no reset
    ASSERT_EQ(rawCall(port_, 41, 10, results), QRD_OK);
    EXPECT_EQ(qrd::rpc::receiveSize(), 3000u);

    replySize = 200;
    ASSERT_EQ(rawCall(port_, 41, 10, results), QRD_OK);
    EXPECT_EQ(results.size(), 196u);
    EXPECT_EQ(qrd::rpc::receiveSize(), 1500u);
}

TEST_F(RpcCall, TimeOutGives163AndTheNextCallWorksOnAFreshSocket) {
    // The first call is never answered, however often it is sent.
    std::atomic<uint32_t> silent{0};
    server_.onDatagram([&](const Received& r) {
        const uint32_t id = qrd::getBe32(&r.data[4]);
        uint32_t none = 0;
        silent.compare_exchange_strong(none, id);
        if (id == silent) return std::vector<Bytes>{};
        return std::vector<Bytes>{returnReply(be32(9))};
    });
    Bytes results;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rawCall(port_, 41, 2, results), QRDERR_TIMEOUT);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 390ms); // two ticks, counted in whole milliseconds
    EXPECT_LT(took, 3s);
    const size_t sentFirst = server_.calls(41).size();
    EXPECT_GE(sentFirst, 2u) << "sent again within its time-out";

    ASSERT_EQ(rawCall(port_, 41, 10, results), QRD_OK);
    EXPECT_EQ(results, be32(9));
    auto calls = server_.calls(41);
    ASSERT_EQ(calls.size(), sentFirst + 1);
    for (size_t i = 1; i < sentFirst; ++i)
        EXPECT_EQ(Bytes(calls[i].data), Bytes(calls[0].data)) << "the same request each time";
    EXPECT_NE(calls[0].from.sin_port, calls.back().from.sin_port)
        << "the socket that timed out is destroyed, not reused";
}

TEST_F(RpcCall, NegativeTimeOutSendsWithoutWaiting) {
    server_.onDatagram([](const Received&) {
        std::this_thread::sleep_for(500ms);
        return std::vector<Bytes>{returnReply(be32(1))};
    });
    Bytes results{1, 2, 3};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rawCall(port_, 8, -75, results), QRD_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms);
    EXPECT_EQ(results, (Bytes{1, 2, 3})) << "no results are decoded";
    EXPECT_TRUE(server_.waitFor(1));
}

TEST_F(RpcCall, SocketsAreReusedPerThreadAndNeverShared) {
    server_.onDatagram([](const Received& r) {
        // Echo the argument so that each caller can check it got its own reply.
        return std::vector<Bytes>{returnReply(r.args())};
    });
    Bytes results;
    ASSERT_EQ(rawCall(port_, 1, 10, results, 1), QRD_OK);
    ASSERT_EQ(rawCall(port_, 1, 10, results, 2), QRD_OK);
    auto calls = server_.calls(1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].from.sin_port, calls[1].from.sin_port) << "one thread reuses its socket";

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (uint32_t i = 0; i < 20; ++i) {
                Bytes got;
                const uint32_t arg = t << 16 | i;
                if (rawCall(port_, 1, 25, got, arg) != QRD_OK || got != be32(arg)) ++wrong;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(RpcCall, ReachesADestinationOnTheInternetRoad) {
    FakeServer ip(300, /*withExtraSocket=*/true);
    ip.onDatagram([](const Received&) { return std::vector<Bytes>{returnReply(be32(77))}; });
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(ip.extraPort());
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QRD_PORT inet;
    qrd::inetPortFromSockaddr(sa, &inet);
    Bytes results;
    ASSERT_EQ(rawCall(inet, 65, 10, results), QRD_OK);
    EXPECT_EQ(results, be32(77));
}

TEST_F(RpcCall, TraceLinesForEachCall) {
    server_.onDatagram([](const Received&) { return std::vector<Bytes>{returnReply(be32(3))}; });
    const uint16_t old = QrdTaskDebug(8);
    testing::internal::CaptureStdout();
    Bytes results;
    EXPECT_EQ(rawCall(port_, 111, 10, results), QRD_OK);
    const std::string out = testing::internal::GetCapturedStdout();
    QrdTaskDebug(old);
    EXPECT_NE(out.find("(_CallRemoteDg) Send 16 bytes to "), std::string::npos) << out;
    EXPECT_NE(out.find(", proc 111\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(_CallRemoteDg) Rcvd 8 bytes, status 0\n"), std::string::npos) << out;

    // Socket-level errors are traced on their own bit.
    server_.onDatagram([](const Received&) { return std::vector<Bytes>{}; });
    QrdTaskDebug(2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(rawCall(port_, 111, 1, results), QRDERR_TIMEOUT);
    const std::string errors = testing::internal::GetCapturedStdout();
    QrdTaskDebug(old);
    EXPECT_EQ(errors, "(_CallRemoteDg) Socket receive failed, status 163\n");
}

TEST_F(RpcCall, TimeOutValuesOfTheProcessAndOfAServer) {
    uint32_t a = 0, b = 0, c = 0;
    ASSERT_EQ(QrdGetNetrpcTimeOutValues(nullptr, &a, &b, &c), QRD_OK);
    EXPECT_EQ(a, 5u);
    EXPECT_EQ(b, 15u);
    EXPECT_EQ(c, 300u);
    EXPECT_EQ(QrdSetNetrpcTimeOutValues(nullptr, 0, 1, 1), QRDERR_BAD_ARG);
    EXPECT_EQ(QrdSetNetrpcTimeOutValues(nullptr, 1, 1, 0), QRDERR_BAD_ARG);
    ASSERT_EQ(QrdSetNetrpcTimeOutValues(nullptr, 2, 0, 4), QRD_OK);
    QrdGetNetrpcTimeOutValues(nullptr, &a, &b, &c);
    EXPECT_EQ(a, 2u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(c, 4u);

    server_.onDatagram([](const Received& r) {
        const Bytes args = r.args();
        if (args.size() == 2 && args[1] == 7) {
            Bytes res = be32(50);
            for (uint32_t v : {100u, 1000u})
                for (uint8_t byte : be32(v))
                    res.push_back(byte);
            return std::vector<Bytes>{returnReply(res)};
        }
        if (args.size() == 14 && args[1] == 8) return std::vector<Bytes>{returnReply()};
        return std::vector<Bytes>{refusal(1099)};
    });
    ASSERT_EQ(QrdGetNetrpcTimeOutValues(&port_, &a, &b, &c), QRD_OK);
    EXPECT_EQ(a, 10u);
    EXPECT_EQ(b, 20u);
    EXPECT_EQ(c, 200u);
    ASSERT_EQ(QrdSetNetrpcTimeOutValues(&port_, 1, 2, 3), QRD_OK);
    auto sets = server_.calls(247);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].args(), (Bytes{0, 8, 0, 0, 0, 5, 0, 0, 0, 10, 0, 0, 0, 15}));
}

// ---- A fake socket layer ------------------------------------------------

std::atomic<int> g_opens{0}, g_sends{0}, g_destroys{0}, g_releases{0};
std::atomic<int> g_bad{0}; // sends that answer 151 before one succeeds

QRDSTATUS fakeOpen(const QRD_PORT*, qrd::rpc::CallSocket* s) {
    s->socket = uint32_t(++g_opens);
    s->family = 3;
    return QRD_OK;
}
QRDSTATUS fakeSend(const qrd::rpc::CallSocket&, QRD_SOCK_REQ*) {
    ++g_sends;
    if (g_bad > 0) {
        --g_bad;
        return QRDERR_BAD_SOCKET;
    }
    return QRD_OK;
}
QRDSTATUS fakeReceive(const qrd::rpc::CallSocket&, QRD_SOCK_REQ* req) {
    req->status = QRDERR_ABORTED;
    return QRD_OK; // the status is left in the record, as the Internet road does
}
void fakeRelease(const qrd::rpc::CallSocket&) {
    ++g_releases;
}
void fakeDestroy(const qrd::rpc::CallSocket&) {
    ++g_destroys;
}

class RpcCallFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        g_opens = g_sends = g_destroys = g_releases = g_bad = 0;
        old_ =
            qrd::rpc::setSocketTable({fakeOpen, fakeSend, fakeReceive, fakeRelease, fakeDestroy});
    }
    void TearDown() override { qrd::rpc::setSocketTable(old_); }
    qrd::rpc::SocketTable old_{};
};

TEST_F(RpcCallFaults, InvalidSocketIsReplacedButNotForever) {
    QRD_PORT port;
    std::memset(&port, 0, sizeof port);
    Bytes results;

    g_bad = 2;
    EXPECT_EQ(rawCall(port, 1, -1, results), QRD_OK);
    EXPECT_EQ(g_sends, 3);
    EXPECT_EQ(g_destroys, 2);
    EXPECT_EQ(g_releases, 1);

    g_opens = g_sends = g_destroys = g_releases = 0;
    g_bad = 1000;
    EXPECT_EQ(rawCall(port, 1, 10, results), QRDERR_BAD_SOCKET);
    EXPECT_EQ(g_sends, qrd::rpc::kMaxSendAttempts);
    EXPECT_EQ(g_destroys, qrd::rpc::kMaxSendAttempts);
}

TEST_F(RpcCallFaults, AbortedReceiveDestroysTheSocketAndReadsTheRecordStatus) {
    QRD_PORT port;
    std::memset(&port, 0, sizeof port);
    Bytes results;
    EXPECT_EQ(rawCall(port, 1, 10, results), QRDERR_ABORTED);
    EXPECT_EQ(g_destroys, 1);
    EXPECT_EQ(g_releases, 0);
}

} // namespace
