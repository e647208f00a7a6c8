// Datagrams between processes: both roads, broadcasts heard by every server
// on the machine, and a broadcast into another network namespace.
#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <set>
#include <string>
#include <unistd.h>

#include "base/sockutil.h"
#include "commstack.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrdapi.h"
#include "testenv.h"
#include "transport/lifecycle.h"
#include "transport_testutil.h"

namespace {

using namespace transporttest;

constexpr int kWaitMs = 10000;

QRD_PORT wellKnown(uint32_t network, uint16_t subnet, uint16_t port) {
    QRD_PORT p{};
    uint16_t family = 3;
    uint8_t zero = 0;
    uint32_t w = 0;
    QrdSetPortFields(&family, &network, &subnet, &port, &zero, &zero, &w, &p);
    return p;
}

// Switches the (forked, single-threaded) child to another workstation file.
void useIni(const std::string& text, const std::string& name) {
    std::string path = qrdtest::workstation().dir + "/" + name + ".INI";
    std::ofstream(path) << text;
    setenv("QORDA_INI", path.c_str(), 1);
    qrd::commStackClose();
}

// A server process: opens well-known `port`, says "ready", answers one
// datagram with "<name>:<text>" to its source, and says what it heard.
int echoServer(int out, uint16_t port, const std::string& name) {
    uint32_t h = 0;
    QRD_PORT local;
    QRDSTATUS st = QrdOpenSocket(&h, QRD_FAMILY_NATIVE, 1, port, &local, 0);
    if (st != 0) {
        writeLine(out, "open failed " + std::to_string(st));
        return 1;
    }
    writeLine(out, "ready");
    char buf[256];
    QRD_SOCK_REQ r = request(h, buf, sizeof buf, 50);
    if (QrdSocketReceive(&r) != 0) {
        writeLine(out, "receive failed " + std::to_string(r.status));
        return 2;
    }
    std::string heard(buf, r.count);
    writeLine(out, "heard " + heard + " from " + QrdAddrToStr(&r.remote));
    std::string reply = name + ":" + heard;
    if (sendText(h, r.remote, reply) != 0) return 3;
    QrdCloseSocket(h);
    return 0;
}

TEST(TwoProcesses, NativeDatagramsAndRepliesBetweenProcesses) {
    Child server([](int out) { return echoServer(out, 40, "server"); });
    ASSERT_TRUE(server.started());
    ASSERT_EQ(server.readLine(kWaitMs), "ready");

    NativeSocket client;
    ASSERT_EQ(client.status, 0);
    ASSERT_EQ(sendText(client.handle, wellKnown(0x7F000001, 1, 40), "hi"), 0);
    char buf[64];
    QRD_SOCK_REQ r = request(client.handle, buf, sizeof buf, 50);
    ASSERT_EQ(QrdSocketReceive(&r), 0);
    EXPECT_EQ(std::string(buf, r.count), "server:hi");
    const QRD_PORT expected = wellKnown(0x7F000001, 1, 40);
    EXPECT_EQ(QrdComparePorts(&r.remote, &expected), 1) << QrdAddrToStr(&r.remote);
    EXPECT_EQ(server.readLine(kWaitMs).rfind("heard hi from 2130706433:2[", 0), 0u);
    EXPECT_EQ(server.wait(kWaitMs), 0);
}

TEST(TwoProcesses, InternetDatagramsBetweenProcesses) {
    const uint16_t port = uint16_t(qrdtest::workstation().portBase + 300);
    Child server([port](int out) {
        uint32_t h = 0;
        if (RpcOpenSocket(&h, QRD_FAMILY_INET, 1, QRD_PORT_ANY, nullptr, port) != 0) return 1;
        writeLine(out, "ready");
        char buf[64];
        QRD_SOCK_REQ r = request(h, buf, sizeof buf, 50);
        if (RpcSocketReceive(QRD_FAMILY_INET, 1, &r) != 0 || r.status != 0) return 2;
        std::string reply = "ip:" + std::string(buf, r.count);
        QRD_SOCK_REQ s = request(h, reply.data(), uint32_t(reply.size()), 25);
        s.remote = r.remote;
        return RpcSocketSend(QRD_FAMILY_INET, 1, &s) == 0 ? 0 : 3;
    });
    ASSERT_EQ(server.readLine(kWaitMs), "ready");

    uint32_t h = 0;
    ASSERT_EQ(RpcOpenSocket(&h, QRD_FAMILY_INET, 1, QRD_PORT_ANY, nullptr, 0), 0);
    QRD_PORT to{};
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    qrd::inetPortFromSockaddr(sa, &to);
    std::string text = "hello";
    QRD_SOCK_REQ s = request(h, text.data(), uint32_t(text.size()), 25);
    s.remote = to;
    ASSERT_EQ(RpcSocketSend(QRD_FAMILY_INET, 1, &s), 0);
    char buf[64];
    QRD_SOCK_REQ r = request(h, buf, sizeof buf, 50);
    ASSERT_EQ(RpcSocketReceive(QRD_FAMILY_INET, 1, &r), 0);
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(std::string(buf, r.count), "ip:hello");
    EXPECT_EQ(QrdComparePorts(&r.remote, &to), 1);
    EXPECT_EQ(RpcCloseSocket(h, QRD_FAMILY_INET), 0);
    EXPECT_EQ(server.wait(kWaitMs), 0);
}

// Sends one broadcast to well-known `port` and collects the replies that
// come within the time-out.
std::multiset<std::string> broadcastAndCollect(uint16_t port, size_t want) {
    NativeSocket client;
    EXPECT_EQ(client.status, 0);
    EXPECT_EQ(sendText(client.handle, wellKnown(0xFFFFFFFF, 0xFFFF, port), "who"), 0);
    std::multiset<std::string> replies;
    while (replies.size() < want) {
        char buf[128];
        QRD_SOCK_REQ r = request(client.handle, buf, sizeof buf, 50);
        if (QrdSocketReceive(&r) != 0) break;
        replies.insert(std::string(buf, r.count) + " " + QrdAddrToStr(&r.remote));
    }
    return replies;
}

TEST(TwoProcesses, BroadcastReachesEveryServerOnTheMachine) {
    const uint16_t base = qrdtest::workstation().portBase;
    auto serverOn = [base](const std::string& ip) {
        return [base, ip](int out) {
            useIni(commStackIni(ip, "127.255.255.255", base), "server-" + ip);
            return echoServer(out, 41, ip);
        };
    };
    Child one(serverOn("127.0.0.1"));
    Child two(serverOn("127.0.0.2"));
    ASSERT_EQ(one.readLine(kWaitMs), "ready");
    ASSERT_EQ(two.readLine(kWaitMs), "ready");

    // Each answers from its own well-known socket: network = its address.
    EXPECT_EQ(broadcastAndCollect(41, 2),
              (std::multiset<std::string>{"127.0.0.1:who 2130706433:1[41]",
                                          "127.0.0.2:who 2130706434:1[41]"}));
    EXPECT_EQ(one.wait(kWaitMs), 0);
    EXPECT_EQ(two.wait(kWaitMs), 0);
}

// Two network namespaces joined by a veth pair on a private 10.x network.
class NamespacePair {
  public:
    NamespacePair() {
        const int id = getpid();
        a_ = "qrdtA" + std::to_string(id);
        b_ = "qrdtB" + std::to_string(id);
        net_ = "10." + std::to_string(200 + id % 50) + "." + std::to_string((id / 50) % 250);
        ok_ = run("ip netns add " + a_) && run("ip netns add " + b_) &&
              run("ip link add qa" + std::to_string(id) + " netns " + a_ +
                  " type veth peer name qb" + std::to_string(id) + " netns " + b_) &&
              run("ip -n " + a_ + " addr add " + addressA() + "/24 brd + dev qa" +
                  std::to_string(id)) &&
              run("ip -n " + b_ + " addr add " + addressB() + "/24 brd + dev qb" +
                  std::to_string(id)) &&
              run("ip -n " + a_ + " link set qa" + std::to_string(id) + " up") &&
              run("ip -n " + b_ + " link set qb" + std::to_string(id) + " up");
    }
    ~NamespacePair() {
        // Deleting a namespace removes its end of the veth pair, and the pair.
        run("ip netns del " + a_);
        run("ip netns del " + b_);
    }
    bool ok() const { return ok_; }
    std::string addressA() const { return net_ + ".1"; }
    std::string addressB() const { return net_ + ".2"; }
    std::string broadcast() const { return net_ + ".255"; }
    // Moves the calling (single-threaded) process into namespace A or B.
    static bool enter(const std::string& ns) {
        int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        bool ok = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        return ok;
    }
    const std::string& a() const { return a_; }
    const std::string& b() const { return b_; }

  private:
    static bool run(const std::string& cmd) {
        return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::string a_, b_, net_;
    bool ok_ = false;
};

TEST(TwoProcesses, BroadcastReachesAServerInAnotherNamespace) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to create network namespaces";
    if (std::system("command -v ip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ip command";
    NamespacePair ns;
    if (!ns.ok()) GTEST_SKIP() << "network namespaces are not available here";
    const uint16_t base = qrdtest::workstation().portBase;

    Child server([&](int out) {
        if (!NamespacePair::enter(ns.b())) return 10;
        useIni(commStackIni(ns.addressB(), ns.broadcast(), base), "ns-server");
        return echoServer(out, 42, "far");
    });
    ASSERT_EQ(server.readLine(kWaitMs), "ready");

    Child client([&](int out) {
        if (!NamespacePair::enter(ns.a())) return 10;
        useIni(commStackIni(ns.addressA(), ns.broadcast(), base), "ns-client");
        for (const std::string& reply : broadcastAndCollect(42, 1))
            writeLine(out, reply);
        writeLine(out, "done");
        return 0;
    });
    uint32_t farIp = 0;
    ASSERT_TRUE(qrd::parseIpv4(ns.addressB(), farIp));
    EXPECT_EQ(client.readLine(kWaitMs), "far:who " + std::to_string(farIp) + ":1[42]");
    EXPECT_EQ(client.wait(kWaitMs), 0);
    EXPECT_EQ(server.readLine(kWaitMs).rfind("heard who from ", 0), 0u);
    EXPECT_EQ(server.wait(kWaitMs), 0);
}

} // namespace
