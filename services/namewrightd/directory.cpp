#include "directory.h"

#include <vector>

#include "names.h"
#include "qrd/nmproto.h"

namespace nwd {

Resolved Directory::resolve(const std::string& latin1Name, uint16_t nameKind,
                            bool followNicknames) {
    Resolved r = locate(latin1Name, nameKind, followNicknames);
    if (r.status) return r;
    r.canonical = fullName(r.entry.id);
    if (r.canonical.empty()) r.status = qrd::nm::kNoSuchObject;
    return r;
}

Resolved Directory::locate(const std::string& latin1Name, uint16_t nameKind, bool followNicknames) {
    Resolved r;
    size_t wanted = nameKind == kNameKindOrg ? 1 : nameKind == kNameKindGroup ? 2 : 3;
    std::vector<std::string> parts;
    if (!splitName(latin1Name, parts) || parts.size() != wanted) {
        r.status = qrd::nm::kBadName;
        return r;
    }
    // Parts run item, group, organisation; resolve from the top.
    std::optional<Entry> org = s_.findChild(0, nameKey(parts.back()));
    if (!org || org->kind != Kind::Org) {
        r.status = qrd::nm::kNotOrganisation;
        return r;
    }
    Entry found = *org;
    if (wanted >= 2) {
        std::optional<Entry> group = s_.findChild(org->id, nameKey(parts[parts.size() - 2]));
        if (!group || group->kind != Kind::Group) {
            r.status = qrd::nm::kNotGroup;
            return r;
        }
        found = *group;
    }
    if (wanted == 3) {
        std::optional<Entry> obj = s_.findChild(found.id, nameKey(parts[0]));
        if (!obj) {
            r.status = qrd::nm::kNoSuchObject;
            return r;
        }
        found = *obj;
        if (followNicknames && found.kind == Kind::Nickname) {
            std::optional<int64_t> target = s_.nicknameTarget(found.id);
            std::optional<Entry> t = target ? s_.entry(*target) : std::nullopt;
            if (!t) {
                r.status = qrd::nm::kNoSuchObject;
                return r;
            }
            found = *t;
        }
    }
    r.entry = found;
    return r;
}

std::string Directory::fullName(int64_t entryId) {
    std::vector<std::string> parts;
    int64_t id = entryId;
    // Three levels at most; the bound also stops a damaged parent chain.
    for (int depth = 0; id != 0 && depth < 3; ++depth) {
        std::optional<Entry> e = s_.entry(id);
        if (!e) return {};
        std::string latin1;
        if (!utf8ToLatin1(e->name, latin1)) return {};
        parts.push_back(std::move(latin1));
        id = e->parentId;
    }
    if (id != 0) return {};
    std::string name = joinName(parts);
    return name.size() <= kMaxNameBytes ? name : std::string();
}

uint32_t serverIdOf(const std::string& latin1FullName) {
    uint32_t h = 2166136261u;
    for (unsigned char c : upperLatin1(latin1FullName)) {
        h ^= c;
        h *= 16777619u;
    }
    return h ? h : 1;
}

} // namespace nwd
