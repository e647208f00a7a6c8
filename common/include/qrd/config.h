// Where the workstation's configuration lives, and the settings of the
// network client's stand-ins that more than one component reads.
//
// QORDA.INI: $QORDA_INI when set (tests and the daemon point it at their own
// file), else $XDG_CONFIG_HOME/namewright/QORDA.INI (~/.config/...), else
// /etc/namewright/QORDA.INI.
#pragma once

#include <cstdint>
#include <string>

#include "qrd/ini.h"

namespace qrd {

std::string qordaIniPath();
IniFile loadQordaIni();

// The user's configuration folder ($XDG_CONFIG_HOME/namewright).
std::string userConfigDir();
// Machine-wide configuration ($QRD_SYSCONF_DIR, default /etc/namewright).
std::string systemConfigDir();

// [CommStack] and [Internet] of QORDA.INI: how the comm-stack stand-in maps
// native ports onto UDP, and where the Internet road looks for services.
struct CommStackConfig {
    uint32_t serverAddress = 0x7F000001;    // [CommStack] ServerAddress: the serving server
    uint32_t broadcastAddress = 0x7FFFFFFF; // [CommStack] BroadcastAddress (127.255.255.255)
    uint16_t portBase = 7000;               // [CommStack] PortBase: well-known port P = PortBase+P
    uint32_t searchAddress = 0x7F000001;    // [Internet] SearchAddress: where IP searches go
    uint16_t searchPort = 8015;             // [Internet] SearchPort
};
// Addresses are host-order IPv4 values. Unparsable entries keep the defaults.
CommStackConfig loadCommStackConfig(const IniFile& ini);

// Parses a dotted IPv4 address into a host-order value.
bool parseIpv4(const std::string& text, uint32_t& out);

} // namespace qrd
