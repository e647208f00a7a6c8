// The directory-assistance paging over the storage's index, without
// sockets: relative positions keep the order, filters refuse what cannot
// be a pattern, and the index follows every writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <sqlite3.h>
#include <sstream>

#include "admin.h"
#include "directory.h"
#include "nmda.h"
#include "sqlite_storage.h"

using namespace nwd;
namespace wire = qrd::nmdawire;

namespace {

class NmdaPaging : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ostringstream out;
        AdminContext ctx{storage, out, nullptr, kMinIterations};
        ctx.seedMode = true;
        std::istringstream seed("org add Demo\ngroup add Sales@Demo\ngroup add Far@Demo\n"
                                "user add zoe@Far@Demo --password z --description Zoe\n"
                                "service add LASER@Far@Demo --class print\n");
        loadSeed(ctx, seed, "test");
        group = Directory(storage).resolve("Sales@Demo", kNameKindGroup).entry.id;
        storage.addBulkUsers(group, "u", 1, 1000);
    }

    wire::DataReply ask(uint16_t op, wire::Context ctx = {}, const std::string& pattern = "") {
        wire::DataRequest rq;
        rq.context = ctx;
        rq.context.operation = op;
        rq.query.pattern = pattern;
        wire::DataReply reply;
        EXPECT_EQ(nmdaServe(storage, positions, rq, reply), 0);
        return reply;
    }

    SqliteStorage storage{":memory:"};
    NmdaPositionCache positions;
    int64_t group = 0;
};

TEST(NmdaPositionTable, PercentsOfTheAnswerTurnIntoKeysAndBack) {
    std::vector<std::string> keys;
    for (int i = 0; i < 1000; ++i)
        keys.push_back("K" + std::to_string(1000 + i));
    NmdaPositions t = NmdaPositions::fromKeys(keys);
    ASSERT_EQ(t.keys.size(), 101u);
    EXPECT_EQ(t.keyAt(0), "K1000");
    EXPECT_EQ(t.keyAt(100), "K1999");
    EXPECT_EQ(t.keyAt(250), "K1999") << "beyond 100: the end";
    EXPECT_EQ(t.positionOf("A"), 0) << "below the first";
    EXPECT_EQ(t.positionOf("K1999"), 100);
    uint16_t previous = 0;
    for (const std::string& k : keys) {
        const uint16_t p = t.positionOf(k);
        EXPECT_GE(p, previous) << k;
        previous = p;
    }
    for (uint16_t p = 0; p <= 100; ++p)
        EXPECT_EQ(t.positionOf(t.keyAt(p)), p);

    NmdaPositions one = NmdaPositions::fromKeys({"ONLY"});
    EXPECT_EQ(one.positionOf("ONLY"), 0) << "one name: a page at the top";
    EXPECT_TRUE(NmdaPositions::fromKeys({}).keys.empty());
}

TEST_F(NmdaPaging, AJumpLandsWhereItsPositionSays) {
    wire::Context ctx;
    ctx.forward = 50;
    wire::DataReply r = ask(wire::kNext, ctx);
    ASSERT_EQ(r.entries.size(), wire::kPageSize);
    EXPECT_EQ(r.context.forward, 50);
    // Half way through a thousand and one names, however their spellings
    // spread over the alphabet.
    EXPECT_EQ(r.entries.front().name, "u000501@Sales@Demo"); // name 500 counting from 0
    EXPECT_EQ(positions.made(), 1u);

    ctx = r.context;
    ctx.forward = wire::kBeside;
    wire::DataReply next = ask(wire::kNext, ctx);
    ASSERT_FALSE(next.entries.empty());
    EXPECT_GT(next.entries.front().name, r.entries.back().name);
    EXPECT_GE(next.context.forward, r.context.backward);
}

TEST_F(NmdaPaging, TheIndexFollowsAddsRemovesAndDescriptions) {
    wire::Context ctx;
    ctx.kind = 2; // print services
    wire::DataReply r = ask(wire::kFirst, ctx);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].name, "LASER@Far@Demo");
    EXPECT_EQ(r.entries[0].kind, 2);

    Entry zoe = Directory(storage).resolve("zoe@Far@Demo", kNameKindObject).entry;
    UserRecord u = *storage.user(zoe.id);
    u.description = "Zoe Zed";
    storage.setUser(zoe.id, u);
    r = ask(wire::kLast);
    ASSERT_FALSE(r.entries.empty());
    EXPECT_EQ(r.entries.back().name, "zoe@Far@Demo");
    EXPECT_EQ(r.entries.back().description, "Zoe Zed");
    EXPECT_EQ(r.entries.back().descKind, wire::kValueText);

    storage.removeEntry(zoe.id);
    r = ask(wire::kLast);
    EXPECT_EQ(r.entries.back().name, "u001000@Sales@Demo");
}

TEST_F(NmdaPaging, FiltersRefuseWhatCannotBeAPattern) {
    NmdaFilter f;
    std::string from, below;
    EXPECT_EQ(nmdaFilter(6, "", {}, f, from, below), 1068) << "no such kind";
    EXPECT_EQ(nmdaFilter(0, "a@b@c@d", {}, f, from, below), 1001) << "four parts";
    EXPECT_EQ(nmdaFilter(0, "a[b", {}, f, from, below), 1001) << "not a name character";
    std::vector<wire::Criterion> c(1);
    c[0].valueKind = 4;
    EXPECT_EQ(nmdaFilter(0, "", c, f, from, below), 1068) << "only texts are compared";

    ASSERT_EQ(nmdaFilter(0, "u0001*", {}, f, from, below), 0);
    EXPECT_EQ(f.glob, "U0001*@*@*");
    EXPECT_EQ(from, "U0001");
    EXPECT_EQ(below, "U0002") << "the literal prefix bounds the walk";
    ASSERT_EQ(nmdaFilter(0, "", {}, f, from, below), 0);
    EXPECT_TRUE(f.glob.empty()) << "every name: no pattern to test";

    wire::DataReply r = ask(wire::kFirst, {}, "u0001*");
    ASSERT_EQ(r.entries.size(), 7u);
    EXPECT_EQ(r.entries[0].name, "u000100@Sales@Demo");
    r = ask(wire::kLast, {}, "u0001*");
    EXPECT_EQ(r.entries.back().name, "u000199@Sales@Demo");
    // LIKE's own characters in a criterion are taken as themselves.
    wire::DataRequest rq;
    rq.context.operation = wire::kFirst;
    rq.query.criteria.push_back({wire::kMatchPattern, 0, 1, wire::kValueText, "u%"});
    wire::DataReply none;
    ASSERT_EQ(nmdaServe(storage, positions, rq, none), 0);
    EXPECT_TRUE(none.entries.empty());
}

TEST(NmdaIndex, AFileOfSchemaFiveGetsItsIndexWhenOpened) {
    const std::string path = ::testing::TempDir() + "nmda_schema5.db";
    std::remove(path.c_str());
    {
        SqliteStorage s(path);
        std::ostringstream out;
        AdminContext ctx{s, out, nullptr, kMinIterations};
        ctx.seedMode = true;
        std::istringstream seed("org add Demo\ngroup add Sales@Demo\n"
                                "user add ann@Sales@Demo --password a --description Ann\n"
                                "service add LP@Sales@Demo --class print\n"
                                "list add Team@Sales@Demo\n");
        loadSeed(ctx, seed, "test");
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* downgrade =
        "DROP TRIGGER nmda_entry; DROP TRIGGER nmda_user_add; DROP TRIGGER nmda_user_set;"
        "DROP TRIGGER nmda_service_add; DROP TRIGGER nmda_service_set;"
        "DROP TABLE nmda_names; PRAGMA user_version = 5";
    ASSERT_EQ(sqlite3_exec(db, downgrade, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    SqliteStorage s(path);
    NmdaPositionCache positions;
    wire::DataRequest rq;
    rq.context.operation = wire::kFirst;
    wire::DataReply r;
    ASSERT_EQ(nmdaServe(s, positions, rq, r), 0);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].name, "ann@Sales@Demo");
    EXPECT_EQ(r.entries[0].description, "Ann") << "descriptions come along";
    rq.context.kind = 2;
    ASSERT_EQ(nmdaServe(s, positions, rq, r), 0);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].name, "LP@Sales@Demo") << "and service classes";
    // The triggers are back: a new name is found at once.
    Entry group = Directory(s).resolve("Sales@Demo", kNameKindGroup).entry;
    s.addBulkUsers(group.id, "b", 1, 1);
    rq.context.kind = 0;
    ASSERT_EQ(nmdaServe(s, positions, rq, r), 0);
    EXPECT_EQ(r.entries.size(), 2u);
}

} // namespace
