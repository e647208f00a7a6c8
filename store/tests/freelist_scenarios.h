// Free-list scenarios, run against an attribute store in memory
// (store_freelist_test) and against a real namewrightd
// (store_freelist_daemon_test). Each starts from a holder with nothing
// stored and checks the numbers handed out and what the list keeps.
#pragma once

#include <gtest/gtest.h>

#include <set>

#include "namedir.h"

namespace scenarios {

using namespace namedir;

inline layout::FreeSlotRecord headOf(AttrStore& store, const std::string& holder,
                                     bool group = false) {
    layout::FreeSlotRecord head{};
    EXPECT_EQ(FreeList(store, holder, group).readHead(head), 0);
    return head;
}

inline long slotState(AttrStore& store, const std::string& holder, uint32_t number,
                      layout::FreeSlotRecord* marker = nullptr) {
    AttrStream s(holder, 52, number);
    long e = s.read(store);
    layout::FreeSlotRecord r{};
    if (e == 0 && !decodeFreeSlot(s, r)) return 1; // a live object
    if (marker) *marker = r;
    return e; // 0: a marker, 117: missing
}

// An object's main record, as createNode leaves it.
inline void putLive(AttrStore& store, const std::string& holder, uint32_t number) {
    DIRCommonInfo r;
    r.base.objectType = DIR_TYPE_DOCUMENT;
    r.name = "object " + std::to_string(number);
    AttrStream s(holder, 52, number);
    ASSERT_EQ(encodeMainRecord(r, 1000, s), 0);
    ASSERT_EQ(s.write(store), 0);
}

inline void putMarker(AttrStore& store, const std::string& holder, uint32_t number,
                      layout::FreeSlotRecord r) {
    AttrStream s(holder, 52, number);
    encodeFreeSlot(r, s);
    ASSERT_EQ(s.write(store), 0);
}

// Allocates and stores an object at the number, as createNode does.
inline uint32_t create(AttrStore& store, const std::string& holder, bool group = false) {
    uint32_t n = 0;
    EXPECT_EQ(FreeList(store, holder, group).allocate(n), 0);
    putLive(store, holder, n);
    return n;
}

inline void firstAllocationOfANewUser(AttrStore& store, const std::string& user) {
    uint32_t n = 0;
    ASSERT_EQ(FreeList(store, user, false).allocate(n), 0);
    EXPECT_EQ(n, 250200u);
    layout::FreeSlotRecord head = headOf(store, user);
    EXPECT_EQ(head.counterMode, 1u);
    EXPECT_EQ(head.number, 250201u);
    EXPECT_EQ(head.exhausted, 0u);
    EXPECT_EQ(create(store, user), 250201u);
}

inline void freeingTheMostRecentLowersTheCounter(AttrStore& store, const std::string& user) {
    for (uint32_t want = 250200; want <= 250202; ++want)
        ASSERT_EQ(create(store, user), want);
    ASSERT_EQ(deleteObjectStorage(store, user, 250202), 0);
    layout::FreeSlotRecord head = headOf(store, user);
    EXPECT_EQ(head.counterMode, 1u);
    EXPECT_EQ(head.number, 250202u);
    EXPECT_EQ(slotState(store, user, 250202), DIR_ATTR_MISSING); // no marker was written
    EXPECT_EQ(create(store, user), 250202u);
}

inline void anOlderNumberComesBackFirst(AttrStore& store, const std::string& user) {
    for (uint32_t want = 250200; want <= 250202; ++want)
        ASSERT_EQ(create(store, user), want);
    ASSERT_EQ(deleteObjectStorage(store, user, 250200), 0);
    layout::FreeSlotRecord marker{};
    ASSERT_EQ(slotState(store, user, 250200, &marker), 0);
    EXPECT_EQ(marker.counterMode, 1u); // the old head: the counter
    EXPECT_EQ(marker.number, 250203u);
    layout::FreeSlotRecord head = headOf(store, user);
    EXPECT_EQ(head.counterMode, 0u);
    EXPECT_EQ(head.number, 250200u);
    EXPECT_EQ(create(store, user), 250200u);
    EXPECT_EQ(create(store, user), 250203u);
}

inline void freeingTwiceIs113(AttrStore& store, const std::string& user) {
    for (uint32_t want = 250200; want <= 250202; ++want)
        ASSERT_EQ(create(store, user), want);
    // The most recent number goes back to the counter, without a marker:
    // freeing it again is caught by the counter.
    ASSERT_EQ(deleteObjectStorage(store, user, 250202), 0);
    EXPECT_EQ(deleteObjectStorage(store, user, 250202), DIR_ALREADY_FREE);
    // An older number: its marker shows it free, and nothing is deleted.
    ASSERT_EQ(deleteObjectStorage(store, user, 250200), 0);
    EXPECT_EQ(deleteObjectStorage(store, user, 250200), DIR_ALREADY_FREE);
    EXPECT_EQ(FreeList(store, user, false).release(250200), DIR_ALREADY_FREE);
    EXPECT_EQ(slotState(store, user, 250200), 0);
    // Each number is handed out once.
    std::set<uint32_t> seen;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(seen.insert(create(store, user)).second);
    EXPECT_EQ(seen, (std::set<uint32_t>{250200, 250202, 250203}));
}

inline void aSmallRangeRunsOutWith112(AttrStore& store, const std::string& user) {
    layout::NumberRange small{250200, 250202};
    setHolderRangesForTesting(&small, nullptr);
    for (uint32_t want = 250200; want <= 250202; ++want)
        EXPECT_EQ(create(store, user), want);
    uint32_t n = 0;
    EXPECT_EQ(FreeList(store, user, false).allocate(n), DIR_FREELIST_EMPTY);
    layout::FreeSlotRecord head = headOf(store, user);
    EXPECT_EQ(head.exhausted, 1u);
    EXPECT_EQ(head.number, 250203u);
    // A freed number is still handed out again, and then the range is empty.
    EXPECT_EQ(deleteObjectStorage(store, user, 250201), 0);
    EXPECT_EQ(create(store, user), 250201u);
    EXPECT_EQ(FreeList(store, user, false).allocate(n), DIR_FREELIST_EMPTY);
    setHolderRangesForTesting(nullptr, nullptr);
}

// Live objects with holes between them, a stray marker that points at a live
// object and a head that is not a free-slot record: the rebuild chains the
// holes and the marker, and no live number is ever handed out.
inline void aRebuildChainsHolesAndStrayMarkers(AttrStore& store, const std::string& user) {
    for (uint32_t n : {250200u, 250202u, 250205u, 250206u})
        putLive(store, user, n);
    putMarker(store, user, 250204, {128, 52, 250200, 0, 0});
    AttrStream head(user, 34, 250003);
    head.putU32(0, 1); // garbage where the head belongs
    ASSERT_EQ(head.write(store), 0);
    std::vector<uint32_t> got;
    for (int i = 0; i < 5; ++i)
        got.push_back(create(store, user));
    EXPECT_EQ(got, (std::vector<uint32_t>{250201, 250203, 250204, 250207, 250208}));
}

// Free numbers just below the never-used part return to the counter, and
// their markers go.
inline void aRebuildGivesTheTopBackToTheCounter(AttrStore& store, const std::string& user) {
    putLive(store, user, 250200);
    putMarker(store, user, 250202, {128, 52, 250201, 0, 0});
    ASSERT_EQ(FreeList(store, user, false).rebuild(), 0);
    layout::FreeSlotRecord head = headOf(store, user);
    EXPECT_EQ(head.counterMode, 1u);
    EXPECT_EQ(head.number, 250201u);
    EXPECT_EQ(slotState(store, user, 250202), DIR_ATTR_MISSING);
    EXPECT_EQ(create(store, user), 250201u);
}

// A head whose marker has gone (a crash between the two writes of an
// allocation) is rebuilt rather than trusted.
inline void aHeadWithoutItsMarkerIsRebuilt(AttrStore& store, const std::string& user) {
    for (uint32_t want = 250200; want <= 250202; ++want)
        ASSERT_EQ(create(store, user), want);
    ASSERT_EQ(deleteObjectStorage(store, user, 250200), 0);
    AttrStream marker(user, 52, 250200);
    ASSERT_EQ(marker.remove(store, DIR_ATTR_DELETE), 0);
    EXPECT_EQ(create(store, user), 250200u);
    EXPECT_EQ(create(store, user), 250203u);
}

inline void aGroupUsesItsOwnHeadAndRange(AttrStore& store, const std::string& group) {
    EXPECT_EQ(create(store, group, true), 200200u);
    layout::FreeSlotRecord head = headOf(store, group, true);
    EXPECT_EQ(head.number, 200201u);
    AttrStream userHead(group, 34, 250003);
    EXPECT_EQ(userHead.read(store), DIR_ATTR_MISSING);
    ASSERT_EQ(deleteObjectStorage(store, group, 200200), 0);
    EXPECT_EQ(headOf(store, group, true).number, 200200u);
}

} // namespace scenarios

namespace scenarios {

struct Scenario {
    const char* name;
    void (*run)(namedir::AttrStore& store, const std::string& holder);
    const char* holder;
};

inline const Scenario kAll[] = {
    {"FirstAllocationOfANewUser", firstAllocationOfANewUser, "bob@Sales@Demo"},
    {"FreeingTheMostRecentLowersTheCounter", freeingTheMostRecentLowersTheCounter,
     "bob@Sales@Demo"},
    {"AnOlderNumberComesBackFirst", anOlderNumberComesBackFirst, "bob@Sales@Demo"},
    {"FreeingTwiceIs113", freeingTwiceIs113, "bob@Sales@Demo"},
    {"ASmallRangeRunsOutWith112", aSmallRangeRunsOutWith112, "bob@Sales@Demo"},
    {"ARebuildChainsHolesAndStrayMarkers", aRebuildChainsHolesAndStrayMarkers, "bob@Sales@Demo"},
    {"ARebuildGivesTheTopBackToTheCounter", aRebuildGivesTheTopBackToTheCounter, "bob@Sales@Demo"},
    {"AHeadWithoutItsMarkerIsRebuilt", aHeadWithoutItsMarkerIsRebuilt, "bob@Sales@Demo"},
    {"AGroupUsesItsOwnHeadAndRange", aGroupUsesItsOwnHeadAndRange, "Sales@Demo"},
};

inline std::string nameOf(const ::testing::TestParamInfo<Scenario>& info) {
    return info.param.name;
}

} // namespace scenarios
