#include "qrd/nmdawire.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "qrd/bytes.h"

namespace qrd::nmdawire {

namespace {

// A NUL-padded text field of a fixed size; the text is cut to fit.
void putField(uint8_t* at, size_t size, const std::string& s) {
    std::memset(at, 0, size);
    std::memcpy(at, s.data(), std::min(s.size(), size));
}

std::string getField(const uint8_t* at, size_t size) {
    const auto* end = static_cast<const uint8_t*>(std::memchr(at, 0, size));
    return std::string(reinterpret_cast<const char*>(at), end ? size_t(end - at) : size);
}

void putHead(BeWriter& w, const Head& h) {
    w.bytes(h.nonce.bytes.data(), h.nonce.bytes.size());
    w.u16(h.kind);
    w.bytes(h.intl.data(), h.intl.size());
    w.u16(h.charCode);
    w.u32(h.revision);
}

void readHead(BeReader& r, Head& h) {
    r.bytes(h.nonce.bytes.data(), h.nonce.bytes.size());
    h.kind = r.u16();
    r.bytes(h.intl.data(), h.intl.size());
    h.charCode = r.u16();
    h.revision = r.u32();
}

void putContext(BeWriter& w, const Context& c) {
    w.u16(c.operation);
    w.u16(c.kind);
    w.u16(c.pageSize);
    w.u16(c.forward);
    w.u16(c.backward);
    w.string(c.positionText);
    w.string(c.firstKey);
    w.string(c.lastKey);
}

void readContext(BeReader& r, Context& c) {
    c.operation = r.u16();
    c.kind = r.u16();
    c.pageSize = r.u16();
    c.forward = r.u16();
    c.backward = r.u16();
    r.string(c.positionText, kTextMax);
    r.string(c.firstKey, kNameMax);
    r.string(c.lastKey, kNameMax);
}

} // namespace

std::array<uint8_t, kLocateSize> encodeLocate(const Locate& m) {
    std::array<uint8_t, kLocateSize> d{};
    d[0] = kLocateTag;
    d[1] = m.op;
    if (m.op == kLocateAnswer)
        putBe32(&d[kWordAt], m.word);
    else
        std::memcpy(&d[kIntlAt], m.intl.data(), kIntlSize);
    putField(&d[kUserAt], kUserSize - 1, m.user);
    putField(&d[kPatternAt], kPatternSize, m.pattern);
    return d;
}

std::optional<Locate> decodeLocate(const uint8_t* p, size_t n) {
    if (n != kLocateSize || p[0] != kLocateTag) return std::nullopt;
    Locate m;
    m.op = p[1];
    if (m.op != kLocateAsk && m.op != kLocateAnswer && m.op != kLocateClose) return std::nullopt;
    if (m.op == kLocateAnswer)
        m.word = getBe32(p + kWordAt);
    else
        std::memcpy(m.intl.data(), p + kIntlAt, kIntlSize);
    m.user = getField(p + kUserAt, kUserSize);
    m.pattern = getField(p + kPatternAt, kPatternSize);
    return m;
}

uint16_t queryKind(const uint8_t* p, size_t n) {
    return n >= 16 ? getBe16(p + 14) : 0;
}

void encode(const DataRequest& m, std::vector<uint8_t>& out) {
    BeWriter w;
    putHead(w, m.head);
    putContext(w, m.context);
    w.u16(m.query.attributeIndex);
    w.u16(m.query.selector);
    w.string(m.query.pattern);
    w.u16(uint16_t(m.query.criteria.size()));
    for (const Criterion& c : m.query.criteria) {
        w.u16(c.match);
        w.u32(c.category);
        w.u32(c.number);
        w.u16(c.valueKind);
        w.string(c.text);
    }
    w.u16(m.limits.flags);
    w.u16(m.limits.maxEntries);
    w.u32(m.limits.maxBytes);
    appendTo(out, w);
}

std::optional<DataRequest> decodeDataRequest(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    DataRequest m;
    readHead(r, m.head);
    readContext(r, m.context);
    m.query.attributeIndex = r.u16();
    m.query.selector = r.u16();
    r.string(m.query.pattern, kNameMax);
    const uint16_t count = r.u16();
    if (count > kCriteriaMax) return std::nullopt;
    m.query.criteria.resize(count);
    for (Criterion& c : m.query.criteria) {
        c.match = r.u16();
        c.category = r.u32();
        c.number = r.u32();
        c.valueKind = r.u16();
        r.string(c.text, kCriterionMax);
    }
    m.limits.flags = r.u16();
    m.limits.maxEntries = r.u16();
    m.limits.maxBytes = r.u32();
    if (m.head.kind != kDataQuery) return std::nullopt;
    return decoded(r, std::move(m));
}

void encode(const DataReply& m, std::vector<uint8_t>& out) {
    BeWriter w;
    putContext(w, m.context);
    w.u16(uint16_t(m.entries.size()));
    for (const Entry& e : m.entries) {
        w.string(e.name);
        w.u16(e.status);
        w.u16(e.kind);
        w.u16(e.descKind);
        w.string(e.description);
    }
    appendTo(out, w);
}

std::optional<DataReply> decodeDataReply(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    DataReply m;
    readContext(r, m.context);
    const uint16_t count = r.u16();
    if (count > kEntriesMax) return std::nullopt;
    m.entries.resize(count);
    for (Entry& e : m.entries) {
        r.string(e.name, kNameMax);
        e.status = r.u16();
        e.kind = r.u16();
        e.descKind = r.u16();
        r.string(e.description, kNameMax);
    }
    return decoded(r, std::move(m));
}

void encode(const AttrRequest& m, std::vector<uint8_t>& out) {
    BeWriter w;
    putHead(w, m.head);
    w.string(m.name);
    w.u32(m.category);
    w.u32(m.number);
    w.u16(m.type);
    w.u32(m.position);
    w.u32(m.limit);
    appendTo(out, w);
}

std::optional<AttrRequest> decodeAttrRequest(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    AttrRequest m;
    readHead(r, m.head);
    r.string(m.name, kNameMax);
    m.category = r.u32();
    m.number = r.u32();
    m.type = r.u16();
    m.position = r.u32();
    m.limit = r.u32();
    if (m.head.kind != kAttrQuery) return std::nullopt;
    return decoded(r, std::move(m));
}

void encode(const AttrReply& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.u16(m.entries);
    if (m.entries) {
        w.string(m.name);
        w.u16(m.entryStatus);
        w.u16(m.attrStatus);
        w.u16(m.type);
        w.u32(m.position);
        w.u32(m.count);
        w.u16(uint16_t(m.value.size()));
        w.bytes(m.value.data(), m.value.size());
    }
    appendTo(out, w);
}

std::optional<AttrReply> decodeAttrReply(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    AttrReply m;
    m.entries = r.u16();
    if (m.entries > 1) return std::nullopt;
    if (m.entries) {
        r.string(m.name, kNameMax);
        m.entryStatus = r.u16();
        m.attrStatus = r.u16();
        m.type = r.u16();
        m.position = r.u32();
        m.count = r.u32();
        const uint16_t bytes = r.u16();
        if (bytes > kValueMax) return std::nullopt;
        m.value.resize(bytes);
        r.bytes(m.value.data(), bytes);
    }
    return decoded(r, std::move(m));
}

void encode(const LocateRequest& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.bytes(m.nonce.bytes.data(), m.nonce.bytes.size());
    w.string(m.user);
    w.bytes(m.intl.data(), m.intl.size());
    w.string(m.pattern);
    appendTo(out, w);
}

std::optional<LocateRequest> decodeLocateRequest(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    LocateRequest m;
    r.bytes(m.nonce.bytes.data(), m.nonce.bytes.size());
    r.string(m.user, kNameMax);
    r.bytes(m.intl.data(), m.intl.size());
    r.string(m.pattern, kPatternSize);
    return decoded(r, std::move(m));
}

void encode(const LocateReply& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.u32(m.word);
    w.string(m.serviceName);
    w.string(m.serverShort);
    appendTo(out, w);
}

std::optional<LocateReply> decodeLocateReply(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    LocateReply m;
    m.word = r.u32();
    r.string(m.serviceName, kNameMax);
    r.string(m.serverShort, kPatternSize);
    return decoded(r, std::move(m));
}

bool wildcardMatch(const std::string& pattern, const std::string& text) {
    // Iterative matcher with one back-track point: linear in practice and
    // never recursive, whatever the pattern.
    size_t p = 0, t = 0, star = std::string::npos, mark = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace qrd::nmdawire
