// The attribute procedures (41-46) and the association records (0, 1).
// Layouts: docs/protocol.md; rules and limits: docs/namewrightd.md.
#include <algorithm>
#include <memory>

#include "log.h"
#include "names.h"
#include "qrd/scram.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;

namespace {

constexpr uint16_t kTransferLost = qrd::nm::kSessionLost; // the reader's snapshot was dropped
constexpr uint16_t kOclObject = 0, kOclGroup = 5;
constexpr uint32_t kMoreFlag = 1;  // read reply: more follows
constexpr uint32_t kCutFlag = 2;   // write: the value ends after this exchange
constexpr uint16_t kScanMax = 500; // names in one scan reply (fits a datagram)
constexpr size_t kPassBytes = 8;

// The attribute the desktop reads an object's type from: the entry's kind
// as one integer (1 user, 3 list, 5 group, ...). Made up, never stored.
constexpr AttrId kTypeAttr{0, 6};
// A user's new-folders list (its main record and its contents), written by
// the desktop users who publish a folder to the user; the business card
// marks a desktop user.
constexpr AttrId kNewFoldersMain{52, 200000};
constexpr AttrId kNewFoldersContents{57, 200000};
constexpr AttrId kBusinessCard{34, 200004};
// The numbers of a group's shared objects, and the categories of one that
// subscribing writes.
struct NumberSpan {
    uint32_t lower, upper;
    bool contains(uint32_t n) const { return n >= lower && n <= upper; }
};
constexpr NumberSpan kSharedNumbers{200200, 209999};
constexpr uint32_t kSubscribing[] = {52, 54, 55, 56};

// The attribute named after the opening of every attribute procedure.
AttrId readAttrId(qrd::BeReader& r) {
    AttrId a;
    a.category = r.u32();
    a.number = r.u32();
    return a;
}

void putAttr(qrd::BeWriter& w, AttrId a) {
    w.u32(a.category);
    w.u32(a.number);
}

// The conditions of a write (its qualifiers): count, then attr, u16 length
// and the bytes of each (qrd/nmproto.h). False for a malformed list.
bool readConditions(qrd::BeReader& r, std::vector<WriteCondition>& out) {
    const uint16_t n = r.u16();
    if (!r.ok() || n > kConditionMax) return false;
    for (uint16_t i = 0; i < n; ++i) {
        WriteCondition w;
        w.attr = readAttrId(r);
        const uint16_t length = r.u16();
        if (!r.ok()) return false;
        if (length == kConditionAbsent) {
            w.absent = true;
        } else {
            w.digest = length == kConditionDigest;
            const uint16_t n = w.digest ? kConditionDigestBytes : length;
            if (n > kConditionBytesMax) return false;
            w.bytes.resize(n);
            r.bytes(w.bytes.data(), n);
        }
        if (!r.ok()) return false;
        out.push_back(std::move(w));
    }
    return true;
}

} // namespace

// Whether the stored value of `w.attr` is as the condition says.
bool Handler::holds(const Entry& e, const WriteCondition& w) {
    const size_t want = w.digest ? kMaxAttrBytes : kConditionBytesMax + 1;
    std::optional<AttrSlice> v = storage_.attributeSlice(e.id, w.attr, 0, want);
    if (w.absent || !v) return w.absent && !v;
    if (w.digest) return v->size == v->bytes.size() && qrd::scram::sha256(v->bytes) == w.bytes;
    return v->size == w.bytes.size() && v->bytes == w.bytes;
}

uint16_t Handler::target(const std::string& name, uint16_t ocl, NameCache::Target& out) {
    if (ocl != kOclObject && ocl != kOclGroup) return kBadRequest;
    const uint16_t kind = ocl == kOclGroup ? kNameKindGroup : kNameKindObject;
    const uint64_t stamp = names_.stamp();
    const std::string key = NameCache::key(name, kind);
    if (std::optional<NameCache::Target> t = names_.target(key)) {
        out = *t;
        return 0;
    }
    Resolved r = dir_.locate(name, kind);
    if (r.status) return lookupStatus(r.status);
    out.entry = r.entry;
    out.referral = referral(r.entry);
    names_.putTarget(stamp, key, out);
    return 0;
}

uint16_t Handler::referral(const Entry& e) {
    int64_t group = e.kind == Kind::Group ? e.id : e.parentId;
    std::string server = storage_.groupServer(group);
    std::string latin1;
    if (server.empty() || !utf8ToLatin1(server, latin1)) return 0;
    return nameKey(latin1) == nameKey(config_.serverName) ? 0 : uint16_t(kReferral);
}

bool Handler::mayWrite(const Session& s, const Entry& e, const AttrId* attr, bool publishing) {
    if (s.userId == 0) return false;
    const NameCache::User u = userFacts(s.userId);
    if (!u.exists) return false;
    if (u.admin || e.id == s.userId) return true;
    if (e.kind == Kind::Group && e.id == u.groupId) return true;
    if (publishing && attr && e.kind == Kind::User &&
        (*attr == kNewFoldersMain || *attr == kNewFoldersContents))
        return storage_.attributeSize(e.id, kBusinessCard).has_value();
    // A recipient of another group's shared object subscribes to it: that
    // moves its date (52), claims it (54), adds a parent (55) and a
    // subscriber (56). Nothing else of it, and no deletion.
    if (publishing && attr && e.kind == Kind::Group && kSharedNumbers.contains(attr->number) &&
        std::find(std::begin(kSubscribing), std::end(kSubscribing), attr->category) !=
            std::end(kSubscribing))
        return isRecipient(s.userId, e, attr->number);
    return false;
}

// 41: one chunk of a value. A continued read is answered only from the
// version its first exchange saw (transfers.h).
Handler::Reply Handler::readAttr(Call& c) {
    const AttrId attr = readAttrId(c.args);
    const uint32_t type = c.args.u32(), index = c.args.u32(), count = c.args.u32();
    c.args.u32(); // flags: a read asks for nothing with them
    const uint16_t qualifiers = c.args.u16();
    const uint16_t part = c.args.u16();
    if (!c.args.ok() || qualifiers != 0 || !validAttrType(type)) return refusal(kBadRequest);
    const uint32_t now = clock_();
    const Entry& e = c.object;
    const SessionId& sid = c.sid;
    const uint32_t width = attrWidth(type);

    std::optional<AttrVersion> pinned;
    if (part & kPartContinues) {
        pinned = transfers_.continuedRead(sid, e.id, attr, index, now);
        if (!pinned) return refusal(kTransferLost);
    }
    // Only the chunks of this exchange are read. A width that matches the
    // request's (checked below) gives the same chunk limit.
    const uint32_t ask = std::min(count, attrChunkLimit(type));
    std::optional<AttrSlice> v;
    if (attr == kTypeAttr) {
        v = AttrSlice{4, 4, AttrVersion{}, std::vector<uint8_t>(4)};
        qrd::putBe32(v->bytes.data(), uint32_t(e.kind));
        v->bytes.erase(v->bytes.begin(),
                       v->bytes.begin() + std::min<uint64_t>(4, uint64_t(index) * width));
    } else {
        v = storage_.attributeSlice(e.id, attr, uint64_t(index) * width, size_t(ask) * width);
    }
    if (pinned && (!v || v->version != *pinned)) { // changed under the reader
        transfers_.readDone(sid, e.id, attr, {}, 0, false, now);
        return refusal(kTransferLost);
    }
    if (!v) return refusal(kNoAttribute);
    if (!validAttrType(v->type)) throw StorageError(StorageError::Damaged, "damaged attribute");
    if (attrWidth(v->type) != width) return refusal(kBadRequest); // integers are not bytes
    const uint64_t elements = v->size / width;
    const uint64_t from = std::min<uint64_t>(index, elements);
    const uint32_t n = uint32_t(std::min<uint64_t>(v->bytes.size() / width, ask));
    const bool more = from + n < elements;
    transfers_.readDone(sid, e.id, attr, v->version, uint32_t(from + n), more, now);

    // type, index, count, flags, tag, n, the elements, qualifiers.
    qrd::BeWriter w = returnWriter(4 * 4 + 2 + 2 + size_t(n) * width + 2);
    w.u32(v->type);
    w.u32(index);
    w.u32(n);
    w.u32(more ? kMoreFlag : 0);
    if (n == 0) {
        w.u16(0);
    } else {
        w.u16(uint16_t(v->type));
        w.u16(uint16_t(n));
        w.bytes(v->bytes.data(), size_t(n) * width);
    }
    w.u16(0); // no qualifiers
    return done(w);
}

// 42: one chunk at its absolute position; flag 2 cuts the value after it.
// Conditions (qualifiers) are checked when the value is stored: those of
// the last exchange count.
// The exchanges of a write in several parts are kept until its last one and
// stored together in one transaction, committed before the reply.
Handler::Reply Handler::writeAttr(Call& c) {
    const AttrId attr = readAttrId(c.args);
    const uint32_t type = c.args.u32(), index = c.args.u32(), count = c.args.u32();
    const uint32_t flags = c.args.u32();
    const uint16_t tag = c.args.u16();
    if (!c.args.ok() || !validAttrType(type) || count > attrChunkLimit(type))
        return refusal(kBadRequest);
    const uint32_t width = attrWidth(type);
    const uint8_t* data = nullptr;
    size_t dataBytes = 0;
    if (tag != 0) {
        const uint16_t n = c.args.u16();
        if (tag != type || n != count) return refusal(kBadRequest);
        dataBytes = size_t(n) * width;
        data = c.args.here();
        c.args.skip(dataBytes);
    } else if (count != 0) {
        return refusal(kBadRequest);
    }
    std::vector<WriteCondition> conditions;
    if (!readConditions(c.args, conditions)) return refusal(kBadRequest);
    const uint16_t partOf = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);
    const Entry& e = c.object;
    if (attr == kTypeAttr || !mayWrite(c.session, e, &attr, true)) return refusal(kAccessDenied);
    // 64 bits: index + count cannot wrap.
    const uint64_t end = uint64_t(index) + count;
    if (end * width > kMaxValueBytes) return refusal(kBadRequest);

    const uint32_t now = clock_();
    StagedPart part{type, uint64_t(index) * width, std::vector<uint8_t>(data, data + dataBytes),
                    (flags & kCutFlag) != 0};
    if (partOf & kPartMore) {
        if (!transfers_.stage(c.sid, e.id, attr, !(partOf & kPartContinues), index, std::move(part),
                              uint32_t(end), now))
            return refusal(kTransferLost);
    } else {
        std::vector<StagedPart> parts;
        if (partOf & kPartContinues) {
            std::optional<std::vector<StagedPart>> staged =
                transfers_.take(c.sid, e.id, attr, index, now);
            if (!staged) return refusal(kTransferLost);
            parts = std::move(*staged);
        }
        parts.push_back(std::move(part));
        if (uint16_t st = storeParts(e, attr, parts, conditions)) return refusal(st);
    }

    qrd::BeWriter w = returnWriter();
    w.u32(uint32_t(end)); // where a following exchange continues
    w.u32(0);
    return done(w);
}

// The exchanges of one write, in order, in one transaction: all or none.
// Only each exchange's range is written; the stored value is not read.
uint16_t Handler::storeParts(const Entry& e, AttrId attr, const std::vector<StagedPart>& parts,
                             const std::vector<WriteCondition>& conditions) {
    Transaction t(storage_);
    for (const WriteCondition& w : conditions)
        if (!holds(e, w)) return kConditionFailed;
    for (const StagedPart& p : parts) {
        std::optional<AttrSize> cur = storage_.attributeSize(e.id, attr);
        const bool replacesAll = p.offset == 0 && (p.cut || (cur && p.data.size() >= cur->bytes));
        // Part of the stored value stays: its elements must be as wide.
        if (cur && !replacesAll && attrWidth(cur->type) != attrWidth(p.type)) return kBadRequest;
        storage_.writeAttribute(e.id, attr, p.type, p.offset, p.data.data(), p.data.size(), p.cut);
    }
    t.commit();
    return 0;
}

// 43: removes an attribute.
Handler::Reply Handler::deleteAttr(Call& c) {
    const AttrId attr = readAttrId(c.args);
    if (!c.args.ok()) return refusal(kBadRequest);
    const Entry& e = c.object;
    if (attr == kTypeAttr || !mayWrite(c.session, e, &attr, false)) return refusal(kAccessDenied);
    if (!storage_.removeAttribute(e.id, attr)) return refusal(kNoAttribute);
    qrd::BeWriter w = returnWriter();
    return done(w);
}

// 45: type, element count and size of a value.
Handler::Reply Handler::attrInfo(Call& c) {
    const AttrId attr = readAttrId(c.args);
    if (!c.args.ok()) return refusal(kBadRequest);
    std::optional<AttrSize> size;
    if (attr == kTypeAttr)
        size = AttrSize{4, 4};
    else
        size = storage_.attributeSize(c.object.id, attr);
    if (!size) return refusal(kNoAttribute);
    if (!validAttrType(size->type) || size->bytes > UINT32_MAX)
        throw StorageError(StorageError::Damaged, "damaged attribute");
    qrd::BeWriter w = returnWriter();
    w.u32(size->type);
    w.u32(uint32_t(size->bytes / attrWidth(size->type)));
    w.u32(uint32_t(size->bytes));
    return done(w);
}

// 46: the names of the attributes between `first` and `last`. The pass is
// the name to go on from (u32 category, u32 number); all zero starts, and
// comes back all zero when no more follow.
Handler::Reply Handler::scanAttr(Call& c) {
    const AttrId first = readAttrId(c.args);
    const AttrId last = readAttrId(c.args);
    uint8_t pass[kPassBytes];
    c.args.bytes(pass, sizeof pass);
    const uint16_t max = std::min(c.args.u16(), kScanMax);
    if (!c.args.ok()) return refusal(kBadRequest);

    qrd::BeWriter w = returnWriter(kPassBytes + 2 + size_t(max) * 8);
    if (max == 0) { // no room: nothing changes
        w.bytes(pass, sizeof pass);
        w.u16(0);
        return done(w);
    }
    AttrId start = first;
    if (std::any_of(pass, pass + sizeof pass, [](uint8_t b) { return b != 0; }))
        start = std::max(first, AttrId{qrd::getBe32(pass), qrd::getBe32(pass + 4)});
    std::vector<AttrId> names;
    if (start <= last) {
        names = storage_.attributeNames(c.object.id, start, last, size_t(max) + 1);
        if (start <= kTypeAttr && kTypeAttr <= last &&
            !std::binary_search(names.begin(), names.end(), kTypeAttr))
            names.insert(std::lower_bound(names.begin(), names.end(), kTypeAttr), kTypeAttr);
    }
    if (names.size() > max) {
        putAttr(w, names[max]); // the next one; never (0, 0), which sorts first
        names.resize(max);
    } else {
        w.bytes(std::vector<uint8_t>(kPassBytes, 0).data(), kPassBytes);
    }
    w.u16(uint16_t(names.size()));
    for (AttrId a : names)
        putAttr(w, a);
    return done(w);
}

// 0: an association record. Record 1 of a user and record 2 of a group come
// from the directory; the others are stored as written.
Handler::Reply Handler::readAssoc(Call& c) {
    const uint16_t record = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);
    const Entry& e = c.object;

    std::string data;
    if (record == kRecordUser) {
        std::optional<UserRecord> u =
            e.kind == Kind::User ? storage_.user(e.id) : std::optional<UserRecord>();
        if (!u) return refusal(kNoRecord);
        // {str(128) description, 6 address bytes, u16, u16, u32, u32}: the
        // description is all the directory keeps; the rest is zero.
        std::string description;
        if (!utf8ToLatin1(u->description, description)) description.clear();
        description.resize(std::min(description.size(), kDescriptionCap - 1));
        qrd::BeWriter r;
        r.string(description);
        for (int i = 0; i < 6 + 2 + 2 + 4 + 4; ++i)
            r.u8(0);
        data.assign(r.data().begin(), r.data().end());
    } else if (record == kRecordGroupServer) {
        if (e.kind != Kind::Group) return refusal(kNoRecord);
        std::string server;
        if (!utf8ToLatin1(storage_.groupServer(e.id), server) || server.empty())
            server = config_.serverName; // held by every server of this database
        qrd::BeWriter r;
        r.string(server);
        data.assign(r.data().begin(), r.data().end());
    } else {
        std::optional<std::vector<uint8_t>> stored = storage_.assocRecord(e.id, record);
        if (!stored) return refusal(kNoRecord);
        data.assign(stored->begin(), stored->end());
    }
    if (data.size() > kMaxRecordBytes) throw StorageError(StorageError::Damaged, "record too big");
    qrd::BeWriter w = returnWriter(2 + data.size() + 1);
    w.string(data);
    return done(w);
}

// 1: stores an association record (not 1 and 2, which the directory keeps).
Handler::Reply Handler::writeAssoc(Call& c) {
    const uint16_t record = c.args.u16();
    std::string data;
    c.args.string(data, kMaxRecordBytes);
    if (!c.args.ok()) return refusal(kBadRequest);
    const Entry& e = c.object;
    if (record == kRecordUser || record == kRecordGroupServer ||
        !mayWrite(c.session, e, nullptr, false))
        return refusal(kAccessDenied);
    storage_.setAssocRecord(e.id, record, std::vector<uint8_t>(data.begin(), data.end()));
    qrd::BeWriter w = returnWriter();
    return done(w);
}

} // namespace nwd
