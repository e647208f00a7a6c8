// Type-specific data (category 56): a folder's subscribers, a web item's URL,
// a document's three texts, an action's data.
#include "namedir/codecs.h"
#include "namedir/errors.h"

namespace namedir {

using namespace layout;

long encodeWebItem(const DIRWebItem& item, AttrStream& s) {
    return s.putText(kWebUrl, item.url);
}

long decodeWebItem(const AttrStream& s, DIRWebItem& item) {
    return s.getText(kWebUrl, item.url);
}

long encodeDocItem(const DIRDocItem& item, AttrStream& s) {
    if (long e = s.putText(kDocText1, item.documentText1)) return e;
    if (long e = s.putText(kDocText2, item.documentText2)) return e;
    return s.putText(kDocText3, item.documentText3);
}

long decodeDocItem(const AttrStream& s, DIRDocItem& item) {
    std::string t1, t2, t3;
    if (long e = s.getText(kDocText1, t1)) return e;
    if (long e = s.getText(kDocText2, t2)) return e;
    if (long e = s.getText(kDocText3, t3)) return e;
    item.documentText1 = std::move(t1);
    item.documentText2 = std::move(t2);
    item.documentText3 = std::move(t3);
    return DIR_OK;
}

long encodeAction(const DIRAction& a, AttrStream& s) {
    s.putU32(kActionCapabilities, uint32_t(a.capabilities));
    s.putU32(kActionReserved, a.reserved ? 1 : 0);
    s.putU32(kActionInitial, a.initial ? 1 : 0);
    s.putU32(kActionShowMode, uint32_t(a.showMode));
    s.putU32(kActionIconIndex, uint32_t(a.iconIndex));
    if (long e = s.putText(kActionCommandLine, a.commandLine)) return e;
    return s.putText(kActionStartDirectory, a.startDirectory);
}

long decodeAction(const AttrStream& s, DIRAction& a) {
    DIRAction t;
    if (long e = s.getLong(kActionCapabilities, t.capabilities)) return e;
    if (long e = s.getLong(kActionReserved, t.reserved)) return e;
    if (long e = s.getLong(kActionInitial, t.initial)) return e;
    if (long e = s.getLong(kActionShowMode, t.showMode)) return e;
    if (long e = s.getLong(kActionIconIndex, t.iconIndex)) return e;
    if (long e = s.getText(kActionCommandLine, t.commandLine)) return e;
    if (long e = s.getText(kActionStartDirectory, t.startDirectory)) return e;
    a.capabilities = t.capabilities;
    a.reserved = t.reserved ? 1 : 0;
    a.initial = t.initial ? 1 : 0;
    a.showMode = t.showMode;
    a.iconIndex = t.iconIndex;
    a.commandLine = std::move(t.commandLine);
    a.startDirectory = std::move(t.startDirectory);
    return DIR_OK;
}

namespace {

// One row per type that has data in category 56.
struct TypeDataCodec {
    long type;
    long (*encode)(const DIRCommonInfo&, AttrStream&);
    long (*decode)(const AttrStream&, DIRCommonInfo&);
};

template <typename R, long (*Encode)(const R&, AttrStream&)>
long encodeAs(const DIRCommonInfo& record, AttrStream& s) {
    const R* r = dynamic_cast<const R*>(&record);
    return r ? Encode(*r, s) : long(DIR_NOT_IMPLEMENTED);
}

template <typename R, long (*Decode)(const AttrStream&, R&)>
long decodeAs(const AttrStream& s, DIRCommonInfo& record) {
    R* r = dynamic_cast<R*>(&record);
    return r ? Decode(s, *r) : long(DIR_NOT_IMPLEMENTED);
}

long encodeFolderData(const DIRFolder& f, AttrStream& s) {
    return encodeSubscribers(f.subscribers, s);
}
long decodeFolderData(const AttrStream& s, DIRFolder& f) {
    return decodeSubscribers(s, f.subscribers);
}

constexpr TypeDataCodec kTypeData[] = {
    {DIR_TYPE_FOLDER, encodeAs<DIRFolder, encodeFolderData>, decodeAs<DIRFolder, decodeFolderData>},
    {DIR_TYPE_DOCUMENT, encodeAs<DIRDocItem, encodeDocItem>, decodeAs<DIRDocItem, decodeDocItem>},
    {DIR_TYPE_WEB, encodeAs<DIRWebItem, encodeWebItem>, decodeAs<DIRWebItem, decodeWebItem>},
    {DIR_TYPE_ACTION, encodeAs<DIRAction, encodeAction>, decodeAs<DIRAction, decodeAction>},
};

const TypeDataCodec* codecFor(long type) {
    for (const TypeDataCodec& c : kTypeData)
        if (c.type == type) return &c;
    return nullptr; // generic items' data is not stored
}

} // namespace

long encodeTypeData(const DIRCommonInfo& record, AttrStream& s) {
    const TypeDataCodec* c = codecFor(record.base.objectType);
    return c ? c->encode(record, s) : long(DIR_NOT_IMPLEMENTED);
}

long decodeTypeData(const AttrStream& s, DIRCommonInfo& record) {
    const TypeDataCodec* c = codecFor(record.base.objectType);
    return c ? c->decode(s, record) : long(DIR_NOT_IMPLEMENTED);
}

} // namespace namedir
