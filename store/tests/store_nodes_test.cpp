// DIRDirectory's nodes and folders against a namewrightd of the test's own:
// reads by mask, change detection, links between folders and objects, and
// what a second workstation's changes look like.
#include "forwarding_store.h"
#include "namedir.h"
#include "store_daemon.h"

using namespace namedir;

namespace {

class NodesTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    std::unique_ptr<DIRFolder> folder(const std::string& name, bool shared = false) {
        auto f = std::make_unique<DIRFolder>();
        long e = 0;
        EXPECT_TRUE(storetest::createFolder(dir, *f, name, shared, e)) << e;
        return f;
    }
    std::unique_ptr<DIRWebItem> web(const std::string& url) {
        auto w = std::make_unique<DIRWebItem>();
        w->base.objectType = DIR_TYPE_WEB;
        w->name = url;
        w->url = url;
        long e = 0;
        EXPECT_TRUE(dir.createNode(*w, e)) << e;
        return w;
    }
    static stNewItemRefEntry entry(const DIRCommonInfo& r) {
        stNewItemRefEntry e;
        e.address = r.address;
        e.name = r.name;
        e.objectType = r.base.objectType;
        e.shared = r.base.shared;
        e.time = r.base.created;
        e.modified = r.base.modified;
        return e;
    }
    static stNewParentListEntry parentOf(const DIRCommonInfo& f) {
        stNewParentListEntry p;
        p.address = f.address;
        p.modified = f.base.modified;
        return p;
    }
    DIRFolder reread(const DIRCommonInfo& f, long mask = DIR_MASK_FULL | DIR_MASK_PARENTS) {
        DIRFolder r;
        r.address = f.address;
        r.base.objectType = DIR_TYPE_FOLDER;
        long e = 0;
        EXPECT_TRUE(dir.getNode(mask, r, e)) << e;
        return r;
    }
    // Counts the reads that go to the service.
    struct CountingStore : ForwardingStore {
        int reads = 0;
        QRDSTATUS read(const std::string& h, uint32_t c, uint32_t n,
                       std::vector<uint8_t>& b) override {
            ++reads;
            return ForwardingStore::read(h, c, n, b);
        }
    };

    DIRDirectory dir;
    std::unique_ptr<DIRCommonInfo> current;
    long error = 0;
};

} // namespace

TEST_F(NodesTest, AFolderWithoutListsReadsBackEmptyAndAFullReadLeavesItsParents) {
    auto parent = folder("Parent");
    auto f = folder("Child");
    // No subscribers, contents or parents: none of their attributes exists.
    std::vector<uint8_t> bytes;
    for (uint32_t category : {55u, 56u, 57u})
        EXPECT_EQ(CQrdApi::readAttribute("bob@Sales@Demo", category,
                                         uint32_t(f->address.nm()->attrNumber), bytes),
                  QRDERR_NM_NO_ATTR);
    ASSERT_TRUE(dir.addParentToNode({parent->address, 7}, f->address.get(), error)) << error;
    CountingStore counting;
    DIRDirectory counted(counting);
    DIRFolder full;
    full.address = f->address;
    full.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(counted.getFullNode(full, error)) << error;
    EXPECT_EQ(full.name, "Child");
    EXPECT_TRUE(full.parents.empty());
    EXPECT_TRUE(full.contents.empty());
    EXPECT_TRUE(full.subscribers.empty());
    EXPECT_EQ(counting.reads, 4); // main, access rights, subscribers, contents
    ASSERT_TRUE(dir.getParentsList(full, error)) << error;
    ASSERT_EQ(full.parents.size(), 1u);
    EXPECT_EQ(full.parents[0].flags, 7);
    EXPECT_EQ(full.parents[0].address->uniqueKey, parent->address->uniqueKey);
}

TEST_F(NodesTest, TheWrongTypeIs121WithTheStoredMainRecordAndUnknownTypes110) {
    auto w = web("http://example.invalid/");
    DIRFolder f;
    f.address = w->address;
    f.base.objectType = DIR_TYPE_FOLDER;
    EXPECT_FALSE(dir.getNode(DIR_MASK_MAIN, f, error));
    EXPECT_EQ(error, DIR_WRONG_TYPE);
    EXPECT_EQ(f.base.objectType, DIR_TYPE_WEB);
    EXPECT_EQ(f.name, "http://example.invalid/");
    DIRCommonInfo other;
    other.address = w->address;
    other.base.objectType = DIR_TYPE_ROOT;
    EXPECT_FALSE(dir.getNode(DIR_MASK_MAIN, other, error));
    EXPECT_EQ(error, DIR_NOT_IMPLEMENTED);
    other.base.objectType = DIR_TYPE_FOLDER;
    EXPECT_FALSE(dir.createNode(other, error)); // a folder type in a plain record
    DIRCommonInfo root;
    root.base.objectType = DIR_TYPE_ROOT;
    EXPECT_FALSE(dir.createNode(root, error));
    EXPECT_EQ(error, DIR_NOT_IMPLEMENTED);
    DIRWebItem none;
    none.base.objectType = DIR_TYPE_WEB;
    EXPECT_FALSE(dir.getNode(DIR_MASK_MAIN, none, error));
    EXPECT_EQ(error, DIR_ADDRESS_UNSET);
}

TEST_F(NodesTest, AnUpdateAfterAnotherWorkstationsIs118WithTheCurrentObjectAndThenSucceeds) {
    auto w = web("http://one.invalid/");
    DIRWebItem mine = *w, theirs = *w;
    theirs.url = "http://two.invalid/";
    ASSERT_TRUE(dir.updateNode(DIR_MASK_TYPE_DATA, theirs, current, error)) << error;
    EXPECT_FALSE(current);
    EXPECT_NE(theirs.base.modified, w->base.modified);
    // In the same second as the first update: still a change.
    mine.description = "Mine";
    EXPECT_FALSE(dir.updateNode(DIR_MASK_MAIN, mine, current, error));
    EXPECT_EQ(error, DIR_ITEM_CHANGED);
    auto* now = dynamic_cast<DIRWebItem*>(current.get());
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->url, "http://two.invalid/");
    mine.base.modified = now->base.modified;
    ASSERT_TRUE(dir.updateNode(DIR_MASK_MAIN, mine, current, error)) << error;
    DIRTime stored = 0;
    ASSERT_TRUE(dir.getDateLastModified(*w->address, stored, error));
    EXPECT_EQ(stored, mine.base.modified);
    DIRWebItem back;
    back.address = w->address;
    back.base.objectType = DIR_TYPE_WEB;
    ASSERT_TRUE(dir.getFullNode(back, error)) << error;
    EXPECT_EQ(back.description, "Mine");
    EXPECT_EQ(back.url, "http://two.invalid/");
    EXPECT_EQ(back.base.version, 1);
    EXPECT_EQ(back.creator, "bob@Sales@Demo");
}

TEST_F(NodesTest, AddingTwiceKeepsOneEntryAtTheEndAndLinksBack) {
    auto f = folder("Reports");
    auto a = web("http://a.invalid/"), b = web("http://b.invalid/");
    stNewItemRefEntry ea = entry(*a), eb = entry(*b);
    stNewParentListEntry p = parentOf(*f);
    ASSERT_TRUE(dir.addNodeToFolder(ea, p, current, error, true, true)) << error;
    ASSERT_TRUE(dir.addNodeToFolder(eb, p, current, error, true, true)) << error;
    ea.name = "A again";
    ASSERT_TRUE(dir.addNodeToFolder(ea, p, current, error, true, true)) << error;
    DIRFolder back = reread(*f);
    ASSERT_EQ(back.contents.size(), 2u);
    EXPECT_EQ(back.contents[0].address->uniqueKey, b->address->uniqueKey);
    EXPECT_EQ(back.contents[1].name, "A again");
    EXPECT_EQ(back.base.modified, p.modified);
    DIRWebItem item;
    item.address = a->address;
    item.base.objectType = DIR_TYPE_WEB;
    ASSERT_TRUE(dir.getParentsList(item, error));
    EXPECT_EQ(item.parents.size(), 2u); // link-back does not look for duplicates
    EXPECT_EQ(item.base.modified, ea.modified);

    // Removing an object that is gone still removes its entry.
    long e = 0;
    ASSERT_TRUE(dir.destroyNode(b->address.get(), e)) << e;
    DIRTime im = 0, fm = 0;
    ASSERT_TRUE(dir.removeNodeFromFolder(b->address.get(), f->address.get(), im, fm, error, true))
        << error;
    ASSERT_TRUE(dir.removeNodeFromFolder(a->address.get(), f->address.get(), im, fm, error, true))
        << error;
    back = reread(*f);
    EXPECT_TRUE(back.contents.empty());
    ASSERT_TRUE(dir.getParentsList(item, error));
    EXPECT_TRUE(item.parents.empty());
}

TEST_F(NodesTest, TwoWorkstationsOnOneSharedFolderSee119MergeAndRetry) {
    auto shared = folder("Team", true);
    auto a = web("http://a.invalid/"), b = web("http://b.invalid/");
    // Both have read the folder; the first one adds.
    stNewParentListEntry first = parentOf(*shared), second = parentOf(*shared);
    stNewItemRefEntry ea = entry(*a), eb = entry(*b);
    ASSERT_TRUE(dir.addNodeToFolder(ea, first, current, error, true, true)) << error;
    DIRDirectory other; // the second workstation's store object
    EXPECT_FALSE(other.addNodeToFolder(eb, second, current, error, true, true));
    EXPECT_EQ(error, DIR_PARENT_CHANGED);
    auto* now = dynamic_cast<DIRFolder*>(current.get());
    ASSERT_NE(now, nullptr);
    ASSERT_EQ(now->contents.size(), 1u);
    second.modified = now->base.modified; // merged: retry on what is there
    ASSERT_TRUE(other.addNodeToFolder(eb, second, current, error, true, true)) << error;
    EXPECT_EQ(reread(*shared).contents.size(), 2u);
    // An item changed since it was read is 118 with the item.
    DIRWebItem changed = *a;
    changed.base.modified = ea.modified;
    changed.url = "http://c.invalid/";
    ASSERT_TRUE(dir.updateNode(DIR_MASK_TYPE_DATA, changed, current, error)) << error;
    EXPECT_FALSE(dir.addNodeToFolder(ea, second, current, error, true, true));
    EXPECT_EQ(error, DIR_ITEM_CHANGED);
    ASSERT_NE(dynamic_cast<DIRWebItem*>(current.get()), nullptr);
}

TEST_F(NodesTest, AFolderWithoutAMainRecordBecomesAFolderAndReferencesFollowTheObject) {
    uint32_t number = 0;
    ASSERT_EQ(FreeList(clientAttrStore(), "bob@Sales@Demo", false).allocate(number), 0);
    stNewParentListEntry p;
    p.address.reset(new DIRNmDirectoryAddress("bob@Sales@Demo", 52, long(number), 0));
    auto a = web("http://a.invalid/");
    stNewItemRefEntry ea = entry(*a);
    ASSERT_TRUE(dir.addNodeToFolder(ea, p, current, error, false, false)) << error;
    DIRFolder made;
    made.address = p.address;
    made.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(dir.getNode(DIR_MASK_TYPE_DATA, made, error)) << error;
    EXPECT_NE(made.base.created, 0u);
    ASSERT_EQ(made.contents.size(), 1u);

    a->name = "Renamed";
    a->description = "Now described";
    ASSERT_TRUE(dir.updateNode(DIR_MASK_MAIN, *a, current, error)) << error;
    int updated = 0;
    error = 0;
    ASSERT_TRUE(dir.updateReference(made.address.get(), a->address.get(), updated, error)) << error;
    EXPECT_EQ(updated, 1);
    DIRFolder back = reread(made);
    EXPECT_EQ(back.contents[0].name, "Renamed");
    EXPECT_EQ(back.contents[0].refText, "Now described");
    // An entry of another type under the same key is 118.
    back.contents[0].objectType = DIR_TYPE_DOCUMENT;
    std::unique_ptr<DIRCommonInfo> cur;
    ASSERT_TRUE(dir.updateNode(DIR_MASK_CONTENTS, back, cur, error)) << error;
    error = 0;
    EXPECT_FALSE(dir.updateReference(back, *a, updated, error));
    EXPECT_EQ(error, DIR_ITEM_CHANGED);
}
