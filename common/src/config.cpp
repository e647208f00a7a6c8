#include "qrd/config.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <unistd.h>

namespace qrd {

namespace {
std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}
} // namespace

std::string userConfigDir() {
    std::string base = envOr("XDG_CONFIG_HOME", envOr("HOME", "/tmp") + "/.config");
    return base + "/namewright";
}

std::string systemConfigDir() {
    return envOr("QRD_SYSCONF_DIR", "/etc/namewright");
}

std::string qordaIniPath() {
    if (const char* v = std::getenv("QORDA_INI"); v && *v) return v;
    std::string user = userConfigDir() + "/QORDA.INI";
    if (access(user.c_str(), R_OK) == 0) return user;
    return systemConfigDir() + "/QORDA.INI";
}

IniFile loadQordaIni() {
    return IniFile::load(qordaIniPath());
}

bool parseIpv4(const std::string& text, uint32_t& out) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    out = ntohl(a.s_addr);
    return true;
}

CommStackConfig loadCommStackConfig(const IniFile& ini) {
    CommStackConfig c;
    uint32_t ip;
    if (parseIpv4(ini.getString("CommStack", "ServerAddress", ""), ip)) c.serverAddress = ip;
    if (parseIpv4(ini.getString("CommStack", "BroadcastAddress", ""), ip)) c.broadcastAddress = ip;
    if (parseIpv4(ini.getString("Internet", "SearchAddress", ""), ip)) c.searchAddress = ip;
    long base = ini.getLong("CommStack", "PortBase", c.portBase);
    if (base > 0 && base <= 65535 - 512) c.portBase = uint16_t(base);
    long sp = ini.getLong("Internet", "SearchPort", c.searchPort);
    if (sp > 0 && sp <= 65535) c.searchPort = uint16_t(sp);
    return c;
}

} // namespace qrd
