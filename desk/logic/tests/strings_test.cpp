// The texts shown for error codes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <namedir/errors.h>

#include "core/strings.h"

TEST(ErrorText, StoreCodesShowTheirStringAndSystemCodesTheHostText) {
    EXPECT_EQ(USRErrorText(DIR_OBJECT_MISSING), "Object does not exist.");
    EXPECT_EQ(USRString(3536), "Object does not exist.");
    EXPECT_EQ(USRErrorText(DIR_PLEASE_LOGIN), "Please Login before using.");
    std::string host = USRErrorText(ENOENT);
    EXPECT_EQ(host.rfind(USRString(5013), 0), 0u) << host;
    EXPECT_NE(host.find(std::strerror(ENOENT)), std::string::npos) << host;
    EXPECT_EQ(USRErrorText(777), "System  Error   : 777");
    EXPECT_EQ(USRErrorText(DIR_OBJECT_MISSING, false, "Sales"), "Object does not exist.\nSales");
}

TEST(ErrorText, FormattedStringsTakeTheirArgumentsInOrder) {
    EXPECT_EQ(USRFormat(5020, {"Plans"}),
              "An error occured attempting to delete Plans. \nDo you want to attempt to delete "
              "the remaining items?");
    EXPECT_EQ(USRString(99999), "");
}
