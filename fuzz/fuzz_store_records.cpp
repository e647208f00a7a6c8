// Feeds arbitrary bytes, as a stored attribute, to every decoder of the
// directory object store. Whatever the bytes, a decoder answers with a code;
// a list or record that decodes must encode again and decode to the same
// values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "namedir.h"

using namespace namedir;

namespace {

AttrStream streamOf(const uint8_t* data, size_t size, uint32_t category) {
    AttrStream s("fuzz@Sales@Demo", category, 250200);
    s.load(std::vector<uint8_t>(data, data + size));
    return s;
}

void check(bool ok) {
    if (!ok) std::abort();
}

void mainRecord(const AttrStream& s) {
    DIRCommonInfo r;
    if (decodeMainRecord(s, r)) return;
    AttrStream again("fuzz@Sales@Demo", 52, 250200);
    const DIRTime now = 1; // a created time of 0 is written as now
    check(encodeMainRecord(r, now, again) == 0);
    DIRCommonInfo back;
    check(decodeMainRecord(again, back) == 0);
    check(back.name == r.name && back.longText == r.longText && back.description == r.description &&
          back.base.created == (r.base.created ? r.base.created : now));
}

void references(const AttrStream& s) {
    std::vector<DIRRefInfo> list;
    if (decodeReferences(s, list)) return;
    AttrStream again("fuzz@Sales@Demo", s.category(), 250200);
    check(encodeReferences(list, again) == 0);
    std::vector<DIRRefInfo> back;
    check(decodeReferences(again, back) == 0 && back.size() == list.size());
    for (size_t i = 0; i < list.size(); ++i)
        check(back[i].address->uniqueKey == list[i].address->uniqueKey &&
              back[i].refText == list[i].refText && back[i].name == list[i].name);
}

void otherLists(const AttrStream& s) {
    std::vector<DIRAccessRight> rights;
    if (decodeAccessRights(s, rights) == 0) {
        AttrStream again("fuzz@Sales@Demo", 53, 250200);
        check(encodeAccessRights(rights, again) == 0);
    }
    std::vector<DIRParentInfo> parents;
    if (decodeParents(s, parents) == 0) {
        AttrStream again("fuzz@Sales@Demo", 55, 250200);
        check(encodeParents(parents, again) == 0);
    }
    std::vector<DIRSubscriber> subscribers;
    decodeSubscribers(s, subscribers);
}

void fixedRecords(const AttrStream& s) {
    DIRWebItem web;
    decodeWebItem(s, web);
    DIRDocItem doc;
    decodeDocItem(s, doc);
    DIRAction action;
    if (decodeAction(s, action) == 0) {
        AttrStream again("fuzz@Sales@Demo", 56, 250200);
        check(encodeAction(action, again) == 0);
    }
    DIRUserBusinessCard card;
    if (decodeBusinessCard(s, card) == 0) {
        AttrStream again("fuzz@Sales@Demo", 34, 200004);
        check(encodeBusinessCard(card, again) == 0);
        DIRUserBusinessCard back;
        check(decodeBusinessCard(again, back) == 0 && back.logo == card.logo);
    }
    long value;
    std::string t1, t2;
    decodePreferences(s, value, t1, t2);
    layout::FreeSlotRecord slot;
    decodeFreeSlot(s, slot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AttrStream main = streamOf(data, size, 52);
    mainRecord(main);
    otherLists(main);
    fixedRecords(main);
    references(streamOf(data, size, 54));
    references(streamOf(data, size, 57));
    return 0;
}
