// Names: the wire character set, matching keys and the syntax of parts.
#include <gtest/gtest.h>

#include "directory.h"
#include "names.h"

using namespace nwd;

namespace {

TEST(Names, Latin1AndUtf8ConvertBothWaysAndRefuseWhatLatin1Lacks) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(char(c));
    std::string back;
    ASSERT_TRUE(utf8ToLatin1(latin1ToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_FALSE(utf8ToLatin1("\xE2\x82\xAC", back)) << "the euro sign is not Latin-1";
    EXPECT_FALSE(utf8ToLatin1("\xC3", back)) << "a cut sequence";
    EXPECT_FALSE(utf8ToLatin1("\xC3\x41", back)) << "a bad continuation byte";
    EXPECT_FALSE(utf8ToLatin1("\xC0\x80", back)) << "an overlong NUL";
}

TEST(Names, KeysFoldCaseWithinLatin1Only) {
    EXPECT_EQ(upperLatin1("abc\xE9\xFE"), "ABC\xC9\xDE");
    // No capital in Latin-1 for these; the division sign is no letter.
    EXPECT_EQ(upperLatin1("\xDF\xFF\xF7"), "\xDF\xFF\xF7");
    EXPECT_EQ(nameKey("Jos\xE9"), nameKey("JOS\xC9"));
    EXPECT_NE(nameKey("a"), nameKey("b"));
}

TEST(Names, SplitAcceptsOneToThreeValidParts) {
    std::vector<std::string> p;
    ASSERT_TRUE(splitName("bob@Sales@Demo", p));
    EXPECT_EQ(p, (std::vector<std::string>{"bob", "Sales", "Demo"}));
    EXPECT_TRUE(splitName("Demo", p));
    EXPECT_TRUE(splitName("a b!#%()+,-.;^_{|}~'@G@O", p));
    EXPECT_TRUE(splitName("\xC0\xFF@G@O", p));
    EXPECT_TRUE(splitName(std::string(59, 'a') + "@G@O", p)) << "63 bytes";
    EXPECT_FALSE(splitName(std::string(60, 'a') + "@G@O", p)) << "64 bytes";
    for (const char* bad : {"", "@G@O", "a@@O", "a@G@", "a@b@c@d", "a*@G@O", "a\xD7@G@O", "a\xF7",
                            "a/b", "a\tb", "a\"b"})
        EXPECT_FALSE(splitName(bad, p)) << bad;
}

TEST(Names, ServerIdsAreStableCaseBlindAndNeverZero) {
    EXPECT_EQ(serverIdOf("NW1@Sales@Demo"), serverIdOf("nw1@SALES@demo"));
    EXPECT_NE(serverIdOf("NW1@Sales@Demo"), serverIdOf("NW2@Sales@Demo"));
    EXPECT_NE(serverIdOf(""), 0u);
}

} // namespace
