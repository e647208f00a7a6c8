// The fixed records of category 34 (business card, preferences) and the
// free-slot record shared by free-list markers and heads.
#include "namedir/codecs.h"
#include "namedir/errors.h"

namespace namedir {

using namespace layout;

long encodeBusinessCard(const DIRUserBusinessCard& card, AttrStream& s) {
    for (int i = 0; i < kCardTexts; ++i)
        if (long e = s.putText(kCardText[i], card.*DIRUserBusinessCard::kTexts[i])) return e;
    s.putBlock(kCardLogoLength, kCardLogoData, card.logo);
    return DIR_OK;
}

long decodeBusinessCard(const AttrStream& s, DIRUserBusinessCard& card) {
    DIRUserBusinessCard t;
    for (int i = 0; i < kCardTexts; ++i)
        if (long e = s.getText(kCardText[i], t.*DIRUserBusinessCard::kTexts[i])) return e;
    if (long e = s.getBlock(kCardLogoLength, kCardLogoData, t.logo)) return e;
    for (int i = 0; i < kCardTexts; ++i)
        card.*DIRUserBusinessCard::kTexts[i] = std::move(t.*DIRUserBusinessCard::kTexts[i]);
    card.logo = std::move(t.logo);
    return DIR_OK;
}

long encodePreferences(long value, const std::string& text1, const std::string& text2,
                       AttrStream& s) {
    s.putU32(kPrefValue, uint32_t(value));
    s.putU32(kPrefZero, 0);
    if (long e = s.putText(kPrefText1, text1)) return e;
    return s.putText(kPrefText2, text2);
}

long decodePreferences(const AttrStream& s, long& value, std::string& text1, std::string& text2) {
    long v = 0;
    std::string t1, t2;
    if (long e = s.getLong(kPrefValue, v)) return e;
    if (long e = s.getText(kPrefText1, t1)) return e;
    if (long e = s.getText(kPrefText2, t2)) return e;
    value = v;
    text1 = std::move(t1);
    text2 = std::move(t2);
    return DIR_OK;
}

void encodeFreeSlot(const FreeSlotRecord& r, AttrStream& s) {
    s.putU32(kFreeType, r.type);
    s.putU32(kFreeCategory, r.category);
    s.putU32(kFreeNumber, r.number);
    s.putU32(kFreeExhausted, r.exhausted);
    s.putU32(kFreeCounterMode, r.counterMode);
}

bool decodeFreeSlot(const AttrStream& s, FreeSlotRecord& r) {
    FreeSlotRecord t{};
    if (s.getU32(kFreeType, t.type) || s.getU32(kFreeCategory, t.category) ||
        s.getU32(kFreeNumber, t.number) || s.getU32(kFreeExhausted, t.exhausted) ||
        s.getU32(kFreeCounterMode, t.counterMode))
        return false;
    if (t.type != DIR_TYPE_FREE || t.category != kCatMain) return false;
    r = t;
    return true;
}

} // namespace namedir
