// The names and users the attribute procedures remember between requests:
// whatever changes the directory, the daemon's next request must see it,
// whether the change came through its own storage or through an admin
// command on the same file.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "handlers.h"
#include "log.h"
#include "namecache.h"
#include "nwd_testutil.h"
#include "sqlite_storage.h"
#include "testenv.h"

using namespace nwd;
using nwdtest::Call;
using nwdtest::LoginOutcome;
using nwdtest::Reply;
using nwdtest::scramLogin;

namespace {

const AttrId kMain{52, 250000};

// Counts the look-ups of name parts.
class CountingStorage : public SqliteStorage {
  public:
    using SqliteStorage::SqliteStorage;
    int lookups = 0;
    std::optional<Entry> findChild(int64_t parent, const std::string& key) override {
        ++lookups;
        return SqliteStorage::findChild(parent, key);
    }
};

class NameCacheTest : public ::testing::Test {
  protected:
    NameCacheTest() {
        setLogQuiet(true);
        for (const char* end : {"", "-wal", "-shm"})
            std::filesystem::remove(path + end);
        storage = std::make_unique<CountingStorage>(path);
        nwdtest::seed(*storage);
        HandlerConfig cfg;
        cfg.serverName = "NW1@Sales@Demo";
        handler = std::make_unique<Handler>(*storage, sessions, nullptr, cfg,
                                            [] { return uint32_t(1700000000); });
        bob = session("bob@Sales@Demo", "bob-pw");
    }

    Reply call(Call c) {
        Handler::Reply r = handler->handle(Road::Native, ServiceKind::Namewright, c.data().data(),
                                           c.data().size());
        return r ? Reply::of(*r) : Reply{};
    }
    std::vector<uint8_t> session(const std::string& user, const std::string& pw) {
        LoginOutcome login = scramLogin([this](Call c) { return call(c); }, user, pw);
        EXPECT_EQ(login.status, 0);
        std::vector<uint8_t> nonce = login.nonce;
        Reply s = call(Call(qrd::nm::kStartSession).bytes(nonce));
        EXPECT_TRUE(s.ok());
        return s.results;
    }
    uint16_t write(const std::string& name, uint16_t ocl, std::vector<uint8_t> data) {
        Call c(qrd::nm::kWriteAttr);
        c.bytes(bob).str(name).u16(ocl).u32(kMain.category).u32(kMain.number);
        c.u32(2).u32(0).u32(uint32_t(data.size())).u32(2);
        c.u16(2).u16(uint16_t(data.size())).bytes(data).u16(0).u16(0);
        return call(c).code;
    }
    uint16_t read(const std::string& name, uint16_t ocl = 0) {
        Call c(qrd::nm::kReadAttr);
        c.bytes(bob).str(name).u16(ocl).u32(kMain.category).u32(kMain.number);
        c.u32(2).u32(0).u32(100).u32(0).u16(0).u16(0);
        return call(c).code;
    }
    // An admin command through a connection of its own, as another process.
    void admin(const std::string& command) {
        SqliteStorage other(path);
        nwdtest::seed(other, command + "\n");
    }

    std::string path = qrdtest::workstation().dir + "/namecache.db";
    std::unique_ptr<CountingStorage> storage;
    SessionTable sessions;
    std::unique_ptr<Handler> handler;
    std::vector<uint8_t> bob;
};

TEST_F(NameCacheTest, AnAdminCommandOnTheSameFileIsSeenByTheNextRequest) {
    // Remembered: bob's own object, his group, alice (not his to write).
    ASSERT_EQ(write("bob@Sales@Demo", 0, {1}), 0);
    ASSERT_EQ(write("Sales@Demo", 5, {1}), 0);
    ASSERT_EQ(write("alice@Sales@Demo", 0, {1}), 1033);
    ASSERT_EQ(read("jos\xE9@Support@Demo"), 1055);

    admin("user set bob@Sales@Demo --admin");
    EXPECT_EQ(write("alice@Sales@Demo", 0, {1}), 0) << "bob is an administrator now";
    admin("user set bob@Sales@Demo --no-admin");
    EXPECT_EQ(write("alice@Sales@Demo", 0, {2}), 1033);

    admin("group set-server Support@Demo NW2@Support@Demo");
    EXPECT_EQ(read("jos\xE9@Support@Demo"), 101) << "held by another server now";
    admin("group set-server Support@Demo -");
    EXPECT_EQ(read("jos\xE9@Support@Demo"), 1055);

    // A name removed and made again is another entry, without the values.
    ASSERT_EQ(read("alice@Sales@Demo"), 0);
    admin("user remove alice@Sales@Demo");
    EXPECT_EQ(read("alice@Sales@Demo"), 1002);
    EXPECT_EQ(read("ali@Sales@Demo"), 1002) << "the nickname went with her";
    admin("user add alice@Sales@Demo --password x");
    EXPECT_EQ(read("ALICE@sales@DEMO"), 1055);
}

TEST_F(NameCacheTest, ARequestForANameSeenBeforeLooksNothingUp) {
    ASSERT_EQ(write("bob@Sales@Demo", 0, {1}), 0);
    const int first = storage->lookups;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(read("BOB@Sales@Demo"), 0);
        ASSERT_EQ(write("bob@sales@demo", 0, {1}), 0);
    }
    EXPECT_EQ(storage->lookups, first);
    admin("profile set Demo K V"); // any change by another connection
    ASSERT_EQ(read("bob@Sales@Demo"), 0);
    EXPECT_GT(storage->lookups, first) << "looked up again after the change";
}

TEST_F(NameCacheTest, ChangesThroughTheDaemonsOwnStorageAreSeenToo) {
    ASSERT_EQ(write("bob@Sales@Demo", 0, {1}), 0);
    ASSERT_EQ(read("Bob@Sales@Demo"), 0);
    nwdtest::seed(*storage, "group set-server Sales@Demo NW2@Support@Demo\n");
    EXPECT_EQ(read("bob@Sales@Demo"), 101);
    EXPECT_EQ(write("bob@Sales@Demo", 0, {1}), 101);
    nwdtest::seed(*storage, "group set-server Sales@Demo -\nuser remove bob@Sales@Demo\n");
    EXPECT_EQ(read("bob@Sales@Demo"), 1017) << "bob's own session ended with him";
    bob = session("alice@Sales@Demo", "alice-pw"); // looks on with another session
    EXPECT_EQ(read("bob@Sales@Demo"), 1002);
    EXPECT_EQ(write("bob@Sales@Demo", 0, {1}), 1002);
}

TEST(NameCache, ALookUpThatRacedWithAChangeIsNotKept) {
    NameCache c(2);
    c.sync(1);
    const uint64_t seen = c.stamp();
    NameCache::Target t;
    t.entry.id = 7;
    c.sync(2); // the directory changed while the look-up ran
    c.putTarget(seen, NameCache::key("a@b@c", 300), t);
    EXPECT_FALSE(c.target(NameCache::key("a@b@c", 300)));
    c.putTarget(c.stamp(), NameCache::key("a@b@c", 300), t);
    EXPECT_EQ(c.target(NameCache::key("A@B@C", 300))->entry.id, 7) << "case does not matter";
    EXPECT_FALSE(c.target(NameCache::key("a@b@c", 200))) << "nor is a kind another";
    // A full cache starts over rather than growing.
    c.putTarget(c.stamp(), NameCache::key("x@b@c", 300), t);
    c.putTarget(c.stamp(), NameCache::key("y@b@c", 300), t);
    EXPECT_LE(c.size(), 2u);
    c.sync(3);
    EXPECT_EQ(c.size(), 0u);
}

} // namespace
