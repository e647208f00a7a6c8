// The character-set converters, their dispatch per session code and the
// conversion of multi-string attribute values.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "charset/charset.h"
#include "qrdapi.h"

namespace {

using Conv = void (*)(char*);

std::string conv(Conv f, std::string s) {
    f(s.data());
    return s;
}

// One byte through a converter.
unsigned char one(Conv f, unsigned char b) {
    char s[2] = {char(b), 0};
    f(s);
    return static_cast<unsigned char>(s[0]);
}

const Conv kAll[] = {QrdConvLatin1ToAscii, QrdConvLatin1ToUpAscii, QrdConvLatin1ToPcm,
                     QrdConvPcmToLatin1, QrdConvPcmToAscii};

TEST(Charset, LowerHalfAndTerminatorAreLeftAlone) {
    std::string low;
    for (int b = 1; b < 0x80; ++b)
        low += char(b);
    for (Conv f : kAll) {
        if (f != QrdConvLatin1ToUpAscii) {
            EXPECT_EQ(conv(f, low), low);
        }
        // Nothing after the terminator is touched; a null text is harmless.
        char buf[4] = {'\xE9', 0, '\xE9', 0};
        f(buf);
        EXPECT_EQ(static_cast<unsigned char>(buf[2]), 0xE9);
        f(nullptr);
    }
}

TEST(Charset, Latin1ToAsciiDropsAccentsAndMarksTheRest) {
    for (int b = 0x80; b <= 0xBF; ++b)
        EXPECT_EQ(one(QrdConvLatin1ToAscii, b), 0x01) << b;
    // Latin-1 0xC0-0xFF in their ASCII form, as the letters read.
    const std::string upper = std::string("AAAAAAACEEEEIIIIDNOOOOO") + '\x01' +
                              "OUUUUYPsaaaaaaaceeeeiiiidnooooo" + '\x01' + "ouuuuypy";
    ASSERT_EQ(upper.size(), 64u);
    for (int b = 0xC0; b <= 0xFF; ++b)
        EXPECT_EQ(one(QrdConvLatin1ToAscii, b), static_cast<unsigned char>(upper[b - 0xC0])) << b;

    EXPECT_EQ(conv(QrdConvLatin1ToAscii, "\xC9\xDF\xD7\xF7\xA9\x41"), "Es\x01\x01\x01\x41");
    EXPECT_EQ(conv(QrdConvLatin1ToUpAscii, "\xE9t\xE9"), "ETE");
    // Upper-casing applies to ASCII letters only, not to the 0x01 marks.
    EXPECT_EQ(conv(QrdConvLatin1ToUpAscii, "\xDF\xF7z{"), "S\x01Z{");
}

TEST(Charset, PcmTableIsOneToOneAndRoundTrips) {
    bool seen[256] = {};
    for (int b = 0x80; b <= 0xFF; ++b) {
        unsigned char p = one(QrdConvLatin1ToPcm, b);
        ASSERT_GE(p, 0x80) << b;
        EXPECT_FALSE(seen[p]) << "two Latin-1 bytes map to " << int(p);
        seen[p] = true;
        EXPECT_EQ(one(QrdConvPcmToLatin1, p), b);
        EXPECT_EQ(one(QrdConvLatin1ToPcm, one(QrdConvPcmToLatin1, b)), b);
    }
    // The inverse table's first row.
    const unsigned char row[8] = {0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(one(QrdConvPcmToLatin1, 0x80 + i), row[i]);

    std::string all;
    for (int b = 1; b <= 0xFF; ++b)
        all += char(b);
    std::string pcm = conv(QrdConvLatin1ToPcm, all);
    EXPECT_NE(pcm, all);
    EXPECT_EQ(conv(QrdConvPcmToLatin1, pcm), all);
}

TEST(Charset, PcmToAsciiAgreesWithTheLatin1Forms) {
    EXPECT_EQ(one(QrdConvPcmToAscii, 0x81), 'u');
    EXPECT_EQ(one(QrdConvPcmToAscii, 0xE1), 's');
    EXPECT_EQ(one(QrdConvPcmToAscii, 0x9C), 0x01);
    EXPECT_EQ(one(QrdConvPcmToAscii, 0xA5), 'N');
    for (int b = 0xA6; b <= 0xFF; ++b) {
        if (b == 0xE1) continue;
        EXPECT_EQ(one(QrdConvPcmToAscii, b), 0x01) << b;
    }
    // A PC character with an ASCII form is the same letter as its Latin-1
    // counterpart reduced to ASCII: this ties the three tables together.
    // The one exception is the pair 0x9B/0x9D, which the PC table calls o and
    // O while the Latin-1 tables pair 0x9B with O-stroke and 0x9D with
    // o-stroke: the letter agrees, its case does not.
    EXPECT_EQ(one(QrdConvPcmToAscii, 0x9B), 'o');
    EXPECT_EQ(one(QrdConvPcmToAscii, 0x9D), 'O');
    int letters = 0;
    for (int b = 0x80; b <= 0xFF; ++b) {
        unsigned char ascii = one(QrdConvPcmToAscii, b);
        if (ascii == 0x01) continue;
        ++letters;
        unsigned char viaLatin1 = one(QrdConvLatin1ToAscii, one(QrdConvPcmToLatin1, b));
        if (b == 0x9B || b == 0x9D)
            EXPECT_EQ(std::tolower(ascii), std::tolower(viaLatin1)) << b;
        else
            EXPECT_EQ(ascii, viaLatin1) << b;
    }
    EXPECT_EQ(letters, 0xA6 - 0x80 - 3 + 1);
}

TEST(Charset, DispatchPicksTheConverterPerSessionCode) {
    using qrd::ConvSet;
    // 0xE9 (e acute in Latin-1) and 0x82 (the same letter in the PC code page).
    struct Row {
        ConvSet set;
        unsigned char in;
        unsigned char out[6]; // per session code 0-5
    };
    const Row rows[] = {
        {ConvSet::ToAscii, 0xE9, {0xE9, 'e', 'e', 0x01, 0xE9, 0xE9}},
        {ConvSet::ToLatin1, 0x82, {0x82, 0x82, 0x82, 0xE9, 0x82, 0x82}},
        {ConvSet::ToPcm, 0xE9, {0xE9, 0x82, 0x82, 0xE9, 0xE9, 0xE9}},
        {ConvSet::FromLatin1, 0xE9, {'e', 0xE9, 0xE9, 0x82, 0xE9, 0xE9}},
        {ConvSet::FromPcm, 0x82, {'e', 0xE9, 0xE9, 0x82, 0x82, 0x82}},
    };
    for (const Row& r : rows) {
        for (uint16_t code = 0; code < 6; ++code) {
            char s[2] = {char(r.in), 0};
            qrd::convertText(r.set, code, s);
            EXPECT_EQ(static_cast<unsigned char>(s[0]), r.out[code])
                << "set " << int(r.set) << " code " << code;
        }
        char s[2] = {char(r.in), 0};
        qrd::convertText(r.set, 99, s); // unknown codes convert nothing
        EXPECT_EQ(static_cast<unsigned char>(s[0]), r.in);
        qrd::convertText(r.set, 1, nullptr);
    }
}

TEST(CharsetValue, EveryStringAndAnUnterminatedLastByteAreConverted) {
    // Three strings, the last without terminator, then bytes that are not
    // part of the value.
    unsigned char buf[] = {0xE9, 't', 0xE9, 0, 0xC0, 0, 0xE9, 0xE9, 0xFF, 0xFF};
    qrd::convertValue(QRD_CHARSET_ASCII, buf, 8, qrd::kValueFromLatin1);
    const unsigned char want[] = {'e', 't', 'e', 0, 'A', 0, 'e', 'e', 0xFF, 0xFF};
    EXPECT_EQ(0, std::memcmp(buf, want, sizeof want));

    // A value that is one string filling the whole buffer.
    unsigned char whole[] = {0xE9, 0xE9, 0xE9};
    qrd::convertValue(QRD_CHARSET_LATIN1, whole, 3, qrd::kValueToPcm);
    for (unsigned char b : whole)
        EXPECT_EQ(b, 0x82);
    qrd::convertValue(QRD_CHARSET_LATIN1, whole, 3, qrd::kValueFromPcm);
    for (unsigned char b : whole)
        EXPECT_EQ(b, 0xE9);

    // A single byte is both the first string and the last byte.
    unsigned char single[] = {0x82, 0x82};
    qrd::convertValue(QRD_CHARSET_PCM, single, 1, qrd::kValueToLatin1);
    EXPECT_EQ(single[0], 0xE9);
    EXPECT_EQ(single[1], 0x82);
}

TEST(CharsetValue, NothingHappensWithoutAConversion) {
    const unsigned char orig[] = {0xE9, 0, 0x82, 0xE9};
    unsigned char buf[sizeof orig];
    auto unchanged = [&](uint16_t code, int32_t len, int direction) {
        std::memcpy(buf, orig, sizeof orig);
        qrd::convertValue(code, buf, len, direction);
        return std::memcmp(buf, orig, sizeof orig) == 0;
    };
    for (int direction = 1; direction <= 4; ++direction) {
        EXPECT_TRUE(unchanged(4, 4, direction)) << direction;
        EXPECT_TRUE(unchanged(5, 4, direction)) << direction;
        EXPECT_TRUE(unchanged(QRD_CHARSET_ASCII, 0, direction));
        EXPECT_TRUE(unchanged(QRD_CHARSET_ASCII, -5, direction));
    }
    EXPECT_TRUE(unchanged(QRD_CHARSET_ASCII, 4, 0));
    EXPECT_TRUE(unchanged(QRD_CHARSET_ASCII, 4, 5));
    EXPECT_FALSE(unchanged(QRD_CHARSET_ASCII, 4, qrd::kValueFromLatin1));
    qrd::convertValue(QRD_CHARSET_ASCII, nullptr, 4, qrd::kValueFromLatin1);
}

} // namespace
