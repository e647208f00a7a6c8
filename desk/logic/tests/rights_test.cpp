// The login user's role on a folder, and who a folder is published to.
#include <gtest/gtest.h>

#include <namedir/errors.h>

#include "fake_membership.h"
#include "folders/recipients.h"
#include "nodes/usrnodedata.h"

namespace {

const std::string kMe = "bob@Sales@Demo";

struct Rights : ::testing::Test {
    FakeMembership m;
    USRNodeData data;
    long rights = -1, error = 0;
    void SetUp() override {
        m.groups["Sales@Demo"] = {"alice@Sales@Demo", kMe};
        m.groups["Support@Demo"] = {"carol@Support@Demo", kMe};
        m.lists["Team@Sales@Demo"] = {"alice@Sales@Demo", kMe};
    }
};

TEST_F(Rights, TheHighestRoleOfTheUsersGroupsCounts) {
    data.accessRights = {{"Sales@Demo", 0, 1, false}, {"Support@Demo", 0, 2, false}};
    EXPECT_TRUE(data.computeMyRights(kMe, m, rights, error));
    EXPECT_EQ(rights, 2);
}

TEST_F(Rights, AModeratorEntryEndsTheSearch) {
    data.accessRights = {{"Team@Sales@Demo", 0, 3, false},
                         {"Sales@Demo", 0, 1, false},
                         {"Support@Demo", 0, 2, false}};
    EXPECT_TRUE(data.computeMyRights(kMe, m, rights, error));
    EXPECT_EQ(rights, 3);
    EXPECT_EQ(m.asked, 1); // the later groups were not asked about
}

TEST_F(Rights, ADirectEntryDecidesWhateverGroupsSay) {
    data.accessRights = {{"Sales@Demo", 0, 2, false},
                         {"BOB@sales@demo", 0, 1, false},
                         {"Support@Demo", 0, 3, false}};
    EXPECT_TRUE(data.computeMyRights(kMe, m, rights, error));
    EXPECT_EQ(rights, 1);
}

TEST_F(Rights, NoEntryIsAccessDeniedAndTheAnswerIsKeptUntilTheListChanges) {
    data.accessRights = {{"alice@Sales@Demo", 0, 3, false}};
    EXPECT_FALSE(data.computeMyRights(kMe, m, rights, error));
    EXPECT_EQ(rights, 0);
    EXPECT_EQ(error, DIR_ACCESS_DENIED);
    int asked = m.asked;
    EXPECT_FALSE(data.computeMyRights(kMe, m, rights, error));
    EXPECT_EQ(m.asked, asked);
}

TEST_F(Rights, RecipientsComeFromMarkedEntriesOnlyAndTheirMarksAreCleared) {
    std::vector<USRAccessEntry> entries = {{"Sales@Demo", 0, 1, true},
                                           {"carol@Support@Demo", 0, 1, false},
                                           {"dave@Support@Demo", 0, 2, true}};
    std::map<std::string, std::string> out;
    long e = 0;
    ASSERT_TRUE(USRCollectRecipients(entries, m, out, e));
    EXPECT_EQ(out,
              (std::map<std::string, std::string>{{"alice@Sales@Demo", "Sales@Demo"},
                                                  {kMe, "Sales@Demo"},
                                                  {"dave@Support@Demo", "dave@Support@Demo"}}));
    for (const USRAccessEntry& entry : entries)
        EXPECT_FALSE(entry.mark) << entry.name;
    out.clear();
    ASSERT_TRUE(USRCollectRecipients(entries, m, out, e));
    EXPECT_TRUE(out.empty()); // published once, not again
}

TEST_F(Rights, ALaterDirectEntryMapsTheRecipientToTheirOwnName) {
    std::vector<USRAccessEntry> entries = {{"Sales@Demo", 0, 1, true}, {kMe, 0, 1, true}};
    std::map<std::string, std::string> out;
    long e = 0;
    ASSERT_TRUE(USRCollectRecipients(entries, m, out, e));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[kMe], kMe);
    EXPECT_EQ(out["alice@Sales@Demo"], "Sales@Demo");

    // The same recipient through a list later: the list wins, listed once.
    entries = {{kMe, 0, 1, true}, {"Team@Sales@Demo", 0, 1, true}};
    out.clear();
    ASSERT_TRUE(USRCollectRecipients(entries, m, out, e));
    EXPECT_EQ(out.size(), 2u);
    EXPECT_EQ(out[kMe], "Team@Sales@Demo");
}

TEST_F(Rights, AnUnreadableGroupFailsAndKeepsTheMarksNotYetTaken) {
    std::vector<USRAccessEntry> entries = {{"dave@Support@Demo", 0, 1, true},
                                           {"Ghost@Demo", 5, 1, true}};
    std::map<std::string, std::string> out;
    long e = 0;
    EXPECT_FALSE(USRCollectRecipients(entries, m, out, e));
    EXPECT_EQ(e, DIR_DIRECTORY_ACCESS);
    EXPECT_FALSE(entries[0].mark);
    EXPECT_TRUE(entries[1].mark);
}

} // namespace
