// The description language and the writer: golden bytes in both orders, and
// descriptions that must be refused with the line at fault.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "avdformat.h"
#include "avdwriter.h"

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::string s = readText(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(AvdWriter, GoldenFilesAreWhatTheDescriptionWritesInEachOrder) {
    avd::Definition def;
    std::vector<std::string> problems;
    ASSERT_TRUE(avd::parseDescription(readText(QRD_AVD_GOLDEN_DIR "/sample.txt"), def, problems));
    EXPECT_EQ(avd::writeDefinition(def, avd::ByteOrder::little()),
              readBytes(QRD_AVD_GOLDEN_DIR "/sample-le.avd"));
    EXPECT_EQ(avd::writeDefinition(def, avd::ByteOrder::big()),
              readBytes(QRD_AVD_GOLDEN_DIR "/sample-be.avd"));
}

TEST(AvdWriter, LittleAndBigEndianFilesStoreTheMarkInOppositeOrder) {
    avd::Definition def;
    auto le = avd::writeDefinition(def, avd::ByteOrder::little());
    auto be = avd::writeDefinition(def, avd::ByteOrder::big());
    EXPECT_EQ(std::vector<uint8_t>(le.begin(), le.begin() + 4),
              (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(std::vector<uint8_t>(be.begin(), be.begin() + 4),
              (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
}

TEST(AvdWriter, DescriptionFaultsNameTheirLines) {
    struct Case {
        const char* text;
        const char* problem;
    } cases[] = {
        {"value 1 \"x\"\n", "1: comes before any group or attr"},
        {"group 1\n", "1: 'group' takes 3 argument(s), found 1"},
        {"\n\ngroup 1 x \"n\"\n", "3: 'x' is not a number"},
        {"group 1 4294967296 \"n\"\n", "1: '4294967296' is not a number"},
        {"group 1 -1 \"n\"\n", "1: '-1' is not a number"},
        {"attr 1 0 5 \"n\"\n", "1: an attribute's item key must not be 0"},
        {"group 1 2 \"open\n", "1: a name misses its closing double quote"},
        {"group 1 2 \"\xE2\x82\xAC\"\n", "cannot be written in Latin-1"},
        {"frobnicate 1\n", "1: unknown statement 'frobnicate'"},
        {"item 1 2 \"x\"\n", "1: comes before any table"},
        {"group 1 2 name\n", "expected a name in double quotes"},
    };
    for (const Case& c : cases) {
        avd::Definition def;
        std::vector<std::string> problems;
        EXPECT_FALSE(avd::parseDescription(c.text, def, problems)) << c.text;
        ASSERT_EQ(problems.size(), 1u) << c.text;
        EXPECT_NE(problems[0].find(c.problem), std::string::npos) << problems[0];
    }
}

TEST(AvdWriter, NamesAreStoredInLatin1AndOverlongNamesAreRefused) {
    avd::Definition def;
    std::vector<std::string> problems;
    ASSERT_TRUE(
        avd::parseDescription("group 1 2 \"Caf\xC3\xA9 \\\"x\\\"\" # note\n", def, problems));
    ASSERT_EQ(def.entries.size(), 1u);
    EXPECT_EQ(def.entries[0].name, "Caf\xE9 \"x\"");

    std::string longName(avd::kMaxNameLen + 1, 'n');
    EXPECT_FALSE(avd::parseDescription("group 1 2 \"" + longName + "\"\n", def, problems));
    EXPECT_FALSE(avd::parseDescription("updated-by " + std::string(64, 'u') + "\n", def, problems));
}

} // namespace
