// The directory-assistance datagrams: what both sides write is read back
// unchanged, and replies or requests whose lengths and counts lie are
// refused whole.
#include <gtest/gtest.h>

#include "qrd/bytes.h"
#include "qrd/nmdawire.h"

namespace nw = qrd::nmdawire;

namespace {

nw::DataReply sampleReply(size_t entries) {
    nw::DataReply m;
    m.context.operation = nw::kNext;
    m.context.forward = 20;
    m.context.backward = 45;
    m.context.firstKey = "A@B@C";
    m.context.lastKey = "Z@B@C";
    for (size_t i = 0; i < entries; ++i)
        m.entries.push_back({"n" + std::to_string(i) + "@B@C", 0, 1, 3, "desc"});
    return m;
}

TEST(NmdaWire, RequestsAndRepliesTravelBothWays) {
    nw::DataRequest rq;
    rq.head.kind = nw::kDataQuery;
    rq.context.positionText = std::string(32, 'x');
    rq.query.pattern = "a*@*@*";
    rq.query.criteria.push_back({nw::kMatchPattern, 0, 1, nw::kValueText, "Bob*"});
    rq.limits.maxEntries = 7;
    std::vector<uint8_t> bytes;
    nw::encode(rq, bytes);
    EXPECT_EQ(nw::queryKind(bytes.data(), bytes.size()), nw::kDataQuery);
    std::optional<nw::DataRequest> back = nw::decodeDataRequest(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->context.positionText, rq.context.positionText);
    EXPECT_EQ(back->query.pattern, "a*@*@*");
    ASSERT_EQ(back->query.criteria.size(), 1u);
    EXPECT_EQ(back->query.criteria[0].text, "Bob*");
    EXPECT_FALSE(nw::decodeAttrRequest(bytes.data(), bytes.size())) << "the kind decides";

    bytes.clear();
    nw::encode(sampleReply(3), bytes);
    std::optional<nw::DataReply> reply = nw::decodeDataReply(bytes.data(), bytes.size());
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->entries.size(), 3u);
    EXPECT_EQ(reply->entries[2].name, "n2@B@C");
    EXPECT_EQ(reply->context.backward, 45);
}

TEST(NmdaWire, LyingCountsAndLengthsAreRefused) {
    std::vector<uint8_t> bytes;
    nw::encode(sampleReply(0), bytes);
    // The entry count ends a reply without entries: claim one entry more.
    const size_t countAt = bytes.size() - 2;
    bytes.clear();
    nw::encode(sampleReply(2), bytes);
    ASSERT_EQ(qrd::getBe16(&bytes[countAt]), 2);
    qrd::putBe16(&bytes[countAt], 3);
    EXPECT_FALSE(nw::decodeDataReply(bytes.data(), bytes.size())) << "count beyond the bytes";
    qrd::putBe16(&bytes[countAt], uint16_t(nw::kEntriesMax + 1));
    EXPECT_FALSE(nw::decodeDataReply(bytes.data(), bytes.size())) << "count beyond the record";
    qrd::putBe16(&bytes[countAt], 2);
    ASSERT_TRUE(nw::decodeDataReply(bytes.data(), bytes.size()));
    EXPECT_FALSE(nw::decodeDataReply(bytes.data(), bytes.size() - 1)) << "cut short";

    // A name longer than a name field.
    nw::DataReply big = sampleReply(1);
    big.entries[0].name = std::string(64, 'n');
    bytes.clear();
    nw::encode(big, bytes);
    EXPECT_FALSE(nw::decodeDataReply(bytes.data(), bytes.size()));

    // An attribute value longer than the record, or than the bytes sent.
    nw::AttrReply a;
    a.entries = 1;
    a.value.assign(nw::kValueMax + 2, 'v');
    bytes.clear();
    nw::encode(a, bytes);
    EXPECT_FALSE(nw::decodeAttrReply(bytes.data(), bytes.size()));
    a.value.assign(10, 'v');
    bytes.clear();
    nw::encode(a, bytes);
    EXPECT_TRUE(nw::decodeAttrReply(bytes.data(), bytes.size()));
    EXPECT_FALSE(nw::decodeAttrReply(bytes.data(), bytes.size() - 1));

    // A request with more criteria than a query holds.
    nw::DataRequest rq;
    rq.query.criteria.assign(nw::kCriteriaMax + 1, {});
    bytes.clear();
    nw::encode(rq, bytes);
    EXPECT_FALSE(nw::decodeDataRequest(bytes.data(), bytes.size()));
}

TEST(NmdaWire, TheLocateDatagramIsNinetyEightBytesOfFixedFields) {
    nw::Locate ask;
    ask.user = std::string(80, 'u'); // cut to its field
    ask.pattern = "NW1";
    std::array<uint8_t, nw::kLocateSize> d = nw::encodeLocate(ask);
    EXPECT_EQ(d[0], 12);
    EXPECT_EQ(d[1], 1);
    EXPECT_EQ(d[82], 'N');
    std::optional<nw::Locate> back = nw::decodeLocate(d.data(), d.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->user.size(), 63u);
    EXPECT_EQ(back->pattern, "NW1");
    EXPECT_FALSE(nw::decodeLocate(d.data(), d.size() - 1));
    d[1] = 9;
    EXPECT_FALSE(nw::decodeLocate(d.data(), d.size())) << "an unknown operation";
}

TEST(NmdaWire, WildcardsMatchWithoutRegardToCase) {
    EXPECT_TRUE(nw::wildcardMatch("", ""));
    EXPECT_TRUE(nw::wildcardMatch("*", "anything"));
    EXPECT_TRUE(nw::wildcardMatch("nw?", "NW1"));
    EXPECT_TRUE(nw::wildcardMatch("*@sales@*", "NW1@Sales@Demo"));
    EXPECT_FALSE(nw::wildcardMatch("nw?", "NW12"));
    EXPECT_FALSE(nw::wildcardMatch("*x", "NW1"));
    // Many stars over a long text stay quick.
    EXPECT_FALSE(nw::wildcardMatch(std::string(30, '*') + "b", std::string(4000, 'a')));
}

} // namespace
