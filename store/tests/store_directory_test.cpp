// DIRDirectory::getDirectoryAddress against a namewrightd of the test's own:
// a key turns back into a validated address and the object's stored type.
#include "namedir.h"
#include "store_daemon.h"

using namespace namedir;

namespace {

class DirectoryAddressTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    void putMain(const std::string& holder, uint32_t number, long type) {
        DIRCommonInfo r;
        r.base.objectType = type;
        AttrStream s(holder, 52, number);
        ASSERT_EQ(encodeMainRecord(r, 1, s), 0);
        ASSERT_EQ(s.write(clientAttrStore()), 0);
    }

    bool lookUp(const std::string& key) {
        address.reset();
        type = -1;
        error = 0;
        return dir.getDirectoryAddress(key, address, type, error);
    }

    DIRDirectory dir;
    DIRAddressPtr address;
    long type = -1, error = 0;
};

} // namespace

TEST_F(DirectoryAddressTest, AKeyGivesTheCanonicalAddressAndTheStoredType) {
    putMain("bob@Sales@Demo", 250200, DIR_TYPE_FOLDER);
    ASSERT_TRUE(lookUp("BOB@sales@demo<52:250200:5f>")) << error;
    EXPECT_EQ(type, DIR_TYPE_FOLDER);
    ASSERT_NE(address.nm(), nullptr);
    EXPECT_EQ(address.nm()->nmClass, DIR_NMCLASS_USER);
    EXPECT_EQ(address->uniqueKey, "bob@Sales@Demo<52:250200:5f>");

    putMain("Sales@Demo", 200200, DIR_TYPE_ACTION);
    ASSERT_TRUE(lookUp("Sales@Demo<52:200200:1>")) << error;
    EXPECT_EQ(type, DIR_TYPE_ACTION);
    EXPECT_EQ(address.nm()->nmClass, DIR_NMCLASS_GROUP);
}

TEST_F(DirectoryAddressTest, AMissingObjectIsTypeZeroAndAFreeNumber117) {
    ASSERT_TRUE(lookUp("bob@Sales@Demo<52:250300:1>")) << error;
    EXPECT_EQ(type, DIR_TYPE_NONE);
    AttrStream marker("bob@Sales@Demo", 52, 250301);
    encodeFreeSlot({128, 52, 250302, 0, 1}, marker);
    ASSERT_EQ(marker.write(clientAttrStore()), 0);
    EXPECT_FALSE(lookUp("bob@Sales@Demo<52:250301:1>"));
    EXPECT_EQ(error, DIR_ATTR_MISSING);
    EXPECT_FALSE(address);
}

TEST_F(DirectoryAddressTest, NamesThatAreNotAUserOrAGroupAre109) {
    for (const char* key : {"nobody@Sales@Demo<52:250200:1>", "Team@Sales@Demo<52:250200:1>",
                            "bo*@Sales@Demo<52:250200:1>"}) {
        EXPECT_FALSE(lookUp(key)) << key;
        EXPECT_EQ(error, DIR_NAME_UNRESOLVED) << key;
    }
}
