// Attribute values in chunks (see kAttributeSchema): whole reads, ranged
// reads with the value's version, sizes, ranged writes that touch only the chunks of their range,
// names.
#include <algorithm>
#include <cstring>

#include "sqlite_schema.h"
#include "sqlite_statement.h"

namespace nwd {

std::optional<AttrValue> SqliteStorage::attribute(int64_t ownerId, AttrId id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT a.type, a.size, c.id - a.id * 256, c.data FROM attributes a "
                     "LEFT JOIN attr_chunks c ON c.id BETWEEN a.id * 256 AND a.id * 256 + 255 "
                     "WHERE a.owner_id = ? AND a.category = ? AND a.number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
    if (!s.step()) return std::nullopt;
    AttrValue v;
    v.type = uint32_t(s.i64(0));
    const int64_t size = s.i64(1);
    if (size < 0 || uint64_t(size) > kMaxAttrBytes)
        throw StorageError(StorageError::Damaged, "damaged attribute size");
    v.bytes.assign(size_t(size), 0);
    do {
        if (s.isNull(2)) break; // no chunks: all zero
        const int64_t k = s.i64(2);
        size_t n = 0;
        const uint8_t* p = s.blobData(3, n);
        const uint64_t at = uint64_t(k) * kChunkBytes;
        if (k < 0 || at > v.bytes.size() || n > std::min(kChunkBytes, v.bytes.size() - at))
            throw StorageError(StorageError::Damaged, "damaged attribute chunk");
        if (n) std::memcpy(v.bytes.data() + at, p, n);
    } while (s.step());
    return v;
}

std::optional<AttrSize> SqliteStorage::attributeSize(int64_t ownerId, AttrId id) {
    Reading r(*this);
    Stmt s = r.prepare("SELECT type, size FROM attributes WHERE owner_id = ? AND category = ? "
                       "AND number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
    if (!s.step()) return std::nullopt;
    return AttrSize{uint32_t(s.i64(0)), uint64_t(s.i64(1))};
}

// One statement: the head and the chunks come from one snapshot, so the
// version names exactly the bytes returned.
std::optional<AttrSlice> SqliteStorage::attributeSlice(int64_t ownerId, AttrId id, uint64_t offset,
                                                       size_t maxBytes) {
    Reading r(*this);
    const uint64_t first = std::min<uint64_t>(offset / kChunkBytes, kChunksPerValue);
    const uint64_t last =
        maxBytes ? std::min<uint64_t>((offset + maxBytes - 1) / kChunkBytes, kChunksPerValue - 1)
                 : first;
    Stmt s = r.prepare("SELECT a.id, a.version, a.type, a.size, c.id - a.id * 256, c.data "
                       "FROM attributes a LEFT JOIN attr_chunks c "
                       "ON c.id BETWEEN a.id * 256 + ?4 AND a.id * 256 + ?5 "
                       "WHERE a.owner_id = ?1 AND a.category = ?2 AND a.number = ?3");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
    s.bind(4, int64_t(first)).bind(5, int64_t(last));
    if (!s.step()) return std::nullopt;
    AttrSlice v;
    v.version = AttrVersion{s.i64(0), s.i64(1)};
    v.type = uint32_t(s.i64(2));
    const int64_t size = s.i64(3);
    if (size < 0 || uint64_t(size) > kMaxAttrBytes)
        throw StorageError(StorageError::Damaged, "damaged attribute size");
    v.size = uint64_t(size);
    const uint64_t from = std::min(offset, v.size);
    const uint64_t to = std::min<uint64_t>(v.size, from + maxBytes);
    v.bytes.assign(size_t(to - from), 0);
    do {
        if (s.isNull(4)) break; // no chunks in the range: all zero
        const int64_t k = s.i64(4);
        size_t n = 0;
        const uint8_t* p = s.blobData(5, n);
        const uint64_t at = uint64_t(k) * kChunkBytes;
        if (k < 0 || at > v.size || n > std::min(kChunkBytes, v.size - at))
            throw StorageError(StorageError::Damaged, "damaged attribute chunk");
        // The part of the chunk's bytes that lies in [from, to).
        const uint64_t lo = std::max(at, from), hi = std::min(at + n, to);
        if (lo < hi) std::memcpy(v.bytes.data() + (lo - from), p + (lo - at), size_t(hi - lo));
    } while (s.step());
    return v;
}

void SqliteStorage::setAttribute(int64_t ownerId, AttrId id, const AttrValue& v) {
    writeAttribute(ownerId, id, v.type, 0, v.bytes.data(), v.bytes.size(), true);
}

void SqliteStorage::writeAttribute(int64_t ownerId, AttrId id, uint32_t type, uint64_t offset,
                                   const uint8_t* data, size_t n, bool cut) {
    Lock l(mutex_);
    if (offset > kMaxAttrBytes || n > kMaxAttrBytes - offset)
        throw StorageError(StorageError::Failure, "attribute value longer than 1 MiB");
    const uint64_t end = offset + n;
    Transaction t(*this);
    int64_t head = 0;
    uint64_t oldSize = 0;
    {
        Stmt s = prepare("SELECT id, size FROM attributes WHERE owner_id = ? AND "
                         "category = ? AND number = ?");
        s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
        if (s.step()) {
            head = s.i64(0);
            oldSize = uint64_t(s.i64(1));
        }
    }
    if (head == 0) {
        Stmt s = prepare("INSERT INTO attributes(owner_id, category, number, type, size) "
                         "VALUES (?, ?, ?, ?, 0)");
        s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
        s.bind(4, int64_t(type)).run();
        head = sqlite3_last_insert_rowid(db_);
    }
    const uint64_t newSize = cut ? end : std::max(oldSize, end);
    const int64_t base = head * kChunksPerValue;
    // Chunks that end up wholly or partly past the new end.
    if (newSize < oldSize) {
        const int64_t kept = int64_t((newSize + kChunkBytes - 1) / kChunkBytes);
        {
            Stmt s = prepare("DELETE FROM attr_chunks WHERE id BETWEEN ? AND ?");
            s.bind(1, base + kept).bind(2, base + kChunksPerValue - 1).run();
        }
        // The last chunk kept may hold bytes beyond the cut; unless this
        // write rewrites it below, shorten it so they cannot come back.
        const uint64_t tail = newSize % kChunkBytes;
        const bool rewritten = n > 0 && (end - 1) / kChunkBytes == uint64_t(kept - 1);
        if (tail && !rewritten) {
            Stmt s = prepare("UPDATE attr_chunks SET data = substr(data, 1, ?1) "
                             "WHERE id = ?2 AND length(data) > ?1");
            s.bind(1, int64_t(tail)).bind(2, base + kept - 1).run();
        }
    }
    // The written range, chunk by chunk: a chunk it covers up to the value's
    // end is replaced; another one is read, changed and stored.
    std::vector<uint8_t> buf;
    for (uint64_t k = offset / kChunkBytes; n > 0 && k * kChunkBytes < end; ++k) {
        const uint64_t chunkAt = k * kChunkBytes;
        const uint64_t span = std::min(kChunkBytes, newSize - chunkAt);
        const uint64_t from = std::max(offset, chunkAt) - chunkAt;
        const uint64_t to = std::min(end, chunkAt + kChunkBytes) - chunkAt;
        const uint8_t* src = data + (chunkAt + from - offset);
        const uint8_t* row;
        size_t rowBytes;
        if (from == 0 && to >= span) {
            row = src;
            rowBytes = size_t(to);
        } else {
            buf.clear();
            {
                Stmt s = prepare("SELECT data FROM attr_chunks WHERE id = ?");
                s.bind(1, base + int64_t(k));
                if (s.step()) {
                    size_t had = 0;
                    const uint8_t* p = s.blobData(0, had);
                    if (p && had) buf.assign(p, p + std::min<uint64_t>(had, span));
                }
            }
            if (buf.size() < to) buf.resize(size_t(to), 0);
            std::memcpy(buf.data() + from, src, size_t(to - from));
            row = buf.data();
            rowBytes = buf.size();
        }
        // An UPDATE of a row of the same length overwrites its pages in
        // place; replacing the row would free and allocate them again.
        bool updated;
        {
            Stmt s = prepare("UPDATE attr_chunks SET data = ? WHERE id = ?");
            s.bindStatic(1, row, rowBytes).bind(2, base + int64_t(k)).run();
            updated = sqlite3_changes(db_) > 0;
        }
        if (!updated) {
            Stmt s = prepare("INSERT INTO attr_chunks(id, data) VALUES (?, ?)");
            s.bind(1, base + int64_t(k)).bindStatic(2, row, rowBytes).run();
        }
    }
    {
        // The version moves with every write, so that a chunked reader of
        // the value sees the change.
        Stmt s = prepare("UPDATE attributes SET type = ?, size = ?, version = version + 1 "
                         "WHERE id = ?");
        s.bind(1, int64_t(type)).bind(2, int64_t(newSize)).bind(3, head).run();
    }
    t.commit();
}

bool SqliteStorage::removeAttribute(int64_t ownerId, AttrId id) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM attributes WHERE owner_id = ? AND category = ? AND number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number)).run();
    return sqlite3_changes(db_) > 0;
}

std::vector<AttrId> SqliteStorage::attributeNames(int64_t ownerId, AttrId from, AttrId last,
                                                  size_t limit) {
    Reading r(*this);
    std::vector<AttrId> out;
    Stmt s = r.prepare("SELECT category, number FROM attributes WHERE owner_id = ?1 "
                       "AND (category > ?2 OR (category = ?2 AND number >= ?3)) "
                       "AND (category < ?4 OR (category = ?4 AND number <= ?5)) "
                       "ORDER BY category, number LIMIT ?6");
    s.bind(1, ownerId)
        .bind(2, int64_t(from.category))
        .bind(3, int64_t(from.number))
        .bind(4, int64_t(last.category))
        .bind(5, int64_t(last.number))
        .bind(6, int64_t(limit));
    while (s.step())
        out.push_back(AttrId{uint32_t(s.i64(0)), uint32_t(s.i64(1))});
    return out;
}

} // namespace nwd
