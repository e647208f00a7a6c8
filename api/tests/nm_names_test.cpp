#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qrdapi.h"
#include "testenv.h"

namespace {

TEST(NmBreakName, SplitsIntoPartsAndReportsSlotShortage) {
    char buffer[64];
    char* parts[3] = {};
    uint16_t len = sizeof buffer, count = 3;
    EXPECT_EQ(QrdBreakNmName("joe@sales@acme", buffer, &len, parts, &count), QRD_OK);
    EXPECT_EQ(len, 15);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(parts[0], "joe");
    EXPECT_STREQ(parts[1], "sales");
    EXPECT_STREQ(parts[2], "acme");

    // Two slots: the second '@' is already cut when the slots run out.
    len = sizeof buffer;
    count = 2;
    EXPECT_EQ(QrdBreakNmName("joe@sales@acme", buffer, &len, parts, &count), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(parts[1], "sales");

    // A one-part name fills one slot.
    len = sizeof buffer;
    count = 3;
    EXPECT_EQ(QrdBreakNmName("acme", buffer, &len, parts, &count), QRD_OK);
    EXPECT_EQ(count, 1);
}

TEST(NmBreakName, RefusesABufferWithoutRoomForTheTerminator) {
    char buffer[64];
    char* parts[3];
    uint16_t count = 3;
    uint16_t len = 5; // strlen("a@b@c")
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(QrdBreakNmName("a@b@c", buffer, &len, parts, &count), QRDERR_NM_BUFFER_SMALL);
    EXPECT_EQ(len, 6);
    EXPECT_EQ(buffer[0], 'z') << "nothing is copied into a buffer that is too small";
}

TEST(NmValidateName, CharactersWildcardsAndLength) {
    EXPECT_EQ(QrdValidateNmName(0, "Joe Smith@Sales-1@Acme (UK)", QRD_NO_WILDCARDS), QRD_OK);
    EXPECT_EQ(QrdValidateNmName(0, "jo*@sales@acme", QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0, "jo*@sales@acme", QRD_WILDCARDS_OK), QRD_OK);
    EXPECT_EQ(QrdValidateNmName(0, "a@b@c@d", QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0, "a:b", QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0, "", QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0, nullptr, QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0, std::string(63, 'a').c_str(), QRD_NO_WILDCARDS), QRD_OK);
    EXPECT_EQ(QrdValidateNmName(0, std::string(64, 'a').c_str(), QRD_NO_WILDCARDS),
              QRDERR_NM_BAD_NAME);
}

TEST(NmValidateName, Latin1LettersOnlyWhenInternational) {
    const char accented[] = "Ren\xE9@Sales@Acme";
    EXPECT_EQ(QrdValidateNmName(0, accented, QRD_NO_WILDCARDS), QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(1, accented, QRD_NO_WILDCARDS), QRD_OK);
    // Division and multiplication signs are no letters.
    EXPECT_EQ(QrdValidateNmName(1,
                                "a\xF7"
                                "b",
                                QRD_NO_WILDCARDS),
              QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(0,
                                "a\xF7"
                                "b",
                                QRD_NO_WILDCARDS),
              QRDERR_NM_BAD_NAME);
    EXPECT_EQ(QrdValidateNmName(1,
                                "a\xD7"
                                "b",
                                QRD_NO_WILDCARDS),
              QRDERR_NM_BAD_NAME);
    // Non-letters of the upper half stay invalid.
    EXPECT_EQ(QrdValidateNmName(1,
                                "a\xA9"
                                "b",
                                QRD_NO_WILDCARDS),
              QRDERR_NM_BAD_NAME);
}

TEST(NmHashName, MixesLowNibblesWithRotatingShifts) {
    EXPECT_EQ(QrdHashNmName(""), 0);
    EXPECT_EQ(QrdHashNmName("A"), 1);
    EXPECT_EQ(QrdHashNmName("AB"), 1 + (2 << 7));
    // Shifts run 0, 7, 3, 10, 6, 2, 9: the fourth character lands at bit 10
    // and a high nibble is carried out of 16 bits.
    EXPECT_EQ(QrdHashNmName("AAAO"), uint16_t(1 + (1 << 7) + (1 << 3) + (15 << 10)));
    EXPECT_EQ(
        QrdHashNmName("\xFF\xFF\xFF\xFF\xFF\xFF\xFF"),
        uint16_t((15 + (15 << 7) + (15 << 3) + (15 << 10) + (15 << 6) + (15 << 2) + (15u << 9)) &
                 0xFFFF));
}

TEST(NmVersionText, ReleasesAndBetas) {
    char text[QRD_VERSION_TEXT_LEN];
    EXPECT_EQ(QrdConvRevToAscii(55078, text), QRD_OK);
    EXPECT_STREQ(text, "5.50 (28)");
    QrdConvRevToAscii(55028, text);
    EXPECT_STREQ(text, "5.50 (Beta-28)");
    QrdConvRevToAscii(70105, text);
    EXPECT_STREQ(text, "7.01 (Beta-5)");

    // The default client is of the newer generation.
    EXPECT_EQ(QrdGetClientVersionNumber(), 71278u);
    EXPECT_EQ(QrdGetClientVersionString(text), QRD_OK);
    EXPECT_STREQ(text, "7.12(28)");
}

TEST(NmVersionText, ConfiguredClientVersion) {
    qrdtest::appendQordaIni("[Client]\nVersion=55028\n");
    EXPECT_EQ(QrdGetClientVersionNumber(), 55028u);
    char text[QRD_VERSION_TEXT_LEN];
    QrdGetClientVersionString(text);
    EXPECT_STREQ(text, "5.50 (Beta-28)");
}

} // namespace
