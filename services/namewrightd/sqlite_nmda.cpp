// The directory-assistance index (kNmdaSchema): pages of names in key order.
#include <cstdio>
#include <string>

#include "sqlite_schema.h"
#include "sqlite_statement.h"

namespace nwd {

namespace {

// One statement text per direction and one for the keys alone, so that the
// statement cache (keyed by the text's address) holds three. Unused criteria are bound NULL and
// cost a comparison per row. An attribute criterion compares the first string of the value's first
// chunk (attribute values are kept in chunks; chunk 0 of head A is row A * kChunksPerValue).
enum class Walk { Up, Down, Keys };

std::string pageSql(Walk walk) {
    std::string sql = walk == Walk::Keys
                          ? "SELECT sort_key FROM nmda_names n "
                          : "SELECT sort_key, name, kind, class, description FROM nmda_names n ";
    sql += "WHERE n.kind = ?1 AND (?2 < 0 OR n.class = ?2) "
           "AND n.sort_key >= ?3 AND (?4 = '' OR n.sort_key < ?4) "
           "AND (?5 = '' OR n.sort_key GLOB ?5)";
    for (size_t i = 0; i < kNmdaMatchMax; ++i) {
        const int at = 10 + int(i) * 4; // ?at like, +1 description, +2 category, +3 number
        char clause[640];
        std::snprintf(clause, sizeof clause,
                      " AND (?%d IS NULL OR (CASE WHEN ?%d THEN n.description LIKE ?%d ESCAPE "
                      "'\\' ELSE EXISTS (SELECT 1 FROM attributes a JOIN attr_chunks c "
                      "ON c.id = a.id * %lld WHERE a.owner_id = n.entry_id AND a.category = ?%d "
                      "AND a.number = ?%d AND a.type = 3 AND CAST(CASE WHEN instr(c.data, x'00') "
                      "> 0 THEN substr(c.data, 1, instr(c.data, x'00') - 1) ELSE c.data END AS "
                      "TEXT) LIKE ?%d ESCAPE '\\') END))",
                      at, at + 1, at, static_cast<long long>(kChunksPerValue), at + 2, at + 3, at);
        sql += clause;
    }
    sql +=
        walk == Walk::Down ? " ORDER BY n.sort_key DESC LIMIT ?6" : " ORDER BY n.sort_key LIMIT ?6";
    return sql;
}

const char* statement(Walk walk) {
    static const std::string up = pageSql(Walk::Up), down = pageSql(Walk::Down),
                             keys = pageSql(Walk::Keys);
    return walk == Walk::Up ? up.c_str() : walk == Walk::Down ? down.c_str() : keys.c_str();
}

// Binds the filter, the bounds and the limit of a walk.
template <class Stmt>
void bindFilter(Stmt& s, const NmdaFilter& f, const std::string& from, const std::string& below,
                int64_t limit) {
    if (f.matches.size() > kNmdaMatchMax)
        throw StorageError(StorageError::Failure, "too many directory-assistance criteria");
    s.bind(1, int64_t(f.kind))
        .bind(2, int64_t(f.serviceClass))
        .bind(3, from)
        .bind(4, below)
        .bind(5, f.glob)
        .bind(6, limit);
    for (size_t i = 0; i < kNmdaMatchMax; ++i) {
        const int at = 10 + int(i) * 4;
        if (i >= f.matches.size()) {
            s.bindNull(at);
            continue;
        }
        const NmdaMatch& m = f.matches[i];
        s.bind(at, m.like)
            .bind(at + 1, int64_t(m.description))
            .bind(at + 2, int64_t(m.attr.category))
            .bind(at + 3, int64_t(m.attr.number));
    }
}

} // namespace

std::vector<NmdaRow> SqliteStorage::nmdaNames(const NmdaFilter& f, const std::string& from,
                                              const std::string& below, bool descending,
                                              size_t limit) {
    Reading r(*this);
    Stmt s = r.prepare(statement(descending ? Walk::Down : Walk::Up));
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
    Stmt s = r.prepare(statement(Walk::Keys));
    bindFilter(s, f, from, below, -1); // LIMIT -1: no limit
    std::vector<std::string> out;
    while (s.step())
        out.push_back(s.text(0));
    return out;
}

size_t SqliteStorage::addBulkUsers(int64_t groupId, const std::string& prefix, size_t count) {
    Transaction t(*this);
    size_t added = 0;
    {
        Lock l(mutex_);
        ++stamp_;
        for (size_t i = 1; i <= count; ++i) {
            char number[16];
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
