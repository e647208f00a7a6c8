// The SQLite storage: what a removal takes with it, limits that keep tables
// from growing with history, batches, and the file across reopenings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sqlite3.h>
#include <thread>

#include "directory.h"
#include "nwd_testutil.h"
#include "sqlite_schema.h"
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
    r.mac = {1, 2, 3, 4, 5, 6};
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
    EXPECT_EQ(n->mac, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    std::optional<UserRecord> u = again.user(idOf(again, "alice@Sales@Demo"));
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->admin);
    EXPECT_TRUE(verifyPassword("alice-pw", u->password));
    // Serials are never handed out twice, even after the newest was pruned.
    again.removeNonces(idOf(again, "bob@Sales@Demo"));
    EXPECT_GT(again.addNonce(nonceFor(idOf(again, "bob@Sales@Demo"), 6)), serial);
}

TEST(Storage, EntryIdsAreNeverGivenAgain) {
    SqliteStorage s(":memory:");
    nwdtest::seed(s);
    int64_t sales = idOf(s, "Sales@Demo", kNameKindGroup);
    int64_t last = s.addEntry(sales, Kind::User, "carol", "CAROL");
    ASSERT_TRUE(s.removeEntry(last));
    // The newest id is the one a table without a sequence would hand out again.
    EXPECT_GT(s.addEntry(sales, Kind::User, "carol", "CAROL"), last);
}

// The file as schema 2 left it: `entries` without AUTOINCREMENT, the highest
// id free again after a removal, value heads without a version.
void downgradeToSchema2(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* sql =
        "PRAGMA foreign_keys = OFF; BEGIN;"
        // The directory-assistance index and its triggers: schema 6.
        "DROP TRIGGER nmda_entry; DROP TRIGGER nmda_user_add; DROP TRIGGER nmda_user_set;"
        "DROP TRIGGER nmda_service_add; DROP TRIGGER nmda_service_set;"
        "DROP TABLE nmda_names;"
        "CREATE TABLE entries_old (id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES "
        "entries_old(id) ON DELETE CASCADE, kind INTEGER NOT NULL, name TEXT NOT NULL, "
        "name_key TEXT NOT NULL);"
        "INSERT INTO entries_old SELECT * FROM entries; DROP TABLE entries;"
        "ALTER TABLE entries_old RENAME TO entries;"
        "CREATE UNIQUE INDEX entries_child ON entries(parent_id, name_key) WHERE parent_id IS "
        "NOT NULL;"
        "CREATE UNIQUE INDEX entries_top ON entries(name_key) WHERE parent_id IS NULL;"
        "DELETE FROM sqlite_sequence WHERE name = 'entries';"
        "ALTER TABLE attributes DROP COLUMN version;"
        "COMMIT;";
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    nwdtest::downgradeUsersToSchema3(path);
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 2", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// One column of the first row of `sql` on a connection of its own.
std::string queryText(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* q = nullptr;
    std::string out = "(none)";
    if (sqlite3_prepare_v2(db, sql, -1, &q, nullptr) == SQLITE_OK && sqlite3_step(q) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    sqlite3_finalize(q);
    sqlite3_close(db);
    return out;
}

TEST(Storage, ASchema2FileKeepsItsEntriesAndReferencesAndNeverReusesIdsAfterwards) {
    std::string path = tempDb("schema2.db");
    int64_t bob, carol, team;
    uint32_t serial;
    {
        SqliteStorage s(path);
        nwdtest::seed(s);
        bob = idOf(s, "bob@Sales@Demo");
        team = idOf(s, "Team@Sales@Demo");
        carol = s.addEntry(idOf(s, "Sales@Demo", kNameKindGroup), Kind::List, "carol", "CAROL");
        serial = s.addNonce(nonceFor(bob, 5));
        s.setAttribute(bob, {52, 1}, AttrValue{2, {1, 2, 3}});
        s.addMessage(bob, {0, "x", "hello", 1}, 10);
    }
    downgradeToSchema2(path);
    ASSERT_EQ(queryText(path, "PRAGMA user_version"), "2");
    {
        SqliteStorage s(path);
        // Every id and everything about the entries kept.
        EXPECT_EQ(idOf(s, "bob@Sales@Demo"), bob);
        EXPECT_EQ(idOf(s, "carol@Sales@Demo"), carol);
        EXPECT_EQ(s.members(team), std::vector<int64_t>{bob});
        EXPECT_FALSE(s.findNonce(serial)) << "nonces in clear are not kept";
        EXPECT_EQ(s.attribute(bob, {52, 1})->bytes, (std::vector<uint8_t>{1, 2, 3}));
        // Value heads count their writes from here on.
        const AttrVersion before = s.attributeSlice(bob, {52, 1}, 0, 10)->version;
        s.writeAttribute(bob, {52, 1}, 2, 1, std::vector<uint8_t>{9}.data(), 1, false);
        std::optional<AttrSlice> after = s.attributeSlice(bob, {52, 1}, 1, 10);
        EXPECT_NE(after->version, before);
        EXPECT_EQ(after->bytes, (std::vector<uint8_t>{9, 3}));
        EXPECT_TRUE(verifyPassword("bob-pw", s.user(bob)->password));
        // Names stay unique per parent.
        EXPECT_THROW(s.addEntry(idOf(s, "Sales@Demo", kNameKindGroup), Kind::User, "BOB", "BOB"),
                     StorageError);
        // The highest id is not handed out again.
        ASSERT_TRUE(s.removeEntry(carol));
        EXPECT_GT(s.addEntry(idOf(s, "Sales@Demo", kNameKindGroup), Kind::List, "x", "X"), carol);
        // The other tables still refer to the entries and cascade with them.
        ASSERT_TRUE(s.removeEntry(bob));
        EXPECT_FALSE(s.findNonce(serial));
        EXPECT_FALSE(s.attributeSize(bob, {52, 1}));
        EXPECT_TRUE(s.messages(bob).empty());
        EXPECT_TRUE(s.members(team).empty());
    }
    EXPECT_EQ(queryText(path, "PRAGMA user_version"), std::to_string(kSchemaVersion));
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                              "instr(sql, 'entries_') > 0"),
              "0")
        << "no table is left over or refers to one";
    EXPECT_NE(queryText(path, "SELECT sql FROM sqlite_master WHERE name = 'entries'")
                  .find("AUTOINCREMENT"),
              std::string::npos);
}

// The hashes of schema 3 are the salted passwords of the login exchange:
// every user logs in as before, and nothing that logs in stays in the file.
TEST(Storage, ASchema3FileKeepsEveryPasswordAndLosesEverySecret) {
    std::string path = tempDb("schema3.db");
    {
        SqliteStorage s(path);
        nwdtest::seed(s);
    }
    nwdtest::downgradeUsersToSchema3(path);
    const std::string oldHash = queryText(path, "SELECT hex(hash) FROM users LIMIT 1");
    ASSERT_EQ(oldHash.size(), 64u);
    {
        SqliteStorage s(path);
        for (auto [name, pw] : {std::pair{"alice@Sales@Demo", "alice-pw"},
                                {"bob@Sales@Demo", "bob-pw"},
                                {"jos\xE9@Support@Demo", "jos\xE9-pw"}}) {
            std::optional<UserRecord> u = s.user(idOf(s, name));
            ASSERT_TRUE(u) << name;
            EXPECT_TRUE(verifyPassword(pw, u->password)) << name;
            EXPECT_FALSE(verifyPassword("wrong", u->password)) << name;
        }
        EXPECT_TRUE(s.user(idOf(s, "alice@Sales@Demo"))->admin);
    }
    EXPECT_EQ(queryText(path, "PRAGMA user_version"), std::to_string(kSchemaVersion));
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM nonces"), "0");
    EXPECT_EQ(
        queryText(path, "SELECT count(*) FROM pragma_table_info('users') WHERE name = 'hash'"),
        "0");
    // Not in a live row, and not in a freed page either.
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string raw;
    for (size_t i = 0; i < oldHash.size(); i += 2)
        raw += char(std::stoi(oldHash.substr(i, 2), nullptr, 16));
    EXPECT_EQ(bytes.find(raw), std::string::npos) << "the old hash is still in the file";
}

TEST(Storage, ASchema2FileWithBrokenReferencesIsRefusedAndLeftAsItWas) {
    std::string path = tempDb("schema2-bad.db");
    {
        SqliteStorage s(path);
        nwdtest::seed(s);
    }
    downgradeToSchema2(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "INSERT INTO list_members VALUES (999, 998)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    try {
        SqliteStorage s(path);
        FAIL() << "a reference to a missing entry cannot be migrated";
    } catch (const StorageError& e) {
        EXPECT_NE(std::string(e.what()).find("list_members"), std::string::npos) << e.what();
    }
    EXPECT_EQ(queryText(path, "PRAGMA user_version"), "2");
    EXPECT_EQ(queryText(path, "SELECT sql FROM sqlite_master WHERE name = 'entries'")
                  .find("AUTOINCREMENT"),
              std::string::npos);
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

namespace {

// Another process's write transaction holds the file: a write waits for it
// without holding the storage, so reads (on readers and on the writer) go
// on; once it ends, the write goes through and is made durable by the
// group sync.
TEST(Storage, AWriteWaitingForAnotherProcessHoldsUpNoRead) {
    std::string path = tempDb("busy.db");
    SqliteStorage s(path);
    nwdtest::seed(s);
    s.enableGroupCommit();
    const int64_t bob = idOf(s, "bob@Sales@Demo");
    s.setAttribute(bob, {52, 1}, AttrValue{2, {1, 2, 3}});
    s.waitDurable();

    sqlite3* admin = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &admin), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(admin, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::atomic<int> written{0};
    std::thread writer([&] {
        Transaction t(s);
        s.writeAttribute(bob, {52, 1}, 2, 0, std::vector<uint8_t>{9}.data(), 1, false);
        t.commit();
        s.waitDurable();
        written = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the writer is waiting
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(s.attributeSlice(bob, {52, 1}, 0, 10)->bytes, (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_TRUE(s.findChild(0, "DEMO"));
        s.directoryStamp();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(written, 0);
    ASSERT_EQ(sqlite3_exec(admin, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(admin);
    writer.join();
    EXPECT_EQ(written, 1);
    EXPECT_EQ(s.attributeSlice(bob, {52, 1}, 0, 10)->bytes, (std::vector<uint8_t>{9, 2, 3}));
}

} // namespace
