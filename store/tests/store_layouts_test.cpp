// Every stored layout to the byte: a record written by the store equals
// hand-written bytes, and hand-written bytes read back into the right fields.
// Offsets are spelled out here on purpose, not taken from namedir/layout.h.
#include <gtest/gtest.h>

#include "golden.h"
#include "namedir.h"

using namespace namedir;

namespace {

constexpr DIRTime kNow = 0x5F5E1000;

AttrStream blank(uint32_t category, uint32_t number = 250200) {
    return AttrStream("bob@Sales@Demo", category, number);
}

DIRAddressPtr nmAddress(const std::string& holder, long number, DIRTime time) {
    return DIRAddressPtr(new DIRNmDirectoryAddress(holder, 52, number, time));
}

DIRCommonInfo sampleRecord() {
    DIRCommonInfo r;
    r.base.objectType = DIR_TYPE_FOLDER;
    r.base.modified = 123; // replaced by the commit time
    r.base.shared = 1;
    r.base.userFlag = 1;
    r.base.userValue = 3;
    r.creator = "bob@Sales@Demo";
    r.name = "Café";
    r.extraText = "x";
    r.longText = "Grüße 😀";
    r.description = "d";
    return r;
}

// The sample record as stored: version 0 written as 1, created and modified
// the commit time, both flags, five lengths, the texts in their slots.
Golden sampleBytes() {
    return std::move(Golden(1206)
                         .u32(0, 1)
                         .u32(4, 1)
                         .u32(12, kNow)
                         .u32(16, kNow)
                         .u32(20, 3)
                         .u32(24, 3)
                         .u32(28, 14)
                         .u32(32, 4)
                         .u32(36, 1)
                         .u32(40, 1)
                         .u32(44, 8)
                         .text(48, u"bob@Sales@Demo")
                         .text(248, u"Café")
                         .text(348, u"d")
                         .text(988, u"x")
                         .text(1188, u"Grüße \xD83D\xDE00"));
}

} // namespace

TEST(MainRecordLayout, WrittenToTheByteWithUtf16LengthsInCodeUnits) {
    AttrStream s = blank(52);
    ASSERT_EQ(encodeMainRecord(sampleRecord(), kNow, s), 0);
    EXPECT_EQ(s.bytes(), sampleBytes().b);
}

TEST(MainRecordLayout, HandWrittenBytesReadBackIntoTheFields) {
    Golden g = sampleBytes();
    g.u32(4, 7).u32(12, 1000).u32(16, 0xF0000000u).u32(20, 2).u32(24, 0xFFFFFFFFu);
    DIRCommonInfo r;
    ASSERT_EQ(decodeMainRecord(g.stream(), r), 0);
    EXPECT_EQ(r.base.objectType, 1);
    EXPECT_EQ(r.base.version, 7);
    EXPECT_EQ(r.base.created, 1000u);
    EXPECT_EQ(r.base.modified, 0xF0000000u); // past 2038: times are unsigned
    EXPECT_EQ(r.base.shared, 0);
    EXPECT_EQ(r.base.userFlag, 1);
    EXPECT_EQ(r.base.userValue, -1);
    EXPECT_EQ(r.creator, "bob@Sales@Demo");
    EXPECT_EQ(r.name, "Café");
    EXPECT_EQ(r.extraText, "x");
    EXPECT_EQ(r.longText, "Grüße 😀");
    EXPECT_EQ(r.description, "d");
}

TEST(MainRecordLayout, KeepsCreatedAndStoresNonZeroVersion) {
    DIRCommonInfo r = sampleRecord();
    r.base.created = 42;
    r.base.version = 5;
    AttrStream s = blank(52);
    ASSERT_EQ(encodeMainRecord(r, kNow, s), 0);
    EXPECT_EQ(s.bytes(), sampleBytes().u32(4, 5).u32(12, 42).b);
}

TEST(MainRecordLayout, ATextThatFillsItsSlotHasNoTerminatorAndSparesTheNextSlot) {
    DIRCommonInfo r;
    r.description = std::string();
    for (int i = 0; i < 320; ++i)
        r.description += "é";
    r.extraText = "x";
    r.name = std::string(48, 'a') + "😀"; // 50 code units: exactly 100 bytes
    AttrStream s = blank(52);
    ASSERT_EQ(encodeMainRecord(r, kNow, s), 0);
    Golden g(1190);
    g.u32(4, 1).u32(12, kNow).u32(16, kNow).u32(32, 50).u32(36, 320).u32(40, 1);
    g.text(248, std::u16string(48, u'a') + u"\xD83D\xDE00");
    g.text(348, std::u16string(320, u'é')).text(988, u"x");
    EXPECT_EQ(s.bytes(), g.b);
    DIRCommonInfo back;
    ASSERT_EQ(decodeMainRecord(s, back), 0);
    EXPECT_EQ(back.description, r.description);
    EXPECT_EQ(back.extraText, "x");
    EXPECT_EQ(back.name, r.name);
}

TEST(MainRecordLayout, LimitsCountUtf16BytesAndBadUtf8IsRefused) {
    DIRCommonInfo r;
    r.name = std::string(49, 'a') + "😀"; // 51 code units
    AttrStream s = blank(52);
    EXPECT_EQ(encodeMainRecord(r, kNow, s), DIR_STRING_TOO_LONG);
    r.name = std::string(50, 'a');
    r.description = std::string(321, 'd');
    EXPECT_EQ(encodeMainRecord(r, kNow, s), DIR_STRING_TOO_LONG);
    r.description = "bad \xC3\x28 text";
    EXPECT_EQ(encodeMainRecord(r, kNow, s), DIR_UNICODE_CONVERSION);
    r.description = "\xED\xA0\x80"; // an encoded surrogate
    EXPECT_EQ(encodeMainRecord(r, kNow, s), DIR_UNICODE_CONVERSION);
    r.description = "\xC0\xAF"; // overlong
    EXPECT_EQ(encodeMainRecord(r, kNow, s), DIR_UNICODE_CONVERSION);
}

TEST(MainRecordLayout, RewrittenInPlaceItNeverShrinks) {
    DIRCommonInfo r = sampleRecord();
    r.longText = std::string(300, 'L');
    AttrStream s = blank(52);
    ASSERT_EQ(encodeMainRecord(r, kNow, s), 0);
    size_t before = s.size();
    r.longText.clear();
    ASSERT_EQ(encodeMainRecord(r, kNow, s), 0);
    EXPECT_EQ(s.size(), before);
    DIRCommonInfo back;
    ASSERT_EQ(decodeMainRecord(s, back), 0);
    EXPECT_EQ(back.longText, "");
}

TEST(ListLayouts, AccessRightsPackTheirNamesAndEndWithOneZero) {
    std::vector<DIRAccessRight> list{{3, "bob@Sales@Demo"}, {1, "Team@Sales@Demo"}};
    Golden g(80);
    g.u32(0, 2).u32(4, 3).u32(8, 14).text(12, u"bob@Sales@Demo");
    g.u32(40, 1).u32(44, 15).text(48, u"Team@Sales@Demo");
    AttrStream s = blank(53);
    ASSERT_EQ(encodeAccessRights(list, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    std::vector<DIRAccessRight> back;
    ASSERT_EQ(decodeAccessRights(g.stream(53), back), 0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].rights, 1);
    EXPECT_EQ(back[1].name, "Team@Sales@Demo");
}

TEST(ListLayouts, ParentsRebuildTheirAddressesByNameOnly) {
    std::vector<DIRParentInfo> list(1);
    list[0].flags = 7;
    list[0].address = DIRAddressPtr(new DIRNmDirectoryAddress("Sales@Demo", 52, 200201, 0x1234));
    Golden g(46);
    g.u32(0, 1).u32(4, 7).u32(8, 52).u32(12, 200201).u32(16, 0x1234).u32(20, 10);
    g.text(24, u"Sales@Demo");
    AttrStream s = blank(55);
    ASSERT_EQ(encodeParents(list, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    std::vector<DIRParentInfo> back;
    ASSERT_EQ(decodeParents(g.stream(55), back), 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].flags, 7);
    ASSERT_NE(back[0].address.nm(), nullptr);
    EXPECT_EQ(back[0].address->uniqueKey, "Sales@Demo<52:200201:1234>");
    EXPECT_EQ(back[0].address.nm()->nmClass, DIR_NMCLASS_GROUP); // two parts: a group
}

TEST(ListLayouts, ReferencesKeepTheirValueOnlyInActionLists) {
    std::vector<DIRRefInfo> list(1);
    list[0].address = nmAddress("bob@Sales@Demo", 250201, 0x5F000001);
    list[0].objectType = DIR_TYPE_DOCUMENT;
    list[0].refValue = 99;
    list[0].shared = 1;
    list[0].name = "Ré";
    list[0].time = 0x5F000001;
    Golden g(74);
    g.u32(0, 1).u32(4, 2).u32(8, 0).u32(12, 1).u32(16, 52).u32(20, 250201);
    g.u32(24, 14).u32(28, 2).u32(32, 0x5F000001).u32(36, 0);
    g.text(40, u"bob@Sales@Demo").text(68, u"Ré");

    AttrStream contents = blank(57);
    ASSERT_EQ(encodeReferences(list, contents), 0);
    EXPECT_EQ(contents.bytes(), g.b);
    AttrStream actions = blank(54);
    ASSERT_EQ(encodeReferences(list, actions), 0);
    EXPECT_EQ(actions.bytes(), Golden(g).u32(8, 99).b);

    std::vector<DIRRefInfo> back;
    ASSERT_EQ(decodeReferences(Golden(g).u32(8, 99).stream(57), back), 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].refValue, 0); // not kept in folder contents
    EXPECT_EQ(back[0].objectType, DIR_TYPE_DOCUMENT);
    EXPECT_EQ(back[0].shared, 1);
    EXPECT_EQ(back[0].name, "Ré");
    EXPECT_EQ(back[0].time, 0x5F000001u);
    EXPECT_EQ(back[0].address->uniqueKey, "bob@Sales@Demo<52:250201:5f000001>");
    EXPECT_EQ(back[0].address.nm()->nmClass, DIR_NMCLASS_USER);
    ASSERT_EQ(decodeReferences(Golden(g).u32(8, 99).stream(54), back), 0);
    EXPECT_EQ(back[0].refValue, 99);
}

TEST(ListLayouts, EntriesWithoutANamewrightAddressStopTheWrite) {
    std::vector<DIRRefInfo> refs(1);
    refs[0].address = DIRAddressPtr(new DIRDirectoryAddress());
    AttrStream s = blank(57);
    EXPECT_EQ(encodeReferences(refs, s), DIR_NAME_UNRESOLVED);
    std::vector<DIRParentInfo> parents(1);
    EXPECT_EQ(encodeParents(parents, s), DIR_NAME_UNRESOLVED);
}

TEST(ListLayouts, SubscribersReadBackWithStateThree) {
    std::vector<DIRSubscriber> list{{1, "Team@Sales@Demo"}};
    Golden g(44);
    g.u32(0, 1).u32(8, 15).text(12, u"Team@Sales@Demo");
    AttrStream s = blank(56);
    ASSERT_EQ(encodeSubscribers(list, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    std::vector<DIRSubscriber> back;
    ASSERT_EQ(decodeSubscribers(Golden(g).u32(4, 9).stream(56), back), 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].state, 3);
    EXPECT_EQ(back[0].name, "Team@Sales@Demo");
}

TEST(ListLayouts, EmptyListsAreACountOfZeroAndNonPositiveCountsReadEmpty) {
    AttrStream s = blank(53);
    ASSERT_EQ(encodeAccessRights({}, s), 0);
    EXPECT_EQ(s.bytes(), Golden(4).b);
    std::vector<DIRAccessRight> back{{1, "stale"}};
    ASSERT_EQ(decodeAccessRights(Golden(4).stream(53), back), 0);
    EXPECT_TRUE(back.empty());
    back = {{1, "stale"}};
    ASSERT_EQ(decodeAccessRights(Golden(16).u32(0, 0xFFFFFFFBu).stream(53), back), 0);
    EXPECT_TRUE(back.empty());
}

TEST(TypeDataLayouts, WebItemUrl) {
    DIRWebItem w;
    w.base.objectType = DIR_TYPE_WEB;
    w.url = "http://x";
    Golden g(1228);
    g.u32(8, 8).text(1210, u"http://x");
    AttrStream s = blank(56);
    ASSERT_EQ(encodeTypeData(w, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    DIRWebItem back;
    back.base.objectType = DIR_TYPE_WEB;
    ASSERT_EQ(decodeTypeData(g.stream(56), back), 0);
    EXPECT_EQ(back.url, "http://x");
}

TEST(TypeDataLayouts, DocumentTextsAndTheShortThirdSlot) {
    DIRDocItem d;
    d.base.objectType = DIR_TYPE_DOCUMENT;
    d.documentText1 = "a";
    d.documentText2 = "bb";
    d.documentText3 = std::string(97, 'c'); // 194 bytes: fills its slot
    Golden g(2216);
    g.u32(0, 97).u32(4, 1).u32(12, 2);
    g.text(16, std::u16string(97, u'c')).text(210, u"a").text(2210, u"bb");
    AttrStream s = blank(56);
    ASSERT_EQ(encodeTypeData(d, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    DIRDocItem back;
    back.base.objectType = DIR_TYPE_DOCUMENT;
    ASSERT_EQ(decodeTypeData(g.stream(56), back), 0);
    EXPECT_EQ(back.documentText1, "a");
    EXPECT_EQ(back.documentText2, "bb");
    EXPECT_EQ(back.documentText3, d.documentText3);
    d.documentText3 += "c";
    EXPECT_EQ(encodeTypeData(d, s), DIR_STRING_TOO_LONG);
}

TEST(TypeDataLayouts, ActionData) {
    DIRAction a;
    a.base.objectType = DIR_TYPE_ACTION;
    a.capabilities = 0x1A;
    a.reserved = 5; // stored as 0/1
    a.initial = 1;
    a.showMode = 3;
    a.iconIndex = 7;
    a.commandLine = "run";
    a.startDirectory = "/tmp";
    Golden g(2042);
    g.u32(0, 0x1A).u32(4, 1).u32(8, 1).u32(12, 3).u32(16, 7).u32(20, 3).u32(24, 4);
    g.text(32, u"run").text(2032, u"/tmp");
    AttrStream s = blank(56);
    ASSERT_EQ(encodeTypeData(a, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    DIRAction back;
    back.base.objectType = DIR_TYPE_ACTION;
    ASSERT_EQ(decodeTypeData(g.stream(56), back), 0);
    EXPECT_EQ(back.capabilities, 0x1A);
    EXPECT_EQ(back.reserved, 1);
    EXPECT_EQ(back.showMode, 3);
    EXPECT_EQ(back.iconIndex, 7);
    EXPECT_EQ(back.commandLine, "run");
    EXPECT_EQ(back.startDirectory, "/tmp");
}

TEST(TypeDataLayouts, GenericItemsAndMismatchedRecordsAreNotStored) {
    DIRGenericItem item;
    item.base.objectType = DIR_TYPE_GENERIC;
    AttrStream s = blank(56);
    EXPECT_EQ(encodeTypeData(item, s), DIR_NOT_IMPLEMENTED);
    DIRCommonInfo plain;
    plain.base.objectType = DIR_TYPE_WEB; // the type says web, the record is not one
    EXPECT_EQ(encodeTypeData(plain, s), DIR_NOT_IMPLEMENTED);
    EXPECT_EQ(s.size(), 0u);
}

TEST(FixedLayouts, BusinessCardSlotsAndLogo) {
    DIRUserBusinessCard card;
    card.cardText1 = "Bob";
    card.cardText11 = std::string(16, 'S'); // 32 bytes: fills its slot
    card.cardText13 = "12345";
    card.logo = {1, 2, 3};
    Golden g(2771);
    g.u32(0, 3).u32(40, 16).u32(48, 5).u32(52, 3);
    g.text(56, u"Bob").text(1996, std::u16string(16, u'S')).text(2128, u"12345");
    g.raw(2768, {1, 2, 3});
    AttrStream s = blank(34, 200004);
    ASSERT_EQ(encodeBusinessCard(card, s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    DIRUserBusinessCard back;
    ASSERT_EQ(decodeBusinessCard(g.stream(34, 200004), back), 0);
    EXPECT_EQ(back.cardText1, "Bob");
    EXPECT_EQ(back.cardText11, card.cardText11);
    EXPECT_EQ(back.cardText12, "");
    EXPECT_EQ(back.cardText13, "12345");
    EXPECT_EQ(back.logo, card.logo);
}

TEST(FixedLayouts, Preferences) {
    Golden g(1018);
    g.u32(0, 5).u32(8, 3).text(16, u"abc");
    AttrStream s = blank(34, 250005);
    ASSERT_EQ(encodePreferences(5, "abc", "", s), 0);
    EXPECT_EQ(s.bytes(), g.b);
    long value = 0;
    std::string t1, t2;
    Golden stored(1022);
    stored.u32(0, 5).u32(8, 3).u32(12, 2).text(16, u"abc").text(1016, u"zz");
    ASSERT_EQ(decodePreferences(stored.stream(34, 250005), value, t1, t2), 0);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(t1, "abc");
    EXPECT_EQ(t2, "zz");
}

TEST(FixedLayouts, FreeSlotRecord) {
    AttrStream s = blank(52);
    encodeFreeSlot({128, 52, 250201, 0, 1}, s);
    EXPECT_EQ(s.bytes(), Golden(20).u32(0, 128).u32(4, 52).u32(8, 250201).u32(16, 1).b);
    layout::FreeSlotRecord r{};
    ASSERT_TRUE(decodeFreeSlot(Golden(20).u32(0, 128).u32(4, 52).u32(8, 7).stream(), r));
    EXPECT_EQ(r.number, 7u);
    EXPECT_FALSE(decodeFreeSlot(Golden(20).u32(0, 128).u32(4, 53).stream(), r));
    EXPECT_FALSE(decodeFreeSlot(Golden(19).u32(0, 128).u32(4, 52).stream(), r));
}
