// The attribute emulation over association record 762 (layout in
// nm/emulation.h and docs/attributes.md).
#include "nm/emulation.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "qrd/bytes.h"
#include "rpc/stubs.h"

namespace qrd::nm::emu {

namespace {

// The largest record the service can hand back in one reply.
constexpr uint16_t kReadCapacity = 0xFFFF;

bool sameName(const AttrName& a, const AttrName& b) {
    return a.category == b.category && a.number == b.number;
}

bool lessName(const AttrName& a, const AttrName& b) {
    if (a.category != b.category) return a.category < b.category;
    return a.number < b.number;
}

Value* find(AttrSet& set, const AttrName& attr) {
    for (Value& v : set)
        if (sameName(v.attr, attr)) return &v;
    return nullptr;
}

// The element count of a value (its data is always whole elements).
uint32_t countOf(const Value& v) {
    return uint32_t(v.data.size() / attrWidth(v.type));
}

// Reads the record of `target` into `set`. A missing record is an empty set.
QRDSTATUS load(const SessionRef& s, const AttrTarget& target, AttrSet& set) {
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kReadCapacity]);
    if (!record) return QRDERR_NM_NO_MEMORY;
    uint16_t length = 0;
    QRDSTATUS st = callOn(0, s, [&](const QRD_PORT* port, const uint8_t* sid) {
        return rpc::nmReadAssoc(port, sid, target.name, target.ocl, kRecord, record.get(),
                                kReadCapacity, &length);
    });
    set.clear();
    if (st == QRDERR_NM_NO_RECORD) return QRD_OK;
    if (st != QRD_OK) return st;
    return decode(record.get(), length, set);
}

QRDSTATUS save(const SessionRef& s, const AttrTarget& target, const AttrSet& set) {
    std::vector<uint8_t> record;
    if (QRDSTATUS st = encode(set, record)) return st;
    return callOn(0, s, [&](const QRD_PORT* port, const uint8_t* sid) {
        return rpc::nmWriteAssoc(port, sid, target.name, target.ocl, kRecord, record.data(),
                                 uint16_t(record.size()));
    });
}

} // namespace

QRDSTATUS decode(const uint8_t* record, size_t length, AttrSet& out) {
    out.clear();
    if (length >= kMarkerSize && std::memcmp(record, kMarkerGone, kMarkerSize) == 0)
        return QRDERR_NM_ATTRS_GONE;
    if (length != kBlockSize || std::memcmp(record, kMarkerAttr, kMarkerSize) != 0)
        return QRDERR_NM_EMU_DAMAGED;

    struct Extent {
        size_t begin, end;
    };
    std::vector<Extent> extents;
    BeReader dir(record + kMarkerSize, kEntries * kEntrySize);
    for (size_t i = 0; i < kEntries; ++i) {
        Value v{};
        v.attr.category = dir.u32();
        v.attr.number = dir.u32();
        const uint32_t offset = dir.u32();
        const uint8_t used = dir.u8();
        if (used == 0) continue;
        if (used != 1 || offset < kValuesStart || offset > kBlockSize - kValueHeader)
            return QRDERR_NM_EMU_DAMAGED;
        BeReader head(record + offset, kBlockSize - offset);
        v.type = head.u16();
        const uint16_t count = head.u16();
        if (v.type < ATTR_BYTES || v.type > ATTR_BYTES5) return QRDERR_NM_EMU_DAMAGED;
        const size_t width = attrWidth(v.type);
        const size_t bytes = size_t(count) * width;
        if (bytes > head.remaining() || find(out, v.attr)) return QRDERR_NM_EMU_DAMAGED;
        v.data.resize(bytes);
        for (size_t e = 0; e < count; ++e) {
            if (width == 4) {
                const uint32_t word = head.u32();
                std::memcpy(&v.data[e * 4], &word, 4);
            } else {
                v.data[e] = head.u8();
            }
        }
        extents.push_back({offset, offset + kValueHeader + bytes});
        out.push_back(std::move(v));
    }
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
    for (size_t i = 1; i < extents.size(); ++i)
        if (extents[i].begin < extents[i - 1].end) return QRDERR_NM_EMU_DAMAGED;
    return QRD_OK;
}

QRDSTATUS encode(const AttrSet& set, std::vector<uint8_t>& out) {
    if (set.size() > kEntries) return QRDERR_NM_NO_MEMORY;
    out.assign(kBlockSize, 0);
    std::memcpy(out.data(), kMarkerAttr, kMarkerSize);
    size_t at = kValuesStart;
    for (size_t i = 0; i < set.size(); ++i) {
        const Value& v = set[i];
        const size_t width = attrWidth(v.type);
        const size_t count = v.data.size() / width;
        if (count > 0xFFFF || kValueHeader + v.data.size() > kBlockSize - at)
            return QRDERR_NM_NO_MEMORY;
        uint8_t* entry = &out[kMarkerSize + i * kEntrySize];
        putBe32(entry, v.attr.category);
        putBe32(entry + 4, v.attr.number);
        putBe32(entry + 8, uint32_t(at));
        entry[12] = 1;
        putBe16(&out[at], uint16_t(v.type));
        putBe16(&out[at + 2], uint16_t(count));
        at += kValueHeader;
        for (size_t e = 0; e < count; ++e) {
            if (width == 4) {
                uint32_t word;
                std::memcpy(&word, &v.data[e * 4], 4);
                putBe32(&out[at], word);
                at += 4;
            } else {
                out[at++] = v.data[e];
            }
        }
    }
    return QRD_OK;
}

QRDSTATUS read(const SessionRef& s, const AttrTarget& target, uint32_t* type, uint32_t* index,
               uint32_t* count, uint8_t* buffer, uint32_t* flags) {
    AttrSet set;
    if (QRDSTATUS st = load(s, target, set)) return st;
    const Value* v = find(set, target.attr);
    if (!v) return QRDERR_NM_NO_ATTR;
    const size_t width = attrWidth(v->type);
    if (width != attrWidth(*type)) return QRDERR_NM_BAD_ARG; // the buffer holds other elements
    const uint32_t stored = countOf(*v);
    const uint32_t from = std::min(*index, stored);
    const uint32_t n = std::min(*count, stored - from);
    if (n) std::memcpy(buffer, &v->data[size_t(from) * width], size_t(n) * width);
    *type = v->type;
    *count = n;
    *flags = from + n < stored ? QRD_ATTR_MORE : 0;
    return QRD_OK;
}

QRDSTATUS write(const SessionRef& s, const AttrTarget& target, uint32_t type, uint32_t* index,
                uint32_t count, const uint8_t* data, uint32_t* flags) {
    const size_t width = attrWidth(type);
    const uint64_t end = uint64_t(*index) + count; // elements up to the end of this write
    if (end * width + kValueHeader > kValuesSize) return QRDERR_NM_NO_MEMORY;

    AttrSet set;
    if (QRDSTATUS st = load(s, target, set)) return st;
    Value* v = find(set, target.attr);
    if (!v) {
        set.push_back(Value{target.attr, type, {}});
        v = &set.back();
    } else if (v->type != type) {
        // A value of another type is not merged with: it starts afresh.
        v->type = type;
        v->data.clear();
    }
    const size_t old = v->data.size() / width;
    const size_t newCount = (*flags & 2) ? size_t(end) : std::max<size_t>(old, size_t(end));
    v->data.resize(newCount * width, 0);
    if (count) std::memcpy(&v->data[size_t(*index) * width], data, size_t(count) * width);
    if (QRDSTATUS st = save(s, target, set)) return st;
    *flags = 0;
    return QRD_OK;
}

QRDSTATUS remove(const SessionRef& s, const AttrTarget& target) {
    AttrSet set;
    if (QRDSTATUS st = load(s, target, set)) return st;
    auto it = std::find_if(set.begin(), set.end(),
                           [&](const Value& v) { return sameName(v.attr, target.attr); });
    if (it == set.end()) return QRDERR_NM_NO_ATTR;
    set.erase(it);
    return save(s, target, set);
}

QRDSTATUS info(const SessionRef& s, const AttrTarget& target, uint32_t* type, uint32_t* count,
               uint32_t* bytes) {
    AttrSet set;
    if (QRDSTATUS st = load(s, target, set)) return st;
    const Value* v = find(set, target.attr);
    if (!v) return QRDERR_NM_NO_ATTR;
    *type = v->type;
    *count = countOf(*v);
    *bytes = uint32_t(v->data.size());
    return QRD_OK;
}

QRDSTATUS scan(const SessionRef& s, const AttrTarget& target, const AttrName& first,
               const AttrName& last, QRD_SCAN_PASS* pass, uint16_t capacity, uint16_t* n,
               AttrName* names) {
    *n = 0;
    if (capacity == 0) return QRD_OK;
    AttrSet set;
    if (QRDSTATUS st = load(s, target, set)) return st;
    std::vector<AttrName> matching;
    for (const Value& v : set)
        if (!lessName(v.attr, first) && !lessName(last, v.attr)) matching.push_back(v.attr);
    std::sort(matching.begin(), matching.end(), lessName);

    const size_t from = std::min<size_t>(getBe32(pass->bytes), matching.size());
    const size_t take = std::min<size_t>(capacity, matching.size() - from);
    std::copy_n(matching.begin() + ptrdiff_t(from), take, names);
    *n = uint16_t(take);
    std::memset(pass->bytes, 0, sizeof pass->bytes);
    if (from + take < matching.size()) putBe32(pass->bytes, uint32_t(from + take));
    return QRD_OK;
}

} // namespace qrd::nm::emu
