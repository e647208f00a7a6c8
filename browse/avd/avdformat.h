// The attribute definition file (".avd"): a read-only table that gives the
// directory's attribute categories and attributes readable names.
//
// Every 32-bit value is stored in the byte and bit order of the machine that
// wrote the file; the first word is the order mark from which a reader learns
// that order (byteorder.h). The offsets below cannot change without breaking
// every file already on the network.
//
//   header     kHeaderSize bytes at 0
//   entries    entryCount x kEntrySize bytes at the entry table offset
//   lists      value lists, within [list area start, list area end)
//   texts      zero-terminated names, anywhere in the file
#pragma once

#include <cstddef>
#include <cstdint>

namespace avd {

inline constexpr uint32_t kOrderMark = 0x12345678;
inline constexpr uint32_t kFormatVersion = 1;

// Header words (byte offsets).
inline constexpr uint32_t kMarkAt = 0;
inline constexpr uint32_t kVersionAt = 4;
inline constexpr uint32_t kEntryCountAt = 8;
inline constexpr uint32_t kEntryTableAt = 12;
// Section words that readers keep without needing them. Our writer stores
// the start of the text area (16), the general list (20), the number of
// free-standing lists (24) and the first of them (32).
inline constexpr uint32_t kTextAreaAt = 16;
inline constexpr uint32_t kGeneralListAt = 20;
inline constexpr uint32_t kTableCountAt = 24;
inline constexpr uint32_t kListAreaStartAt = 28; // lowest offset a value list may start at
inline constexpr uint32_t kTablesAt = 32;
inline constexpr uint32_t kListAreaEndAt = 36; // a list starts at or before this - 4
inline constexpr uint32_t kUpdatedAt = 40;     // seconds since 1970, unsigned
inline constexpr uint32_t kUpdaterAt = 44;     // zero-terminated name of the last updater
inline constexpr uint32_t kUpdaterLen = 64;    // bytes our writer reserves for it
inline constexpr uint32_t kHeaderSize = kUpdaterAt + kUpdaterLen;

// Entry table: one entry per attribute definition.
inline constexpr uint32_t kEntrySize = 24;
inline constexpr uint32_t kEntryNumberAt = 0;
inline constexpr uint32_t kEntryGroupAt = 4;
inline constexpr uint32_t kEntryItemAt = 8; // 0 in the entry of the whole group
inline constexpr uint32_t kEntryIdentifierAt = 12;
inline constexpr uint32_t kEntryListAt = 16;
inline constexpr uint32_t kEntryNameAt = 20;

// An entry's value list (and the general list after the last of them):
// a count, then {value, name offset} items.
inline constexpr uint32_t kEntryListItemsAt = 4;
inline constexpr uint32_t kEntryListItemSize = 8;
// A free-standing list: a word of its own, the count at +4, then
// {value, second value, name offset} items from +8.
inline constexpr uint32_t kTableCountWordAt = 4;
inline constexpr uint32_t kTableItemsAt = 8;
inline constexpr uint32_t kTableItemSize = 12;

// Names are compared on at most this many characters.
inline constexpr size_t kNameCompareLen = 39;
// Longest name a reader takes (longer ones are cut); a writer refuses them.
inline constexpr size_t kMaxNameLen = 255;

// Statuses of the reader.
enum Status : uint16_t {
    kOk = 0,
    kNoSession = 1017,   // the session is not started
    kNotOpen = 1201,     // no file open
    kNotFound = 1202,    // no such entry
    kBadMode = 1203,     // unknown search or page mode
    kBadVersion = 1204,  // format version other than 1
    kAlreadyOpen = 1205, // a file is open already
    kCannotOpen = 1206,  // the file cannot be opened
    kNotAvdFile = 1207,  // the order mark cannot be decoded
    kReadError = 1208,   // short file, or an offset or count that points outside it
    kGroupOnly = 1209,   // only the group's own entry was found
    kMissingArg = 1211,  // an argument was missing
};

} // namespace avd
