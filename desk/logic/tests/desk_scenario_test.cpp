// Stories of two desktop users on simulated workstations against a
// namewrightd of the test's own: first run, sharing and publication,
// concurrent edits, a folder that vanishes, deletion, change detection.
#include <gtest/gtest.h>

#include <algorithm>

#include <namedir/errors.h>
#include <namedir/qrdapi_wrapper.h>

#include "core/strings.h"
#include "desk_station.h"
#include "folders/usrfoldernode.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"
#include "people/usrpeoplenode.h"
#include "publish/usrpublication.h"
#include "store_daemon.h"

namespace {

class DeskScenario : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        ensureApplication();
        startDaemon();
    }
    void TearDown() override { CQrdApi::destroySession(); }

    // This workstation now runs `s`'s desktop.
    void as(Station& s) {
        CQrdApi::destroySession();
        login(s.user.c_str(), s.password.c_str());
    }

    // A first run with the card named `name`; the desktop is loaded.
    void firstRun(Station& s, const std::string& name) {
        as(s);
        s.prompter.dialogs.push_back(cardNamed(name));
        ASSERT_TRUE(s.desk.loadDesktop(false)) << testing::PrintToString(s.prompter.messages);
    }

    // A new folder in the current folder through the scripted folder sheet:
    // `group` joins the rights with `role` (marked for publication).
    USRFolderNode* makeFolder(Station& s, const std::string& name, bool shared,
                              const std::string& group = "", int role = 0) {
        s.prompter.dialogs.push_back([=](USRDialog, QVariantMap& v) {
            v["name"] = QString::fromStdString(name);
            QVariantList rights = v["rights"].toList();
            if (!group.empty())
                rights.push_back(QVariantMap{
                    {"name", QString::fromStdString(group)}, {"role", role}, {"kind", 5}});
            v["rights"] = rights;
            return USR_REPLY_OK;
        });
        return s.desk.newFolder(shared);
    }

    // A web item record in `folder`, with its node registered.
    USRNode* addWebItem(Station& s, USRFolderNode& folder, const std::string& name) {
        DIRWebItem rec;
        rec.base.objectType = DIR_TYPE_WEB;
        rec.base.shared = folder.isShared() ? 1 : 0;
        rec.name = name;
        rec.url = "http://intranet/" + name;
        long e = 0;
        EXPECT_TRUE(s.dir.createNode(rec, e)) << e;
        std::unique_ptr<USRNode> node = s.ctx.factory().make(s.ctx, DIR_TYPE_WEB);
        node->takeWhole(rec);
        USRNode* raw = node.get();
        EXPECT_TRUE(s.ctx.folders().add(node, e)) << e;
        EXPECT_TRUE(folder.addNode(*raw, e)) << e;
        return raw;
    }

    // Publishes `folder` to its marked entries and waits for the end.
    std::vector<USRPublication::Row> publish(USRFolderNode& folder) {
        auto p = USRPublication::open(folder);
        EXPECT_TRUE(p);
        if (!p) return {};
        EXPECT_TRUE(p->start({}));
        std::vector<USRPublication::Row> rows;
        for (int i = 0; i < 3000; ++i) {
            USRPublication::Tick t = p->tick();
            rows.insert(rows.end(), t.rows.begin(), t.rows.end());
            if (t.done) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return rows;
    }

    // One inbox update, run to its end.
    void updateInbox(Station& s) {
        ASSERT_TRUE(s.desk.startInboxUpdate());
        EXPECT_FALSE(s.desk.startInboxUpdate()); // one worker at a time
        ASSERT_TRUE(s.desk.waitInboxUpdate(30000));
        ASSERT_TRUE(s.desk.pollInboxUpdate());
    }

    // Both desktops loaded; alice's new shared folder `name` gives Sales@Demo
    // `role`; `bob`'s node of it, found by key, is returned (`hers` is hers).
    USRFolderNode* sharedWithBob(Station& alice, Station& bob, const std::string& name, int role,
                                 USRFolderNode*& hers) {
        firstRun(bob, "Bob Baker");
        firstRun(alice, "Alice Archer");
        hers = makeFolder(alice, name, true, "Sales@Demo", role);
        if (!hers) return nullptr;
        as(bob);
        long e = 0;
        auto* his = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(bob.ctx, hers->key(), e));
        EXPECT_TRUE(his) << e;
        return his;
    }

    static std::vector<std::string> childNames(const USRContainerNode& f) {
        std::vector<std::string> names;
        for (const USRChild& c : f.children())
            names.push_back(c.name);
        return names;
    }
};

TEST_F(DeskScenario, AFirstRunCreatesTheDesktopFromTheCardAndCancelCreatesNothing) {
    {
        Station bob("bob@Sales@Demo", "bob-demo");
        as(bob);
        for (int i = 0; i < 3; ++i)
            bob.prompter.dialogs.push_back(cardNamed(""));
        bob.prompter.dialogs.push_back(cardNamed("", USR_REPLY_CANCEL));
        EXPECT_FALSE(bob.desk.loadDesktop(false));
        EXPECT_EQ(bob.prompter.messages,
                  std::vector<std::string>(3, USRString(USR_STR_NAME_REQUIRED)));
        EXPECT_EQ(bob.exits, 1);
        EXPECT_FALSE(bob.desk.isLoggedIn());
        long e = 0;
        EXPECT_FALSE(bob.dir.isPathwendUser("bob@Sales@Demo", e));
        EXPECT_EQ(e, DIR_NOT_DESKTOP_USER);
    }
    {
        Station bob("bob@Sales@Demo", "bob-demo");
        as(bob);
        bob.prompter.dialogs.push_back(cardNamed("", USR_REPLY_OK));
        bob.prompter.dialogs.push_back(cardNamed("Bob Baker", USR_REPLY_CANCEL)); // shown again
        bob.prompter.dialogs.push_back(cardNamed("Bob Baker"));
        ASSERT_TRUE(bob.desk.loadDesktop(false));
        EXPECT_EQ(bob.prompter.shown.size(), 3u);
        EXPECT_EQ(bob.desk.title(), "bob@Sales@Demo");
        ASSERT_TRUE(bob.desk.userCard());
        EXPECT_EQ(bob.desk.userCard()->text(0), "Bob Baker");
        ASSERT_TRUE(bob.desk.rootFolder());
        EXPECT_EQ(bob.desk.rootFolder()->name(), "My Desktop");
        EXPECT_EQ(bob.desk.currentFolder(), bob.desk.rootFolder());
        EXPECT_TRUE(bob.sawHint(USR_HINT_REBUILD_TREE));
        EXPECT_EQ(bob.desk.updateInterval(), 900000);
    }
    // The next start finds the card and asks nothing.
    Station again("bob@Sales@Demo", "bob-demo");
    ASSERT_TRUE(again.desk.loadDesktop(false));
    EXPECT_TRUE(again.prompter.shown.empty());
    EXPECT_EQ(again.desk.userCard()->text(0), "Bob Baker");
}

TEST_F(DeskScenario, ASharedFolderIsPublishedOfferedSubscribedAndASecondOfferDeclined) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    firstRun(bob, "Bob Baker");
    firstRun(alice, "Alice Archer");

    USRFolderNode* plans = makeFolder(alice, "Sales plans", true, "Sales@Demo", 2);
    ASSERT_TRUE(plans) << testing::PrintToString(alice.prompter.messages);
    EXPECT_TRUE(plans->isShared());
    EXPECT_TRUE(alice.sawHint(USR_HINT_FOLDER_ADDED));
    addWebItem(alice, *plans, "Q3 forecast");
    addWebItem(alice, *plans, "Price list");
    std::vector<USRPublication::Row> rows = publish(*plans);
    ASSERT_EQ(rows.size(), 2u); // the group's two desktop users
    for (const auto& r : rows) {
        EXPECT_EQ(r.status, "Sent") << r.recipient;
        EXPECT_EQ(r.member, "Sales@Demo");
    }

    as(bob);
    updateInbox(bob);
    ASSERT_EQ(bob.desk.newFoldersOnOffer().size(), 1u);
    EXPECT_TRUE(bob.sawHint(USR_HINT_INBOX_DONE));
    USRFolderNode* offer = bob.desk.newFoldersOnOffer()[0];
    EXPECT_EQ(offer->name(), "Sales plans");
    bob.desk.showOfferedFolder(offer);
    EXPECT_TRUE(bob.desk.showingOffer());
    EXPECT_EQ(childNames(*offer), (std::vector<std::string>{"Q3 forecast", "Price list"}));
    ASSERT_TRUE(bob.desk.subscribeOffered()) << testing::PrintToString(bob.prompter.messages);
    EXPECT_TRUE(bob.sawHint(USR_HINT_SUBSCRIBED_AT_ROOT));
    EXPECT_TRUE(bob.sawHint(USR_HINT_OFFER_LEFT));
    EXPECT_TRUE(bob.desk.newFoldersOnOffer().empty());

    // Bob's desktop lists the folder and he sees alice's items in it.
    USRFolderNode* root = bob.desk.rootFolder();
    EXPECT_EQ(childNames(*root), std::vector<std::string>{"Sales plans"});
    long e = 0;
    USRNode* node = root->childNode(root->children()[0], e);
    auto* shared = dynamic_cast<USRFolderNode*>(node);
    ASSERT_TRUE(shared) << e;
    ASSERT_TRUE(bob.desk.setCurrentFolder(shared, root));
    EXPECT_EQ(childNames(*shared), (std::vector<std::string>{"Q3 forecast", "Price list"}));
    EXPECT_TRUE(bob.desk.mayChangeCurrent());    // a contributor through Sales@Demo
    EXPECT_FALSE(bob.desk.moderatorOfCurrent()); // alice moderates
    EXPECT_TRUE(shared->isSubscriber("bob@Sales@Demo"));
    updateInbox(bob);
    EXPECT_TRUE(bob.desk.newFoldersOnOffer().empty()); // the list entry is gone too

    // A second offer, declined.
    as(alice);
    ASSERT_TRUE(alice.desk.setCurrentFolder(alice.desk.rootFolder(), nullptr));
    USRFolderNode* old = makeFolder(alice, "Old plans", true, "bob@Sales@Demo", 1);
    ASSERT_TRUE(old);
    ASSERT_EQ(publish(*old).size(), 1u);
    as(bob);
    updateInbox(bob);
    ASSERT_EQ(bob.desk.newFoldersOnOffer().size(), 1u);
    bob.desk.showOfferedFolder(bob.desk.newFoldersOnOffer()[0]);
    ASSERT_TRUE(bob.desk.declineOffered());
    EXPECT_TRUE(bob.desk.newFoldersOnOffer().empty());
    EXPECT_FALSE(bob.desk.showingOffer());
    updateInbox(bob);
    EXPECT_TRUE(bob.desk.newFoldersOnOffer().empty());
    ASSERT_TRUE(root->read(e));
    EXPECT_EQ(childNames(*root), std::vector<std::string>{"Sales plans"});
}

TEST_F(DeskScenario, AnOfferDeclinedAtAnotherWorkstationLeavesTheInboxAtTheNextUpdate) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    firstRun(bob, "Bob Baker");
    firstRun(alice, "Alice Archer");
    USRFolderNode* memo = makeFolder(alice, "Memo", true, "bob@Sales@Demo", 1);
    ASSERT_TRUE(memo);
    ASSERT_EQ(publish(*memo).size(), 1u);

    as(bob);
    updateInbox(bob);
    ASSERT_EQ(bob.desk.newFoldersOnOffer().size(), 1u);
    bob.desk.showOfferedFolder(bob.desk.newFoldersOnOffer()[0]);
    ASSERT_TRUE(bob.desk.showingOffer());

    Station elsewhere("bob@Sales@Demo", "bob-demo");
    ASSERT_TRUE(elsewhere.desk.loadDesktop(false));
    updateInbox(elsewhere);
    ASSERT_EQ(elsewhere.desk.newFoldersOnOffer().size(), 1u);
    elsewhere.desk.showOfferedFolder(elsewhere.desk.newFoldersOnOffer()[0]);
    ASSERT_TRUE(elsewhere.desk.declineOffered());

    updateInbox(bob);
    EXPECT_TRUE(bob.desk.newFoldersOnOffer().empty());
    EXPECT_FALSE(bob.desk.showingOffer());
    EXPECT_EQ(bob.desk.offeredFolder(), nullptr);
    EXPECT_EQ(bob.ctx.newFolders().count(), 0);
}

TEST_F(DeskScenario, BothEditTheSameFolderAndTheLaterWriterMergesAfter118) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    USRFolderNode* folder = nullptr;
    USRFolderNode* mine = sharedWithBob(alice, bob, "Budget", 3, folder);
    ASSERT_TRUE(mine);
    long e = 0;
    EXPECT_TRUE(mine->isModerator());

    as(alice);
    ASSERT_TRUE(folder->read(e));
    folder->setDescription("Figures for the year");
    ASSERT_TRUE(folder->write(e)) << e;

    // Bob's node is older than the record: his write meets 118 and merges.
    as(bob);
    mine->data().longText = "Bob's notes";
    mine->setChanged(USRNode::CHANGED_FIELDS);
    ASSERT_TRUE(mine->addSubscriber("bob@Sales@Demo", e) || e == DIR_ALREADY_EXISTS);
    ASSERT_TRUE(mine->write(e)) << e;
    EXPECT_EQ(mine->data().description, "Figures for the year"); // taken from alice's record
    EXPECT_EQ(mine->data().longText, "Bob's notes");

    as(alice);
    ASSERT_TRUE(folder->read(e));
    EXPECT_EQ(folder->data().description, "Figures for the year");
    EXPECT_EQ(folder->data().longText, "Bob's notes");
    EXPECT_TRUE(folder->isSubscriber("alice@Sales@Demo"));
    EXPECT_TRUE(folder->isSubscriber("bob@Sales@Demo"));
}

TEST_F(DeskScenario, AFolderThatVanishesUnderAReaderLeavesHisTree) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    USRFolderNode* folder = nullptr;
    USRFolderNode* his = sharedWithBob(alice, bob, "Short lived", 1, folder);
    ASSERT_TRUE(his);
    long e = 0;
    USRFolderNode* root = bob.desk.rootFolder();
    ASSERT_TRUE(root->addNode(*his, e)) << e;
    ASSERT_EQ(root->children().size(), 1u);

    as(alice);
    ASSERT_TRUE(USRFolderNode::deletePermanently(alice.ctx, *folder, e)) << e;

    as(bob);
    bob.hints.clear();
    EXPECT_FALSE(bob.desk.setCurrentFolder(his, root));
    EXPECT_EQ(bob.prompter.messages, std::vector<std::string>{"Object does not exist."});
    EXPECT_TRUE(his->isStale());
    EXPECT_TRUE(bob.sawHint(USR_HINT_REBUILD_TREE));
    EXPECT_TRUE(bob.sawHint(USR_HINT_NEW_FOLDERS));
    EXPECT_EQ(bob.exits, 0);
    // The store's listing of his root no longer holds it.
    Station fresh("bob@Sales@Demo", "bob-demo");
    ASSERT_TRUE(fresh.desk.loadDesktop(false));
    EXPECT_TRUE(fresh.desk.rootFolder()->children().empty());
}

TEST_F(DeskScenario, DeletionAsksAfterAFailureAndCancelStopsMidway) {
    Station alice("alice@Sales@Demo", "alice-demo");
    firstRun(alice, "Alice Archer");
    USRFolderNode* box = makeFolder(alice, "Box", false);
    ASSERT_TRUE(box);
    ASSERT_TRUE(alice.desk.setCurrentFolder(box, alice.desk.rootFolder()));
    ASSERT_TRUE(alice.desk.moderatorOfCurrent());
    std::vector<USRNode*> items;
    for (const char* n : {"one", "two", "three", "four"})
        items.push_back(addWebItem(alice, *box, n));

    // Cancel in the confirmation after the first of four: only the first goes.
    alice.desk.setSelection(items);
    alice.prompter.dialogs = {ScriptPrompter::answer(USR_REPLY_YES),
                              ScriptPrompter::answer(USR_REPLY_CANCEL)};
    alice.desk.deleteSelection(false);
    EXPECT_EQ(childNames(*box), (std::vector<std::string>{"two", "three", "four"}));
    EXPECT_TRUE(alice.prompter.questions.empty());

    // The second of three fails (its record is gone): 5020 once, Yes goes on.
    long e = 0;
    ASSERT_TRUE(alice.dir.destroyNode(items[2]->address(), e)) << e;
    alice.desk.setSelection({items[1], items[2], items[3]});
    alice.prompter.dialogs = {ScriptPrompter::answer(USR_REPLY_YES_TO_ALL)};
    alice.prompter.answers = {true};
    alice.desk.deleteSelection(false);
    ASSERT_EQ(alice.prompter.questions.size(), 1u);
    EXPECT_EQ(alice.prompter.questions[0], USRFormat(USR_STR_DELETE_REMAINING, {"three"}));
    EXPECT_NE(std::find(alice.prompter.messages.begin(), alice.prompter.messages.end(),
                        USRString(USR_STR_ITEM_GONE)),
              alice.prompter.messages.end());
    EXPECT_TRUE(box->children().empty());
    EXPECT_TRUE(alice.sawHint(USR_HINT_DELETION_DONE));
    // In the store too.
    Station fresh("alice@Sales@Demo", "alice-demo");
    ASSERT_TRUE(fresh.desk.loadDesktop(false));
    auto* stored = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(fresh.ctx, box->key(), e));
    ASSERT_TRUE(stored) << e;
    EXPECT_TRUE(stored->children().empty());
}

TEST_F(DeskScenario, AFolderTreeIsDeletedEntryByEntryAndCancelLeavesTheRestWhole) {
    Station alice("alice@Sales@Demo", "alice-demo");
    firstRun(alice, "Alice Archer");
    USRFolderNode* root = alice.desk.rootFolder();
    long e = 0;
    // Below `parent` (linked from the root, then unlinked there).
    auto nest = [&](USRFolderNode* parent, const char* name) {
        USRFolderNode* f = makeFolder(alice, name, false);
        EXPECT_TRUE(f && parent->addNode(*f, e)) << e;
        EXPECT_TRUE(root->removeNode(*f, e)) << e;
        return f;
    };
    USRFolderNode* top = makeFolder(alice, "Top", false);
    ASSERT_TRUE(top);
    USRFolderNode* kept = makeFolder(alice, "Kept", false); // also at the root
    ASSERT_TRUE(kept && top->addNode(*kept, e)) << e;
    USRNode* keptItem = addWebItem(alice, *kept, "inKept");
    USRFolderNode* inner = nest(top, "Inner");
    USRNode* doc = addWebItem(alice, *inner, "doc");
    USRNode* note = addWebItem(alice, *top, "note");
    const std::vector<std::string> goneKeys{top->key(), inner->key(), doc->key(), note->key()};
    const std::string keptKey = kept->key(), keptItemKey = keptItem->key();

    alice.desk.setSelection({top});
    alice.prompter.dialogs = {[](USRDialog d, QVariantMap& v) {
        EXPECT_EQ(d, USRDialog::DeleteConfirm);
        EXPECT_FALSE(v.value("several").toBool()); // one node: no Yes to All
        return USR_REPLY_YES;
    }};
    alice.desk.deleteSelection(false);
    EXPECT_TRUE(alice.prompter.messages.empty()) << testing::PrintToString(alice.prompter.messages);
    {
        // Checked now: the store hands freed keys out again.
        Station check("alice@Sales@Demo", "alice-demo");
        for (const std::string& key : goneKeys) {
            EXPECT_EQ(USRNode::findOrCreate(check.ctx, key, e), nullptr);
            EXPECT_EQ(e, DIR_OBJECT_MISSING);
        }
    }

    // A second tree, cancelled after two of its five entries (processed
    // from the last): Top2 { Sub { a, b }, c } loses c and b only.
    USRFolderNode* top2 = makeFolder(alice, "Top2", false);
    ASSERT_TRUE(top2);
    USRFolderNode* sub = nest(top2, "Sub");
    addWebItem(alice, *sub, "a");
    USRNode* b = addWebItem(alice, *sub, "b");
    USRNode* c = addWebItem(alice, *top2, "c");
    const std::string cKey = c->key(), bKey = b->key(), subKey = sub->key(), top2Key = top2->key();
    alice.desk.setSelection({top2});
    alice.prompter.dialogs = {ScriptPrompter::answer(USR_REPLY_YES)};
    alice.prompter.deletionSteps = 2;
    alice.desk.deleteSelection(false);

    Station fresh("alice@Sales@Demo", "alice-demo");
    ASSERT_TRUE(fresh.desk.loadDesktop(false));
    std::vector<std::string> atRoot = childNames(*fresh.desk.rootFolder());
    std::sort(atRoot.begin(), atRoot.end());
    EXPECT_EQ(atRoot, (std::vector<std::string>{"Kept", "Top2"}));
    auto* keptNow = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(fresh.ctx, keptKey, e));
    ASSERT_TRUE(keptNow) << e;
    EXPECT_EQ(childNames(*keptNow), std::vector<std::string>{"inKept"});
    EXPECT_TRUE(USRNode::findOrCreate(fresh.ctx, keptItemKey, e)) << e;

    auto* top2Now = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(fresh.ctx, top2Key, e));
    auto* subNow = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(fresh.ctx, subKey, e));
    ASSERT_TRUE(top2Now && subNow) << e;
    EXPECT_EQ(childNames(*top2Now), std::vector<std::string>{"Sub"});
    EXPECT_EQ(childNames(*subNow), std::vector<std::string>{"a"});
    EXPECT_EQ(USRNode::findOrCreate(fresh.ctx, cKey, e), nullptr);
    EXPECT_EQ(USRNode::findOrCreate(fresh.ctx, bKey, e), nullptr);
}

TEST_F(DeskScenario, ReReadingAnUnchangedFolderMakesExactlyOneStoreCall) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    firstRun(bob, "Bob Baker");
    firstRun(alice, "Alice Archer");
    USRFolderNode* folder = makeFolder(alice, "Watched", true, "Sales@Demo", 2);
    ASSERT_TRUE(folder);
    addWebItem(alice, *folder, "item");
    long e = 0;
    ASSERT_TRUE(folder->read(e));

    alice.store.reset();
    ASSERT_TRUE(folder->read(e));
    EXPECT_EQ(alice.store.calls(), 1);
    EXPECT_EQ(alice.store.reads, 1);
    EXPECT_EQ(childNames(*folder), std::vector<std::string>{"item"});

    // Changed elsewhere: the read takes the whole record.
    as(bob);
    auto* his = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(bob.ctx, folder->key(), e));
    ASSERT_TRUE(his) << e;
    his->setName("Watched closely");
    ASSERT_TRUE(his->write(e)) << e;
    as(alice);
    alice.store.reset();
    ASSERT_TRUE(folder->read(e));
    EXPECT_GT(alice.store.reads, 1);
    EXPECT_EQ(folder->name(), "Watched closely");
}

TEST_F(DeskScenario, LinksKeepTheListingsTheSubscribersAndTheStaleMarksRight) {
    Station alice("alice@Sales@Demo", "alice-demo");
    firstRun(alice, "Alice Archer");
    USRFolderNode* root = alice.desk.rootFolder();
    USRFolderNode* a = makeFolder(alice, "A", false);
    USRFolderNode* b = makeFolder(alice, "B", false);
    USRFolderNode* c = makeFolder(alice, "C", false);
    ASSERT_TRUE(a && b && c);
    long e = 0;

    // A folder into itself: 56, nothing changes; twice into one folder: 33.
    EXPECT_FALSE(a->addNode(*a, e));
    EXPECT_EQ(e, DIR_FOLDER_INTO_ITSELF);
    EXPECT_TRUE(a->children().empty());
    EXPECT_FALSE(root->addNode(*a, e));
    EXPECT_EQ(e, DIR_ALREADY_EXISTS);
    EXPECT_EQ(root->children().size(), 3u);

    // An item in three folders: renaming it rewrites all three listings.
    USRNode* item = addWebItem(alice, *a, "draft");
    ASSERT_TRUE(b->addNode(*item, e)) << e;
    ASSERT_TRUE(c->addNode(*item, e)) << e;
    EXPECT_EQ(item->parentCount(), 3);
    item->setName("final");
    ASSERT_TRUE(item->write(e)) << e;
    Station other("alice@Sales@Demo", "alice-demo");
    for (USRFolderNode* f : {a, b, c}) {
        auto* seen = dynamic_cast<USRFolderNode*>(USRNode::findOrCreate(other.ctx, f->key(), e));
        ASSERT_TRUE(seen) << e;
        EXPECT_EQ(childNames(*seen), std::vector<std::string>{"final"}) << f->name();
    }

    // A folder in two places: removing one reference keeps the user
    // subscribed; removing the last marks it stale and unsubscribes.
    ASSERT_TRUE(a->addNode(*c, e)) << e;
    EXPECT_TRUE(c->isSubscriber("alice@Sales@Demo"));
    ASSERT_TRUE(root->removeNode(*c, e)) << e;
    EXPECT_FALSE(c->isStale());
    EXPECT_TRUE(c->isSubscriber("alice@Sales@Demo"));
    ASSERT_TRUE(a->removeNode(*c, e)) << e;
    EXPECT_TRUE(c->isStale());
    EXPECT_FALSE(c->isSubscriber("alice@Sales@Demo"));
    const std::string key = c->key();
    ASSERT_TRUE(USRNode::purgeStale(alice.ctx, e)); // deletes c
    USRNode* gone = nullptr;
    EXPECT_FALSE(alice.ctx.folders().lookup(key, gone, e));
}

TEST_F(DeskScenario, CardsOfOthersFollowTheirOwnersAndAreNeverWrittenAsOnesOwn) {
    Station alice("alice@Sales@Demo", "alice-demo"), bob("bob@Sales@Demo", "bob-demo");
    firstRun(alice, "Alice Archer");
    firstRun(bob, "Bob Baker");
    long e = 0;
    USRPeopleNode* hers = USRPeopleNode::findCard(bob.ctx, "alice@Sales@Demo", e);
    ASSERT_TRUE(hers) << e;
    EXPECT_EQ(hers->text(0), "Alice Archer");
    EXPECT_FALSE(USRPeopleNode::findCard(bob.ctx, "carol@Support@Demo", e));
    EXPECT_EQ(e, DIR_NOT_A_USER);

    hers->setText(0, "Mallory");
    EXPECT_FALSE(hers->write(e));
    EXPECT_EQ(e, DIR_ACCESS_DENIED);
    EXPECT_EQ(USRPeopleNode::findCard(bob.ctx, "bob@Sales@Demo", e)->text(0), "Bob Baker");

    // Alice renames herself; bob's registered node of her card follows.
    as(alice);
    alice.prompter.dialogs.push_back(cardNamed("Alice Archer-Smith"));
    ASSERT_TRUE(alice.desk.userCard()->edit(true, false));
    as(bob);
    EXPECT_EQ(USRPeopleNode::findCard(bob.ctx, "alice@Sales@Demo", e), hers);
    EXPECT_EQ(hers->text(0), "Alice Archer-Smith");
}

TEST_F(DeskScenario, NobodyLoggedInEndsTheProgramWithOneMessage) {
    Station nobody("", "");
    EXPECT_FALSE(nobody.desk.loadDesktop(false));
    EXPECT_EQ(nobody.prompter.messages, std::vector<std::string>{"Please Login before using."});
    EXPECT_EQ(nobody.exits, 1);
    EXPECT_FALSE(nobody.desk.startInboxUpdate()); // no desktop, no update
}

TEST_F(DeskScenario, PreferencesRootViewModeAndExit) {
    Station alice("alice@Sales@Demo", "alice-demo");
    firstRun(alice, "Alice Archer");
    USRFolderNode* root = alice.desk.rootFolder();

    // Five minutes in the dialog: 300000 ms and the tree view's timer told.
    alice.hints.clear();
    alice.prompter.dialogs.push_back(ScriptPrompter::set("interval", 5));
    ASSERT_TRUE(alice.desk.preferences());
    EXPECT_EQ(alice.desk.updateInterval(), 300000);
    EXPECT_TRUE(alice.sawHint(USR_HINT_INTERVAL_CHANGED));
    // OK without a change writes nothing.
    alice.store.reset();
    alice.prompter.dialogs.push_back(ScriptPrompter::answer(USR_REPLY_OK));
    ASSERT_TRUE(alice.desk.preferences());
    EXPECT_EQ(alice.store.writes, 0);
    // A restart starts with 15 minutes again until the command is used.
    Station again("alice@Sales@Demo", "alice-demo");
    ASSERT_TRUE(again.desk.loadDesktop(false));
    EXPECT_EQ(again.desk.updateInterval(), 900000);

    // The root has no description page.
    alice.desk.setViewMode(UIDesktop::Description);
    ASSERT_TRUE(alice.desk.setCurrentFolder(root, nullptr));
    EXPECT_EQ(alice.desk.viewMode(), UIDesktop::Details);
    EXPECT_TRUE(alice.desk.moderatorOfCurrent());

    alice.desk.shutdown();
    EXPECT_EQ(alice.ctx.folders().count(), 0);
    EXPECT_EQ(alice.ctx.people().count(), 0);
    EXPECT_FALSE(alice.desk.isLoggedIn());
}

} // namespace
