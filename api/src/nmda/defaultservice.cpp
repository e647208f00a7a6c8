// QrdGetDefaultNmdaService: the user's default NMDA service, remembered in
// the registry stand-in (HKEY_CURRENT_USER is
// $XDG_CONFIG_HOME/namewright/registry.ini, the key a section of it).
// Resolved from QORDA.INI [NMDA] Service, else from the user's "!SETNMDA"
// profile entry: a service name, or a pattern resolved by a broadcast
// search, with the options /OFF, /ALT and /NOALT.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "qrd/config.h"
#include "qrd/ini.h"
#include "qrdapi.h"

namespace {

const char kKey[] = "SOFTWARE\\Halvex\\NMDA";
constexpr size_t kMaxTokens = 8;

std::string registryPath() {
    return qrd::userConfigDir() + "/registry.ini";
}

struct Resolution {
    std::string name;
    QRDSTATUS status = QRD_OK;
    bool off = false, alt = false;
};

bool startsWithNoCase(const std::string& token, const char* option, size_t n) {
    if (token.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(token[i])) != option[i]) return false;
    return true;
}

// The profile entry's words: the first that is no option names the
// service or a pattern.
void readEntry(const std::string& value, Resolution& r, std::string& target) {
    std::istringstream words(value);
    std::string token;
    for (size_t n = 0; n < kMaxTokens && words >> token; ++n) {
        if (token[0] != '/') {
            if (target.empty()) target = token;
        } else if (startsWithNoCase(token, "/NOALT", 6)) {
            r.alt = false;
        } else if (startsWithNoCase(token, "/OFF", 4)) {
            r.off = true;
        } else if (startsWithNoCase(token, "/ALT", 4)) {
            r.alt = true;
        }
    }
}

// A pattern (or nothing: any service) is resolved by two searches.
void search(const std::string& pattern, Resolution& r) {
    for (uint8_t n = 0; n < 2; ++n) {
        char field[QRD_NMDA_PATTERN_LEN] = {};
        pattern.copy(field, QRD_NMDA_PATTERN_LEN - 1);
        char name[NMNAMELEN] = {};
        QRD_PORT port;
        uint32_t socket = 0, word = 0;
        r.status = QrdOpenNmdaSocket(&port, 1, field, name, (n * 5u + 5u) * 2u, n, &socket, &word);
        if (r.status == QRD_OK) {
            QrdCloseSocket(socket);
            r.name = name;
            return;
        }
    }
}

Resolution resolve() {
    Resolution r;
    r.name = qrd::loadQordaIni().getString("NMDA", "Service", "");
    if (!r.name.empty()) return r;
    char user[NMNAMELEN] = {}, value[QRD_PROFILE_VALUE_LEN] = {};
    std::string target;
    if (QrdGetUserName(user) == QRD_OK && user[0] &&
        QrdGetNmProfileEntry(user, QRD_PROFILE_SETNMDA, value, nullptr) == QRD_OK)
        readEntry(value, r, target);
    if (r.off) return r;
    if (target.find('@') != std::string::npos && target.size() < NMNAMELEN) {
        char canonical[NMNAMELEN] = {};
        r.status = QrdFormatNmName(target.c_str(), canonical);
        r.name = r.status == QRD_OK ? canonical : target;
        return r;
    }
    search(target, r);
    return r;
}

void copyName(char* buffer, const std::string& name) {
    if (!buffer) return;
    const size_t n = std::min(name.size(), size_t(QRD_NMDA_SERVICE_LEN - 1));
    name.copy(buffer, n);
    buffer[n] = '\0';
}

} // namespace

extern "C" QRDAPI QRDSTATUS QrdGetDefaultNmdaService(char* name) {
    const std::string path = registryPath();
    qrd::IniFile reg = qrd::IniFile::load(path);
    if (name && reg.get(kKey, "NMDAStatus")) {
        const long status = reg.getLong(kKey, "NMDAStatus", 0);
        if (status == 0) copyName(name, reg.getString(kKey, "DefaultService", ""));
        return QRDSTATUS(status);
    }
    Resolution r = resolve();
    reg.set(kKey, "DefaultService", r.name);
    reg.set(kKey, "NMDAStatus", std::to_string(r.status));
    reg.set(kKey, "NMDAOff", r.off ? "1" : "0");
    reg.set(kKey, "AltEnabled", r.alt ? "1" : "0");
    std::error_code ec;
    std::filesystem::create_directories(qrd::userConfigDir(), ec);
    reg.save(path); // an unwritable file costs only the next call a resolution
    copyName(name, r.name);
    return r.status;
}
