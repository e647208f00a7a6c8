// The main record (category 52): header words and the five texts.
#include "namedir/codecs.h"
#include "namedir/errors.h"

namespace namedir {

using namespace layout;

long encodeMainRecord(const DIRCommonInfo& record, DIRTime now, AttrStream& s) {
    const DIRBaseInfo& b = record.base;
    s.putU32(kMainType, uint32_t(b.objectType));
    s.putU32(kMainVersion, uint32_t(b.version == 0 ? 1 : b.version));
    s.putU32(kMainReserved, 0);
    s.putU32(kMainCreated, b.created == 0 ? now : b.created);
    s.putU32(kMainModified, now);
    s.putU32(kMainFlags, (b.shared ? kFlagShared : 0) | (b.userFlag ? kFlagUser : 0));
    s.putU32(kMainUserValue, uint32_t(b.userValue));
    // This order decides the stored bytes only through the high-water mark,
    // which ends after the last slot reached (longText's).
    const std::pair<const TextSlot&, const std::string&> texts[] = {
        {kMainCreator, record.creator},
        {kMainName, record.name},
        {kMainExtraText, record.extraText},
        {kMainLongText, record.longText},
        {kMainDescription, record.description}};
    for (const auto& [slot, text] : texts)
        if (long e = s.putText(slot, text)) return e;
    return DIR_OK;
}

long decodeMainRecord(const AttrStream& s, DIRCommonInfo& record) {
    long type = 0;
    if (long e = s.getLong(kMainType, type)) return e;
    if (type < 0 || type > DIR_TYPE_FREE) return DIR_INVALID_TYPE;
    if (type == DIR_TYPE_FREE) return DIR_ATTR_MISSING;
    DIRBaseInfo b;
    b.objectType = type;
    uint32_t created = 0, modified = 0, flags = 0;
    if (long e = s.getLong(kMainVersion, b.version)) return e;
    if (long e = s.getU32(kMainCreated, created)) return e;
    if (long e = s.getU32(kMainModified, modified)) return e;
    if (long e = s.getU32(kMainFlags, flags)) return e;
    if (long e = s.getLong(kMainUserValue, b.userValue)) return e;
    b.created = created;
    b.modified = modified;
    b.shared = (flags & kFlagShared) ? 1 : 0;
    b.userFlag = (flags & kFlagUser) ? 1 : 0;
    DIRCommonInfo t;
    const std::pair<const TextSlot&, std::string&> texts[] = {{kMainCreator, t.creator},
                                                              {kMainName, t.name},
                                                              {kMainExtraText, t.extraText},
                                                              {kMainLongText, t.longText},
                                                              {kMainDescription, t.description}};
    for (const auto& [slot, text] : texts)
        if (long e = s.getText(slot, text)) return e;
    record.base = b;
    record.creator = std::move(t.creator);
    record.name = std::move(t.name);
    record.extraText = std::move(t.extraText);
    record.longText = std::move(t.longText);
    record.description = std::move(t.description);
    return DIR_OK;
}

void setMissingMainRecord(DIRCommonInfo& record) {
    record.base = DIRBaseInfo{};
    record.creator.clear();
    record.name.clear();
    record.extraText.clear();
    record.longText.assign(1, ' '); // assign(1, c) keeps g++ 12 from a false -Wrestrict
    record.description.clear();
}

} // namespace namedir
