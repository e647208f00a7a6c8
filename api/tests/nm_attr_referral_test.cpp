// Attribute calls referred (101) by the first server to the server that
// holds the object's group: two fake services on 127.0.0.1 and 127.0.0.2.
#include <gtest/gtest.h>

#include "nm_attr_fake.h"
#include "qrdapi.h"

using namespace qrdtest;

namespace {

const AttrName kAttr{52, 7};
const char* const kObject = "anna@sales@acme";

std::vector<uint16_t> without(std::vector<uint16_t> procs, uint16_t drop) {
    procs.erase(std::remove(procs.begin(), procs.end(), drop), procs.end());
    return procs;
}

class NmAttrReferral : public ::testing::Test {
  protected:
    void SetUp() override {
        loginForTests();
        referAttributes(a_, b_, "sales@acme");
    }
    QRD_NM_SESS session(QRD_NONCE* nonce = nullptr) {
        QRD_NM_SESS s;
        QRD_PORT p = a_.port();
        EXPECT_EQ(QrdStartNmSession(&p, 1, nonce, &s), QRD_OK);
        return s;
    }
    FakeNw a_{"127.0.0.1"};
    FakeNw b_{"127.0.0.2", 60000};
};

TEST_F(NmAttrReferral, AReadIsRepeatedOnTheGroupsServerInATemporarySession) {
    b_.setValue(kObject, kAttr.category, kAttr.number, {2, Bytes{7, 8, 9}});
    QRD_NM_SESS s = session();
    uint32_t type = 2, index = 0, count = 3, flags = 0;
    uint8_t got[3] = {};
    ASSERT_EQ(QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, got, &flags), QRD_OK);
    EXPECT_EQ(Bytes(got, got + 3), (Bytes{7, 8, 9}));
    EXPECT_EQ(count, 3u);

    EXPECT_EQ(a_.procedures(), (std::vector<uint16_t>{28, 41, 0, 26}));
    Args record(a_.calls(0).at(0));
    record.bytes(4);
    EXPECT_EQ(record.str(), "sales@acme");
    EXPECT_EQ(record.u16(), QRD_OCL_GROUP);
    EXPECT_EQ(record.u16(), 2);
    // The revision, the session with the login's nonce, the call, the end.
    EXPECT_EQ(b_.procedures(), (std::vector<uint16_t>{65, 28, 41, 14}));
    EXPECT_EQ(b_.calls(28)[0].args(), (Bytes{1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 10, 11, 12, 13}));
    EXPECT_EQ(s.active, 1) << "the caller's session stays as it was";
}

TEST_F(NmAttrReferral, EveryAttributeCallFollowsTheReferral) {
    QRD_NM_SESS s = session();
    const uint8_t value[5] = {1, 2, 3, 4, 5};
    uint32_t index = 0, flags = 2;
    ASSERT_EQ(QrdSetSNmAttr(&s, kObject, 0, &kAttr, 2, &index, 5, value, &flags), QRD_OK);
    FakeNw::Value stored;
    ASSERT_TRUE(b_.value(kObject, kAttr.category, kAttr.number, stored));
    EXPECT_EQ(stored.data, Bytes(value, value + 5));

    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), QRD_OK);
    EXPECT_EQ(bytes, 5u);

    b_.on(46, [](const Received&) {
        qrd::BeWriter w;
        w.bytes(Bytes(8, 0).data(), 8);
        w.u16(1);
        w.u32(52);
        w.u32(7);
        return std::vector<Bytes>{returnReply(w.data())};
    });
    AttrName names[4];
    QRD_SCAN_PASS pass{};
    uint16_t n = 4;
    ASSERT_EQ(QrdScanSNmAttr(&s, kObject, 0, &kAttr, &kAttr, &pass, &n, names), QRD_OK);
    EXPECT_EQ(n, 1);

    ASSERT_EQ(QrdDeleteSNmAttr(&s, kObject, 0, &kAttr), QRD_OK);
    EXPECT_FALSE(b_.value(kObject, kAttr.category, kAttr.number, stored));
    EXPECT_EQ(b_.count(28), b_.count(14)) << "every temporary session is ended";
    EXPECT_EQ(b_.count(28), 4u);
}

TEST_F(NmAttrReferral, AGroupIsItsOwnGroupAndAOnePartNameCannotBeReferred) {
    b_.setValue("sales@acme", kAttr.category, kAttr.number, {2, Bytes{1}});
    QRD_NM_SESS s = session();
    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, "sales@acme", QRD_OCL_GROUP, &kAttr, &type, &count, &bytes),
              QRD_OK);
    EXPECT_EQ(count, 1u);

    EXPECT_EQ(QrdGetSNmAttrInfo(&s, "acme", QRD_OCL_GROUP, &kAttr, &type, &count, &bytes), 1001);
    EXPECT_EQ(a_.count(0), 1u) << "no group to look up";
}

TEST_F(NmAttrReferral, AReferralIsFollowedOnlyOnceAndOnlyOnTheFirstExchange) {
    // The group's server refers back: the second 101 is the answer.
    b_.on(45, [](const Received&) { return std::vector<Bytes>{refusal(101)}; });
    QRD_NM_SESS s = session();
    uint32_t type = 0, count = 0, bytes = 0;
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 101);
    EXPECT_EQ(a_.count(45), 1u);
    EXPECT_EQ(b_.count(45), 1u);

    // A 101 in the middle of a transfer is not a referral.
    std::atomic<int> reads{0};
    a_.on(41, [&](const Received&) -> std::vector<Bytes> {
        if (reads++ > 0) return {refusal(101)};
        qrd::BeWriter w;
        for (uint32_t v : {2u, 0u, 4096u, 1u})
            w.u32(v);
        w.u16(2);
        w.u16(4096);
        w.bytes(Bytes(4096, 1).data(), 4096);
        w.u16(0);
        return {returnReply(w.data())};
    });
    std::vector<uint8_t> got(5000);
    uint32_t index = 0, flags = 0;
    type = 2;
    count = 5000;
    EXPECT_EQ(QrdGetSNmAttr(&s, kObject, 0, &kAttr, &type, &index, &count, got.data(), &flags),
              101);
    EXPECT_EQ(a_.count(0), 1u) << "the group's server is not asked again";
}

TEST_F(NmAttrReferral, TheTemporarySessionCarriesTheSessionsOwnNonce) {
    QRD_NONCE own{{9, 9, 9, 9, 9, 9}, 0x11111111, 0x22222222};
    QRD_NM_SESS s = session(&own);
    uint32_t type = 0, count = 0, bytes = 0;
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 1055);
    ASSERT_EQ(b_.count(28), 1u);
    EXPECT_EQ(b_.calls(28)[0].args(),
              (Bytes{9, 9, 9, 9, 9, 9, 0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22}));
}

TEST_F(NmAttrReferral, ALostTemporarySessionIsRestartedOnTheSameServer) {
    b_.setValue(kObject, kAttr.category, kAttr.number, {2, Bytes{5}});
    std::atomic<bool> lost{false};
    b_.on(45, [&](const Received&) -> std::vector<Bytes> {
        if (!lost.exchange(true)) return {refusal(1017)};
        qrd::BeWriter w;
        for (uint32_t v : {2u, 1u, 1u})
            w.u32(v);
        return {returnReply(w.data())};
    });
    QRD_NM_SESS s = session();
    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), QRD_OK);
    EXPECT_EQ(without(b_.procedures(), 14), (std::vector<uint16_t>{65, 28, 45, 28, 45}));
    EXPECT_EQ(a_.count(111), 0u) << "no search for another server";
    EXPECT_EQ(a_.count(28), 1u);
}

TEST_F(NmAttrReferral, FailuresOfTheLookUpAreReturned) {
    QRD_NM_SESS s = session();
    uint32_t type = 0, count = 0, bytes = 0;
    // The group has no server record.
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, "anna@hr@acme", 0, &kAttr, &type, &count, &bytes), 1013);
    // The group's server refuses to tell its revision.
    FakeNw other("127.0.0.3");
    other.on(65, [](const Received&) { return std::vector<Bytes>{refusal(1099)}; });
    referAttributes(a_, other, "sales@acme", "server-c");
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 1099);
    EXPECT_EQ(other.count(28), 0u);
    // The server's name is unknown.
    a_.setRecord("sales@acme", 2, strBytes("server-x"));
    EXPECT_EQ(QrdGetSNmAttrInfo(&s, kObject, 0, &kAttr, &type, &count, &bytes), 1002);
}

TEST_F(NmAttrReferral, TheGroupsServerRecordIsReadAndChecked) {
    QRD_NM_SESS s = session();
    char server[NMNAMELEN];
    ASSERT_EQ(QrdGetSNmGroup(&s, "sales@acme", server), QRD_OK);
    EXPECT_STREQ(server, "server-b");
    EXPECT_EQ(QrdGetSNmGroup(&s, nullptr, server), 1001);
    EXPECT_EQ(QrdGetSNmGroup(&s, std::string(64, 'g').c_str(), server), 1005);
    // A name longer than a name can be is a bad record.
    Bytes tooLong = strBytes(std::string(64, 's'));
    a_.setRecord("sales@acme", 2, tooLong);
    EXPECT_EQ(QrdGetSNmGroup(&s, "sales@acme", server), 107);
}

} // namespace
