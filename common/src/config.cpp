#include "qrd/config.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace qrd {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// The settings of QORDA.INI whose values are checked, with what each takes.
enum class Kind { Ipv4, Number };
struct Setting {
    const char* section;
    const char* key;
    Kind kind;
    long min, max;        // Number only
    const char* expected; // for messages
    const char* fallback; // the default, for messages
};

constexpr long kMaxPortBase = 65535 - 512; // room for the 512 well-known ports

constexpr Setting kServerAddress{
    "CommStack", "ServerAddress", Kind::Ipv4, 0, 0, "an IPv4 address such as 127.0.0.1",
    "127.0.0.1"};
constexpr Setting kBroadcastAddress{"CommStack",
                                    "BroadcastAddress",
                                    Kind::Ipv4,
                                    0,
                                    0,
                                    "an IPv4 address such as 127.255.255.255",
                                    "127.255.255.255"};
constexpr Setting kPortBase{
    "CommStack",  "PortBase",
    Kind::Number, 1,
    kMaxPortBase, "a whole number from 1 to 65023 (well-known port P is UDP port PortBase + P)",
    "7000"};
constexpr Setting kDisabled{"CommStack", "Disabled", Kind::Number, 0, 1, "0 or 1", "0"};
constexpr Setting kSearchAddress{
    "Internet", "SearchAddress", Kind::Ipv4, 0, 0, "an IPv4 address such as 127.0.0.1",
    "127.0.0.1"};
constexpr Setting kSearchPort{
    "Internet", "SearchPort", Kind::Number, 1, 65535, "a UDP port from 1 to 65535", "8015"};
constexpr Setting kClientVersion{"Client", "Version",   Kind::Number,
                                 1,        4294967295L, "a whole number from 1 to 4294967295",
                                 "71278"};

constexpr const Setting* kSettings[] = {&kServerAddress, &kBroadcastAddress, &kPortBase,
                                        &kDisabled,      &kSearchAddress,    &kSearchPort,
                                        &kClientVersion};

// Decimal digits only: "07000" is seven thousand, not an octal number.
bool parseDecimal(const std::string& text, long min, long max, long& out) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < min || v > max) return false;
    out = long(v);
    return true;
}

bool valid(const Setting& s, const std::string& text) {
    uint32_t ip;
    long n;
    return s.kind == Kind::Ipv4 ? parseIpv4(text, ip) : parseDecimal(text, s.min, s.max, n);
}

// The value of a setting when it is present and valid.
std::optional<std::string> validValue(const IniFile& ini, const Setting& s) {
    std::optional<std::string> v = ini.get(s.section, s.key);
    if (!v || !valid(s, *v)) return std::nullopt;
    return v;
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

std::vector<std::string> qordaIniProblems(const IniFile& ini) {
    std::vector<std::string> out = ini.problems();
    for (const Setting* setting : kSettings) {
        const Setting& s = *setting;
        std::optional<std::string> v = ini.get(s.section, s.key);
        if (!v || valid(s, *v)) continue;
        std::string shown = v->size() > 40 ? v->substr(0, 40) + "..." : *v;
        out.push_back(ini.where(s.section, s.key) + ": [" + s.section + "] " + s.key +
                      (v->empty() ? " has no value" : " = \"" + shown + "\" is not valid") +
                      "; expected " + s.expected + " (or no " + s.key + " line for the default " +
                      s.fallback + ")");
    }
    return out;
}

QordaIniCheck checkQordaIni() {
    QordaIniCheck c;
    const std::string path = qordaIniPath();
    const bool named = !envOr("QORDA_INI", "").empty();
    c.ini = IniFile::load(path);
    if (!c.ini.found()) {
        if (named || access(path.c_str(), F_OK) == 0) {
            c.problems.push_back(path + ": cannot read it: " + c.ini.readError() +
                                 (named ? " (the file $QORDA_INI names)" : ""));
        } else {
            c.source =
                "defaults on loopback (no " + userConfigDir() + "/QORDA.INI or " + path + ")";
        }
        return c;
    }
    c.problems = qordaIniProblems(c.ini);
    c.source = path + (c.ini.empty() ? " (it sets nothing: defaults on loopback)" : "");
    return c;
}

bool reportQordaIniProblems(const QordaIniCheck& check, const char* program) {
    for (const std::string& p : check.problems)
        std::fprintf(stderr, "%s: %s\n", program, p.c_str());
    if (check.problems.empty()) return true;
    std::fprintf(stderr,
                 "%s: mend QORDA.INI and start again (docs/commstack.md describes its "
                 "settings)\n",
                 program);
    return false;
}

bool parseIpv4(const std::string& text, uint32_t& out) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    out = ntohl(a.s_addr);
    return true;
}

std::string formatIpv4(uint32_t ip) {
    in_addr a{htonl(ip)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

CommStackConfig loadCommStackConfig(const IniFile& ini) {
    CommStackConfig c;
    auto address = [&](const Setting& s, uint32_t& field) {
        if (auto v = validValue(ini, s)) parseIpv4(*v, field);
    };
    auto number = [&](const Setting& s, uint16_t& field) {
        long n;
        if (auto v = validValue(ini, s); v && parseDecimal(*v, s.min, s.max, n))
            field = uint16_t(n);
    };
    address(kServerAddress, c.serverAddress);
    address(kBroadcastAddress, c.broadcastAddress);
    address(kSearchAddress, c.searchAddress);
    number(kPortBase, c.portBase);
    number(kSearchPort, c.searchPort);
    return c;
}

} // namespace qrd
