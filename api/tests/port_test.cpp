// Port records and how the comm-stack stand-in maps them onto UDP.
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "base/sockutil.h"
#include "portmap.h"
#include "qrdapi.h"

namespace {

QRD_PORT bytesPort(std::vector<uint8_t> b) {
    b.resize(16, 0);
    QRD_PORT p;
    std::memcpy(&p, b.data(), 16);
    return p;
}

std::vector<uint8_t> bytesOf(const QRD_PORT& p) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&p);
    return {b, b + 16};
}

const std::vector<uint8_t> kNull(16, 0xFF);

TEST(PortRecord, NullArgumentsStandForTheNullPort) {
    QRD_PORT p = bytesPort({1, 2, 3});
    EXPECT_EQ(QrdCopyPort(nullptr, &p), 0);
    EXPECT_EQ(bytesOf(p), kNull);

    QRD_PORT a = bytesPort({0, 3, 1, 2, 3, 4});
    const QRD_PORT before = a;
    EXPECT_EQ(QrdCopyPort(&a, nullptr), 0); // nothing to write, nothing read wrongly
    EXPECT_EQ(bytesOf(a), bytesOf(before));

    EXPECT_EQ(QrdComparePorts(nullptr, &p), 1);
    EXPECT_EQ(QrdComparePorts(&p, nullptr), 1);
    EXPECT_EQ(QrdComparePorts(nullptr, nullptr), 1);
    EXPECT_EQ(QrdComparePorts(nullptr, &a), 0);

    QRD_PORT b = a;
    EXPECT_EQ(QrdComparePorts(&a, &b), 1);
    reinterpret_cast<uint8_t*>(&b)[15] ^= 1; // the last byte counts too
    EXPECT_EQ(QrdComparePorts(&a, &b), 0);

    QRD_PORT c = a;
    QrdSetPortNull(&c);
    EXPECT_EQ(bytesOf(c), kNull);
}

TEST(PortRecord, FieldsUseTheirEncodingsAndOnlyGivenFieldsChange) {
    QRD_PORT p = bytesPort(std::vector<uint8_t>(16, 0xAA));
    uint16_t family = 3, subnet = 0x0102, port = 0x10F;
    uint32_t network = 0x11223344, word12 = 0xCAFEBABE;
    uint8_t o10 = 7, o11 = 9;
    ASSERT_EQ(QrdSetPortFields(&family, &network, &subnet, &port, &o10, &o11, &word12, &p), 0);
    EXPECT_EQ(bytesOf(p), (std::vector<uint8_t>{0x00, 0x03, 0x11, 0x22, 0x33, 0x44, 0x01, 0x02,
                                                0x01, 0x0F, 7, 9, 0xCA, 0xFE, 0xBA, 0xBE}));

    family = 2;
    ASSERT_EQ(QrdSetPortFields(&family, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &p),
              0);
    EXPECT_EQ(bytesOf(p)[0], 0x02);
    EXPECT_EQ(bytesOf(p)[1], 0x00);
    EXPECT_EQ(bytesOf(p)[2], 0x11); // the rest stays

    uint16_t f = 0, s = 0, n = 0;
    uint32_t net = 0, w = 0;
    uint8_t a = 0, b = 0;
    ASSERT_EQ(QrdGetPortFields(&p, &f, &net, &s, &n, &a, &b, &w), 0);
    EXPECT_EQ(f, 2);
    EXPECT_EQ(net, 0x11223344u);
    EXPECT_EQ(s, 0x0102);
    EXPECT_EQ(n, 0x10F);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 9);
    EXPECT_EQ(w, 0xCAFEBABEu);

    // The family reads as 3 exactly when byte 1 is 3; otherwise little-endian.
    family = 0x0503; // bytes 03 05
    QrdSetPortFields(&family, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &p);
    QrdGetPortFields(&p, &f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f, 0x0503);
    family = 0x0305; // bytes 05 03
    QrdSetPortFields(&family, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &p);
    QrdGetPortFields(&p, &f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f, 3);
    family = 3;
    QrdSetPortFields(&family, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &p);
    QrdGetPortFields(&p, &f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f, 3);

    QrdGetPortFields(nullptr, &f, &net, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f, 0xFFFF);
    EXPECT_EQ(net, 0xFFFFFFFFu);
    EXPECT_NE(
        QrdSetPortFields(&family, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
        0);
}

TEST(PortRecord, AddressTextShowsNetworkSubnetAndNinePortBits) {
    QRD_PORT p = bytesPort({0x00, 0x03, 0x00, 0x00, 0x01, 0x02, 0x00, 0x05, 0x01, 0x0F});
    EXPECT_STREQ(QrdAddrToStr(&p), "258:5[271]");
    // High bits of byte 8 are no part of a well-known port.
    p = bytesPort({0x00, 0x03, 0x00, 0x00, 0x00, 0x07, 0x00, 0x01, 0xFE, 0xFF});
    EXPECT_STREQ(QrdAddrToStr(&p), "7:1[255]");
    // Another family leaves the previous text as it was.
    QRD_PORT inet = bytesPort({0x02, 0x00, 0x1F, 0x90, 127, 0, 0, 1});
    EXPECT_STREQ(QrdAddrToStr(&inet), "7:1[255]");
    EXPECT_STREQ(qrd::inetAddrToStr(&inet), "127.0.0.1[8080]");
}

TEST(PortRecord, InternetRecordHoldsTheSocketAddress) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(0x1234);
    sa.sin_addr.s_addr = htonl(0x0A000102);
    QRD_PORT p;
    std::memset(&p, 0xEE, sizeof p);
    qrd::inetPortFromSockaddr(sa, &p);
    EXPECT_EQ(bytesOf(p),
              (std::vector<uint8_t>{2, 0, 0x12, 0x34, 10, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
    sockaddr_in back = qrd::sockaddrFromInetPort(p);
    EXPECT_EQ(back.sin_port, sa.sin_port);
    EXPECT_EQ(back.sin_addr.s_addr, sa.sin_addr.s_addr);
}

// ---- the native road's mapping onto UDP -------------------------------------

const qrd::PortMap kMap{0x7F000001, 0x7FFFFFFF, 20000};

QRD_PORT nativePort(uint32_t network, uint16_t subnet, uint16_t port, uint32_t word12) {
    QRD_PORT p{};
    uint16_t family = 3;
    uint8_t zero = 0;
    QrdSetPortFields(&family, &network, &subnet, &port, &zero, &zero, &word12, &p);
    return p;
}

std::pair<uint32_t, uint16_t> dest(const QRD_PORT& p) {
    sockaddr_in sa = qrd::udpDestination(kMap, p);
    return {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

TEST(PortMapping, DestinationsFollowNetworkSubnetAndWord12) {
    using D = std::pair<uint32_t, uint16_t>;
    // Broadcast: the configured address, only 9 port bits count.
    QRD_PORT b = nativePort(0xFFFFFFFF, 0xFFFF, 15, 0);
    reinterpret_cast<uint8_t*>(&b)[8] = 0xFE; // junk above bit 8
    EXPECT_EQ(dest(b), D(0x7FFFFFFF, 20000 + 15));
    // The server itself (subnet 1), even when word12 holds something.
    EXPECT_EQ(dest(nativePort(0x7F000002, 1, 15, 0x0A000001)), D(0x7F000002, 20015));
    // word12 0 falls back to the network number.
    EXPECT_EQ(dest(nativePort(0x7F000003, 2, 300, 0)), D(0x7F000003, 20300));
    // An endpoint: word12 is its address, a port of 512 and up its UDP port.
    EXPECT_EQ(dest(nativePort(0x7F000001, 2, 40000, 0x7F000005)), D(0x7F000005, 40000));
    EXPECT_EQ(dest(nativePort(0x7F000001, 2, 511, 0x7F000005)), D(0x7F000005, 20511));
    EXPECT_EQ(dest(nativePort(0x7F000001, 2, 512, 0x7F000005)), D(0x7F000005, 512));
}

TEST(PortMapping, EndpointRecordsRoundTripToTheSameUdpAddress) {
    // A server's well-known socket.
    QRD_PORT wk = qrd::endpointRecord(kMap, 0x7F000002, 20015);
    EXPECT_EQ(bytesOf(wk), bytesOf(nativePort(0x7F000002, 1, 15, 0)));
    EXPECT_STREQ(QrdAddrToStr(&wk), "2130706434:1[15]");
    // Any other endpoint: ServerAddress, subnet 2, its own address in word12.
    QRD_PORT ep = qrd::endpointRecord(kMap, 0x7F000009, 45678);
    EXPECT_EQ(bytesOf(ep), bytesOf(nativePort(0x7F000001, 2, 45678, 0x7F000009)));
    // Just outside the well-known range on both sides.
    EXPECT_EQ(bytesOf(qrd::endpointRecord(kMap, 0x7F000009, 19999))[7], 2);
    EXPECT_EQ(bytesOf(qrd::endpointRecord(kMap, 0x7F000009, 20512))[7], 2);
    EXPECT_EQ(bytesOf(qrd::endpointRecord(kMap, 0x7F000009, 20511))[7], 1);

    for (auto [ip, udp] : std::vector<std::pair<uint32_t, uint16_t>>{
             {0x7F000002, 20015}, {0x7F000009, 45678}, {0x0A010203, 20000}, {0x0A010203, 33000}})
        EXPECT_EQ(dest(qrd::endpointRecord(kMap, ip, udp)), std::make_pair(ip, udp));
}

} // namespace
