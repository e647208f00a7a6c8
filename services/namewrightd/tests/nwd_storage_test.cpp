// The SQLite storage: what a removal takes with it, limits that keep tables
// from growing with history, batches, and the file across reopenings.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

#include "directory.h"
#include "nwd_testutil.h"
#include "sqlite_storage.h"
#include "testenv.h"

using namespace nwd;

namespace {

std::string tempDb(const std::string& name) {
    return qrdtest::workstation().dir + "/" + name;
}

int64_t idOf(Storage& s, const std::string& name, uint16_t kind = kNameKindObject) {
    Resolved r = Directory(s).resolve(name, kind, false);
    EXPECT_EQ(r.status, 0) << name;
    return r.entry.id;
}

NonceRecord nonceFor(int64_t user, uint32_t issued) {
    NonceRecord r;
    r.opaque = {1, 2, 3, 4, 5, 6};
    r.word1 = 99;
    r.userId = user;
    r.issued = issued;
    return r;
}

TEST(Storage, RemovingAGroupTakesEverythingBelowAndAboutIt) {
    SqliteStorage s(":memory:");
    nwdtest::seed(s);
    int64_t sales = idOf(s, "Sales@Demo", kNameKindGroup);
    int64_t bob = idOf(s, "bob@Sales@Demo");
    int64_t alice = idOf(s, "alice@Sales@Demo");
    int64_t jose = idOf(s, "jos\xE9@Support@Demo");
    int64_t team = idOf(s, "Team@Sales@Demo");
    // A Support list holding a Sales user and the Sales group itself.
    int64_t other =
        s.addEntry(idOf(s, "Support@Demo", kNameKindGroup), Kind::List, "Mixed", "MIXED");
    ASSERT_TRUE(s.addMember(other, bob));
    ASSERT_TRUE(s.addMember(other, sales));
    ASSERT_TRUE(s.addMember(other, jose));
    uint32_t serial = s.addNonce(nonceFor(bob, 100));
    s.addMessage(bob, {0, "x", "hello", 1}, 10);
    s.setProfile(bob, "!SETNMDA", "/OFF");
    s.setProfile(sales, "Key", "v");

    ASSERT_TRUE(s.removeEntry(sales));
    EXPECT_FALSE(s.entry(bob));
    EXPECT_FALSE(s.entry(alice));
    EXPECT_FALSE(s.entry(team));
    EXPECT_FALSE(s.user(bob));
    EXPECT_FALSE(s.findNonce(serial));
    EXPECT_TRUE(s.messages(bob).empty());
    EXPECT_TRUE(s.profile(bob).empty());
    EXPECT_TRUE(s.profile(sales).empty());
    // The nickname of alice went with her; the other group's list lost only
    // the members that are gone.
    EXPECT_EQ(Directory(s).resolve("ali@Sales@Demo", kNameKindObject).status, 1009);
    EXPECT_EQ(s.members(other), std::vector<int64_t>{jose});
    EXPECT_TRUE(s.entry(jose));
}

TEST(Storage, RemovingAManagerLeavesTheServiceToAdministrators) {
    SqliteStorage s(":memory:");
    nwdtest::seed(s);
    int64_t files = idOf(s, "FILES@Sales@Demo");
    ASSERT_EQ(s.service(files)->managerId, idOf(s, "bob@Sales@Demo"));
    s.removeEntry(idOf(s, "bob@Sales@Demo"));
    ASSERT_TRUE(s.service(files));
    EXPECT_EQ(s.service(files)->managerId, 0);
}

TEST(Storage, NamesAreUniqueWithinTheirParentWhateverTheCase) {
    SqliteStorage s(":memory:");
    int64_t org = s.addEntry(0, Kind::Org, "Demo", "DEMO");
    EXPECT_THROW(s.addEntry(0, Kind::Org, "DEMO", "DEMO"), StorageError);
    int64_t a = s.addEntry(org, Kind::Group, "A", "A");
    int64_t b = s.addEntry(org, Kind::Group, "B", "B");
    s.addEntry(a, Kind::User, "x", "X");
    s.addEntry(b, Kind::User, "x", "X"); // same item in another group
    try {
        s.addEntry(a, Kind::List, "X", "X");
        FAIL() << "a list may not take a user's name";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.code, StorageError::Duplicate);
    }
    EXPECT_EQ(s.children(a).size(), 1u);
    EXPECT_EQ(s.children(0, int(Kind::Org)).size(), 1u);
}

TEST(Storage, MessagesAndNoncesKeepOnlyTheNewest) {
    SqliteStorage s(":memory:");
    nwdtest::seed(s);
    int64_t bob = idOf(s, "bob@Sales@Demo"), alice = idOf(s, "alice@Sales@Demo");
    for (int i = 0; i < 7; ++i)
        s.addMessage(bob, {0, "s", "m" + std::to_string(i), 1}, 5);
    s.addMessage(alice, {0, "s", "for alice", 1}, 5);
    std::vector<MessageRecord> m = s.messages(bob);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m.front().text, "m2");
    EXPECT_EQ(m.back().text, "m6");
    EXPECT_EQ(s.messages(alice).size(), 1u);
    EXPECT_EQ(s.clearMessages(bob), 5u);

    std::vector<uint32_t> serials;
    for (int i = 0; i < 5; ++i)
        serials.push_back(s.addNonce(nonceFor(bob, 1000 + i)));
    uint32_t aliceOld = s.addNonce(nonceFor(alice, 10));
    uint32_t aliceNew = s.addNonce(nonceFor(alice, 2000));
    s.pruneNonces(bob, 3, 500);
    EXPECT_FALSE(s.findNonce(serials[0]));
    EXPECT_FALSE(s.findNonce(serials[1]));
    EXPECT_TRUE(s.findNonce(serials[2]));
    EXPECT_TRUE(s.findNonce(serials[4]));
    EXPECT_FALSE(s.findNonce(aliceOld)) << "issued before the lifetime, whoever's it is";
    EXPECT_TRUE(s.findNonce(aliceNew));
    EXPECT_EQ(s.removeNonces(bob), 3u);
}

TEST(Storage, ABatchIsAllOrNothing) {
    SqliteStorage s(":memory:");
    int64_t org = s.addEntry(0, Kind::Org, "Demo", "DEMO");
    try {
        Transaction t(s);
        s.addEntry(org, Kind::Group, "A", "A");
        {
            Transaction inner(s);
            s.addEntry(org, Kind::Group, "B", "B");
            inner.commit();
        }
        s.addEntry(org, Kind::Group, "A", "A"); // duplicate: the batch fails
        t.commit();
    } catch (const StorageError&) {
    }
    EXPECT_TRUE(s.children(org).empty());
    // An inner batch rolled back leaves the outer one's work.
    {
        Transaction t(s);
        s.addEntry(org, Kind::Group, "A", "A");
        {
            Transaction inner(s);
            s.addEntry(org, Kind::Group, "B", "B");
        }
        t.commit();
    }
    ASSERT_EQ(s.children(org).size(), 1u);
    EXPECT_EQ(s.children(org)[0].name, "A");
}

TEST(Storage, TheFileKeepsEverythingAndIsSharedWithAnotherConnection) {
    std::string path = tempDb("keep.db");
    uint32_t serial;
    {
        SqliteStorage s(path);
        nwdtest::seed(s);
        serial = s.addNonce(nonceFor(idOf(s, "bob@Sales@Demo"), 5));
        // An administrator's change through a second connection, seen at once.
        SqliteStorage admin(path);
        admin.setProfile(idOf(admin, "bob@Sales@Demo"), "K", "V");
        EXPECT_EQ(s.profile(idOf(s, "bob@Sales@Demo")).size(), 1u);
    }
    SqliteStorage again(path);
    std::optional<NonceRecord> n = again.findNonce(serial);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->opaque, (std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}));
    std::optional<UserRecord> u = again.user(idOf(again, "alice@Sales@Demo"));
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->admin);
    EXPECT_TRUE(verifyPassword("alice-pw", u->password));
    // Serials are never handed out twice, even after the newest was pruned.
    again.removeNonces(idOf(again, "bob@Sales@Demo"));
    EXPECT_GT(again.addNonce(nonceFor(idOf(again, "bob@Sales@Demo"), 6)), serial);
}

TEST(Storage, FilesItCannotUseAreRefusedClearly) {
    std::string junk = tempDb("junk.db");
    std::ofstream(junk) << std::string(4096, 'x');
    EXPECT_THROW(SqliteStorage s(junk), StorageError);

    std::string newer = tempDb("newer.db");
    { SqliteStorage s(newer); }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    try {
        SqliteStorage s(newer);
        FAIL() << "a newer schema must be refused";
    } catch (const StorageError& e) {
        EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos);
    }
    EXPECT_THROW(SqliteStorage s(qrdtest::workstation().dir + "/no/such/dir/x.db"), StorageError);
}

} // namespace
