// Name services over the fake client API: completion, validation, types,
// access-rights names, and hostile names (too long, empty parts, characters
// that Latin-1 cannot hold).
#include <gtest/gtest.h>

#include "fake_client.h"

namespace {

class NamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Service& s = fake::service();
        s.objects = {{"alice@Sales@Demo", 1},
                     {"bob@Sales@Demo", 1},
                     {"Team@Sales@Demo", 3},
                     {"h\xe9l\xe8ne@Sales@Demo", 1}};
        s.groups = {"Sales@Demo", "Support@Demo"};
        s.orgs = {"Demo"};
        CQrdApi::clearLastError();
    }
    fake::Installed installed;
};

TEST_F(NamesTest, BreakNameCountsPartsAndReportsSurplusParts) {
    std::vector<std::string> parts;
    uint16_t count = 3;
    EXPECT_EQ(CQrdApi::breakName("a@b@c", parts, count), 0);
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c"}));
    count = 2;
    EXPECT_EQ(CQrdApi::breakName("a@b@c", parts, count), CQrdApi::kBadName);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b"}));
    count = 3;
    EXPECT_EQ(CQrdApi::breakName(std::string(64, 'n'), parts, count), QRDERR_NM_BUFFER_SMALL);
    EXPECT_EQ(count, 0);
}

TEST_F(NamesTest, NamesTravelAsLatin1AndComeBackAsUtf8) {
    std::vector<std::string> parts;
    uint16_t count = 3;
    ASSERT_EQ(CQrdApi::breakName("h\u00e9l\u00e8ne@Sales@Demo", parts, count), 0);
    EXPECT_EQ(parts[0], "h\u00e9l\u00e8ne");

    std::string name = "H\u00c9L\u00c8NE@sales@demo";
    ASSERT_EQ(CQrdApi::formatUserName(name), 0);
    EXPECT_EQ(name, "h\u00e9l\u00e8ne@Sales@Demo");
    EXPECT_EQ(fake::service().namesSeen.back(), "H\xc9L\xc8NE@sales@demo");
}

TEST_F(NamesTest, NamesLatin1CannotHoldAreRefusedBeforeAnyCall) {
    const std::string hostile[] = {
        "\u0141ukasz@Sales@Demo",     // Polish L with stroke: beyond Latin-1
        "emoji\U0001F600@Sales@Demo", // outside the Basic Multilingual Plane
        "bad\xff\xfe@Sales@Demo",     // not UTF-8 at all
        std::string("nul\0x@Sales@Demo", 16),
    };
    for (const std::string& n : hostile) {
        std::string name = n;
        bool wild;
        long type;
        EXPECT_EQ(CQrdApi::formatUserName(name), CQrdApi::kBadName);
        EXPECT_EQ(CQrdApi::validateName(name, wild), CQrdApi::kBadName);
        EXPECT_FALSE(CQrdApi::isAclSpecValid(name, type));
        EXPECT_EQ(type, CQrdApi::kTypeNone);
        std::vector<uint8_t> value;
        EXPECT_EQ(CQrdApi::readAttribute(name, 52, 1, value), CQrdApi::kBadName);
        EXPECT_EQ(name, n);
    }
    EXPECT_TRUE(fake::service().namesSeen.empty());
    EXPECT_EQ(CQrdApi::getLastError(), CQrdApi::kBadName);
}

TEST_F(NamesTest, MakeFullNameCompletesFromTheLoggedInUser) {
    std::string one = "bob", two = "bob@Support", three = "x@y@z";
    EXPECT_EQ(CQrdApi::makeFullName(one), 0);
    EXPECT_EQ(one, "bob@Sales@Demo");
    EXPECT_EQ(CQrdApi::makeFullName(two), 0);
    EXPECT_EQ(two, "bob@Support@Demo");
    EXPECT_EQ(CQrdApi::makeFullName(three), 0);
    EXPECT_EQ(three, "x@y@z");
}

TEST_F(NamesTest, MakeFullNameRefusesEmptyPartsOverlongResultsAndNobodyLoggedIn) {
    for (std::string bad : {"", "@Sales@Demo", "bob@@Demo", "bob@Sales@", "a@b@c@d"}) {
        std::string name = bad;
        EXPECT_NE(CQrdApi::makeFullName(name), 0) << bad;
        EXPECT_EQ(name, bad);
    }
    // 55 characters plus "@Sales@Demo" is more than a name may hold.
    std::string longItem(55, 'q');
    EXPECT_EQ(CQrdApi::makeFullName(longItem), QRDERR_NM_NAME_TOO_LONG);
    EXPECT_EQ(longItem, std::string(55, 'q'));
    // Latin-1 counts characters: 26 two-byte letters plus the rest fit.
    std::string accented;
    for (int i = 0; i < 26; ++i)
        accented += "\u00e9";
    EXPECT_EQ(CQrdApi::makeFullName(accented), 0);

    fake::service().user = "";
    std::string item = "bob";
    EXPECT_EQ(CQrdApi::makeFullName(item), QRDERR_NM_NOT_LOGGED_IN);
}

TEST_F(NamesTest, ValidateNameTellsWildcardNamesApart) {
    bool wild = true;
    EXPECT_EQ(CQrdApi::validateName("bob@Sales@Demo", wild), 0);
    EXPECT_FALSE(wild);
    EXPECT_EQ(CQrdApi::validateName("*@Sales@Demo", wild), 0);
    EXPECT_TRUE(wild);
    EXPECT_EQ(CQrdApi::validateName("a@b@c@d", wild), CQrdApi::kBadName);
    EXPECT_EQ(CQrdApi::validateName(std::string(63, 'a'), wild), 0);
    EXPECT_EQ(CQrdApi::validateName(std::string(64, 'a'), wild), CQrdApi::kBadName);
    EXPECT_EQ(CQrdApi::validateName("caf\u00e9", wild), 0);
    EXPECT_EQ(CQrdApi::validateName("x\u00f7y", wild), CQrdApi::kBadName);
}

TEST_F(NamesTest, GroupAnswersAreNotErrorsButOtherFailuresAre) {
    std::string group = "sales@demo";
    EXPECT_TRUE(CQrdApi::isGroupName(group));
    EXPECT_EQ(group, "Sales@Demo");
    EXPECT_FALSE(CQrdApi::isGroupName(std::string("alice@Sales@Demo")));
    EXPECT_EQ(CQrdApi::getLastError(), 0);
    std::string org = "nowhere";
    EXPECT_FALSE(CQrdApi::isOrganisationName(org));
    EXPECT_EQ(CQrdApi::getLastError(), QRDERR_NM_NO_RECORD);
}

TEST_F(NamesTest, TypesComeFromGroupsTheTypeAttributeOrTheUserRecord) {
    long type = 0;
    EXPECT_EQ(CQrdApi::getType("Support@Demo", type), 0);
    EXPECT_EQ(type, CQrdApi::kTypeGroup);
    EXPECT_EQ(CQrdApi::getType("Team@Sales@Demo", type), 0);
    EXPECT_EQ(type, CQrdApi::kTypeList);
    EXPECT_EQ(CQrdApi::getType("ghost@Sales@Demo", type), QRDERR_NM_NO_RECORD);
}

TEST_F(NamesTest, AccessRightsNamesAreCompletedTypedAndMadeCanonical) {
    struct Case {
        std::string in, out;
        long type;
    } cases[] = {
        {"ALICE", "alice@Sales@Demo", CQrdApi::kTypeUser},
        {"bob@sales", "bob@Sales@Demo", CQrdApi::kTypeUser},
        {"support@demo", "Support@Demo", CQrdApi::kTypeGroup},
        {"team@Sales@Demo", "Team@Sales@Demo", CQrdApi::kTypeList},
        {"*@sales@demo", "*@Sales@Demo", CQrdApi::kTypeGroup},
        {"*", "*@Sales@Demo", CQrdApi::kTypeGroup},
        {"*@*@DEMO", "*@*@Demo", CQrdApi::kTypeOrganisation},
    };
    for (Case& c : cases) {
        std::string name = c.in;
        long type = 0;
        EXPECT_TRUE(CQrdApi::isAclSpecValid(name, type)) << c.in;
        EXPECT_EQ(name, c.out);
        EXPECT_EQ(type, c.type) << c.in;
    }
    for (std::string bad : {"", "ghost", "*@Nowhere@Demo", "*@*@Elsewhere", "a@@b", "x@*@y"}) {
        long type = 0;
        EXPECT_FALSE(CQrdApi::isAclSpecValid(bad, type)) << bad;
        EXPECT_EQ(type, CQrdApi::kTypeNone);
    }
}

TEST_F(NamesTest, GroupMembershipComparesGroupAndOrganisationWithoutCase) {
    EXPECT_TRUE(CQrdApi::isGroupMember("sales@demo", "alice@Sales@Demo"));
    EXPECT_TRUE(CQrdApi::isGroupMember("Sales@Demo", "bob"));
    EXPECT_TRUE(CQrdApi::isGroupMember("*@Sales@Demo", "bob@Sales@Demo"));
    EXPECT_TRUE(CQrdApi::isGroupMember("*@*@Demo", "carol@Support@Demo"));
    EXPECT_FALSE(CQrdApi::isGroupMember("Support@Demo", "bob@Sales@Demo"));
    EXPECT_FALSE(CQrdApi::isGroupMember("Sales@Other", "bob@Sales@Demo"));
    EXPECT_TRUE(CQrdApi::isGroupMember("\u00c9quipe@Demo", "zo\u00e9@\u00e9quipe@Demo"));
}

TEST_F(NamesTest, MessagesLoseOnlyTheCharactersLatin1Lacks) {
    CQrdApi::sendMessage("bob@Sales@Demo", "caf\u00e9 \u20ac5");
    EXPECT_EQ(fake::service().namesSeen.back(), "caf\xe9 ?5");
}

} // namespace
