// Where the workstation's configuration lives, and the settings of the
// network client's stand-ins that more than one component reads.
//
// QORDA.INI: $QORDA_INI when set (tests and the daemon point it at their own
// file), else $XDG_CONFIG_HOME/namewright/QORDA.INI (~/.config/...), else
// /etc/namewright/QORDA.INI. When none of the usual files exists, every
// setting has its default (which works on loopback); a file named by
// $QORDA_INI must exist.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qrd/ini.h"

namespace qrd {

std::string qordaIniPath();
IniFile loadQordaIni();

// QORDA.INI read and checked, for programs to report before they start.
struct QordaIniCheck {
    IniFile ini;
    // One line per fault: "FILE:LINE: [Section] Key ... expected ...", or
    // "FILE: cannot read ..." when a named file is missing.
    std::vector<std::string> problems;
    // Where the settings come from, for people: the file, or why the
    // defaults apply.
    std::string source;
};
QordaIniCheck checkQordaIni();
// For programs: prints each problem as "PROGRAM: ..." on standard error and
// what to do about them; true when there were none.
bool reportQordaIniProblems(const QordaIniCheck& check, const char* program);
// The faults of a document: lines that are not INI, and known settings whose
// value is not one they take.
std::vector<std::string> qordaIniProblems(const IniFile& ini);

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
// Addresses are host-order IPv4 values. Entries that qordaIniProblems()
// reports keep the defaults (a library cannot stop its host over them).
CommStackConfig loadCommStackConfig(const IniFile& ini);

// Parses a dotted IPv4 address into a host-order value.
bool parseIpv4(const std::string& text, uint32_t& out);
// A host-order IPv4 value in dotted form.
std::string formatIpv4(uint32_t ip);

} // namespace qrd
