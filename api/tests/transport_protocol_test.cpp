// The protocol switch, the local addresses and the local well-known port.
#include <cstdlib>
#include <gtest/gtest.h>

#include "qrd/bytes.h"
#include "qrdapi.h"
#include "transport/protocol.h"
#include "transport_testutil.h"

namespace {

using namespace transporttest;

// Each case starts from a process that has computed nothing yet.
class ProtocolSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("HLV_PROTSEQ");
        qrd::resetProtocolSwitch();
    }
    void TearDown() override {
        unsetenv("HLV_PROTSEQ");
        qrd::resetProtocolSwitch();
        QrdSetProtocolPref(QRD_PROT_QIP);
    }
};

TEST_F(ProtocolSwitch, NativeProbeAloneMakesTheNativeProtocolAvailableAndPreferred) {
    EXPECT_EQ(QrdGetProtocolAvail(), QRD_PROT_QIP);
    EXPECT_EQ(QrdGetProtocolPref(), QRD_PROT_QIP);
}

TEST_F(ProtocolSwitch, EnvironmentTokensRequestAndPreferInTheirOrder) {
    struct Case {
        const char* env;
        uint16_t avail, pref;
    };
    const Case cases[] = {
        {"IP:QIP", QRD_PROT_QIP, QRD_PROT_IP}, // the first token sets the preference
        {"QIP:IP", QRD_PROT_QIP, QRD_PROT_QIP},
        {"IP", QRD_PROT_QIP, QRD_PROT_IP}, // no overlap: availability stays
        {"IPX", QRD_PROT_QIP, QRD_PROT_QIP},
        {"ip:qip", QRD_PROT_QIP, QRD_PROT_QIP}, // case-sensitive
        {"QIPX:XIP:", QRD_PROT_QIP, QRD_PROT_QIP},
        {"::QIP", QRD_PROT_QIP, QRD_PROT_QIP},
    };
    for (const Case& c : cases) {
        setenv("HLV_PROTSEQ", c.env, 1);
        qrd::resetProtocolSwitch();
        EXPECT_EQ(QrdGetProtocolAvail(), c.avail) << c.env;
        EXPECT_EQ(QrdGetProtocolPref(), c.pref) << c.env;
    }
}

TEST_F(ProtocolSwitch, EnvironmentDoesNotOverrideAPreferenceAlreadySet) {
    setenv("HLV_PROTSEQ", "IP", 1);
    QrdSetProtocolPref(QRD_PROT_QIP); // as the process attach does
    EXPECT_EQ(QrdGetProtocolAvail(), QRD_PROT_QIP);
    EXPECT_EQ(QrdGetProtocolPref(), QRD_PROT_QIP);

    QrdSetProtocolAvail(QRD_PROT_IP | QRD_PROT_QIP);
    EXPECT_EQ(QrdGetProtocolAvail(), QRD_PROT_IP | QRD_PROT_QIP);
}

TEST_F(ProtocolSwitch, AbsentNativeProtocolLeavesNothingAvailable) {
    ScopedQordaIni ini(commStackIni("127.0.0.1", "127.255.255.255", qrdtest::workstation().portBase,
                                    "Disabled=1"));
    EXPECT_EQ(QrdGetProtocolAvail(), 0);
    EXPECT_EQ(QrdGetProtocolPref(), 0);
    QRD_PORT p;
    QrdSetProtocolPref(QRD_PROT_QIP);
    EXPECT_EQ(QrdCreateLocalWkp(15, &p), QRDERR_PROTOCOL_ABSENT);

    // The Internet road is still there.
    QRD_NET_ADDR addrs[4];
    uint16_t n = 4;
    ASSERT_EQ(QrdGetNetAddrs(addrs, &n), 0);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&addrs[0].port)[0], 2);
}

TEST_F(ProtocolSwitch, NetAddrsListTheNativeAndTheInternetAddress) {
    QRD_NET_ADDR addrs[4];
    uint16_t n = 4;
    ASSERT_EQ(QrdGetNetAddrs(addrs, &n), 0);
    ASSERT_EQ(n, 2);
    const uint8_t* nat = reinterpret_cast<uint8_t*>(&addrs[0].port);
    EXPECT_EQ(nat[1], 3);
    EXPECT_EQ(qrd::getBe32(nat + 2), 0x7F000001u); // the serving server
    EXPECT_EQ(qrd::getBe16(nat + 6), 2);           // an endpoint
    const uint8_t* ip = reinterpret_cast<uint8_t*>(&addrs[1].port);
    EXPECT_EQ(qrd::getLe16(ip), 2);
    EXPECT_EQ(qrd::getBe32(ip + 4), 0x7F000001u);

    n = 1;
    ASSERT_EQ(QrdGetNetAddrs(addrs, &n), 0);
    EXPECT_EQ(n, 1);
    n = 0;
    ASSERT_EQ(QrdGetNetAddrs(nullptr, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(QrdGetNetAddrs(addrs, nullptr), QRDERR_BAD_ARG);
}

TEST_F(ProtocolSwitch, LocalWellKnownPortDependsOnThePreference) {
    QRD_PORT p;
    QrdSetProtocolPref(QRD_PROT_QIP);
    ASSERT_EQ(QrdCreateLocalWkp(0x10F, &p), 0);
    const uint8_t* b = reinterpret_cast<uint8_t*>(&p);
    EXPECT_EQ(b[1], 3);
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(b[9], 0x0F);
    EXPECT_EQ(qrd::getBe32(b + 2), 0x7F000001u);

    QrdSetPortNull(&p);
    QrdSetProtocolPref(QRD_PROT_IP);
    EXPECT_EQ(QrdCreateLocalWkp(15, &p), QRD_PROT_IP);
    EXPECT_EQ(QrdComparePorts(&p, nullptr), 1) << "left unchanged";
    QrdSetProtocolPref(5);
    EXPECT_EQ(QrdCreateLocalWkp(15, &p), QRDERR_NO_PROTOCOL);
}

} // namespace
