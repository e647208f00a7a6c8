// DIRDirectory's per-user records against a namewrightd of the test's own:
// the action libraries and toolbar, a new user's environment, the business
// card, preferences and the new-folders list.
#include "namedir.h"
#include "store_daemon.h"

using namespace namedir;

namespace {

class UserTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    stNewItemRefEntry action(const std::string& name, bool shared) {
        DIRAction a;
        a.base.objectType = DIR_TYPE_ACTION;
        a.base.shared = shared;
        a.name = name;
        a.capabilities = DIR_TYPE_DOCUMENT;
        a.commandLine = "/usr/bin/true";
        long e = 0;
        EXPECT_TRUE(dir.createNode(a, e)) << e;
        stNewItemRefEntry r;
        r.address = a.address;
        r.name = name;
        r.objectType = DIR_TYPE_ACTION;
        r.refValue = a.capabilities;
        r.shared = shared;
        r.time = a.base.created;
        return r;
    }
    std::vector<std::string> library() {
        std::vector<DIRRefInfo> list;
        long e = 0;
        EXPECT_TRUE(dir.getActionLibrary(list, e)) << e;
        std::vector<std::string> names;
        for (const DIRRefInfo& r : list)
            names.push_back(r.name + (r.refValue == DIR_TYPE_DOCUMENT ? "" : "?"));
        return names;
    }

    DIRDirectory dir;
    long error = 0;
};

} // namespace

TEST_F(UserTest, LibrariesKeepOneEntryPerActionSharedFirstAndIgnoreUnknownRemovals) {
    EXPECT_TRUE(library().empty());
    stNewItemRefEntry mine = action("Mine", false), ours = action("Ours", true);
    stNewItemRefEntry other = action("Other", false);
    ASSERT_TRUE(dir.addActionToLibrary(mine, error)) << error;
    ASSERT_TRUE(dir.addActionToLibrary(other, error)) << error;
    ASSERT_TRUE(dir.addActionToLibrary(ours, error)) << error;
    ASSERT_TRUE(dir.addActionToLibrary(mine, error)) << error;
    EXPECT_EQ(library(), (std::vector<std::string>{"Ours", "Other", "Mine"}));
    EXPECT_EQ(ours.address.nm()->nmName, "Sales@Demo");

    std::vector<uint8_t> before, after;
    ASSERT_EQ(CQrdApi::readAttribute("bob@Sales@Demo", 54, 250001, before), 0);
    DIRNmDirectoryAddress unknown("bob@Sales@Demo", 52, 259000, 1);
    ASSERT_TRUE(dir.removeActionFromLibrary(&unknown, error)) << error;
    ASSERT_EQ(CQrdApi::readAttribute("bob@Sales@Demo", 54, 250001, after), 0);
    EXPECT_EQ(before, after);

    ASSERT_TRUE(dir.removeActionFromLibrary(ours.address.get(), error)) << error;
    ASSERT_TRUE(dir.removeActionFromLibrary(mine.address.get(), error)) << error;
    EXPECT_EQ(library(), (std::vector<std::string>{"Other"}));
}

TEST_F(UserTest, TheToolbarIsAddedToReplacedAndSetWhole) {
    stNewItemRefEntry a = action("A", false), b = action("B", false);
    ASSERT_TRUE(dir.addActionToToolbar(a, error)) << error;
    ASSERT_TRUE(dir.addActionToToolbar(b, error)) << error;
    a.name = "A2";
    ASSERT_TRUE(dir.updateActionInToolbar(a, error)) << error;
    std::vector<DIRRefInfo> bar;
    ASSERT_TRUE(dir.getActionToolbar(bar, error)) << error;
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[1].name, "A2");
    EXPECT_EQ(bar[1].refValue, DIR_TYPE_DOCUMENT);
    std::swap(bar[0], bar[1]);
    ASSERT_TRUE(dir.setActionToolbar(bar, error)) << error;
    ASSERT_TRUE(dir.removeActionFromToolbar(b.address.get(), error)) << error;
    ASSERT_TRUE(dir.getActionToolbar(bar, error)) << error;
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].name, "A2");
}

TEST_F(UserTest, ANewEnvironmentOnceThenTheDefaultFolderTheCardAndTheNewFoldersList) {
    EXPECT_FALSE(dir.isPathwendUser("bob@Sales@Demo", error));
    EXPECT_EQ(error, DIR_NOT_DESKTOP_USER);
    DIRFolder none;
    EXPECT_FALSE(dir.getDefaultFolder(none, error));
    EXPECT_EQ(error, DIR_DEFAULT_FOLDER_MISSING);

    DIRUserBusinessCard card;
    card.cardText1 = "Bob Baker";
    card.logo = {1, 2, 3};
    DIRAddressPtr cardAddress;
    ASSERT_TRUE(dir.createPathwendEnvironment("Bob's desk", card, cardAddress, error)) << error;
    ASSERT_TRUE(cardAddress.nm());
    EXPECT_EQ(cardAddress->uniqueKey, "bob@Sales@Demo<34:200004:0>");
    EXPECT_FALSE(dir.createPathwendEnvironment("Again", card, cardAddress, error));
    EXPECT_EQ(error, DIR_DESKTOP_EXISTS);

    DIRFolder desk;
    ASSERT_TRUE(dir.getDefaultFolder(desk, error)) << error;
    EXPECT_EQ(desk.name, "Bob's desk");
    EXPECT_EQ(desk.creator, "bob@Sales@Demo");
    EXPECT_TRUE(dir.isPathwendUser("BOB@sales@demo", error));
    DIRUserBusinessCard back;
    DIRAddressPtr backAddress;
    ASSERT_TRUE(dir.getBusinessCardInfo("bob@Sales@Demo", back, backAddress, error)) << error;
    EXPECT_EQ(back.cardText1, "Bob Baker");
    EXPECT_EQ(back.logo, card.logo);
    EXPECT_FALSE(dir.getBusinessCardInfo("", back, backAddress, error));
    EXPECT_EQ(error, DIR_USER_NAME_UNSET);
    EXPECT_FALSE(dir.getBusinessCardInfo("alice@Sales@Demo", back, backAddress, error));
    EXPECT_EQ(error, DIR_ATTR_MISSING);
    EXPECT_FALSE(dir.buildBCardNmDirAddr(backAddress, "nobody@Sales@Demo", error));
    EXPECT_EQ(error, DIR_CARD_ADDRESS);

    // Announcements: only to a desktop user; the list starts out empty.
    DIRFolder inbox;
    ASSERT_TRUE(dir.getNewFoldersList("bob@Sales@Demo", inbox, error)) << error;
    EXPECT_TRUE(inbox.contents.empty());
    DIRFolder shared;
    shared.base.objectType = DIR_TYPE_FOLDER;
    shared.base.shared = 1;
    shared.name = "Team";
    ASSERT_TRUE(dir.createNode(shared, error)) << error;
    stNewItemRefEntry item;
    item.address = shared.address;
    item.name = "Team";
    item.objectType = DIR_TYPE_FOLDER;
    item.shared = 1;
    EXPECT_FALSE(dir.addNodeToNewFoldersList(item, "alice@Sales@Demo", error));
    EXPECT_EQ(error, DIR_NOT_DESKTOP_USER);
    ASSERT_TRUE(dir.addNodeToNewFoldersList(item, "bob@Sales@Demo", error)) << error;
    ASSERT_TRUE(dir.addNodeToNewFoldersList(item, "bob@Sales@Demo", error)) << error;
    ASSERT_TRUE(dir.getNewFoldersList("bob@Sales@Demo", inbox, error)) << error;
    ASSERT_EQ(inbox.contents.size(), 1u);
    EXPECT_EQ(inbox.contents[0].shared, 1);
    ASSERT_TRUE(dir.removeNodeFromNewFoldersList(shared.address.get(), "bob@Sales@Demo", error));
    ASSERT_TRUE(dir.getNewFoldersList("bob@Sales@Demo", inbox, error)) << error;
    EXPECT_TRUE(inbox.contents.empty());
}

TEST_F(UserTest, PreferencesRoundTripAndTheLoginNames) {
    DIRPreferencesInfo prefs;
    EXPECT_FALSE(dir.getPreferencesInfo(prefs, error));
    EXPECT_EQ(error, DIR_ATTR_MISSING);
    prefs.value = 42;
    prefs.text = "Zeile";
    ASSERT_TRUE(dir.setPreferencesInfo(prefs, error)) << error;
    DIRPreferencesInfo back;
    ASSERT_TRUE(dir.getPreferencesInfo(back, error)) << error;
    EXPECT_EQ(back.value, 42);
    EXPECT_EQ(back.text, "Zeile");
    prefs.text = std::string(501, 'x');
    EXPECT_FALSE(dir.setPreferencesInfo(prefs, error));
    EXPECT_EQ(error, DIR_STRING_TOO_LONG);
    std::string user, group;
    ASSERT_TRUE(dir.getLoginUserName(user, error));
    ASSERT_TRUE(dir.getLoginGroupName(group, error));
    EXPECT_EQ(user, "bob@Sales@Demo");
    EXPECT_EQ(group, "Sales@Demo");
}
