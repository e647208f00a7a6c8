// Expanding lists and groups over the fake client API: nested lists, groups
// inside lists, lists that hold themselves, and long replies.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_client.h"

namespace {

class ListsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Service& s = fake::service();
        s.objects = {{"alice@Sales@Demo", 1},  {"bob@Sales@Demo", 1}, {"carol@Support@Demo", 1},
                     {"dave@Support@Demo", 1}, {"A@Sales@Demo", 3},   {"B@Sales@Demo", 3},
                     {"C@Sales@Demo", 3},      {"Self@Sales@Demo", 3}};
        s.groups = {"Sales@Demo", "Support@Demo"};
        s.orgs = {"Demo"};
    }
    static std::vector<std::string> sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
    fake::Installed installed;
};

TEST_F(ListsTest, NestedListsAndGroupsExpandIntoUsers) {
    fake::service().lists = {{"A@Sales@Demo", {"alice@Sales@Demo", "B@Sales@Demo"}},
                             {"B@Sales@Demo", {"Support@Demo", "ghost@Sales@Demo"}}};
    std::vector<std::string> users;
    EXPECT_EQ(CQrdApi::enumList("A@Sales@Demo", users), 0);
    EXPECT_EQ(sorted(users), (std::vector<std::string>{"alice@Sales@Demo", "carol@Support@Demo",
                                                       "dave@Support@Demo"}));
}

TEST_F(ListsTest, ListsThatHoldEachOtherOrThemselvesEndAndListEveryUserOnce) {
    fake::service().lists = {
        {"A@Sales@Demo", {"B@Sales@Demo", "alice@Sales@Demo"}},
        {"B@Sales@Demo", {"C@Sales@Demo", "bob@Sales@Demo"}},
        {"C@Sales@Demo", {"a@sales@demo", "carol@Support@Demo"}},
        {"Self@Sales@Demo", {"Self@Sales@Demo", "dave@Support@Demo"}},
    };
    std::vector<std::string> users;
    EXPECT_EQ(CQrdApi::enumList("A@Sales@Demo", users), 0);
    EXPECT_EQ(sorted(users), (std::vector<std::string>{"alice@Sales@Demo", "bob@Sales@Demo",
                                                       "carol@Support@Demo"}));
    EXPECT_EQ(fake::service().listCalls, 3);

    users.clear();
    EXPECT_EQ(CQrdApi::enumList("Self@Sales@Demo", users), 0);
    EXPECT_EQ(users, (std::vector<std::string>{"dave@Support@Demo"}));
}

TEST_F(ListsTest, LongListsArriveInPagesAndFailuresAreReported) {
    std::vector<std::string> members;
    for (int i = 0; i < 40; ++i) {
        std::string name = "u" + std::to_string(i) + "@Sales@Demo";
        fake::service().objects[name] = 1;
        members.push_back(name);
    }
    fake::service().lists = {{"A@Sales@Demo", members}};
    std::vector<std::string> users;
    EXPECT_EQ(CQrdApi::enumList("A@Sales@Demo", users), 0);
    EXPECT_EQ(sorted(users), sorted(members));
    EXPECT_EQ(fake::service().listCalls, 3);

    std::vector<std::string> none;
    EXPECT_EQ(CQrdApi::enumList("Nowhere@Sales@Demo", none), QRDERR_NM_NO_RECORD);
}

TEST_F(ListsTest, GroupUsersUseAPatternAndTheEndOfNamesIsNoFailure) {
    std::vector<std::string> users;
    EXPECT_EQ(CQrdApi::enumGroupUsers("Support@Demo", users), 0);
    EXPECT_EQ(sorted(users), (std::vector<std::string>{"carol@Support@Demo", "dave@Support@Demo"}));
    EXPECT_EQ(fake::service().namesSeen.back(), "*@Support@Demo");
    users.clear();
    EXPECT_EQ(CQrdApi::enumGroupUsers("Empty@Demo", users), 0);
    EXPECT_TRUE(users.empty());
    EXPECT_EQ(CQrdApi::getLastError(), 0);
}

TEST_F(ListsTest, ListMembershipAsksTheService) {
    fake::service().lists = {{"A@Sales@Demo", {"alice@Sales@Demo"}}};
    EXPECT_TRUE(CQrdApi::isListMember("A@Sales@Demo", "alice@Sales@Demo"));
    EXPECT_FALSE(CQrdApi::isListMember("A@Sales@Demo", "bob@Sales@Demo"));
}

} // namespace
