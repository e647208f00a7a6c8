// CQrdApi against a real namewrightd: attributes round trip (small, empty,
// chunked, on a group), names and types as the service spells them, lists
// that hold each other, and a message.
#include <algorithm>

#include "namedir.h"
#include "store_daemon.h"

namespace {

class QrdApiDaemonTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon({{"list", "add", "Ring1@Sales@Demo"},
                     {"list", "add", "Ring2@Sales@Demo"},
                     {"member", "add", "Ring1@Sales@Demo", "Ring2@Sales@Demo"},
                     {"member", "add", "Ring1@Sales@Demo", "alice@Sales@Demo"},
                     {"member", "add", "Ring2@Sales@Demo", "Ring1@Sales@Demo"},
                     {"member", "add", "Ring2@Sales@Demo", "carol@Support@Demo"}});
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    static std::vector<uint8_t> pattern(size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = uint8_t(i * 7 + i / 251);
        return v;
    }
    static std::vector<std::string> sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(QrdApiDaemonTest, AttributesRoundTripOnTheUserAndTheGroup) {
    const std::string me = "bob@Sales@Demo";
    const std::vector<uint8_t> small = pattern(37), large = pattern(9000), empty;
    ASSERT_EQ(CQrdApi::writeAttribute(me, 52, 250001, small), 0);
    ASSERT_EQ(CQrdApi::writeAttribute(me, 53, 250001, large), 0);
    ASSERT_EQ(CQrdApi::writeAttribute(me, 54, 250001, empty), 0);
    ASSERT_EQ(CQrdApi::writeAttribute("Sales@Demo", 52, 300001, small), 0);

    std::vector<uint8_t> back;
    ASSERT_EQ(CQrdApi::readAttribute(me, 52, 250001, back), 0);
    EXPECT_EQ(back, small);
    ASSERT_EQ(CQrdApi::readAttribute(me, 53, 250001, back), 0);
    EXPECT_EQ(back, large);
    ASSERT_EQ(CQrdApi::readAttribute(me, 54, 250001, back), 0);
    EXPECT_TRUE(back.empty());
    ASSERT_EQ(CQrdApi::readAttribute("Sales@Demo", 52, 300001, back), 0);
    EXPECT_EQ(back, small);

    // A shorter value replaces a longer one entirely.
    ASSERT_EQ(CQrdApi::writeAttribute(me, 53, 250001, small), 0);
    ASSERT_EQ(CQrdApi::readAttribute(me, 53, 250001, back), 0);
    EXPECT_EQ(back, small);

    std::vector<AttrName> names;
    ASSERT_EQ(CQrdApi::scanAttributes(me, {52, 0}, {54, 0xFFFFFFFF}, names), 0);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].category, 52u);
    EXPECT_EQ(names[2].category, 54u);
    EXPECT_EQ(names[2].number, 250001u);

    // The type attribute holds an integer: read through its size, and the
    // refused first try is no error of the caller's.
    CQrdApi::clearLastError();
    ASSERT_EQ(CQrdApi::readAttribute(me, 0, 6, back), 0);
    ASSERT_EQ(back.size(), 4u);
    uint32_t kind;
    std::memcpy(&kind, back.data(), 4);
    EXPECT_EQ(kind, 1u);
    EXPECT_EQ(CQrdApi::getLastError(), 0);

    ASSERT_EQ(CQrdApi::deleteAttribute(me, 52, 250001), 0);
    EXPECT_EQ(CQrdApi::readAttribute(me, 52, 250001, back), QRDERR_NM_NO_ATTR);
    EXPECT_EQ(CQrdApi::getLastError(), QRDERR_NM_NO_ATTR);
}

// Conditions of a write: exact bytes, a missing attribute, and a value too
// long to travel (its digest), on a value of several exchanges. A failed
// condition stores nothing, not even the first exchanges.
TEST_F(QrdApiDaemonTest, AConditionalWriteStoresOnlyWhileEveryConditionHolds) {
    const std::string me = "bob@Sales@Demo";
    const std::vector<uint8_t> ticket(16, 3), other(16, 4),
        head = pattern(20), long1 = pattern(5000), long2 = pattern(6000);
    auto is = [](uint32_t number, const std::vector<uint8_t>& v) {
        return QRD_ATTR_CONDITION{{54, number}, uint32_t(v.size()), v.data()};
    };
    const QRD_ATTR_CONDITION absent{{54, 250300}, QRD_ATTR_ABSENT, nullptr};
    ASSERT_EQ(CQrdApi::writeAttributeIf(me, 54, 250300, ticket, {absent}), 0);
    EXPECT_EQ(CQrdApi::writeAttributeIf(me, 54, 250300, other, {absent}),
              QRDERR_NM_CONDITION_FAILED);
    ASSERT_EQ(CQrdApi::writeAttributeIf(me, 34, 250003, head, {is(250300, ticket)}), 0);
    // Both must hold: the second does not.
    EXPECT_EQ(
        CQrdApi::writeAttributeIf(me, 57, 250300, long1, {is(250300, ticket), is(250300, other)}),
        QRDERR_NM_CONDITION_FAILED);
    std::vector<uint8_t> back;
    EXPECT_EQ(CQrdApi::readAttribute(me, 57, 250300, back), QRDERR_NM_NO_ATTR);

    ASSERT_EQ(CQrdApi::writeAttribute(me, 54, 250301, long1), 0);
    const QRD_ATTR_CONDITION longIs{{54, 250301}, uint32_t(long1.size()), long1.data()};
    const QRD_ATTR_CONDITION longWas{{54, 250301}, uint32_t(long2.size()), long2.data()};
    ASSERT_EQ(CQrdApi::writeAttributeIf(me, 57, 250300, long2, {longIs}), 0);
    EXPECT_EQ(CQrdApi::writeAttributeIf(me, 57, 250300, pattern(9000), {longWas}),
              QRDERR_NM_CONDITION_FAILED);
    ASSERT_EQ(CQrdApi::readAttribute(me, 57, 250300, back), 0);
    EXPECT_EQ(back, long2);
}

TEST_F(QrdApiDaemonTest, ScansLongerThanOneBatchReturnEveryName) {
    const std::string me = "bob@Sales@Demo";
    for (uint32_t n = 0; n < 23; ++n)
        ASSERT_EQ(CQrdApi::writeAttribute(me, 60, 400000 + n, pattern(n)), 0);
    std::vector<AttrName> names;
    ASSERT_EQ(CQrdApi::scanAttributes(me, {60, 0}, {60, 0xFFFFFFFF}, names), 0);
    ASSERT_EQ(names.size(), 23u);
    for (uint32_t n = 0; n < 23; ++n)
        EXPECT_EQ(names[n].number, 400000 + n);
}

TEST_F(QrdApiDaemonTest, AnotherUsersObjectIsRefusedWithoutRetry) {
    std::vector<uint8_t> value = pattern(4);
    EXPECT_EQ(CQrdApi::writeAttribute("carol@Support@Demo", 52, 250001, value), 1033);
}

TEST_F(QrdApiDaemonTest, NamesAndTypesFollowTheService) {
    std::string user;
    ASSERT_EQ(CQrdApi::getUserName(user), 0);
    EXPECT_EQ(user, "bob@Sales@Demo");
    std::string group;
    ASSERT_EQ(CQrdApi::getUserGroup(group), 0);
    EXPECT_EQ(group, "Sales@Demo");

    struct Case {
        std::string in, out;
        long type;
    } cases[] = {
        {"ALICE", "alice@Sales@Demo", CQrdApi::kTypeUser},
        {"carol@support", "carol@Support@Demo", CQrdApi::kTypeUser},
        {"team", "Team@Sales@Demo", CQrdApi::kTypeList},
        {"support@demo", "Support@Demo", CQrdApi::kTypeGroup},
        {"*@*@demo", "*@*@Demo", CQrdApi::kTypeOrganisation},
    };
    for (Case& c : cases) {
        std::string name = c.in;
        long type = 0;
        EXPECT_TRUE(CQrdApi::isAclSpecValid(name, type)) << c.in;
        EXPECT_EQ(name, c.out);
        EXPECT_EQ(type, c.type) << c.in;
    }
    std::string ghost = "ghost";
    long type = 0;
    EXPECT_FALSE(CQrdApi::isAclSpecValid(ghost, type));

    EXPECT_TRUE(CQrdApi::isQordaFileService("FILES@Sales@Demo"));
    EXPECT_FALSE(CQrdApi::isQordaFileService("PRINT@Support@Demo"));
}

TEST_F(QrdApiDaemonTest, ListsExpandThroughGroupsAndRings) {
    std::vector<std::string> users;
    ASSERT_EQ(CQrdApi::enumList("Team@Sales@Demo", users), 0);
    EXPECT_EQ(sorted(users), (std::vector<std::string>{"alice@Sales@Demo", "bob@Sales@Demo",
                                                       "carol@Support@Demo", "dave@Support@Demo"}));
    users.clear();
    ASSERT_EQ(CQrdApi::enumList("Ring1@Sales@Demo", users), 0);
    EXPECT_EQ(sorted(users), (std::vector<std::string>{"alice@Sales@Demo", "carol@Support@Demo"}));

    EXPECT_TRUE(CQrdApi::isListMember("Team@Sales@Demo", "dave@Support@Demo"));
    EXPECT_FALSE(CQrdApi::isListMember("Ring1@Sales@Demo", "bob@Sales@Demo"));
}

TEST_F(QrdApiDaemonTest, MappedDrivesNameTheirFileService) {
    qrdtest::appendQordaIni("[DriveMappings]\nF=FILES@Sales@Demo,\\reports\\2026,/mnt/files\n");
    QrdDone(); // the table is read when the device opens
    std::string service, root;
    ASSERT_TRUE(CQrdApi::isQordaFileService('f', service, root));
    EXPECT_EQ(service, "FILES@Sales@Demo");
    EXPECT_EQ(root, "reports\\2026");
    EXPECT_TRUE(CQrdApi::isQordaFileService('F'));
    EXPECT_FALSE(CQrdApi::isQordaFileService('G'));
    EXPECT_FALSE(CQrdApi::isQordaFileService('1'));
}

TEST_F(QrdApiDaemonTest, AMessageReachesItsRecipient) {
    CQrdApi::sendMessage("alice@Sales@Demo", "Folder ready \u00e0 la carte");
    // The message service stores it without a reply: wait for it to show.
    std::string out;
    for (int i = 0; i < 100 && out.find("Folder ready") == std::string::npos; ++i) {
        out = admin({"messages", "alice@Sales@Demo"}).out;
        if (out.empty()) usleep(20000);
    }
    EXPECT_NE(out.find("Folder ready"), std::string::npos) << out;
}

} // namespace
