// Attribute values in the SQLite storage: ranges written into a chunked
// value must read back as if the value were one array (gaps zero, cuts
// final, growth to the limit), a write must cost its range and not the value,
// an old file's values must survive its migration, and the directory stamp
// must move exactly when names may resolve differently.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sqlite3.h>

#include "directory.h"
#include "nwd_testutil.h"
#include "sqlite_schema.h"
#include "sqlite_storage.h"
#include "testenv.h"

using namespace nwd;

namespace {

constexpr size_t kChunk = 4096;
const AttrId kAttr{52, 250000};

std::string tempDb(const std::string& name) {
    std::string path = qrdtest::workstation().dir + "/" + name;
    for (const char* end : {"", "-wal", "-shm"})
        std::filesystem::remove(path + end);
    return path;
}

int64_t bobOf(Storage& s) {
    Resolved r = Directory(s).resolve("bob@Sales@Demo", kNameKindObject);
    EXPECT_EQ(r.status, 0);
    return r.entry.id;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 13 + i / 253 + 1); // no run of zeros to hide a gap
    return v;
}

// What a write does to a value held as one array.
void applyToModel(std::vector<uint8_t>& model, uint64_t offset, const std::vector<uint8_t>& data,
                  bool cut) {
    const size_t end = size_t(offset + data.size());
    if (cut || model.size() < end) model.resize(end, 0);
    std::copy(data.begin(), data.end(), model.begin() + long(offset));
}

class AttrStore : public ::testing::Test {
  protected:
    AttrStore() {
        nwdtest::seed(s);
        owner = bobOf(s);
    }
    void write(uint64_t offset, const std::vector<uint8_t>& data, bool cut, uint32_t type = 2) {
        s.writeAttribute(owner, kAttr, type, offset, data.data(), data.size(), cut);
        applyToModel(model, offset, data, cut);
    }
    // The stored value, its size and its type agree with the model.
    void expectModel(const std::string& step) {
        std::optional<AttrValue> v = s.attribute(owner, kAttr);
        ASSERT_TRUE(v) << step;
        ASSERT_EQ(v->bytes.size(), model.size()) << step;
        for (size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(v->bytes[i], model[i]) << step << ": byte " << i;
        std::optional<AttrSize> size = s.attributeSize(owner, kAttr);
        ASSERT_TRUE(size);
        EXPECT_EQ(size->bytes, model.size()) << step;
    }

    SqliteStorage s{":memory:"};
    int64_t owner = 0;
    std::vector<uint8_t> model;
};

TEST_F(AttrStore, RangesAcrossChunkBoundariesReadBackAsOneArray) {
    // A value whose last chunk is partial.
    write(0, pattern(2 * kChunk + 100, 1), true);
    expectModel("two chunks and 100 bytes");
    // Straddling the first boundary, then the second one and the end.
    write(kChunk - 10, pattern(20, 50), false);
    expectModel("straddling a boundary");
    write(2 * kChunk - 5, pattern(300, 60), false);
    expectModel("straddling a boundary and the end");
    // A cut in the middle of a chunk: the bytes behind it are gone, also
    // when the value grows again over them without writing them.
    write(kChunk + 1000, pattern(10, 70), true);
    expectModel("cut inside the second chunk");
    write(3 * kChunk, pattern(5, 80), false);
    expectModel("grown past the old end: the old bytes must not come back");
    // A gap across several chunks is zero, whatever they held before.
    write(0, pattern(3, 90), true);
    write(5 * kChunk + 7, pattern(kChunk, 100), false);
    expectModel("gap over four chunks");
    // An empty cutting write in the middle of a chunk, and at a boundary.
    write(2 * kChunk + 33, {}, true);
    expectModel("empty cut inside a chunk");
    write(kChunk, {}, true);
    expectModel("empty cut at a boundary");
    write(kChunk + 50, {1}, false);
    expectModel("grown again by one byte after a gap");
    write(0, {}, true);
    expectModel("emptied");
    // An empty cut inside a chunk that holds data: growing again inside it
    // and beyond it must find zeros, not what the chunk held.
    write(0, pattern(kChunk, 11), true);
    write(100, {}, true);
    expectModel("empty cut inside a full chunk");
    write(200, {1}, false);
    expectModel("grown inside the chunk the cut shortened");
    write(kChunk + 5, {2}, false);
    expectModel("grown beyond it");
    // An overwrite inside the value keeps both sides.
    write(0, pattern(3 * kChunk, 7), true);
    write(100, pattern(kChunk, 8), false);
    expectModel("overwrite inside");
    EXPECT_EQ(s.attribute(owner, kAttr)->type, 2u);
    write(0, pattern(4, 9), false, 4);
    EXPECT_EQ(s.attribute(owner, kAttr)->type, 4u) << "every write names the type";
}

TEST_F(AttrStore, RandomWritesAgreeWithTheArrayModel) {
    std::mt19937 rng(20240611);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    for (int step = 0; step < 400; ++step) {
        // Offsets near chunk boundaries more often than not.
        uint64_t offset = pick(6 * kChunk);
        if (pick(2)) {
            offset = pick(7) * kChunk + pick(9);
            offset = offset >= 4 ? offset - 4 : 0;
        }
        const size_t kind = pick(6);
        size_t n = kind == 0 ? 0 : kind < 3 ? pick(20) : pick(kChunk + 1);
        bool cut = pick(4) == 0;
        write(offset, pattern(n, uint8_t(step)), cut);
        ASSERT_NO_FATAL_FAILURE(expectModel("step " + std::to_string(step)));
    }
}

TEST_F(AttrStore, AValueGrowsToExactlyTheLimitAndNoFurther) {
    write(kMaxAttrBytes - 1, {0xEE}, false);
    expectModel("one byte at the end of the largest value");
    EXPECT_THROW(s.writeAttribute(owner, kAttr, 2, kMaxAttrBytes, model.data(), 1, false),
                 StorageError);
    EXPECT_THROW(s.writeAttribute(owner, kAttr, 2, kMaxAttrBytes - 10, model.data(), 11, false),
                 StorageError);
    EXPECT_THROW(s.writeAttribute(owner, kAttr, 2, ~uint64_t(0), model.data(), 2, false),
                 StorageError)
        << "an offset that would wrap";
    expectModel("unchanged by the refused writes");
    std::vector<uint8_t> full = pattern(kMaxAttrBytes, 3);
    s.setAttribute(owner, kAttr, AttrValue{5, full});
    EXPECT_EQ(s.attribute(owner, kAttr)->bytes, full);
    full.push_back(1);
    EXPECT_THROW(s.setAttribute(owner, kAttr, AttrValue{5, full}), StorageError);
}

TEST_F(AttrStore, RemovingAValueOrItsOwnerTakesEveryChunk) {
    auto chunkRows = [](const std::string& path) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM attr_chunks", -1, &q, nullptr);
        int64_t n = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : -1;
        sqlite3_finalize(q);
        sqlite3_close(db);
        return n;
    };
    std::string path = tempDb("chunks.db");
    SqliteStorage f(path);
    nwdtest::seed(f);
    int64_t bob = bobOf(f);
    std::vector<uint8_t> big = pattern(5 * kChunk, 1);
    f.setAttribute(bob, kAttr, AttrValue{2, big});
    f.setAttribute(bob, {52, 250001}, AttrValue{2, big});
    EXPECT_EQ(chunkRows(path), 10);
    EXPECT_TRUE(f.removeAttribute(bob, kAttr));
    EXPECT_EQ(chunkRows(path), 5);
    // A new value must not find chunks of the removed one.
    f.writeAttribute(bob, kAttr, 2, 3 * kChunk, big.data(), 1, false);
    std::optional<AttrValue> v = f.attribute(bob, kAttr);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bytes, [&] {
        std::vector<uint8_t> e(3 * kChunk + 1, 0);
        e.back() = big[0];
        return e;
    }());
    ASSERT_TRUE(f.removeEntry(bob));
    EXPECT_EQ(chunkRows(path), 0) << "the owner's removal reaches the chunks";
}

// The fault this layout removes: a write that stores the whole value.
TEST(AttrStoreCost, AWriteIntoALargeValueStoresOnlyItsOwnPages) {
    std::string path = tempDb("cost.db");
    SqliteStorage s(path);
    nwdtest::seed(s);
    int64_t bob = bobOf(s);
    std::vector<uint8_t> big = pattern(kMaxAttrBytes, 5);
    s.setAttribute(bob, kAttr, AttrValue{2, big});
    auto walBytes = [&] { return std::filesystem::file_size(path + "-wal"); };
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(walBytes(), 0u);
    // One chunk in the middle, one straddling two chunks, one at the end.
    s.writeAttribute(bob, kAttr, 2, 100 * kChunk, big.data(), kChunk, false);
    s.writeAttribute(bob, kAttr, 2, 200 * kChunk - 50, big.data(), 100, false);
    s.writeAttribute(bob, kAttr, 2, kMaxAttrBytes - 1, big.data(), 1, false);
    // A whole-value rewrite would add some 260 pages each time.
    EXPECT_LT(walBytes(), 24u * (4096 + 24)) << "three small commits";
    std::copy(big.begin(), big.begin() + kChunk, big.begin() + 100 * kChunk);
    std::copy(big.begin(), big.begin() + 100, big.begin() + 200 * kChunk - 50);
    big.back() = big.front();
    EXPECT_EQ(s.attribute(bob, kAttr)->bytes, big);
}

// Schema 1 kept each value in one row; a file of it is migrated on opening.
class Schema1 : public ::testing::Test {
  protected:
    // A file as schema 1 left it: the directory, and `values` (type, bytes)
    // of bob at numbers 1, 2, ...
    void makeSchema1(const std::string& path,
                     const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& values) {
        {
            SqliteStorage s(path);
            nwdtest::seed(s);
            bob = bobOf(s);
        }
        nwdtest::downgradeUsersToSchema3(path);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const char* sql = "DROP TABLE attr_chunks; DROP TABLE attributes;"
                          "CREATE TABLE attributes (owner_id INTEGER NOT NULL REFERENCES "
                          "entries(id) ON DELETE CASCADE, category INTEGER NOT NULL, number "
                          "INTEGER NOT NULL, type INTEGER NOT NULL, value BLOB NOT NULL, "
                          "PRIMARY KEY (owner_id, category, number)) WITHOUT ROWID;"
                          "PRAGMA user_version = 1;";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO attributes VALUES (?, 52, ?, ?, ?)", -1, &ins, nullptr);
        for (size_t i = 0; i < values.size(); ++i) {
            sqlite3_bind_int64(ins, 1, bob);
            sqlite3_bind_int64(ins, 2, int64_t(i + 1));
            sqlite3_bind_int64(ins, 3, values[i].first);
            if (values[i].second.empty()) // an empty blob, not NULL
                sqlite3_bind_zeroblob(ins, 4, 0);
            else
                sqlite3_bind_blob(ins, 4, values[i].second.data(), int(values[i].second.size()),
                                  SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(ins), SQLITE_DONE);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_close(db);
    }
    static int64_t userVersion(const std::string& path) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &q, nullptr);
        int64_t v = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : -1;
        sqlite3_finalize(q);
        sqlite3_close(db);
        return v;
    }
    int64_t bob = 0;
};

TEST_F(Schema1, ValuesOfAnOldFileAreMigratedOnOpening) {
    std::string path = tempDb("schema1.db");
    std::vector<uint8_t> ints = {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE};
    std::vector<uint8_t> longer = pattern(3 * kChunk + 17, 4);
    makeSchema1(path, {{2, longer}, {4, ints}, {3, {}}, {2, pattern(kChunk, 9)}});
    {
        SqliteStorage s(path);
        EXPECT_EQ(s.attribute(bob, {52, 1})->bytes, longer);
        EXPECT_EQ(s.attribute(bob, {52, 2})->type, 4u);
        EXPECT_EQ(s.attribute(bob, {52, 2})->bytes, ints);
        EXPECT_TRUE(s.attribute(bob, {52, 3})->bytes.empty());
        EXPECT_EQ(s.attribute(bob, {52, 3})->type, 3u);
        EXPECT_EQ(s.attribute(bob, {52, 4})->bytes, pattern(kChunk, 9));
        EXPECT_EQ(s.attributeNames(bob, {0, 0}, {99, 99}, 10).size(), 4u);
        s.writeAttribute(bob, {52, 1}, 2, 10, ints.data(), 2, true);
        EXPECT_EQ(s.attribute(bob, {52, 1})->bytes.size(), 12u);
    }
    EXPECT_EQ(userVersion(path), kSchemaVersion) << "brought up to the current schema";
    SqliteStorage again(path);
    EXPECT_EQ(again.attribute(bob, {52, 4})->bytes, pattern(kChunk, 9));
}

TEST_F(Schema1, AnOldFileThatCannotBeMigratedIsRefusedAndLeftAsItWas) {
    std::string path = tempDb("schema1-bad.db");
    makeSchema1(path, {{2, pattern(10, 1)}, {2, std::vector<uint8_t>(kMaxAttrBytes + 1, 1)}});
    try {
        SqliteStorage s(path);
        FAIL() << "a value beyond the limit cannot be migrated";
    } catch (const StorageError& e) {
        EXPECT_NE(std::string(e.what()).find("migrate"), std::string::npos) << e.what();
    }
    EXPECT_EQ(userVersion(path), 1) << "the failed migration is rolled back";
}

TEST(DirectoryStamp, MovesWithNamesAndUsersAndWithOtherConnectionsOnly) {
    std::string path = tempDb("stamp.db");
    SqliteStorage s(path);
    nwdtest::seed(s);
    int64_t bob = bobOf(s);
    uint64_t stamp = s.directoryStamp();
    EXPECT_EQ(s.directoryStamp(), stamp) << "nothing changed";
    // This connection's attribute writes and reads do not move it...
    s.setAttribute(bob, kAttr, AttrValue{2, {1, 2, 3}});
    s.writeAttribute(bob, kAttr, 2, 1, pattern(1, 1).data(), 1, false);
    EXPECT_TRUE(s.removeAttribute(bob, kAttr));
    EXPECT_EQ(s.directoryStamp(), stamp);
    // ...its changes of names, group servers and users do.
    int64_t org = s.addEntry(0, Kind::Org, "Other", "OTHER");
    uint64_t after = s.directoryStamp();
    EXPECT_NE(after, stamp);
    s.setGroupServer(Directory(s).resolve("Sales@Demo", kNameKindGroup).entry.id,
                     "NW2@Support@Demo");
    EXPECT_NE(s.directoryStamp(), after);
    after = s.directoryStamp();
    std::optional<UserRecord> u = s.user(bob);
    ASSERT_TRUE(u);
    s.setUser(bob, *u);
    EXPECT_NE(s.directoryStamp(), after);
    after = s.directoryStamp();
    // A batch rolled back may have been seen while it was open.
    {
        Transaction t(s);
        s.removeEntry(org);
    }
    EXPECT_NE(s.directoryStamp(), after);
    after = s.directoryStamp();
    // Any commit of another connection (an admin command) moves it.
    {
        SqliteStorage admin(path);
        admin.setProfile(bob, "K", "V");
    }
    EXPECT_NE(s.directoryStamp(), after);
}

} // namespace
