// Addresses, their unique keys, and records that own addresses; the error
// table. No directory is involved: name-only checks split names locally.
#include <gtest/gtest.h>

#include "namedir.h"

namespace {

// An attribute store that must not be reached.
class NoStore : public namedir::AttrStore {
  public:
    QRDSTATUS read(const std::string&, uint32_t, uint32_t, std::vector<uint8_t>&) override {
        ADD_FAILURE() << "read";
        return 105;
    }
    QRDSTATUS write(const std::string&, uint32_t, uint32_t, const std::vector<uint8_t>&) override {
        ADD_FAILURE() << "write";
        return 105;
    }
    QRDSTATUS remove(const std::string&, uint32_t, uint32_t) override {
        ADD_FAILURE() << "remove";
        return 105;
    }
    QRDSTATUS writeIf(const std::string&, uint32_t, uint32_t, const std::vector<uint8_t>&,
                      const std::vector<namedir::AttrCondition>&) override {
        ADD_FAILURE() << "conditional write";
        return 105;
    }
};

} // namespace

TEST(UniqueKeys, NameThenCategoryNumberAndLowerCaseHexTime) {
    DIRNmDirectoryAddress a("bob@Sales@Demo", 52, 250200, 0x5F5E10AB);
    EXPECT_EQ(a.uniqueKey, "bob@Sales@Demo<52:250200:5f5e10ab>");
    EXPECT_EQ(DIRMakeUniqueKey("x", -1, -1, 0), "x<-1:-1:0>");
    // A time past 2038 stays positive.
    EXPECT_EQ(DIRMakeUniqueKey("x", 52, 1, 0xF0000000u), "x<52:1:f0000000>");
}

TEST(UniqueKeys, TheSameObjectHasTheSameKeyWhenAddressedAgain) {
    DIRNmDirectoryAddress a("bob@Sales@Demo", 52, 250200, 77);
    DIRNmDirectoryAddress b;
    b.setNMDirAddress("bob@Sales@Demo", 52, 250200, 77);
    EXPECT_EQ(a.uniqueKey, b.uniqueKey);
    DIRNmDirectoryAddress c(a);
    EXPECT_EQ(c.uniqueKey, a.uniqueKey);
}

TEST(UniqueKeys, AnEmptyNameKeepsThePreviousKey) {
    DIRNmDirectoryAddress a("bob@Sales@Demo", 52, 250200, 77);
    a.setNMDirAddress("", 52, 1, 1);
    EXPECT_EQ(a.uniqueKey, "bob@Sales@Demo<52:250200:4d>");
    long error = 0;
    std::string name;
    EXPECT_FALSE(a.getNMName(name, error));
    EXPECT_EQ(error, DIR_ADDRESS_UNSET);
}

TEST(Addresses, UnsetPartsAndEmptyKeysAreRefused) {
    DIRNmDirectoryAddress a;
    long error = 0, category, number, cls;
    EXPECT_FALSE(a.getNMAttrNumber(category, number, error));
    EXPECT_EQ(error, DIR_ADDRESS_UNSET);
    error = 0;
    EXPECT_FALSE(a.getNMClass(cls, error));
    EXPECT_EQ(error, DIR_ADDRESS_UNSET);
    std::string key;
    EXPECT_FALSE(a.getUniqueKey(key, error));
    EXPECT_EQ(error, DIR_KEY_NOT_FOUND);
    EXPECT_FALSE(a.setUniqueKey("", error));
    EXPECT_EQ(error, DIR_INVALID_KEY);
}

TEST(Addresses, NameOnlyValidationSettlesTheClassWithoutTheDirectory) {
    long error = 0;
    DIRNmDirectoryAddress group("Sales@Demo", 52, 200201, 1);
    EXPECT_TRUE(group.validateNMDirAddress(error, true));
    EXPECT_EQ(group.nmClass, DIR_NMCLASS_GROUP);
    DIRNmDirectoryAddress user("bob@Sales@Demo", 52, 250201, 1);
    EXPECT_TRUE(user.validateNMDirAddress(error, true));
    EXPECT_EQ(user.nmClass, DIR_NMCLASS_USER);
    EXPECT_EQ(error, 0);
}

TEST(Addresses, KeysWhoseTailIsNotThreeNumbersAre39) {
    NoStore store;
    DIRDirectory dir(store);
    for (const char* key : {"bob@Sales@Demo", "bob@Sales@Demo<52:250200>", "bob@Sales@Demo<52:x:1>",
                            "bob@Sales@Demo<52:1:1>tail", "bob@Sales@Demo<52:1:1ffffffff>"}) {
        DIRAddressPtr address;
        long type = -7, error = 0;
        EXPECT_FALSE(dir.getDirectoryAddress(key, address, type, error)) << key;
        EXPECT_EQ(error, DIR_INVALID_KEY) << key;
        EXPECT_FALSE(address);
        EXPECT_EQ(type, -7);
    }
}

TEST(Records, CopiesOwnCopiesOfTheirAddresses) {
    DIRFolder f;
    f.address = DIRAddressPtr(new DIRNmDirectoryAddress("bob@Sales@Demo", 52, 250200, 1));
    f.contents.resize(1);
    f.contents[0].address = DIRAddressPtr(new DIRNmDirectoryAddress("Sales@Demo", 52, 200200, 2));
    DIRFolder copy = f;
    ASSERT_NE(copy.address.get(), f.address.get());
    ASSERT_NE(copy.contents[0].address.get(), f.contents[0].address.get());
    EXPECT_EQ(copy.contents[0].address->uniqueKey, "Sales@Demo<52:200200:2>");
    ASSERT_NE(copy.address.nm(), nullptr);
    f.address.reset();
    EXPECT_EQ(copy.address->uniqueKey, "bob@Sales@Demo<52:250200:1>");
}

TEST(Records, InitBaseInfoClearsTheWordsAndTheFiveTexts) {
    NoStore store;
    DIRDirectory dir(store);
    DIRAction a;
    a.base = {64, 1, 2, 3, 1, 1, 3};
    a.creator = a.name = a.extraText = a.longText = a.description = "t";
    a.commandLine = "kept";
    dir.initBaseInfo(a);
    EXPECT_EQ(a.base.objectType, 0);
    EXPECT_EQ(a.base.userValue, 0);
    EXPECT_EQ(a.creator + a.name + a.extraText + a.longText + a.description, "");
    EXPECT_EQ(a.commandLine, "kept");
}

TEST(ErrorTable, EveryCodeOfTheStoreHasItsText) {
    EXPECT_STREQ(DIRErrorText(DIR_FREELIST_EMPTY), "The attribute free list is empty.");
    EXPECT_STREQ(DIRErrorText(0), "Error Start");
    EXPECT_STREQ(DIRErrorText(36), "Object does not exist.");
    for (long code = 101; code <= 132; ++code)
        EXPECT_NE(DIRErrorText(code), nullptr) << code;
    EXPECT_EQ(DIRErrorText(63), nullptr);
    EXPECT_EQ(DIRErrorText(-1), nullptr);
}
