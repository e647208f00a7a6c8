// Sessions and nonces of a user removed while the daemon serves (by an admin
// command on the same file): they end, and never pass to an entry made
// afterwards, whatever its name or rights.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sqlite3.h>

#include "directory.h"
#include "handlers.h"
#include "log.h"
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

class RemovedUser : public ::testing::Test {
  protected:
    RemovedUser() {
        setLogQuiet(true);
        for (const char* end : {"", "-wal", "-shm"})
            std::filesystem::remove(path + end);
        storage = std::make_unique<SqliteStorage>(path);
        nwdtest::seed(*storage);
        HandlerConfig cfg;
        cfg.serverName = "NW1@Sales@Demo";
        handler = std::make_unique<Handler>(*storage, sessions, nullptr, cfg,
                                            [] { return uint32_t(1700000000); });
        alice = start(login("alice@Sales@Demo", "alice-pw")).results;
    }

    Reply call(Call c) {
        // From the address of a server of the directory (NW1), which may
        // also ask about nonces.
        Handler::Reply r = handler->handle(Road::Native, ServiceKind::Namewright, c.data().data(),
                                           c.data().size(), Source{0x7F000001});
        EXPECT_TRUE(r.has_value());
        return r ? Reply::of(*r) : Reply{};
    }
    std::vector<uint8_t> login(const std::string& user, const std::string& pw) {
        LoginOutcome o = scramLogin([this](Call c) { return call(c); }, user, pw);
        EXPECT_EQ(o.status, 0) << user;
        return o.status == 0 ? o.nonce : std::vector<uint8_t>(14, 0);
    }
    Reply start(const std::vector<uint8_t>& nonce) {
        return call(Call(qrd::nm::kStartSession).bytes(nonce));
    }
    uint16_t write(const std::vector<uint8_t>& sid, const std::string& name,
                   std::vector<uint8_t> data) {
        Call c(qrd::nm::kWriteAttr);
        c.bytes(sid).str(name).u16(0).u32(kMain.category).u32(kMain.number);
        c.u32(2).u32(0).u32(uint32_t(data.size())).u32(2);
        c.u16(2).u16(uint16_t(data.size())).bytes(data).u16(0).u16(0);
        return call(c).code;
    }
    uint16_t read(const std::vector<uint8_t>& sid, const std::string& name) {
        Call c(qrd::nm::kReadAttr);
        c.bytes(sid).str(name).u16(0).u32(kMain.category).u32(kMain.number);
        c.u32(2).u32(0).u32(100).u32(0).u16(0).u16(0);
        return call(c).code;
    }
    // An admin command through a connection of its own, as another process.
    void admin(const std::string& command) {
        SqliteStorage other(path);
        nwdtest::seed(other, command + "\n");
    }
    int64_t idOf(const std::string& name) {
        Resolved r = Directory(*storage).resolve(name, kNameKindObject);
        EXPECT_EQ(r.status, 0) << name;
        return r.entry.id;
    }

    std::string path = qrdtest::workstation().dir + "/removeduser.db";
    std::unique_ptr<SqliteStorage> storage;
    SessionTable sessions;
    std::unique_ptr<Handler> handler;
    std::vector<uint8_t> alice; // an administrator's session, to look with
};

TEST_F(RemovedUser, SessionsEndAndNeitherThemNorTheNoncePassToLaterEntries) {
    // carol is the newest entry: her id is the one a reusing table hands out.
    admin("user add carol@Sales@Demo --password carol-pw");
    const int64_t carolId = idOf("carol@Sales@Demo");
    const std::vector<uint8_t> nonce = login("carol@Sales@Demo", "carol-pw");
    // One session per way of naming a session in a request.
    const std::vector<uint16_t> procs = {qrd::nm::kReadAttr, qrd::nm::kWriteAttr,
                                         qrd::nm::kWriteAssoc, qrd::nm::kFormatName,
                                         qrd::nm::kListMembers};
    std::vector<std::vector<uint8_t>> carol;
    for (size_t i = 0; i < procs.size(); ++i)
        carol.push_back(start(nonce).results);
    ASSERT_EQ(write(carol[0], "carol@Sales@Demo", {1}), 0);
    const size_t open = sessions.size();

    admin("user remove carol@Sales@Demo");
    admin("user add carol@Sales@Demo --password other-pw");
    admin("user add mallory@Sales@Demo --password m-pw --admin");
    EXPECT_NE(idOf("carol@Sales@Demo"), carolId);
    EXPECT_NE(idOf("mallory@Sales@Demo"), carolId);

    // Each procedure refuses the old sessions as unknown, so the client
    // starts anew, and writes nothing for the new entries.
    for (size_t i = 0; i < procs.size(); ++i) {
        const std::vector<uint8_t>& sid = carol[i];
        Reply r;
        switch (procs[i]) {
        case qrd::nm::kReadAttr:
            r.code = read(sid, "carol@Sales@Demo");
            break;
        case qrd::nm::kWriteAttr:
            r.code = write(sid, "carol@Sales@Demo", {7});
            break;
        case qrd::nm::kWriteAssoc:
            r = call(Call(qrd::nm::kWriteAssoc)
                         .bytes(sid)
                         .str("alice@Sales@Demo")
                         .u16(0)
                         .u16(9)
                         .str("x"));
            break;
        case qrd::nm::kFormatName:
            r = call(Call(qrd::nm::kFormatName).bytes(sid).u16(300).str("bob@Sales@Demo"));
            break;
        default:
            r = call(Call(qrd::nm::kListMembers).bytes(sid).str("Team@Sales@Demo").u16(0));
        }
        EXPECT_EQ(r.code, 1017) << "procedure " << procs[i];
    }
    EXPECT_EQ(sessions.size(), open - procs.size()) << "the old sessions are ended";
    EXPECT_EQ(read(alice, "carol@Sales@Demo"), 1055) << "the new carol has no value";
    std::optional<std::vector<uint8_t>> rec = storage->assocRecord(idOf("alice@Sales@Demo"), 9);
    EXPECT_FALSE(rec);

    // The old nonce opens nothing and names nobody; the new carol's works.
    EXPECT_EQ(start(nonce).code, 1025);
    Reply valid = call(Call(qrd::nm::kVerifyNonce).bytes(nonce));
    ASSERT_TRUE(valid.ok());
    EXPECT_EQ(valid.reader().u16(), 0);
    EXPECT_EQ(call(Call(qrd::nm::kNonceOwner).bytes(nonce)).code, 1025);
    std::vector<uint8_t> fresh = start(login("carol@Sales@Demo", "other-pw")).results;
    EXPECT_EQ(write(fresh, "carol@Sales@Demo", {2}), 0);
    EXPECT_EQ(write(fresh, "alice@Sales@Demo", {2}), 1033) << "not an administrator";
    EXPECT_EQ(write(alice, "bob@Sales@Demo", {3}), 0) << "other sessions go on";
}

// However an id came to name another entry (a file of an older schema, a
// restored copy), the session follows the user, not the number.
TEST_F(RemovedUser, ASessionWhoseIdNowNamesSomeoneElseIsRefused) {
    std::vector<uint8_t> bob = start(login("bob@Sales@Demo", "bob-pw")).results;
    ASSERT_EQ(write(bob, "bob@Sales@Demo", {1}), 0);
    const int64_t bobId = idOf("bob@Sales@Demo");
    const int64_t sales = Directory(*storage).resolve("Sales@Demo", kNameKindGroup).entry.id;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "PRAGMA foreign_keys = ON; DELETE FROM entries WHERE id = " + std::to_string(bobId) +
        "; INSERT INTO entries VALUES (" + std::to_string(bobId) + ", " + std::to_string(sales) +
        ", 1, 'eve', 'EVE'); INSERT INTO users VALUES (" + std::to_string(bobId) +
        ", x'00', 1, x'00', x'00', '', 1, 0);";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);

    EXPECT_EQ(write(bob, "alice@Sales@Demo", {9}), 1017) << "eve is an administrator";
    EXPECT_EQ(read(alice, "alice@Sales@Demo"), 1055) << "nothing was written";
    EXPECT_EQ(read(bob, "eve@Sales@Demo"), 1017);
}

} // namespace
