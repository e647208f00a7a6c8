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
    ASSERT_TRUE(storetest::createFolder(dir, shared, "Team", true, error)) << error;
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

// A shared folder of Sales published to carol of Support: she subscribes
// (the folder gains her folder as a parent and her as a subscriber), but
// may not change who it is published to nor delete it; dave, to whom it was
// not published, cannot subscribe.
TEST_F(UserTest, ARecipientOfAnotherGroupSubscribesToAPublishedFolderAndNoOneElseDoes) {
    constexpr QRDSTATUS kDenied = 1033;
    DIRFolder plans;
    plans.base.objectType = DIR_TYPE_FOLDER;
    plans.base.shared = 1;
    plans.name = "Plans";
    plans.accessRights = {{3, "bob@Sales@Demo"}, {1, "carol@Support@Demo"}};
    ASSERT_TRUE(dir.createNode(plans, error)) << error;
    const uint32_t number = uint32_t(plans.address.nm()->attrNumber);

    auto subscribe = [&](const char* user, const char* password, long& e) {
        CQrdApi::destroySession();
        login(user, password);
        DIRDirectory mine;
        DIRFolder home;
        home.base.objectType = DIR_TYPE_FOLDER;
        home.name = "Home";
        if (!mine.createNode(home, e)) return false;
        stNewItemRefEntry item;
        item.address = plans.address;
        item.name = plans.name;
        item.objectType = DIR_TYPE_FOLDER;
        item.shared = 1;
        stNewParentListEntry parent;
        parent.address = home.address;
        std::unique_ptr<DIRCommonInfo> current;
        if (!mine.addNodeToFolder(item, parent, current, e, true, false)) return false;
        DIRFolder folder;
        folder.address = plans.address;
        folder.base.objectType = DIR_TYPE_FOLDER;
        if (!mine.getNode(DIR_MASK_MAIN | DIR_MASK_SUBSCRIBERS, folder, e)) return false;
        folder.subscribers.push_back({3, user});
        return mine.updateSubscriberList(folder, current, e);
    };
    long e = 0;
    EXPECT_FALSE(subscribe("dave@Support@Demo", "dave-demo", e));
    ASSERT_TRUE(subscribe("carol@Support@Demo", "carol-demo", e)) << e;
    EXPECT_EQ(CQrdApi::writeAttribute("Sales@Demo", 53, number, std::vector<uint8_t>(4, 0)),
              kDenied);
    EXPECT_EQ(CQrdApi::deleteAttribute("Sales@Demo", 56, number), kDenied);

    DIRFolder back;
    back.address = plans.address;
    back.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(DIRDirectory().getNode(DIR_MASK_PARENTS | DIR_MASK_SUBSCRIBERS, back, e)) << e;
    ASSERT_EQ(back.subscribers.size(), 1u);
    EXPECT_EQ(back.subscribers[0].name, "carol@Support@Demo");
    ASSERT_EQ(back.parents.size(), 1u);
    EXPECT_EQ(back.parents[0].address->uniqueKey.find("carol"), 0u);
}
