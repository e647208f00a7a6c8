#include "nodes/usrnodedata.h"

#include <algorithm>
#include <cctype>

#include <namedir/errors.h>

#include "core/membership.h"

USRNodeData::~USRNodeData() = default;

bool USRSameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

long USRSettleKind(USRAccessEntry& entry, USRMembership& membership) {
    if (entry.kind == USR_KIND_UNKNOWN) {
        std::string name = entry.name;
        long kind = membership.entryKind(name);
        if (kind == USR_KIND_USER || kind == USR_KIND_LIST || kind == USR_KIND_GROUP) {
            entry.kind = kind;
            entry.name = name;
        }
    }
    return entry.kind;
}

bool USRNodeData::computeMyRights(const std::string& user, USRMembership& membership, long& rights,
                                  long& error) {
    if (myRights >= 0) {
        rights = myRights;
        error = myRights > 0 ? 0L : long(DIR_ACCESS_DENIED);
        return myRights > 0;
    }
    long best = USR_ROLE_NONE;
    for (USRAccessEntry& entry : accessRights) {
        if (USRSameName(entry.name, user)) {
            best = entry.role; // a direct entry decides
            break;
        }
        long kind = USRSettleKind(entry, membership);
        bool member = (kind == USR_KIND_GROUP && membership.isGroupMember(entry.name, user)) ||
                      (kind == USR_KIND_LIST && membership.isListMember(entry.name, user));
        if (!member) continue;
        best = std::max(best, entry.role);
        if (best == USR_ROLE_MODERATOR) break;
    }
    myRights = best;
    rights = best;
    error = best > 0 ? 0L : long(DIR_ACCESS_DENIED);
    return best > 0;
}
