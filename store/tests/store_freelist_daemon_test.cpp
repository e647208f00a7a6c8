// The free-list scenarios against a namewrightd of the test's own, through
// CQrdApi and the logged-in user's session: the bytes the store writes are
// what the service keeps and gives back.
#include "freelist_scenarios.h"
#include "store_daemon.h"

using namespace namedir;

namespace {

class FreeListDaemonTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override {
        setHolderRangesForTesting(nullptr, nullptr);
        CQrdApi::destroySession();
    }
    AttrStore& store = clientAttrStore();
    const std::string user = "bob@Sales@Demo";
};

} // namespace

class FreeListDaemonScenario : public FreeListDaemonTest,
                               public ::testing::WithParamInterface<scenarios::Scenario> {};

TEST_P(FreeListDaemonScenario, Scenario) {
    GetParam().run(store, GetParam().holder);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FreeListDaemonScenario, ::testing::ValuesIn(scenarios::kAll),
                         scenarios::nameOf);

TEST_F(FreeListDaemonTest, ANewObjectAddressIsValidatedByTheDirectory) {
    std::unique_ptr<DIRNmDirectoryAddress> address;
    ASSERT_EQ(allocateObjectAddress(store, "BOB@sales@demo", false, 0x5F000000, address), 0);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->nmClass, DIR_NMCLASS_USER);
    EXPECT_EQ(address->uniqueKey, address->nmName + "<52:250200:5f000000>");
    ASSERT_EQ(allocateObjectAddress(store, "Sales@Demo", true, 1, address), 0);
    EXPECT_EQ(address->nmClass, DIR_NMCLASS_GROUP);
    EXPECT_EQ(address->attrNumber, 200200);
}
