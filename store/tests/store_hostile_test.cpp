// Hostile stored bytes: whatever an attribute holds, every decoder answers
// with a store error code and never reads past the stored bytes (the
// sanitizer builds check the second half).
#include <gtest/gtest.h>

#include <functional>

#include "golden.h"
#include "namedir.h"

using namespace namedir;

namespace {

using Decoder = std::function<long(const AttrStream&)>;

struct NamedDecoder {
    const char* name;
    uint32_t category;
    Decoder decode;
};

std::vector<NamedDecoder> decoders() {
    return {
        {"main", 52,
         [](const AttrStream& s) {
             DIRCommonInfo r;
             return decodeMainRecord(s, r);
         }},
        {"rights", 53,
         [](const AttrStream& s) {
             std::vector<DIRAccessRight> l;
             return decodeAccessRights(s, l);
         }},
        {"parents", 55,
         [](const AttrStream& s) {
             std::vector<DIRParentInfo> l;
             return decodeParents(s, l);
         }},
        {"references", 54,
         [](const AttrStream& s) {
             std::vector<DIRRefInfo> l;
             return decodeReferences(s, l);
         }},
        {"subscribers", 56,
         [](const AttrStream& s) {
             std::vector<DIRSubscriber> l;
             return decodeSubscribers(s, l);
         }},
        {"web", 56,
         [](const AttrStream& s) {
             DIRWebItem w;
             return decodeWebItem(s, w);
         }},
        {"document", 56,
         [](const AttrStream& s) {
             DIRDocItem d;
             return decodeDocItem(s, d);
         }},
        {"action", 56,
         [](const AttrStream& s) {
             DIRAction a;
             return decodeAction(s, a);
         }},
        {"card", 34,
         [](const AttrStream& s) {
             DIRUserBusinessCard c;
             return decodeBusinessCard(s, c);
         }},
        {"preferences", 34,
         [](const AttrStream& s) {
             long v;
             std::string a, b;
             return decodePreferences(s, v, a, b);
         }},
    };
}

// One well-formed attribute per decoder, written by the store itself.
std::vector<uint8_t> wellFormed(const NamedDecoder& d) {
    AttrStream s("bob@Sales@Demo", d.category, 250200);
    std::string n = d.name;
    DIRRefInfo ref;
    ref.address = DIRAddressPtr(new DIRNmDirectoryAddress("bob@Sales@Demo", 52, 250201, 9));
    ref.name = "Ré";
    ref.refText = "text";
    DIRParentInfo parent;
    parent.address = ref.address;
    DIRCommonInfo main;
    main.name = "name";
    main.longText = "long";
    DIRWebItem web;
    web.url = "u";
    DIRDocItem doc;
    doc.documentText2 = "two";
    DIRAction action;
    action.startDirectory = "dir";
    DIRUserBusinessCard card;
    card.logo = {1, 2, 3, 4};
    if (n == "main") encodeMainRecord(main, 1, s);
    if (n == "rights") encodeAccessRights({{1, "a@b@c"}, {3, "d@e"}}, s);
    if (n == "parents") encodeParents({parent, parent}, s);
    if (n == "references") encodeReferences({ref, ref}, s);
    if (n == "subscribers") encodeSubscribers({{3, "x@y"}}, s);
    if (n == "web") encodeWebItem(web, s);
    if (n == "document") encodeDocItem(doc, s);
    if (n == "action") encodeAction(action, s);
    if (n == "card") encodeBusinessCard(card, s);
    if (n == "preferences") encodePreferences(1, "a", "bc", s);
    return s.bytes();
}

long decodeBytes(const NamedDecoder& d, const std::vector<uint8_t>& bytes) {
    AttrStream s("bob@Sales@Demo", d.category, 250200);
    s.load(bytes);
    return d.decode(s);
}

} // namespace

TEST(HostileAttributes, EveryTruncationOfAWellFormedAttributeIsRefusedWith105) {
    for (const NamedDecoder& d : decoders()) {
        std::vector<uint8_t> bytes = wellFormed(d);
        ASSERT_EQ(decodeBytes(d, bytes), 0) << d.name;
        // Dropping the last text's terminator leaves every field whole.
        for (size_t n = 0; n + 2 < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            long e = decodeBytes(d, cut);
            EXPECT_EQ(e, DIR_ATTR_READ) << d.name << " cut at " << n;
        }
    }
}

TEST(HostileAttributes, LengthsPastTheEndOrBeyondTheirSlotAre105) {
    Golden main(1190);
    main.u32(0, 1).u32(32, 51); // name of 51 units overruns its 100-byte slot
    DIRCommonInfo r;
    EXPECT_EQ(decodeMainRecord(main.stream(), r), DIR_ATTR_READ);
    main.u32(32, 0).u32(44, 0x7FFFFFFF); // longText far past the end
    EXPECT_EQ(decodeMainRecord(main.stream(), r), DIR_ATTR_READ);
    main.u32(44, 0xFFFFFFFF); // a "negative" length
    EXPECT_EQ(decodeMainRecord(main.stream(), r), DIR_ATTR_READ);

    Golden card(2768);
    card.u32(52, 1); // a logo byte that is not there
    DIRUserBusinessCard c;
    EXPECT_EQ(decodeBusinessCard(card.stream(34, 200004), c), DIR_ATTR_READ);

    Golden refs(74);
    refs.u32(0, 1).u32(24, 14).u32(28, 2).u32(36, 1000); // refText runs past the end
    std::vector<DIRRefInfo> l;
    EXPECT_EQ(decodeReferences(refs.stream(57), l), DIR_ATTR_READ);
}

TEST(HostileAttributes, CountsLargerThanTheAttributeAre105) {
    std::vector<DIRAccessRight> rights;
    EXPECT_EQ(decodeAccessRights(Golden(14).u32(0, 0x7FFFFFFF).stream(53), rights), DIR_ATTR_READ);
    // Room for one entry's fixed part but a count of two.
    EXPECT_EQ(decodeAccessRights(Golden(14).u32(0, 2).stream(53), rights), DIR_ATTR_READ);
    std::vector<DIRRefInfo> refs;
    EXPECT_EQ(decodeReferences(Golden(40).u32(0, 2).stream(57), refs), DIR_ATTR_READ);
    EXPECT_EQ(decodeAccessRights(Golden(2).stream(53), rights), DIR_ATTR_READ);
}

TEST(HostileAttributes, TypesOutOfRangeAre129AndAFreeNumberIs117) {
    DIRCommonInfo r;
    EXPECT_EQ(decodeMainRecord(Golden(1190).u32(0, 129).stream(), r), DIR_INVALID_TYPE);
    EXPECT_EQ(decodeMainRecord(Golden(1190).u32(0, 0xFFFFFFFF).stream(), r), DIR_INVALID_TYPE);
    EXPECT_EQ(decodeMainRecord(Golden(20).u32(0, 128).u32(4, 52).stream(), r), DIR_ATTR_MISSING);
    std::vector<DIRRefInfo> refs;
    EXPECT_EQ(decodeReferences(Golden(40).u32(0, 1).u32(4, 256).stream(57), refs),
              DIR_INVALID_TYPE);
    EXPECT_EQ(decodeReferences(Golden(40).u32(0, 1).u32(4, 0x80000000u).stream(57), refs),
              DIR_INVALID_TYPE);
}

TEST(HostileAttributes, UnpairedSurrogatesAre102) {
    DIRWebItem w;
    Golden g(1214);
    g.u32(8, 1).text(1210, u"\xD800");
    EXPECT_EQ(decodeWebItem(g.stream(56), w), DIR_UNICODE_CONVERSION);
    g.u32(8, 2).text(1210, u"\xDC00\xD800");
    EXPECT_EQ(decodeWebItem(g.stream(56), w), DIR_UNICODE_CONVERSION);
}
