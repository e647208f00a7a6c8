// Where desktop objects live in Namewright attributes, byte for byte.
//
// Every value here is a stored format: changing one breaks every desktop
// already written. Integers are 32-bit little-endian; a text is a 32-bit
// count of UTF-16 code units at its length offset and the UTF-16LE units at
// its data offset; limits count bytes of UTF-16. The full description is in
// docs/store-layouts.md.
#pragma once

#include <cstdint>

namespace namedir::layout {

// ---- Attribute categories of one object (same number, six categories) ----
constexpr uint32_t kCatMain = 52;         // main record, or a free-slot marker
constexpr uint32_t kCatAccessRights = 53; // access rights list
constexpr uint32_t kCatActionList = 54;   // action reference list
constexpr uint32_t kCatParents = 55;      // parents list
constexpr uint32_t kCatTypeData = 56;     // type-specific data
constexpr uint32_t kCatContents = 57;     // folder contents (reference list)
constexpr uint32_t kCatFixed = 34;        // fixed per-user and per-group records

// ---- Fixed numbers ----
constexpr uint32_t kUserRoot = 250000;           // 52: the user's root object
constexpr uint32_t kUserActionLibrary = 250001;  // 52: holder of the personal library
constexpr uint32_t kUserNewFolders = 200000;     // 52: the new-folders list
constexpr uint32_t kUserBusinessCard = 200004;   // 34
constexpr uint32_t kUserPreferences = 250005;    // 34
constexpr uint32_t kUserFreeListHead = 250003;   // 34
constexpr uint32_t kGroupActionLibrary = 200001; // 52: holder of the shared library
constexpr uint32_t kGroupFreeListHead = 200003;  // 34

// ---- Numbers of ordinary objects ----
struct NumberRange {
    uint32_t lower;
    uint32_t upper; // inclusive
    bool contains(uint32_t n) const { return n >= lower && n <= upper; }
};
constexpr NumberRange kUserRange{250200, 259999};
constexpr NumberRange kGroupRange{200200, 209999};

// ---- A text slot: length word and data offset; limit in bytes ----
struct TextSlot {
    uint32_t lengthAt;
    uint32_t dataAt;
    uint32_t limit; // 0: no limit
};

// ---- Main record (category 52), fixed slots ----
constexpr uint32_t kMainType = 0;
constexpr uint32_t kMainVersion = 4;
constexpr uint32_t kMainReserved = 8;
constexpr uint32_t kMainCreated = 12;
constexpr uint32_t kMainModified = 16;
constexpr uint32_t kMainFlags = 20; // bit 0 shared, bit 1 userFlag
constexpr uint32_t kMainUserValue = 24;
constexpr uint32_t kFlagShared = 1u << 0;
constexpr uint32_t kFlagUser = 1u << 1;
constexpr TextSlot kMainCreator{28, 48, 200};
constexpr TextSlot kMainName{32, 248, 100};
constexpr TextSlot kMainDescription{36, 348, 640};
constexpr TextSlot kMainExtraText{40, 988, 200};
constexpr TextSlot kMainLongText{44, 1188, 0};
static_assert(kMainCreator.dataAt + kMainCreator.limit == kMainName.dataAt);
static_assert(kMainName.dataAt + kMainName.limit == kMainDescription.dataAt);
static_assert(kMainDescription.dataAt + kMainDescription.limit == kMainExtraText.dataAt);
static_assert(kMainExtraText.dataAt + kMainExtraText.limit == kMainLongText.dataAt);

// ---- Lists (53, 54, 55, 56 for folders, 57): count at 0, entries from 4,
// texts packed, the attribute ends with a 16-bit zero after the last text ----
constexpr uint32_t kListCount = 0;
constexpr uint32_t kListEntries = 4;
// Access rights entry: rights, length, name.
constexpr uint32_t kRightsEntryFixed = 8;
constexpr uint32_t kRightsNameLimit = 128;
// Parents entry: flags, category, number, time, length, holder name.
constexpr uint32_t kParentEntryFixed = 20;
constexpr uint32_t kParentNameLimit = 128;
// Subscribers entry (category 56 of a folder): reserved (0), length, name.
constexpr uint32_t kSubscriberEntryFixed = 8;
constexpr uint32_t kSubscriberNameLimit = 128;
constexpr long kSubscriberState = 3;
// Reference entry: type, value, flags, category, number, L1, L2, time, L3,
// then holder name (L1 units), name (L2), refText (L3).
constexpr uint32_t kRefType = 0;
constexpr uint32_t kRefValue = 4;
constexpr uint32_t kRefFlags = 8;
constexpr uint32_t kRefCategory = 12;
constexpr uint32_t kRefNumber = 16;
constexpr uint32_t kRefHolderLength = 20;
constexpr uint32_t kRefNameLength = 24;
constexpr uint32_t kRefTime = 28;
constexpr uint32_t kRefTextLength = 32;
constexpr uint32_t kRefEntryFixed = 36;
constexpr uint32_t kRefHolderLimit = 128;
constexpr uint32_t kRefNameLimit = 100;
constexpr uint32_t kRefTextLimit = 640;

// ---- Type-specific data (category 56) ----
constexpr TextSlot kWebUrl{8, 1210, 1000};
constexpr TextSlot kDocText3{0, 16, 194};
constexpr TextSlot kDocText1{4, 210, 1000};
constexpr TextSlot kDocText2{12, 2210, 1000};
static_assert(kDocText3.dataAt + kDocText3.limit == kDocText1.dataAt);
constexpr uint32_t kActionCapabilities = 0;
constexpr uint32_t kActionReserved = 4;
constexpr uint32_t kActionInitial = 8;
constexpr uint32_t kActionShowMode = 12;
constexpr uint32_t kActionIconIndex = 16;
constexpr TextSlot kActionCommandLine{20, 32, 1000};
constexpr TextSlot kActionStartDirectory{24, 2032, 1000};

// ---- Business card (34, 200004 on the user) ----
constexpr int kCardTexts = 13;
constexpr uint32_t kCardLogoLength = 52;
constexpr uint32_t kCardLogoData = 2768;
constexpr TextSlot kCardText[kCardTexts] = {
    {0, 56, 100},   {4, 156, 100},   {8, 256, 100},   {12, 356, 200},  {16, 556, 400},
    {20, 956, 100}, {24, 1056, 100}, {28, 1156, 640}, {32, 1796, 100}, {36, 1896, 100},
    {40, 1996, 32}, {44, 2028, 100}, {48, 2128, 640}};
static_assert(kCardText[12].dataAt + kCardText[12].limit == kCardLogoData);

// ---- Preferences (34, 250005 on the user) ----
constexpr uint32_t kPrefValue = 0;
constexpr uint32_t kPrefZero = 4;
constexpr TextSlot kPrefText1{8, 16, 1000};
constexpr TextSlot kPrefText2{12, 1016, 1000};

// ---- Free-slot marker (52, n) and free-list head (34, head number) ----
struct FreeSlotRecord {
    uint32_t type;        // 128
    uint32_t category;    // 52
    uint32_t number;      // next free number, or the counter in counter mode
    uint32_t exhausted;   // 1: the counter has passed the range's upper bound
    uint32_t counterMode; // 1: `number` is the next never-used number
};
static_assert(sizeof(FreeSlotRecord) == 20, "free-slot records are 20 bytes");
constexpr uint32_t kFreeType = 0;
constexpr uint32_t kFreeCategory = 4;
constexpr uint32_t kFreeNumber = 8;
constexpr uint32_t kFreeExhausted = 12;
constexpr uint32_t kFreeCounterMode = 16;
constexpr uint32_t kFreeRecordSize = 20;

} // namespace namedir::layout
