#include "nmda.h"

#include <algorithm>

#include "names.h"
#include "qrd/nmproto.h"

namespace nwd {

namespace wire = qrd::nmdawire;

namespace {

const std::string kAllNames = "*@*@*";

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

NmdaPositions NmdaPositions::fromKeys(const std::vector<std::string>& all) {
    NmdaPositions t;
    if (all.empty()) return t;
    t.keys.reserve(101);
    for (size_t p = 0; p <= 100; ++p)
        t.keys.push_back(all[(all.size() - 1) * p / 100]);
    return t;
}

uint16_t NmdaPositions::positionOf(const std::string& key) const {
    if (keys.empty()) return 0;
    // The first percent whose key is not below `key`: the answer's first
    // name stands at 0 and its last at 100, however few names there are.
    auto it = std::lower_bound(keys.begin(), keys.end(), key);
    return uint16_t(std::min<ptrdiff_t>(it - keys.begin(), 100));
}

const std::string& NmdaPositions::keyAt(uint16_t position) const {
    return keys[std::min<size_t>(position, keys.size() - 1)];
}

namespace {

std::string signatureOf(const NmdaFilter& f, const std::string& from, const std::string& below) {
    std::string s = std::to_string(int(f.kind)) + '\x1f' + std::to_string(f.serviceClass) + '\x1f' +
                    f.glob + '\x1f' + from + '\x1f' + below;
    for (const NmdaMatch& m : f.matches)
        s += '\x1f' + std::to_string(m.description) + ':' + std::to_string(m.attr.category) + ':' +
             std::to_string(m.attr.number) + ':' + m.like;
    return s;
}

} // namespace

std::shared_ptr<const NmdaPositions> NmdaPositionCache::get(Storage& storage, const NmdaFilter& f,
                                                            const std::string& from,
                                                            const std::string& below) {
    const std::string signature = signatureOf(f, from, below);
    const uint64_t stamp = storage.directoryStamp();
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> l(mu_);
    for (auto it = tables_.begin(); it != tables_.end(); ++it) {
        if (it->signature != signature) continue;
        if (it->stamp == stamp || now - it->madeAt < kMinAge) {
            tables_.splice(tables_.begin(), tables_, it);
            return it->positions;
        }
        tables_.erase(it);
        break;
    }
    auto t = std::make_shared<const NmdaPositions>(
        NmdaPositions::fromKeys(storage.nmdaKeys(f, from, below)));
    ++made_;
    tables_.push_front(Table{signature, stamp, now, t});
    if (tables_.size() > kTables) tables_.pop_back();
    return t;
}

uint64_t NmdaPositionCache::made() const {
    std::lock_guard<std::mutex> l(mu_);
    return made_;
}

bool NmdaVouched::has(const Key& k, uint32_t now) const {
    std::lock_guard<std::mutex> l(mu_);
    auto it = until_.find(k);
    return it != until_.end() && now < it->second;
}

void NmdaVouched::put(const Key& k, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    if (until_.size() >= kMax) {
        for (auto it = until_.begin(); it != until_.end();)
            it = it->second <= now ? until_.erase(it) : std::next(it);
        if (until_.size() >= kMax) until_.clear();
    }
    until_[k] = now + kSeconds;
}

uint16_t nmdaServe(Storage& storage, NmdaPositionCache& positions, const wire::DataRequest& request,
                   wire::DataReply& reply) {
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

    const std::shared_ptr<const NmdaPositions> table = positions.get(storage, f, from, below);

    // Pages that start at a key (ascending) or end below one (descending).
    auto up = [&](const std::string& start) {
        return storage.nmdaNames(f, std::max(start, from), below, false, n);
    };
    // "" as `end` is no bound.
    auto down = [&](const std::string& end) {
        const std::string bound = below.empty() ? end : end.empty() ? below : std::min(end, below);
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
        rows = down(below);
        break;
    case wire::kNext:
        if (in.forward == wire::kBeside)
            rows = pageLast.empty() ? up(from) : up(after(pageLast));
        else if (in.forward <= 100)
            rows = table->keys.empty() ? up(from) : up(table->keyAt(in.forward));
        else
            return qrd::nm::kBadRequest;
        break;
    case wire::kPrevious:
        if (in.backward == wire::kBeside)
            rows = pageFirst.empty() ? up(from) : down(pageFirst);
        else if (in.backward <= 100)
            rows = table->keys.empty() ? down(below) : down(after(table->keyAt(in.backward)));
        else
            return qrd::nm::kBadRequest;
        break;
    case wire::kAtText: {
        const std::string text = in.positionText.substr(0, wire::kTextMax);
        rows = up(nameKey(text));
        if (rows.empty()) rows = down(below); // past the end: the last page
        break;
    }
    default:
        return qrd::nm::kBadRequest;
    }
    if (rows.empty()) return 0;

    reply.context.forward = table->positionOf(rows.front().key);
    reply.context.backward = table->positionOf(rows.back().key);
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
