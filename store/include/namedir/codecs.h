// The stored layouts of desktop objects: each encoder writes a record into an
// attribute stream, each decoder reads one back. Byte offsets:
// namedir/layout.h. All return 0 or a store error code (namedir/errors.h).
//
// Fixed records (main record, type data, business card, preferences) are
// written in place over what the stream holds, so read the stored attribute
// first (a missing one leaves the stream empty). Lists are rewritten whole:
// their encoders clear the stream. A list whose count is 0 or less decodes
// as empty; one whose count or lengths run past its end is 105.
#pragma once

#include <vector>

#include "namedir/attrstream.h"
#include "namedir/export.h"
#include "namedir/records.h"

namespace namedir {

// ---- Main record (category 52) ----
// `modified` becomes `now`; `created` too when the record has 0 there; a
// version of 0 is written as 1.
NAMEDIR_EXPORT long encodeMainRecord(const DIRCommonInfo& record, DIRTime now, AttrStream& s);
// The base words and the five texts (the address is left alone). A stored
// type of 128 (a free number) is 117; one below 0 or above 128 is 129.
NAMEDIR_EXPORT long decodeMainRecord(const AttrStream& s, DIRCommonInfo& record);
// What an object without a main record reads as: type 0, longText " ".
NAMEDIR_EXPORT void setMissingMainRecord(DIRCommonInfo& record);

// ---- Lists ----
// Access rights (53).
NAMEDIR_EXPORT long encodeAccessRights(const std::vector<DIRAccessRight>& list, AttrStream& s);
NAMEDIR_EXPORT long decodeAccessRights(const AttrStream& s, std::vector<DIRAccessRight>& list);
// Parents (55). Entries need Namewright addresses (109 otherwise); read-back
// addresses are checked by name only.
NAMEDIR_EXPORT long encodeParents(const std::vector<DIRParentInfo>& list, AttrStream& s);
NAMEDIR_EXPORT long decodeParents(const AttrStream& s, std::vector<DIRParentInfo>& list);
// References (54 action lists, 57 folder contents). `refValue` is kept in
// 54 only; 57 stores 0 and reads back 0. A type out of 0..128 is 129.
NAMEDIR_EXPORT long encodeReferences(const std::vector<DIRRefInfo>& list, AttrStream& s);
NAMEDIR_EXPORT long decodeReferences(const AttrStream& s, std::vector<DIRRefInfo>& list);
// Folder subscribers (56 of a folder); every entry reads back with state 3.
NAMEDIR_EXPORT long encodeSubscribers(const std::vector<DIRSubscriber>& list, AttrStream& s);
NAMEDIR_EXPORT long decodeSubscribers(const AttrStream& s, std::vector<DIRSubscriber>& list);

// ---- Type-specific data (56) ----
NAMEDIR_EXPORT long encodeWebItem(const DIRWebItem& item, AttrStream& s);
NAMEDIR_EXPORT long decodeWebItem(const AttrStream& s, DIRWebItem& item);
NAMEDIR_EXPORT long encodeDocItem(const DIRDocItem& item, AttrStream& s);
NAMEDIR_EXPORT long decodeDocItem(const AttrStream& s, DIRDocItem& item);
NAMEDIR_EXPORT long encodeAction(const DIRAction& action, AttrStream& s);
NAMEDIR_EXPORT long decodeAction(const AttrStream& s, DIRAction& action);
// By the record's objectType and class: folder (subscribers), web, document,
// action. A generic item, a type without data, or a record of the wrong class
// is 110.
NAMEDIR_EXPORT long encodeTypeData(const DIRCommonInfo& record, AttrStream& s);
NAMEDIR_EXPORT long decodeTypeData(const AttrStream& s, DIRCommonInfo& record);

// ---- Fixed records (category 34) ----
NAMEDIR_EXPORT long encodeBusinessCard(const DIRUserBusinessCard& card, AttrStream& s);
NAMEDIR_EXPORT long decodeBusinessCard(const AttrStream& s, DIRUserBusinessCard& card);
// The value, 0 at offset 4, and the two texts.
NAMEDIR_EXPORT long encodePreferences(long value, const std::string& text1,
                                      const std::string& text2, AttrStream& s);
NAMEDIR_EXPORT long decodePreferences(const AttrStream& s, long& value, std::string& text1,
                                      std::string& text2);

// ---- Free-slot marker and free-list head ----
NAMEDIR_EXPORT void encodeFreeSlot(const layout::FreeSlotRecord& record, AttrStream& s);
// The record's words; false when the stream is not a free-slot record (too
// short, or not 128 and 52 in its first two words). The range is the caller's
// check (namedir/freelist.h).
NAMEDIR_EXPORT bool decodeFreeSlot(const AttrStream& s, layout::FreeSlotRecord& record);

} // namespace namedir
