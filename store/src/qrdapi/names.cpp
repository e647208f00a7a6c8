// Name services: splitting, completing, validating and formatting names, and
// telling users, lists, groups and organisations apart.
#include <cctype>
#include <cstring>

#include "qrd/latin1.h"
#include "qrdapi/internal.h"

using namespace namedir;

namespace {
using Formatter = decltype(&QrdFormatSNmName);
constexpr uint16_t kWideBuffer = 512; // formatName splits in a larger buffer
constexpr QRDSTATUS kNotGroup = QRDERR_NM_NOT_GROUP;
constexpr uint32_t kTypeAttrCategory = 0, kTypeAttrNumber = 6;

// The canonical spelling from the service; the name is replaced on success.
// `quiet` is a status that is an answer rather than a failure.
QRDSTATUS canonical(Formatter format, std::string& name, QRDSTATUS quiet = 0) {
    std::string wire;
    if (QRDSTATUS st = wireName(name, wire)) return check(st);
    char out[NMNAMELEN] = {};
    uint16_t length = sizeof out;
    QRDSTATUS st = format(threadSession(), wire.c_str(), out, &length);
    if (st != 0) {
        if (st != quiet) check(st);
        return st;
    }
    name = latin1ToUtf8(out, sizeof out);
    return 0;
}

QRDSTATUS split(const std::string& name, std::vector<std::string>& parts, uint16_t& count,
                uint16_t bufferLength = CQrdApi::kNameBufferLength) {
    count = 3;
    return CQrdApi::breakName(name, parts, count, bufferLength);
}

// The text of a redirector answer: the workstation's configuration is
// UTF-8; anything else is taken as Latin-1.
std::string configText(const char* text, size_t size) {
    std::string raw(text, strnlen(text, size));
    return isUtf8(raw) ? raw : latin1ToUtf8(raw);
}
} // namespace

namespace namedir {

QRDSTATUS wireName(const std::string& utf8, std::string& latin1) {
    if (!utf8ToLatin1(utf8, latin1) || latin1.find('\0') != std::string::npos)
        return CQrdApi::kBadName;
    return 0;
}

uint16_t holderClass(const std::string& latin1Holder) {
    size_t first = latin1Holder.find('@');
    bool twoParts =
        first != std::string::npos && latin1Holder.find('@', first + 1) == std::string::npos;
    return twoParts ? QRD_OCL_GROUP : QRD_OCL_OBJECT;
}

} // namespace namedir

QRDSTATUS CQrdApi::breakName(const std::string& name, std::vector<std::string>& parts,
                             uint16_t& partCount, uint16_t bufferLength) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        parts.clear();
        std::string wire;
        if (QRDSTATUS st = wireName(name, wire)) {
            partCount = 0;
            return check(st);
        }
        std::vector<char> buffer(bufferLength ? bufferLength : 1);
        std::vector<char*> slots(partCount ? partCount : 1);
        uint16_t length = bufferLength, count = partCount;
        QRDSTATUS st =
            client().breakNmName(wire.c_str(), buffer.data(), &length, slots.data(), &count);
        if (st == 0 || st == kBadName)
            for (uint16_t i = 0; i < count && i < slots.size(); ++i)
                parts.push_back(latin1ToUtf8(slots[i]));
        partCount = uint16_t(parts.size());
        return check(st);
    });
}

QRDSTATUS CQrdApi::getUserName(std::string& name) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        char buffer[NMNAMELEN] = {};
        if (QRDSTATUS st = check(client().getUserName(buffer))) return st;
        name = latin1ToUtf8(buffer, sizeof buffer);
        return 0;
    });
}

QRDSTATUS CQrdApi::getUserName(char* buffer, size_t size) {
    std::string name;
    if (QRDSTATUS st = getUserName(name)) return st;
    if (!buffer || size <= name.size()) {
        if (buffer && size) buffer[0] = '\0';
        return check(QRDERR_NM_BUFFER_SMALL);
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 0;
}

namespace {
// The logged-in user's three parts; nobody logged in gives 1801.
QRDSTATUS userParts(std::vector<std::string>& parts) {
    std::string user;
    if (QRDSTATUS st = CQrdApi::getUserName(user)) return st;
    if (user.empty()) return check(QRDERR_NM_NOT_LOGGED_IN);
    uint16_t count;
    if (QRDSTATUS st = split(user, parts, count)) return st;
    return count == 3 ? 0 : check(CQrdApi::kBadName);
}
} // namespace

QRDSTATUS CQrdApi::getUserGroup(std::string& group) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::vector<std::string> parts;
        if (QRDSTATUS st = userParts(parts)) return st;
        group = parts[1] + "@" + parts[2];
        return 0;
    });
}

QRDSTATUS CQrdApi::getUserOrg(std::string& org) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::vector<std::string> parts;
        if (QRDSTATUS st = userParts(parts)) return st;
        org = parts[2];
        return 0;
    });
}

QRDSTATUS CQrdApi::makeFullName(std::string& name) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::vector<std::string> parts;
        uint16_t count;
        if (QRDSTATUS st = split(name, parts, count)) return st;
        // "a@@b" or "" would be completed into a name that names nothing.
        for (const std::string& p : parts)
            if (p.empty()) return check(kBadName);
        std::string full = name, tail;
        if (count == 1) {
            if (QRDSTATUS st = getUserGroup(tail)) return st;
            full += "@" + tail;
        } else if (count == 2) {
            if (QRDSTATUS st = getUserOrg(tail)) return st;
            full += "@" + tail;
        }
        std::string wire;
        if (QRDSTATUS st = wireName(full, wire)) return check(st);
        if (wire.size() >= NMNAMELEN) return check(QRDERR_NM_NAME_TOO_LONG);
        name = full;
        return 0;
    });
}

QRDSTATUS CQrdApi::validateName(const std::string& name, bool& hasWildcards) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::string wire;
        if (QRDSTATUS st = wireName(name, wire)) return check(st);
        if (client().validateNmName(1, wire.c_str(), QRD_NO_WILDCARDS) == 0) {
            hasWildcards = false;
            return 0;
        }
        if (client().validateNmName(1, wire.c_str(), QRD_WILDCARDS_OK) == 0) {
            hasWildcards = true;
            return 0;
        }
        return check(kBadName);
    });
}

QRDSTATUS CQrdApi::formatUserName(std::string& name) {
    return noThrow(kOutOfMemory, [&] { return canonical(client().formatSNmName, name); });
}

QRDSTATUS CQrdApi::formatGroupName(std::string& name) {
    return noThrow(kOutOfMemory, [&] { return canonical(client().formatSNmGroup, name); });
}

QRDSTATUS CQrdApi::formatName(std::string& name) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        std::vector<std::string> parts;
        uint16_t count;
        if (QRDSTATUS st = split(name, parts, count, kWideBuffer)) return st;
        return count == 2 ? formatGroupName(name) : formatUserName(name);
    });
}

bool CQrdApi::isGroupName(std::string& name) {
    return noThrow(false, [&] { return canonical(client().formatSNmGroup, name, kNotGroup) == 0; });
}

bool CQrdApi::isGroupName(const std::string& name) {
    std::string copy = name;
    return isGroupName(copy);
}

bool CQrdApi::isOrganisationName(std::string& name) {
    return noThrow(false, [&] { return canonical(client().formatSNmOrg, name) == 0; });
}

bool CQrdApi::validateNameWithWildcards(std::string& name, long& type) {
    type = kTypeNone;
    return noThrow(false, [&] {
        std::vector<std::string> parts;
        uint16_t count;
        if (split(name, parts, count) != 0) return false;
        if (count == 1) {
            std::string full = name;
            if (makeFullName(full) != 0 || split(full, parts, count) != 0) return false;
        }
        if (count != 3 || parts[0] != "*") return false;
        if (parts[1] != "*") {
            std::string group = parts[1] + "@" + parts[2];
            if (!isGroupName(group)) return false;
            name = "*@" + group;
            type = kTypeGroup;
        } else {
            std::string org = parts[2];
            if (!isOrganisationName(org)) return false;
            name = "*@*@" + org;
            type = kTypeOrganisation;
        }
        return true;
    });
}

QRDSTATUS CQrdApi::getType(const std::string& name, long& type) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        if (isGroupName(name)) {
            type = kTypeGroup;
            return 0;
        }
        std::string wire;
        if (QRDSTATUS st = wireName(name, wire)) return check(st);
        QRD_NM_SESS* session = threadSession();
        const AttrName attr{kTypeAttrCategory, kTypeAttrNumber};
        uint32_t value = 0, valueType = ATTR_INTEGERS, index = 0, count = 1, flags = 0;
        QRDSTATUS st = check(client().getSNmAttr(session, wire.c_str(), QRD_OCL_OBJECT, &attr,
                                                 &valueType, &index, &count, &value, &flags));
        if (st == 0 && count == 1) {
            type = long(value);
            return 0;
        }
        st = check(client().getSNmUserAttrib(session, wire.c_str(), nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr));
        if (st == 0) type = kTypeUser;
        return st;
    });
}

bool CQrdApi::isAclSpecValid(std::string& name, long& type) {
    type = kTypeNone;
    return noThrow(false, [&] {
        if (name.empty()) return false;
        std::string full = name;
        bool wildcards = false;
        if (makeFullName(full) != 0 || validateName(full, wildcards) != 0) return false;
        if (wildcards) {
            std::string candidate = name;
            long t;
            if (!validateNameWithWildcards(candidate, t)) return false;
            name = candidate;
            type = t;
            return true;
        }
        // Two parts may be a group, or an item and group to be completed.
        std::vector<std::string> parts;
        uint16_t count;
        if (split(name, parts, count) != 0) return false;
        std::string candidate = name;
        bool formatted = count == 2 && isGroupName(candidate);
        if (!formatted) {
            candidate = full;
            if (formatUserName(candidate) != 0) return false;
        }
        long t;
        if (getType(candidate, t) != 0) return false;
        name = candidate;
        type = t;
        return true;
    });
}

bool CQrdApi::isQordaFileService(const std::string& name) {
    return noThrow(false, [&] {
        std::string wire;
        if (check(wireName(name, wire)) != 0) return false;
        Catsel selection{};
        uint16_t pass = 0;
        NmRec rec{};
        QRDSTATUS st = check(client().listSNmNames(threadSession(), wire.c_str(), OBJTYPE,
                                                   QRD_CAT_SERVICE, &selection, &pass, &rec));
        constexpr uint16_t kFileServices = 5;
        return st == 0 && rec.kind == kFileServices && rec.count > 0;
    });
}

bool CQrdApi::isQordaFileService(char drive, std::string& serviceName, std::string& root) {
    return noThrow(false, [&] {
        int letter = std::toupper(static_cast<unsigned char>(drive));
        if (letter < 'A' || letter > 'Z') return false;
        char service[NMNAMELEN] = {};
        char path[QRD_ROOT_LEN] = {};
        if (check(client().getDriveMapping(uint16_t(letter - 64), service, path)) != 0)
            return false;
        serviceName = configText(service, sizeof service);
        root = configText(path, sizeof path);
        return true;
    });
}

bool CQrdApi::isQordaFileService(char drive) {
    std::string service, root;
    return isQordaFileService(drive, service, root);
}
