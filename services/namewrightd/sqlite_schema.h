// The stored layout of the directory file: its tables, the geometry of the
// attribute chunks and the schema version. Changing any of it is a
// compatibility break: bump kSchemaVersion and migrate older files
// (SqliteStorage::migrate, sqlite_schema.cpp).
#pragma once

#include <cstdint>

#include "storage.h"

namespace nwd {

// Bumped with every change of the tables below; an older file is migrated,
// a newer one refused. 1: attribute values whole in one row; 2: in chunks;
// 3: entry ids never reused; 4: value heads count their writes; 5: password
// verifiers of the login exchange, nonces as keyed hashes bound to a
// workstation, user epochs; 6: the directory-assistance index.
constexpr int kSchemaVersion = 6;

// The entries (organisations, groups, objects).
extern const char* const kEntriesSchema;
// Everything but the entries, the users and nonces, and the attributes.
extern const char* const kSchema;
// Users and their nonces.
extern const char* const kUserSchema;
// Attribute value heads and their chunks.
extern const char* const kAttributeSchema;
// The directory-assistance index and the triggers that keep it.
extern const char* const kNmdaSchema;

// Chunk k of the value whose head is A is row A * kChunksPerValue + k of
// attr_chunks, holding at most kChunkBytes.
constexpr uint64_t kChunkBytes = 4096;
constexpr int64_t kChunksPerValue = 256;
static_assert(kChunkBytes * kChunksPerValue == kMaxAttrBytes);

} // namespace nwd
