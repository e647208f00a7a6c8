// Names matching a pattern (6), list members (10) and membership (9).
// Layouts: docs/protocol.md; what they answer: docs/namewrightd.md.
#include <algorithm>
#include <set>
#include <tuple>

#include "names.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;

namespace {

// Kind tags of a list reply: what the names of the reply are.
enum ListTag : uint16_t {
    kTagMixed = 0,
    kTagUsers = 1,
    kTagServers = 2,
    kTagLists = 3,
    kTagPrintServices = 4,
    kTagFileServices = 5,
    kTagGroups = 6,
    kTagOtherServices = 8,
    kTagOrganisations = 9,
};

// Categories of object names (list kind 300).
constexpr uint16_t kCatAny = 0, kCatUser = 1, kCatService = 2, kCatList = 3, kCatServer = 4;

// An enumeration goes on from the offset in its u16 continuation word.
constexpr size_t kMaxListed = 0xFFFF;
// Lists visited for one membership question at most (nested lists).
constexpr size_t kMaxListsVisited = 10000;

// A pattern part: valid name characters and '*'.
bool validPatternPart(const std::string& part) {
    if (part.empty()) return false;
    for (char c : part)
        if (c != '*' && !validNamePart(std::string(1, c))) return false;
    return true;
}

// '*' matches any run of characters; both sides upper-cased Latin-1.
bool matches(const std::string& pattern, const std::string& text) {
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

struct Listed {
    uint16_t tag;
    std::string key;  // for the order
    std::string name; // canonical Latin-1
};

uint16_t serviceTag(const std::optional<ServiceRecord>& rec) {
    if (!rec) return kTagOtherServices;
    switch (rec->serviceClass) {
    case ServiceClass::File:
        return kTagFileServices;
    case ServiceClass::Print:
        return kTagPrintServices;
    default:
        return kTagOtherServices;
    }
}

// A list reply: passnum, kind tag, count, names.
Handler::Reply nameList(uint16_t passnum, uint16_t tag, const std::vector<std::string>& names) {
    qrd::BeWriter w = returnWriter(6 + names.size() * (2 + qrd::nm::kNameCap));
    w.u16(passnum);
    w.u16(tag);
    w.u16(uint16_t(names.size()));
    for (const std::string& n : names)
        w.string(n);
    return done(w);
}

} // namespace

// 6: the names that match a pattern, one kind tag per reply, in pages of
// at most 16.
Handler::Reply Handler::listNames(Call& c) {
    std::string pattern;
    readName(c.args, pattern);
    const uint16_t objType = c.args.u16();
    const uint16_t category = c.args.u16();
    c.args.skip(2 + 16); // the selector and its record: callers pass them zeroed
    const uint16_t passnum = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);
    const size_t level = objType == kNameKindOrg      ? 1
                         : objType == kNameKindGroup  ? 2
                         : objType == kNameKindObject ? 3
                                                      : 0;
    if (level == 0 || (level == 3 && category > kCatServer)) return refusal(kBadRequest);

    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = pattern.find('@', start);
        parts.push_back(
            upperLatin1(pattern.substr(start, at == std::string::npos ? at : at - start)));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    if (parts.size() != level || !std::all_of(parts.begin(), parts.end(), validPatternPart))
        return refusal(kBadName);
    // Parts run item, group, organisation.
    const std::string& orgPattern = parts.back();

    // Latin-1 spelling and upper-cased form of an entry's own part.
    auto part = [](const Entry& e, std::string& latin1) { return utf8ToLatin1(e.name, latin1); };
    std::vector<Listed> found;
    for (const Entry& org : storage_.children(0, int(Kind::Org))) {
        std::string o;
        if (!part(org, o) || !matches(orgPattern, upperLatin1(o))) continue;
        if (level == 1) {
            found.push_back({kTagOrganisations, upperLatin1(o), o});
            continue;
        }
        for (const Entry& group : storage_.children(org.id, int(Kind::Group))) {
            std::string g;
            if (!part(group, g) || !matches(parts[level - 2], upperLatin1(g))) continue;
            if (level == 2) {
                found.push_back({kTagGroups, upperLatin1(o + "@" + g), g + "@" + o});
                continue;
            }
            for (const Entry& obj : storage_.children(group.id)) {
                std::string i;
                if (!part(obj, i) || !matches(parts[0], upperLatin1(i))) continue;
                uint16_t tag = kTagMixed;
                switch (category) {
                case kCatUser:
                    if (obj.kind != Kind::User) continue;
                    tag = kTagUsers;
                    break;
                case kCatService:
                    if (obj.kind != Kind::Service) continue;
                    tag = serviceTag(storage_.service(obj.id));
                    break;
                case kCatList:
                    if (obj.kind != Kind::List) continue;
                    tag = kTagLists;
                    break;
                case kCatServer:
                    if (obj.kind != Kind::Server) continue;
                    tag = kTagServers;
                    break;
                case kCatAny:
                default:
                    break;
                }
                found.push_back({tag, upperLatin1(o + "@" + g + "@" + i), i + "@" + g + "@" + o});
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const Listed& a, const Listed& b) {
        return std::tie(a.tag, a.key) < std::tie(b.tag, b.key);
    });
    if (found.size() > kMaxListed) found.resize(kMaxListed);
    if (passnum >= found.size()) return refusal(kNoMoreNames);

    // A reply holds names of one kind tag only.
    std::vector<std::string> names;
    size_t at = passnum;
    const uint16_t tag = found[at].tag;
    while (at < found.size() && names.size() < kListMax && found[at].tag == tag)
        names.push_back(found[at++].name);
    return nameList(at < found.size() ? uint16_t(at) : 0, tag, names);
}

// 10: the members of a list, by name, in pages of at most 16.
Handler::Reply Handler::listMembers(Call& c) {
    std::string name;
    readName(c.args, name);
    const uint16_t passnum = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);
    Resolved r = dir_.resolve(name, kNameKindObject);
    if (r.status) return refusal(lookupStatus(r.status));
    if (r.entry.kind != Kind::List) return refusal(kNoSuchObject);

    std::vector<std::string> all;
    for (int64_t id : storage_.members(r.entry.id)) {
        std::string member = dir_.fullName(id);
        if (!member.empty()) all.push_back(std::move(member));
    }
    // By name, so that a page goes on where the previous one stopped.
    std::sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
        return upperLatin1(a) < upperLatin1(b);
    });
    if (all.size() > kMaxListed) all.resize(kMaxListed);
    std::vector<std::string> names;
    size_t at = std::min<size_t>(passnum, all.size());
    while (at < all.size() && names.size() < kListMax)
        names.push_back(all[at++]);
    return nameList(at < all.size() ? uint16_t(at) : 0, kTagMixed, names);
}

// 9: whether an object belongs to a list (through nested lists when the
// flag is set, and through the groups among the members), to a group or an
// organisation (when it lies below it), or is the name itself.
Handler::Reply Handler::membership(Call& c) {
    std::string objectName, listName;
    readName(c.args, objectName);
    readName(c.args, listName);
    const uint16_t flag = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);

    auto resolveAny = [&](const std::string& name, Resolved& out) {
        std::vector<std::string> parts;
        if (!splitName(name, parts)) return uint16_t(kBadName);
        static const uint16_t kinds[] = {kNameKindOrg, kNameKindGroup, kNameKindObject};
        out = dir_.resolve(name, kinds[parts.size() - 1]);
        return out.status ? lookupStatus(out.status) : uint16_t(0);
    };
    Resolved object, container;
    if (uint16_t st = resolveAny(objectName, object)) return refusal(st);
    if (uint16_t st = resolveAny(listName, container)) return refusal(st);
    const bool member = contains(container.entry, object.entry, flag != 0);
    qrd::BeWriter w = returnWriter();
    w.u16(member ? 1 : 0);
    return done(w);
}

bool Handler::contains(const Entry& container, const Entry& obj, bool nested) {
    // Whether `obj` lies below `e` (a group or an organisation).
    auto below = [&](const Entry& e) {
        if (obj.parentId == e.id) return true;
        if (e.kind != Kind::Org || obj.parentId == 0) return false;
        std::optional<Entry> parent = storage_.entry(obj.parentId);
        return parent && parent->parentId == e.id;
    };
    bool member =
        obj.id == container.id ||
        ((container.kind == Kind::Group || container.kind == Kind::Org) && below(container));
    if (!member && container.kind == Kind::List) {
        // Lists may hold each other in a ring: each is visited once.
        std::vector<int64_t> queue{container.id};
        std::set<int64_t> visited{container.id};
        for (size_t i = 0; i < queue.size() && !member; ++i) {
            for (int64_t id : storage_.members(queue[i])) {
                std::optional<Entry> m = storage_.entry(id);
                if (m && m->kind == Kind::Nickname) {
                    std::optional<int64_t> t = storage_.nicknameTarget(m->id);
                    m = t ? storage_.entry(*t) : std::nullopt;
                }
                if (!m) continue;
                if (m->id == obj.id || (m->kind == Kind::Group && below(*m))) {
                    member = true;
                    break;
                }
                if (m->kind == Kind::List && nested && visited.size() < kMaxListsVisited &&
                    visited.insert(m->id).second)
                    queue.push_back(m->id);
            }
        }
    }
    return member;
}

} // namespace nwd
