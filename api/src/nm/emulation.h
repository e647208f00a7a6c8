// Attributes on servers older than revision 53000, which keep none: the
// object's attributes live in its association record 762, read and written
// whole (procedures 0 and 1). Layout (docs/attributes.md; these are stored
// bytes and cannot change without losing records written before):
//
//   0     4 bytes   marker "attr" ("gone": the attributes were removed)
//   4     50 x 13   directory {u32 category, u32 number, u32 offset, u8 used}
//   654   1028      values area; the value of a used entry sits at `offset`
//                   (from the start of the record): u16 type, u16 count,
//                   then count elements (bytes; integers as big-endian u32)
//
// Integers are big-endian. Unused entries and unused bytes are zero. The
// client rewrites the record packed (values in directory order from 654).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "nm/referral.h"
#include "qrdapi.h"

namespace qrd::nm::emu {

constexpr uint16_t kRecord = kRecordEmulation;
constexpr size_t kBlockSize = 1682;
constexpr size_t kMarkerSize = 4;
constexpr size_t kEntries = 50;
constexpr size_t kEntrySize = 13; // u32 category, u32 number, u32 offset, u8 used
constexpr size_t kValuesStart = kMarkerSize + kEntries * kEntrySize; // 654
constexpr size_t kValueHeader = 4;                                   // u16 type, u16 count
constexpr size_t kValuesSize = kBlockSize - kValuesStart;            // 1028
constexpr char kMarkerAttr[] = "attr";
constexpr char kMarkerGone[] = "gone";

// One attribute: the elements in memory form (integers as host-order u32).
struct Value {
    AttrName attr;
    uint32_t type;
    std::vector<uint8_t> data;
};

// The attribute set of one object, in directory order.
using AttrSet = std::vector<Value>;

// Decodes a record: 0, 1032 for the marker "gone", 1064 for any other
// marker, a wrong size, or a directory that does not fit its values area
// (an entry outside it, overlapping values, a bad type, a name twice).
QRDSTATUS decode(const uint8_t* record, size_t length, AttrSet& out);

// Encodes a set packed; 1006 when it needs more than 50 entries or more room
// than the values area has.
QRDSTATUS encode(const AttrSet& set, std::vector<uint8_t>& out);

// The attribute calls over the record of `target` through `s`. A missing
// record (1013) is an empty set; a write creates it. Text values are in
// their wire form (Latin-1): the callers convert.
QRDSTATUS read(const SessionRef& s, const AttrTarget& target, uint32_t* type, uint32_t* index,
               uint32_t* count, uint8_t* buffer, uint32_t* flags);
// Writes `count` elements at `index`; flag 2 cuts the value after them.
QRDSTATUS write(const SessionRef& s, const AttrTarget& target, uint32_t type, uint32_t* index,
                uint32_t count, const uint8_t* data, uint32_t* flags);
QRDSTATUS remove(const SessionRef& s, const AttrTarget& target);
QRDSTATUS info(const SessionRef& s, const AttrTarget& target, uint32_t* type, uint32_t* count,
               uint32_t* bytes);
// Names between first and last (by category, then number) from the position
// in `pass` (u32 at bytes 0-3); `pass` comes back all zero when no more
// follow. `capacity` 0 changes nothing.
QRDSTATUS scan(const SessionRef& s, const AttrTarget& target, const AttrName& first,
               const AttrName& last, QRD_SCAN_PASS* pass, uint16_t capacity, uint16_t* n,
               AttrName* names);

} // namespace qrd::nm::emu
