// The directory-assistance index (kNmdaSchema): pages of names in key order.
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "sqlite_schema.h"
#include "sqlite_statement.h"

namespace nwd {

namespace {

// Statement texts are made for the shape of a walk: its direction, which
// bounds and filters it has, and what each criterion compares. A text
// holds only the clauses it needs (a clause that only tests an unused
// parameter still costs each execution), and each shape's text is made
// once and kept, so that the statement caches (keyed by the text's
// address) reuse it. An attribute criterion compares the first string of
// the value's first chunk (chunk 0 of head A is row A * kChunksPerValue).
enum class Walk { Up = 0, Down = 1, Keys = 2 };

// Parameters: ?1 kind, ?2 class, ?3 from, ?4 below, ?5 glob, ?6 limit, and
// from ?10 four per criterion: the pattern, unused, category, number.
constexpr int kFirstMatchParam = 10;

uint32_t shapeOf(Walk walk, const NmdaFilter& f, const std::string& below) {
    uint32_t shape = uint32_t(walk);
    if (f.serviceClass >= 0) shape |= 1u << 2;
    if (!below.empty()) shape |= 1u << 3;
    if (!f.glob.empty()) shape |= 1u << 4;
    shape |= uint32_t(f.matches.size()) << 5;
    for (size_t i = 0; i < f.matches.size(); ++i)
        if (f.matches[i].description) shape |= 1u << (9 + i);
    return shape;
}

std::string sqlFor(Walk walk, const NmdaFilter& f, const std::string& below) {
    std::string sql = walk == Walk::Keys
                          ? "SELECT sort_key FROM nmda_names n "
                          : "SELECT sort_key, name, kind, class, description FROM nmda_names n ";
    sql += "WHERE n.kind = ?1 AND n.sort_key >= ?3";
    if (f.serviceClass >= 0) sql += " AND n.class = ?2";
    if (!below.empty()) sql += " AND n.sort_key < ?4";
    if (!f.glob.empty()) sql += " AND n.sort_key GLOB ?5";
    for (size_t i = 0; i < f.matches.size(); ++i) {
        const int at = kFirstMatchParam + int(i) * 4;
        char clause[512];
        if (f.matches[i].description)
            std::snprintf(clause, sizeof clause, " AND n.description LIKE ?%d ESCAPE '\\'", at);
        else
            std::snprintf(clause, sizeof clause,
                          " AND EXISTS (SELECT 1 FROM attributes a JOIN attr_chunks c "
                          "ON c.id = a.id * %lld WHERE a.owner_id = n.entry_id "
                          "AND a.category = ?%d AND a.number = ?%d AND a.type = 3 "
                          "AND CAST(CASE WHEN instr(c.data, x'00') > 0 THEN substr(c.data, 1, "
                          "instr(c.data, x'00') - 1) ELSE c.data END AS TEXT) LIKE ?%d ESCAPE "
                          "'\\')",
                          static_cast<long long>(kChunksPerValue), at + 2, at + 3, at);
        sql += clause;
    }
    sql += walk == Walk::Down ? " ORDER BY n.sort_key DESC" : " ORDER BY n.sort_key";
    sql += " LIMIT ?6";
    return sql;
}

// The kept text of a walk's shape; its address stays valid.
const char* statement(Walk walk, const NmdaFilter& f, const std::string& below) {
    static std::mutex mu;
    static std::map<uint32_t, std::string> texts;
    const uint32_t shape = shapeOf(walk, f, below);
    std::lock_guard<std::mutex> l(mu);
    auto it = texts.find(shape);
    if (it == texts.end()) it = texts.emplace(shape, sqlFor(walk, f, below)).first;
    return it->second.c_str();
}

// Binds what the walk's shape uses: the filter, the bounds and the limit.
template <class Stmt>
void bindFilter(Stmt& s, const NmdaFilter& f, const std::string& from, const std::string& below,
                int64_t limit) {
    s.bind(1, int64_t(f.kind)).bind(3, from).bind(6, limit);
    if (f.serviceClass >= 0) s.bind(2, int64_t(f.serviceClass));
    if (!below.empty()) s.bind(4, below);
    if (!f.glob.empty()) s.bind(5, f.glob);
    for (size_t i = 0; i < f.matches.size(); ++i) {
        const int at = kFirstMatchParam + int(i) * 4;
        const NmdaMatch& m = f.matches[i];
        s.bind(at, m.like);
        if (!m.description)
            s.bind(at + 2, int64_t(m.attr.category)).bind(at + 3, int64_t(m.attr.number));
    }
}

Walk checked(const NmdaFilter& f, Walk walk) {
    if (f.matches.size() > kNmdaMatchMax)
        throw StorageError(StorageError::Failure, "too many directory-assistance criteria");
    return walk;
}

} // namespace

std::vector<NmdaRow> SqliteStorage::nmdaNames(const NmdaFilter& f, const std::string& from,
                                              const std::string& below, bool descending,
                                              size_t limit) {
    Reading r(*this);
    Stmt s = r.prepare(statement(checked(f, descending ? Walk::Down : Walk::Up), f, below));
    bindFilter(s, f, from, below, int64_t(limit));
    std::vector<NmdaRow> out;
    while (s.step()) {
        NmdaRow row;
        row.key = s.text(0);
        row.name = s.text(1);
        row.kind = Kind(s.i64(2));
        row.serviceClass = int(s.i64(3));
        row.description = s.text(4);
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<std::string> SqliteStorage::nmdaKeys(const NmdaFilter& f, const std::string& from,
                                                 const std::string& below) {
    Reading r(*this);
    Stmt s = r.prepare(statement(checked(f, Walk::Keys), f, below));
    bindFilter(s, f, from, below, -1); // LIMIT -1: no limit
    std::vector<std::string> out;
    while (s.step())
        out.push_back(s.text(0));
    return out;
}

size_t SqliteStorage::addBulkUsers(int64_t groupId, const std::string& prefix, size_t first,
                                   size_t count) {
    Transaction t(*this);
    size_t added = 0;
    {
        Lock l(mutex_);
        ++stamp_;
        for (size_t i = first; i < first + count; ++i) {
            char number[24];
            std::snprintf(number, sizeof number, "%06zu", i);
            const std::string name = prefix + number;
            {
                Stmt entry = prepare("INSERT INTO entries(parent_id, kind, name, name_key) "
                                     "VALUES (?, 1, ?, upper(?))");
                entry.bind(1, groupId).bind(2, name).bind(3, name);
                entry.run();
            }
            Stmt user = prepare("INSERT INTO users(entry_id, salt, iterations, stored_key, "
                                "server_key, description, admin) "
                                "VALUES (?, x'', 0, x'', x'', ?, 0)");
            user.bind(1, int64_t(sqlite3_last_insert_rowid(db_))).bind(2, prefix + " " + number);
            user.run();
            ++added;
        }
    }
    t.commit();
    return added;
}

} // namespace nwd
