// The free-list scenarios on an attribute store in memory, plus what only
// shows there: how many attributes an operation touches.
#include "fake_attrstore.h"
#include "freelist_scenarios.h"

using namespace namedir;

namespace {
const std::string kUser = "bob@Sales@Demo";
}

class FreeListInMemory : public ::testing::TestWithParam<scenarios::Scenario> {
  protected:
    void TearDown() override { setHolderRangesForTesting(nullptr, nullptr); }
};

TEST_P(FreeListInMemory, Scenario) {
    FakeAttrStore store;
    GetParam().run(store, GetParam().holder);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FreeListInMemory, ::testing::ValuesIn(scenarios::kAll),
                         scenarios::nameOf);

TEST(FreeListInMemoryStore, ACounterAtTheTopThatFindsAnObjectIsNotTrusted) {
    FakeAttrStore store;
    scenarios::putLive(store, kUser, 250200);
    AttrStream head(kUser, 34, 250003);
    encodeFreeSlot({128, 52, 250200, 0, 1}, head);
    ASSERT_EQ(head.write(store), 0);
    EXPECT_EQ(scenarios::create(store, kUser), 250201u);
}

TEST(FreeListInMemoryStore, AStrayCounterBelowItsOwnMarkerDoesNotHideObjectsAbove) {
    FakeAttrStore store;
    // A counter-mode marker at 250201 claiming the counter is 250200: the
    // objects above it must still be seen.
    scenarios::putLive(store, kUser, 250200);
    scenarios::putMarker(store, kUser, 250201, {128, 52, 250200, 0, 1});
    scenarios::putLive(store, kUser, 250202);
    std::vector<uint32_t> got{scenarios::create(store, kUser), scenarios::create(store, kUser)};
    EXPECT_EQ(got, (std::vector<uint32_t>{250201, 250203}));
}

TEST(FreeListInMemoryStore, ANewUsersFirstAllocationReadsElevenAttributes) {
    FakeAttrStore store;
    uint32_t n = 0;
    ASSERT_EQ(FreeList(store, kUser, false).allocate(n), 0);
    // Head (missing); the rebuild: head, six numbers, head; head again, the
    // number.
    EXPECT_EQ(store.reads, 11);
    // The rebuild's ticket and head; the taker's claim, next ticket, head,
    // and its ticket given back once the head is past the number.
    EXPECT_EQ(store.writes, 6);
    EXPECT_TRUE(store.has(kUser, 54, n + 1));
    EXPECT_EQ(store.attrs[FakeAttrStore::Key(kUser, 54, n)], std::vector<uint8_t>(4, 0));
}

TEST(FreeListInMemoryStore, NumbersOutsideTheRangeAreNotFreed) {
    FakeAttrStore store;
    EXPECT_EQ(FreeList(store, kUser, false).release(250199), DIR_FREELIST_INVALID);
    EXPECT_EQ(FreeList(store, kUser, false).release(200200), DIR_FREELIST_INVALID);
    // Fixed objects are deleted without touching any list.
    scenarios::putLive(store, kUser, 250000);
    EXPECT_EQ(deleteObjectStorage(store, kUser, 250000), 0);
    EXPECT_FALSE(store.has(kUser, 52, 250000));
    EXPECT_FALSE(store.has(kUser, 34, 250003));
}

TEST(FreeListInMemoryStore, DeletingStorageRemovesAllSixCategories) {
    FakeAttrStore store;
    uint32_t n = scenarios::create(store, kUser);
    for (uint32_t c = 53; c <= 57; ++c)
        store.attrs[{kUser, c, n}] = {1, 2, 3};
    store.attrs[{kUser, 58, n}] = {9};
    ASSERT_EQ(deleteObjectStorage(store, kUser, n), 0);
    for (uint32_t c = 52; c <= 57; ++c) {
        if (c == 54) continue;
        EXPECT_FALSE(store.has(kUser, c, n)) << c;
    }
    // The number is free again, with its ticket: an empty list.
    std::vector<uint8_t> ticket = store.attrs[{kUser, 54, n}];
    EXPECT_EQ(ticket, std::vector<uint8_t>(4, 0));
    EXPECT_TRUE(store.has(kUser, 58, n));
}

TEST(AttrStreamInMemory, FixedRecordsAreRewrittenOverWhatIsStored) {
    FakeAttrStore store;
    AttrStream first(kUser, 34, 250005);
    ASSERT_EQ(first.readForRewrite(store), 0); // nothing stored yet: empty
    ASSERT_EQ(encodePreferences(1, std::string(300, 'a'), "tail", first), 0);
    ASSERT_EQ(first.write(store), 0);
    AttrStream again(kUser, 34, 250005);
    ASSERT_EQ(again.readForRewrite(store), 0);
    ASSERT_EQ(encodePreferences(2, "b", "", again), 0);
    ASSERT_EQ(again.write(store), 0);
    const std::vector<uint8_t>& stored = store.attrs[{kUser, 34, 250005}];
    EXPECT_EQ(stored.size(), 1016u + 2 * 4 + 2); // as long as before
    long value = 0;
    std::string t1, t2;
    ASSERT_EQ(decodePreferences(again, value, t1, t2), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(t1, "b");
    EXPECT_EQ(t2, "");
}
