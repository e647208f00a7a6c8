// Helpers shared by the daemon's tests: a seeded in-memory directory and
// datagram builders.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <functional>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>

#include "admin.h"
#include "qrd/bytes.h"
#include "qrd/loginwire.h"
#include "qrd/nmproto.h"
#include "qrd/scram.h"
#include "sqlite_storage.h"

namespace nwdtest {

// Low work factor: the tests derive many keys.
constexpr uint32_t kTestIterations = 1000;

// A small directory: Demo with Sales and Support, users (alice is an
// administrator, "josé" has a Latin-1 name), a list, services, a server and
// a nickname.
inline const char* testSeed() {
    return R"(org add Demo
group add Sales@Demo
group add Support@Demo
server add NW1@Sales@Demo 127.0.0.1
server add NW2@Support@Demo 127.0.0.2
user add alice@Sales@Demo --password alice-pw --description "Alice Archer" --admin
user add bob@Sales@Demo --password bob-pw
user add josé@Support@Demo --password "josé-pw"
list add Team@Sales@Demo
member add Team@Sales@Demo bob@Sales@Demo
service add FILES@Sales@Demo --class file --manager bob@Sales@Demo
service add PRINT@Support@Demo --class print
nickname add ali@Sales@Demo alice@Sales@Demo
)";
}

// The users and nonces as schemas 1 to 3 kept them: a PBKDF2-HMAC-SHA256
// hash of the password (made here from the test seed's passwords) and nonces
// in clear. For tests of older files.
inline void downgradeUsersToSchema3(const std::string& path) {
    const std::map<std::string, std::string> passwords = {
        {"alice", "alice-pw"}, {"bob", "bob-pw"}, {"jos\xC3\xA9", "jos\xE9-pw"}};
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
    // Value heads counted no writes before schema 4.
    sqlite3_stmt* has = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT count(*) FROM pragma_table_info('attributes') WHERE name = "
                       "'version'",
                       -1, &has, nullptr);
    const bool versioned = sqlite3_step(has) == SQLITE_ROW && sqlite3_column_int(has, 0) == 1;
    sqlite3_finalize(has);
    if (versioned)
        sqlite3_exec(db, "ALTER TABLE attributes DROP COLUMN version", nullptr, nullptr, nullptr);
    const char* sql =
        "BEGIN; CREATE TABLE users_old (entry_id INTEGER PRIMARY KEY REFERENCES entries(id) ON "
        "DELETE CASCADE, salt BLOB NOT NULL, hash BLOB NOT NULL, iterations INTEGER NOT NULL, "
        "description TEXT NOT NULL, admin INTEGER NOT NULL);"
        "INSERT INTO users_old SELECT entry_id, salt, x'', iterations, description, admin FROM "
        "users; DROP TABLE users; ALTER TABLE users_old RENAME TO users;"
        "DROP TABLE nonces; CREATE TABLE nonces (serial INTEGER PRIMARY KEY AUTOINCREMENT, opaque "
        "BLOB NOT NULL, word1 INTEGER NOT NULL, user_id INTEGER NOT NULL REFERENCES entries(id) "
        "ON DELETE CASCADE, issued INTEGER NOT NULL);"
        "INSERT INTO nonces(opaque, word1, user_id, issued) SELECT x'010203040506', 7, entry_id, "
        "5 FROM users; PRAGMA user_version = 3; COMMIT;";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT u.entry_id, e.name, u.salt, u.iterations FROM users u JOIN entries "
                       "e ON e.id = u.entry_id",
                       -1, &q, nullptr);
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> hashes;
    while (sqlite3_step(q) == SQLITE_ROW) {
        auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(q, 2));
        std::vector<uint8_t> salt(p, p + sqlite3_column_bytes(q, 2));
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
        hashes.push_back(
            {sqlite3_column_int64(q, 0),
             nwd::pbkdf2Sha256(passwords.at(name), salt, uint32_t(sqlite3_column_int64(q, 3)),
                               nwd::kHashBytes)});
    }
    sqlite3_finalize(q);
    for (auto& [id, hash] : hashes) {
        sqlite3_prepare_v2(db, "UPDATE users SET hash = ? WHERE entry_id = ?", -1, &q, nullptr);
        sqlite3_bind_blob(q, 1, hash.data(), int(hash.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(q, 2, id);
        sqlite3_step(q);
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
}

inline void seed(nwd::Storage& s, const std::string& text = testSeed()) {
    std::ostringstream out;
    nwd::AdminContext ctx{s, out, nullptr, kTestIterations};
    std::istringstream in(text);
    nwd::loadSeed(ctx, in, "test seed");
}

// A call datagram: the 12-byte header, then whatever the caller writes.
class Call {
  public:
    explicit Call(uint16_t procedure, uint16_t version = 1) {
        w_.u16(0);
        w_.u16(0);
        w_.u32(0);
        w_.u16(version);
        w_.u16(procedure);
    }
    Call& u16(uint16_t v) {
        w_.u16(v);
        return *this;
    }
    Call& u32(uint32_t v) {
        w_.u32(v);
        return *this;
    }
    // A string in Latin-1 (the wire form).
    Call& str(const std::string& s) {
        w_.string(s);
        return *this;
    }
    Call& bytes(const std::vector<uint8_t>& b) {
        w_.bytes(b.data(), b.size());
        return *this;
    }
    std::vector<uint8_t>& data() { return w_.data(); }

  private:
    qrd::BeWriter w_;
};

// Reads a reply: type, refusal code or the results.
struct Reply {
    uint16_t type = 0xFFFF;
    uint16_t code = 0;
    std::vector<uint8_t> results;

    static Reply of(const std::vector<uint8_t>& d) {
        Reply r;
        if (d.size() >= 4) {
            r.type = qrd::getBe16(d.data());
            r.results.assign(d.begin() + 4, d.end());
        }
        if (r.type == qrd::nm::kRefused && d.size() >= 6) r.code = qrd::getBe16(d.data() + 4);
        return r;
    }
    bool ok() const { return type == qrd::nm::kReturn; }
    qrd::BeReader reader() const { return qrd::BeReader(results.data(), results.size()); }
};

// A login exchange as a client runs it, over `send` (one call datagram in,
// the reply datagram out). The status of the first refusal, 1027 when the
// service's signature is wrong, else 0 with the 14 nonce bytes and the
// canonical name.
struct LoginOutcome {
    uint16_t status = 0;
    std::vector<uint8_t> nonce; // 14 bytes as they travel
    std::string canonical;
};
inline LoginOutcome scramLogin(const std::function<Reply(Call)>& send, const std::string& user,
                               const std::string& password) {
    namespace lw = qrd::loginwire;
    namespace sc = qrd::scram;
    LoginOutcome out;
    lw::StartRequest first;
    first.user = user;
    sc::randomBytes(first.clientNonce.data(), first.clientNonce.size());
    Call c1(qrd::nm::kLoginStart);
    lw::encode(first, c1.data());
    Reply r1 = send(c1);
    if (!r1.ok()) {
        out.status = r1.code ? r1.code : 0xFFFF;
        return out;
    }
    std::optional<lw::StartReply> ch = lw::decodeStartReply(r1.results.data(), r1.results.size());
    if (!ch) {
        out.status = qrd::nm::kBadRequest;
        return out;
    }
    sc::Bytes salted = sc::pbkdf2Sha256(password, ch->salt, ch->iterations, sc::kKeyBytes);
    std::string message = sc::authMessage(
        user, sc::Bytes(first.clientNonce.begin(), first.clientNonce.end()),
        sc::Bytes(ch->serverNonce.begin(), ch->serverNonce.end()), ch->salt, ch->iterations);
    sc::ClientSide mine = sc::clientSide(salted, message);
    lw::FinishRequest second;
    second.exchange = ch->exchange;
    std::copy(mine.proof.begin(), mine.proof.end(), second.proof.begin());
    Call c2(qrd::nm::kLoginFinish);
    lw::encode(second, c2.data());
    Reply r2 = send(c2);
    if (!r2.ok()) {
        out.status = r2.code ? r2.code : 0xFFFF;
        return out;
    }
    std::optional<lw::FinishReply> a = lw::decodeFinishReply(r2.results.data(), r2.results.size());
    if (!a) {
        out.status = qrd::nm::kBadRequest;
        return out;
    }
    if (sc::Bytes(a->serverSignature.begin(), a->serverSignature.end()) != mine.serverSignature) {
        out.status = qrd::nm::kServerUnproven;
        return out;
    }
    out.nonce.assign(a->nonce.begin(), a->nonce.end());
    out.canonical = a->canonical;
    return out;
}

} // namespace nwdtest
