#include "nmda.h"

#include <algorithm>

#include "names.h"
#include "qrd/nmproto.h"

namespace nwd {

namespace wire = qrd::nmdawire;

namespace {

constexpr size_t kPositionBytes = 6; // compared after the common prefix
const std::string kAllNames = "*@*@*";

uint64_t numberAt(const std::string& s, size_t at) {
    uint64_t v = 0;
    for (size_t i = 0; i < kPositionBytes; ++i)
        v = v << 8 | (at + i < s.size() ? uint8_t(s[at + i]) : 0);
    return v;
}

size_t commonPrefix(const std::string& a, const std::string& b) {
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

// The smallest key above `k`: names hold no byte below 0x20.
std::string after(const std::string& k) {
    return k + '\x01';
}

// A LIKE pattern: '*' and '?' are wildcards for a pattern match, and
// LIKE's own characters are taken as themselves.
std::string likePattern(const std::string& text, bool wildcards) {
    std::string out;
    for (char c : text) {
        if (wildcards && c == '*')
            out += '%';
        else if (wildcards && c == '?')
            out += '_';
        else {
            if (c == '%' || c == '_' || c == '\\') out += '\\';
            out += c;
        }
    }
    return out;
}

bool validPatternChar(unsigned char c) {
    return c == '*' || c == '?' || validNameChar(c);
}

} // namespace

uint16_t nmdaKindOf(const NmdaRow& row) {
    switch (row.kind) {
    case Kind::User:
        return 0;
    case Kind::List:
        return 1;
    case Kind::Nickname:
        return 5;
    default:
        return row.serviceClass == int(ServiceClass::Print)  ? 2
               : row.serviceClass == int(ServiceClass::File) ? 3
                                                             : 4;
    }
}

uint16_t nmdaFilter(uint16_t kind, const std::string& pattern,
                    const std::vector<wire::Criterion>& criteria, NmdaFilter& out,
                    std::string& from, std::string& below) {
    static const struct {
        Kind kind;
        int serviceClass;
    } kKinds[wire::kKinds] = {
        {Kind::User, -1},
        {Kind::List, -1},
        {Kind::Service, int(ServiceClass::Print)},
        {Kind::Service, int(ServiceClass::File)},
        {Kind::Service, -1},
        {Kind::Nickname, -1},
    };
    if (kind >= wire::kKinds || criteria.size() > kNmdaMatchMax) return qrd::nm::kBadRequest;
    out = NmdaFilter{};
    out.kind = kKinds[kind].kind;
    out.serviceClass = kKinds[kind].serviceClass;

    std::string p = pattern.empty() ? kAllNames : pattern;
    const size_t parts = size_t(std::count(p.begin(), p.end(), '@')) + 1;
    if (parts > 3 || p.size() > kMaxNameBytes) return qrd::nm::kBadName;
    for (size_t i = parts; i < 3; ++i)
        p += "@*";
    for (unsigned char c : p)
        if (c != '@' && !validPatternChar(c)) return qrd::nm::kBadName;
    const std::string glob = nameKey(p);
    out.glob = glob == kAllNames ? std::string() : glob;
    // The literal text before the first wildcard bounds the walk.
    from = glob.substr(0, glob.find_first_of("*?"));
    below.clear();
    if (!from.empty() && from.size() == glob.size()) {
        below = after(from); // no wildcard: one name
    } else if (!from.empty()) {
        below = from;
        below.back() = char(uint8_t(below.back()) + 1);
    }

    for (const wire::Criterion& c : criteria) {
        if (c.valueKind != wire::kValueText ||
            (c.match != wire::kMatchPattern && c.match != wire::kMatchExact))
            return qrd::nm::kBadRequest;
        NmdaMatch m;
        m.description = c.category == 0 && c.number == 1;
        m.attr = AttrId{c.category, c.number};
        // Descriptions are kept in UTF-8, attribute texts as they were sent.
        const std::string text = m.description ? latin1ToUtf8(c.text) : c.text;
        m.like = likePattern(text, c.match == wire::kMatchPattern);
        out.matches.push_back(std::move(m));
    }
    return 0;
}

uint16_t nmdaPosition(const std::string& key, const std::string& first, const std::string& last) {
    if (key <= first || first >= last) return 0;
    if (key >= last) return 100;
    const size_t at = commonPrefix(first, last);
    const uint64_t lo = numberAt(first, at), hi = numberAt(last, at);
    const uint64_t k = std::clamp(numberAt(key, at), lo, hi);
    if (hi == lo) return 0;
    // 48-bit numbers: the product fits in 64 bits.
    return uint16_t((k - lo) * 100 / (hi - lo));
}

std::string nmdaKeyAt(uint16_t position, const std::string& first, const std::string& last) {
    if (position == 0 || first >= last) return first;
    if (position >= 100) return last;
    const size_t at = commonPrefix(first, last);
    const uint64_t lo = numberAt(first, at), hi = numberAt(last, at);
    uint64_t v = lo + (hi - lo) * position / 100;
    std::string key = first.substr(0, at);
    for (size_t i = 0; i < kPositionBytes; ++i)
        key += char(uint8_t(v >> (8 * (kPositionBytes - 1 - i))));
    while (key.size() > at && key.back() == '\0')
        key.pop_back();
    return std::max(key, first);
}

uint16_t nmdaServe(Storage& storage, const wire::DataRequest& request, wire::DataReply& reply) {
    const wire::Context& in = request.context;
    NmdaFilter f;
    std::string from, below;
    if (uint16_t st =
            nmdaFilter(in.kind, request.query.pattern, request.query.criteria, f, from, below))
        return st;
    size_t n = in.pageSize ? in.pageSize : wire::kPageSize;
    if (request.limits.maxEntries) n = std::min<size_t>(n, request.limits.maxEntries);
    n = std::min(n, wire::kEntriesMax);

    reply.context = in;
    reply.entries.clear();
    reply.context.forward = reply.context.backward = 0;
    reply.context.firstKey.clear();
    reply.context.lastKey.clear();

    const std::vector<NmdaRow> lo = storage.nmdaNames(f, from, below, false, 1);
    if (lo.empty()) return 0; // an empty answer
    const std::vector<NmdaRow> hi = storage.nmdaNames(f, from, below, true, 1);
    const std::string& firstKey = lo.front().key;
    const std::string& lastKey = hi.empty() ? firstKey : hi.front().key;

    // Pages that start at a key (ascending) or end below one (descending).
    auto up = [&](const std::string& start) {
        return storage.nmdaNames(f, std::max(start, from), below, false, n);
    };
    auto down = [&](const std::string& end) {
        const std::string bound = below.empty() ? end : std::min(end, below);
        std::vector<NmdaRow> rows = storage.nmdaNames(f, from, bound, true, n);
        std::reverse(rows.begin(), rows.end());
        return rows;
    };
    const std::string pageFirst = latin1ToUtf8(in.firstKey), pageLast = latin1ToUtf8(in.lastKey);

    std::vector<NmdaRow> rows;
    switch (in.operation) {
    case wire::kFirst:
        rows = up(from);
        break;
    case wire::kLast:
        rows = down(after(lastKey));
        break;
    case wire::kNext:
        if (in.forward == wire::kBeside)
            rows = pageLast.empty() ? up(from) : up(after(pageLast));
        else if (in.forward <= 100)
            rows = up(nmdaKeyAt(in.forward, firstKey, lastKey));
        else
            return qrd::nm::kBadRequest;
        break;
    case wire::kPrevious:
        if (in.backward == wire::kBeside)
            rows = pageFirst.empty() ? up(from) : down(pageFirst);
        else if (in.backward <= 100)
            rows = down(after(nmdaKeyAt(in.backward, firstKey, lastKey)));
        else
            return qrd::nm::kBadRequest;
        break;
    case wire::kAtText: {
        const std::string text = in.positionText.substr(0, wire::kTextMax);
        rows = up(nameKey(text));
        if (rows.empty()) rows = down(after(lastKey)); // past the end: the last page
        break;
    }
    default:
        return qrd::nm::kBadRequest;
    }
    if (rows.empty()) return 0;

    reply.context.forward = nmdaPosition(rows.front().key, firstKey, lastKey);
    reply.context.backward = nmdaPosition(rows.back().key, firstKey, lastKey);
    utf8ToLatin1(rows.front().key, reply.context.firstKey);
    utf8ToLatin1(rows.back().key, reply.context.lastKey);
    for (const NmdaRow& r : rows) {
        wire::Entry e;
        utf8ToLatin1(r.name, e.name);
        e.status = wire::kEntryFound;
        e.kind = nmdaKindOf(r);
        if (!r.description.empty()) {
            e.descKind = wire::kValueText;
            if (!utf8ToLatin1(r.description, e.description)) e.description = "?";
            if (e.description.size() > wire::kNameMax) e.description.resize(wire::kNameMax);
        }
        reply.entries.push_back(std::move(e));
    }
    return 0;
}

} // namespace nwd
