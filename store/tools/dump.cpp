#include "dump.h"

#include <ctime>
#include <functional>
#include <map>
#include <set>

#include "json.h"
#include "namedir.h"

namespace namedirtool {

using namespace namedir;

namespace {

const char* typeName(long type) {
    switch (type) {
    case DIR_TYPE_NONE:
        return "none";
    case DIR_TYPE_FOLDER:
        return "folder";
    case DIR_TYPE_DOCUMENT:
        return "document";
    case DIR_TYPE_PERSON:
        return "person";
    case DIR_TYPE_WEB:
        return "web";
    case DIR_TYPE_GENERIC:
        return "generic";
    case DIR_TYPE_ROOT:
        return "root";
    case DIR_TYPE_ACTION:
        return "action";
    default:
        return "other";
    }
}

std::string utc(DIRTime t) {
    std::time_t s = std::time_t(t);
    std::tm tm{};
    gmtime_r(&s, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

void error(JsonWriter& j, long code) {
    j.number("error", code);
    const char* text = DIRErrorText(code);
    j.string("errorText", text ? text : "");
}

void time(JsonWriter& j, const char* key, DIRTime t) {
    j.number(key, t);
    j.string((std::string(key) + "Utc").c_str(), utc(t));
}

void address(JsonWriter& j, const DIRAddressPtr& a) {
    const DIRNmDirectoryAddress* nm = a.nm();
    if (!nm) {
        j.null("address");
        return;
    }
    j.beginObject("address");
    j.string("key", nm->uniqueKey);
    j.string("holder", nm->nmName);
    j.number("category", nm->attrCategory);
    j.number("number", nm->attrNumber);
    j.number("class", nm->nmClass);
    j.endObject();
}

void freeSlot(JsonWriter& j, const layout::FreeSlotRecord& r) {
    j.boolean("counterMode", r.counterMode != 0);
    j.number(r.counterMode ? "counter" : "next", r.number);
    j.boolean("exhausted", r.exhausted != 0);
}

// Reads one attribute and, when it decodes, writes it under `key` through
// `write`; otherwise writes the error there.
void part(JsonWriter& j, AttrStore& store, const std::string& holder, uint32_t category,
          uint32_t number, const char* key,
          const std::function<long(const AttrStream&, JsonWriter&)>& write) {
    AttrStream s(holder, category, number);
    long e = s.read(store);
    if (e == 0) {
        // Decoded once aside, so that a failure leaves no half-written part.
        std::string scratch;
        JsonWriter probe(scratch);
        probe.beginObject();
        e = write(s, probe);
    }
    j.beginObject(key);
    j.number("bytes", static_cast<long long>(s.size()));
    if (e) {
        error(j, e);
    } else {
        write(s, j);
    }
    j.endObject();
}

// Decodes a list and writes it as "entries", one object per entry.
template <typename T>
long writeList(const AttrStream& s, JsonWriter& j,
               long (*decode)(const AttrStream&, std::vector<T>&),
               void (*entry)(JsonWriter&, const T&)) {
    std::vector<T> list;
    if (long e = decode(s, list)) return e;
    j.beginArray("entries");
    for (const T& item : list) {
        j.beginObject();
        entry(j, item);
        j.endObject();
    }
    j.endArray();
    return 0;
}

void rightsEntry(JsonWriter& j, const DIRAccessRight& r) {
    j.number("rights", r.rights);
    j.string("name", r.name);
}

void parentEntry(JsonWriter& j, const DIRParentInfo& p) {
    j.number("flags", p.flags);
    address(j, p.address);
}

void referenceEntry(JsonWriter& j, const DIRRefInfo& r) {
    j.number("type", r.objectType);
    j.string("typeName", typeName(r.objectType));
    j.string("name", r.name);
    j.number("refValue", r.refValue);
    j.boolean("shared", r.shared != 0);
    time(j, "time", r.time);
    j.string("refText", r.refText);
    address(j, r.address);
}

void subscriberEntry(JsonWriter& j, const DIRSubscriber& sub) {
    j.string("name", sub.name);
}

long writeRights(const AttrStream& s, JsonWriter& j) {
    return writeList(s, j, decodeAccessRights, rightsEntry);
}
long writeParents(const AttrStream& s, JsonWriter& j) {
    return writeList(s, j, decodeParents, parentEntry);
}
long writeReferences(const AttrStream& s, JsonWriter& j) {
    return writeList(s, j, decodeReferences, referenceEntry);
}
long writeSubscribers(const AttrStream& s, JsonWriter& j) {
    return writeList(s, j, decodeSubscribers, subscriberEntry);
}

long writeWeb(const AttrStream& s, JsonWriter& j) {
    DIRWebItem w;
    if (long e = decodeWebItem(s, w)) return e;
    j.string("url", w.url);
    return 0;
}

long writeDocument(const AttrStream& s, JsonWriter& j) {
    DIRDocItem d;
    if (long e = decodeDocItem(s, d)) return e;
    j.string("documentText1", d.documentText1);
    j.string("documentText2", d.documentText2);
    j.string("documentText3", d.documentText3);
    return 0;
}

long writeAction(const AttrStream& s, JsonWriter& j) {
    DIRAction a;
    if (long e = decodeAction(s, a)) return e;
    j.number("capabilities", a.capabilities);
    j.number("reserved", a.reserved);
    j.number("initial", a.initial);
    j.number("showMode", a.showMode);
    j.number("iconIndex", a.iconIndex);
    j.string("commandLine", a.commandLine);
    j.string("startDirectory", a.startDirectory);
    return 0;
}

// The type-specific data (category 56) by the object's type.
struct TypeDataRow {
    long type;
    long (*write)(const AttrStream&, JsonWriter&);
};
constexpr TypeDataRow kTypeData[] = {
    {DIR_TYPE_FOLDER, writeSubscribers},
    {DIR_TYPE_DOCUMENT, writeDocument},
    {DIR_TYPE_WEB, writeWeb},
    {DIR_TYPE_ACTION, writeAction},
};

long writeTypeData(long type, const AttrStream& s, JsonWriter& j) {
    for (const TypeDataRow& row : kTypeData)
        if (row.type == type) return row.write(s, j);
    return DIR_NOT_IMPLEMENTED;
}

long writeCard(const AttrStream& s, JsonWriter& j) {
    DIRUserBusinessCard card;
    if (long e = decodeBusinessCard(s, card)) return e;
    j.beginArray("texts");
    for (auto text : DIRUserBusinessCard::kTexts)
        j.string(nullptr, card.*text);
    j.endArray();
    j.number("logoBytes", static_cast<long long>(card.logo.size()));
    return 0;
}

long writePreferences(const AttrStream& s, JsonWriter& j) {
    long value = 0;
    std::string t1, t2;
    if (long e = decodePreferences(s, value, t1, t2)) return e;
    j.number("value", value);
    j.string("text1", t1);
    j.string("text2", t2);
    return 0;
}

long writeHead(const AttrStream& s, JsonWriter& j) {
    layout::FreeSlotRecord r{};
    if (!decodeFreeSlot(s, r)) return DIR_FREELIST_INVALID;
    freeSlot(j, r);
    return 0;
}

// The parts of an object besides its main record, by category.
struct PartRow {
    uint32_t category;
    const char* key;
    long (*write)(const AttrStream&, JsonWriter&);
};
constexpr PartRow kParts[] = {
    {layout::kCatAccessRights, "accessRights", writeRights},
    {layout::kCatActionList, "actionList", writeReferences},
    {layout::kCatParents, "parents", writeParents},
    {layout::kCatContents, "contents", writeReferences},
};

// The fixed records of category 34, by number.
struct FixedRow {
    uint32_t number;
    bool group;
    const char* key;
    long (*write)(const AttrStream&, JsonWriter&);
};
constexpr FixedRow kFixed[] = {
    {layout::kUserFreeListHead, false, "freeListHead", writeHead},
    {layout::kGroupFreeListHead, true, "freeListHead", writeHead},
    {layout::kUserBusinessCard, false, "businessCard", writeCard},
    {layout::kUserPreferences, false, "preferences", writePreferences},
};

void object(JsonWriter& j, AttrStore& store, const std::string& holder, uint32_t number,
            const std::set<uint32_t>& categories, const DIRCommonInfo& main, long mainError) {
    j.beginObject();
    j.number("number", number);
    if (mainError) {
        j.beginObject("main");
        error(j, mainError);
        j.endObject();
    } else {
        const DIRBaseInfo& b = main.base;
        j.string("key", DIRMakeUniqueKey(holder, layout::kCatMain, number, b.created));
        j.number("type", b.objectType);
        j.string("typeName", typeName(b.objectType));
        j.number("version", b.version);
        time(j, "created", b.created);
        time(j, "modified", b.modified);
        j.boolean("shared", b.shared != 0);
        j.boolean("userFlag", b.userFlag != 0);
        j.number("userValue", b.userValue);
        j.string("creator", main.creator);
        j.string("name", main.name);
        j.string("extraText", main.extraText);
        j.string("longText", main.longText);
        j.string("description", main.description);
    }
    for (const PartRow& row : kParts)
        if (categories.count(row.category))
            part(j, store, holder, row.category, number, row.key, row.write);
    if (categories.count(layout::kCatTypeData)) {
        long type = main.base.objectType;
        part(j, store, holder, layout::kCatTypeData, number, "typeData",
             [type](const AttrStream& s, JsonWriter& w) { return writeTypeData(type, s, w); });
    }
    j.endObject();
}

} // namespace

void dumpHolder(AttrStore& store, const std::string& holder, bool group,
                const std::vector<AttrName>& attrs, std::string& json) {
    std::map<uint32_t, std::set<uint32_t>> numbers; // categories 52..57 by number
    std::set<uint32_t> fixed, tickets;
    std::vector<AttrName> others;
    const layout::NumberRange range = holderRange(group);
    for (const AttrName& a : attrs) {
        // Ordinary objects have no action list: 54 there is a free number's
        // ticket (namedir/freelist.h).
        if (a.category == layout::kCatActionList && range.contains(a.number))
            tickets.insert(a.number);
        else if (a.category >= layout::kCatMain && a.category <= layout::kCatContents)
            numbers[a.number].insert(a.category);
        else if (a.category == layout::kCatFixed)
            fixed.insert(a.number);
        else
            others.push_back(a);
    }

    JsonWriter j(json);
    j.beginObject();
    j.string("holder", holder);
    j.string("class", group ? "group" : "user");
    for (const FixedRow& row : kFixed)
        if (row.group == group && fixed.count(row.number)) {
            part(j, store, holder, layout::kCatFixed, row.number, row.key, row.write);
            fixed.erase(row.number);
        }

    std::vector<std::pair<uint32_t, layout::FreeSlotRecord>> free;
    j.beginArray("objects");
    for (const auto& [number, categories] : numbers) {
        AttrStream s(holder, layout::kCatMain, number);
        DIRCommonInfo main;
        long e = categories.count(layout::kCatMain) ? s.read(store) : long(DIR_ATTR_MISSING);
        layout::FreeSlotRecord marker{};
        if (e == 0 && decodeFreeSlot(s, marker)) {
            free.emplace_back(number, marker);
            if (categories.size() == 1) continue; // a free number holds nothing else
        }
        if (e == 0) e = decodeMainRecord(s, main);
        object(j, store, holder, number, categories, main, e);
    }
    j.endArray();

    j.beginArray("free");
    for (const auto& [number, marker] : free) {
        j.beginObject();
        j.number("number", number);
        freeSlot(j, marker);
        j.endObject();
    }
    j.endArray();

    j.beginArray("tickets");
    for (uint32_t number : tickets)
        j.number(nullptr, number);
    j.endArray();

    j.beginArray("otherAttributes");
    for (uint32_t number : fixed)
        others.push_back({layout::kCatFixed, number});
    for (const AttrName& a : others) {
        j.beginObject();
        j.number("category", a.category);
        j.number("number", a.number);
        j.endObject();
    }
    j.endArray();
    j.endObject();
}

} // namespace namedirtool
