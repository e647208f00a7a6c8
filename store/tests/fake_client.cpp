#include "fake_client.h"

#include <algorithm>

namespace fake {

namespace {
Service g_service;

std::string lower(std::string s) {
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = char(u + 0x20);
    }
    return s;
}

// The stored spelling of `name` among `names`, or "".
std::string find(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (lower(n) == lower(name)) return n;
    return "";
}

std::vector<std::string> objectNames() {
    std::vector<std::string> out;
    for (const auto& [name, type] : g_service.objects)
        out.push_back(name);
    return out;
}

QRDSTATUS seen(const char* name) {
    g_service.namesSeen.push_back(name ? name : "");
    return 0;
}

QRDSTATUS putName(const std::string& value, char* out, uint16_t* outLength) {
    if (value.empty()) return QRDERR_NM_NO_RECORD;
    std::snprintf(out, *outLength, "%s", value.c_str());
    return 0;
}

QRDSTATUS nextAttrStatus() {
    ++g_service.attrCalls;
    if (g_service.attrStatuses.empty()) return 0;
    QRDSTATUS st = g_service.attrStatuses.front();
    g_service.attrStatuses.pop_front();
    return st;
}

QRDSTATUS start(QRD_PORT*, uint16_t, QRD_NONCE*, QRD_NM_SESS* sess) {
    ++g_service.starts;
    QRDSTATUS st = 0;
    if (!g_service.startStatuses.empty()) {
        st = g_service.startStatuses.front();
        g_service.startStatuses.pop_front();
    }
    if (st == 0) sess->active = 1;
    return st;
}

QRDSTATUS end(QRD_NM_SESS* sess) {
    sess->active = 0;
    return 0;
}

uint32_t version() {
    return 55078;
}

QRDSTATUS userName(char* buffer) {
    std::snprintf(buffer, NMNAMELEN, "%s", g_service.user.c_str());
    return 0;
}

QRDSTATUS driveMapping(uint16_t, char*, char*) {
    return QRDERR_NO_DEVICE;
}

QRDSTATUS formatName(QRD_NM_SESS*, const char* name, char* out, uint16_t* len) {
    seen(name);
    return putName(find(objectNames(), name), out, len);
}

QRDSTATUS formatGroup(QRD_NM_SESS*, const char* name, char* out, uint16_t* len) {
    seen(name);
    if (std::count(name, name + std::strlen(name), '@') != 1) return QRDERR_NM_NOT_GROUP;
    std::string g = find(g_service.groups, name);
    return g.empty() ? QRDSTATUS(QRDERR_NM_NOT_GROUP) : putName(g, out, len);
}

QRDSTATUS formatOrg(QRD_NM_SESS*, const char* name, char* out, uint16_t* len) {
    seen(name);
    return putName(find(g_service.orgs, name), out, len);
}

QRDSTATUS userAttrib(QRD_NM_SESS*, const char* name, char*, uint16_t*, uint8_t*, uint16_t*,
                     uint16_t*, uint32_t*, uint32_t*) {
    seen(name);
    auto it = g_service.objects.find(find(objectNames(), name));
    return it != g_service.objects.end() && it->second == 1 ? 0 : QRDERR_NM_NO_RECORD;
}

void fill(NmRec* rec, const std::vector<std::string>& names, uint16_t* pass) {
    size_t from = *pass;
    size_t n = std::min<size_t>(QRD_NMREC_MAX, names.size() - std::min(from, names.size()));
    rec->kind = 1;
    rec->count = uint16_t(n);
    for (size_t i = 0; i < n; ++i)
        std::snprintf(rec->names[i], NMNAMELEN, "%s", names[from + i].c_str());
    *pass = from + n < names.size() ? uint16_t(from + n) : 0;
}

QRDSTATUS listNames(QRD_NM_SESS*, const char* pattern, uint16_t, uint16_t, Catsel*, uint16_t* pass,
                    NmRec* rec) {
    seen(pattern);
    ++g_service.listCalls;
    // "*@group@org": the users of that group.
    std::string suffix = lower(std::string(pattern).substr(1));
    std::vector<std::string> users;
    for (const auto& [name, type] : g_service.objects) {
        std::string l = lower(name);
        if (type == 1 && l.size() > suffix.size() &&
            l.compare(l.size() - suffix.size(), suffix.size(), suffix) == 0)
            users.push_back(name);
    }
    if (users.empty()) return QRDERR_NM_NO_MORE;
    fill(rec, users, pass);
    return 0;
}

QRDSTATUS listMembers(QRD_NM_SESS*, const char* list, uint16_t* pass, NmRec* rec) {
    seen(list);
    ++g_service.listCalls;
    auto it = g_service.lists.find(find(objectNames(), list));
    if (it == g_service.lists.end()) return QRDERR_NM_NO_RECORD;
    fill(rec, it->second, pass);
    return 0;
}

QRDSTATUS membership(QRD_NM_SESS*, const char* object, const char* list, uint16_t,
                     uint16_t* member) {
    seen(object);
    auto it = g_service.lists.find(find(objectNames(), list));
    *member = it != g_service.lists.end() && !find(it->second, object).empty();
    return 0;
}

QRDSTATUS attrInfo(QRD_NM_SESS*, const char* name, uint16_t, const AttrName*, uint32_t* type,
                   uint32_t* count, uint32_t* bytes) {
    seen(name);
    QRDSTATUS st = nextAttrStatus();
    if (st == 0) {
        *type = ATTR_RAW;
        *count = *bytes = uint32_t(g_service.attrValue.size());
    }
    return st;
}

QRDSTATUS getAttr(QRD_NM_SESS*, const char* name, uint16_t, const AttrName* attr, uint32_t* type,
                  uint32_t*, uint32_t* count, void* buffer, uint32_t* flags) {
    seen(name);
    if (attr->category == 0 && attr->number == 6) {
        auto it = g_service.objects.find(find(objectNames(), name));
        if (it == g_service.objects.end()) return QRDERR_NM_NO_RECORD;
        uint32_t v = uint32_t(it->second);
        std::memcpy(buffer, &v, 4);
        *type = ATTR_INTEGERS;
        *count = 1;
        return 0;
    }
    QRDSTATUS st = nextAttrStatus();
    if (st != 0) return st;
    const std::vector<uint8_t>& v = g_service.attrValue;
    uint32_t n = std::min<uint32_t>(*count, uint32_t(v.size()));
    std::memcpy(buffer, v.data(), n);
    *flags = n < v.size() ? QRD_ATTR_MORE : 0;
    *count = n;
    return 0;
}

QRDSTATUS setAttr(QRD_NM_SESS*, const char* name, uint16_t, const AttrName*, uint32_t, uint32_t*,
                  uint32_t, const void*, uint32_t*) {
    seen(name);
    return nextAttrStatus();
}

QRDSTATUS setAttrIf(QRD_NM_SESS*, const char* name, uint16_t, const AttrName*, uint32_t, uint32_t,
                    const void*, const QRD_ATTR_CONDITION*, uint16_t) {
    seen(name);
    return nextAttrStatus();
}

QRDSTATUS deleteAttr(QRD_NM_SESS*, const char* name, uint16_t, const AttrName*) {
    seen(name);
    return nextAttrStatus();
}

QRDSTATUS scanAttr(QRD_NM_SESS*, const char* name, uint16_t, const AttrName*, const AttrName*,
                   QRD_SCAN_PASS* pass, uint16_t* count, AttrName*) {
    seen(name);
    *pass = {};
    *count = 0;
    return nextAttrStatus();
}

QRDSTATUS sendMsg(const char* to, const char* text) {
    seen(to);
    seen(text);
    return 0;
}

const QrdClientCalls kCalls = {
    .startNmSession = start,
    .endNmSession = end,
    .getClientVersionNumber = version,
    .breakNmName = QrdBreakNmName,
    .validateNmName = QrdValidateNmName,
    .getUserName = userName,
    .getDriveMapping = driveMapping,
    .formatSNmName = formatName,
    .formatSNmGroup = formatGroup,
    .formatSNmOrg = formatOrg,
    .getSNmUserAttrib = userAttrib,
    .listSNmNames = listNames,
    .getSNmListMembers = listMembers,
    .testSNmMembership = membership,
    .getSNmAttrInfo = attrInfo,
    .getSNmAttr = getAttr,
    .setSNmAttr = setAttr,
    .setSNmAttrIf = setAttrIf,
    .deleteSNmAttr = deleteAttr,
    .scanSNmAttr = scanAttr,
    .sendUserMsg = sendMsg,
};
} // namespace

Service& service() {
    return g_service;
}

Installed::Installed() {
    g_service = Service();
    CQrdApi::setClientCalls(&kCalls);
}

Installed::~Installed() {
    CQrdApi::destroyAllSessions();
    CQrdApi::setClientCalls(nullptr);
}

} // namespace fake
