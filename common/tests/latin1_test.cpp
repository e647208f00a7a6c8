// UTF-8 <-> Latin-1: every Latin-1 character round trips; anything beyond
// U+00FF, and every malformed UTF-8 sequence, is refused (or '?' when lossy).
#include <gtest/gtest.h>

#include "qrd/latin1.h"

namespace {

TEST(Latin1, EveryLatin1CharacterRoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(char(c));
    std::string utf8 = qrd::latin1ToUtf8(all), back;
    EXPECT_EQ(utf8.size(), 127u + 2 * 128u);
    EXPECT_TRUE(qrd::isUtf8(utf8));
    ASSERT_TRUE(qrd::utf8ToLatin1(utf8, back));
    EXPECT_EQ(back, all);
}

TEST(Latin1, CharactersBeyondLatin1AndMalformedUtf8AreRefused) {
    const std::string refused[] = {
        "\u0100",           // first character beyond Latin-1
        "\u20ac",           // euro sign
        "\U0001F600",       // outside the Basic Multilingual Plane
        "\xc3",             // truncated two-byte sequence
        "\xc1\xa9",         // overlong form of U+0069
        "\xe0\x80\xa9",     // overlong three-byte form
        "\xed\xa0\x80",     // a UTF-16 surrogate
        "\xf4\x90\x80\x80", // beyond U+10FFFF
        "\x80",             // a lone continuation byte
        "\xff",
    };
    for (const std::string& s : refused) {
        std::string out = "unchanged";
        EXPECT_FALSE(qrd::utf8ToLatin1(s, out)) << s;
    }
    EXPECT_FALSE(qrd::isUtf8("\xc3"));
    EXPECT_TRUE(qrd::isUtf8("\U0001F600"));
}

TEST(Latin1, LossyConversionReplacesOnlyWhatLatin1Lacks) {
    EXPECT_EQ(qrd::utf8ToLatin1Lossy("caf\u00e9 \u20ac5 \U0001F600!"), "caf\xe9 ?5 ?!");
    EXPECT_EQ(qrd::utf8ToLatin1Lossy("a\xffz"), "a?z");
    EXPECT_EQ(qrd::latin1ToUtf8("ab\0cd", 5), "ab");
    EXPECT_EQ(qrd::latin1ToUtf8("abcd", 2), "ab");
}

} // namespace
