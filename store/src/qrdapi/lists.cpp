// Lists and groups: expanding them into users, and membership.
#include <algorithm>
#include <set>

#include "qrd/latin1.h"
#include "qrdapi/internal.h"

using namespace namedir;

namespace {
constexpr QRDSTATUS kNoMoreNames = QRDERR_NM_NO_MORE;

// Names compare without regard to case; the service folds Latin-1 letters.
std::string foldedKey(const std::string& utf8) {
    std::string key = utf8ToLatin1Lossy(utf8);
    for (char& c : key) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = char(u + 0x20);
    }
    return key;
}

// The names of a list reply, never more than the record holds.
template <class Add> void eachName(const NmRec& rec, Add add) {
    uint16_t count = std::min<uint16_t>(rec.count, QRD_NMREC_MAX);
    for (uint16_t i = 0; i < count; ++i)
        add(latin1ToUtf8(rec.names[i], NMNAMELEN));
}

// Expands one list. `seen` holds every list expanded during this call, so a
// list that holds itself, directly or through others, is expanded once.
QRDSTATUS expandList(const std::string& listName, std::vector<std::string>& out,
                     std::set<std::string>& seen) {
    if (!seen.insert(foldedKey(listName)).second) return 0;
    std::string wire;
    if (QRDSTATUS st = wireName(listName, wire)) return check(st);
    uint16_t pass = 0;
    do {
        NmRec rec{};
        QRDSTATUS st =
            check(client().getSNmListMembers(threadSession(), wire.c_str(), &pass, &rec));
        if (st != 0) return st;
        std::vector<std::string> members;
        eachName(rec, [&](std::string name) { members.push_back(std::move(name)); });
        for (std::string& member : members) {
            long type;
            if (!CQrdApi::isAclSpecValid(member, type)) continue;
            QRDSTATUS nested = 0;
            if (type == CQrdApi::kTypeUser)
                out.push_back(member);
            else if (type == CQrdApi::kTypeGroup)
                nested = CQrdApi::enumGroupUsers(member, out);
            else if (type == CQrdApi::kTypeList)
                nested = expandList(member, out, seen);
            if (nested != 0) return nested;
        }
    } while (pass != 0);
    return 0;
}
} // namespace

QRDSTATUS CQrdApi::enumList(const std::string& listName, std::vector<std::string>& out) {
    return noThrow(kOutOfMemory, [&] {
        std::set<std::string> seen;
        return expandList(listName, out, seen);
    });
}

QRDSTATUS CQrdApi::enumGroupUsers(const std::string& groupName, std::vector<std::string>& out) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::string pattern =
            groupName.find('*') != std::string::npos ? groupName : "*@" + groupName;
        std::string wire;
        if (QRDSTATUS st = wireName(pattern, wire)) return check(st);
        uint16_t pass = 0;
        do {
            Catsel selection{};
            NmRec rec{};
            QRDSTATUS st = client().listSNmNames(threadSession(), wire.c_str(), OBJTYPE,
                                                 QRD_CAT_USER, &selection, &pass, &rec);
            if (st == kNoMoreNames) return 0; // the normal end of the names
            if (check(st) != 0) return st;
            eachName(rec, [&](std::string name) { out.push_back(std::move(name)); });
        } while (pass != 0);
        return 0;
    });
}

bool CQrdApi::isListMember(const std::string& listName, const std::string& objectName) {
    return noThrow(false, [&] {
        std::string list, object;
        if (check(wireName(listName, list)) != 0 || check(wireName(objectName, object)) != 0)
            return false;
        uint16_t member = 0;
        QRDSTATUS st = check(
            client().testSNmMembership(threadSession(), object.c_str(), list.c_str(), 1, &member));
        return st == 0 && member == 1;
    });
}

bool CQrdApi::isGroupMember(const std::string& groupName, const std::string& userName) {
    return noThrow(false, [&] {
        // The group's own two parts: "Sales@Demo", or the last two of a
        // wildcard entry such as "*@Sales@Demo"; a "*" group part matches
        // every group of the organisation.
        std::vector<std::string> group, user;
        uint16_t count = 3;
        if (breakName(groupName, group, count) != 0 || count < 2) return false;
        std::string full = userName;
        if (makeFullName(full) != 0) return false;
        count = 3;
        if (breakName(full, user, count) != 0 || count != 3) return false;
        const std::string& groupPart = group[group.size() - 2];
        const std::string& orgPart = group[group.size() - 1];
        bool groupMatches = groupPart == "*" || foldedKey(groupPart) == foldedKey(user[1]);
        return groupMatches && foldedKey(orgPart) == foldedKey(user[2]);
    });
}
