// The redirector's mapping table of QORDA.INI: which QORDA file service each
// drive letter reaches, and where the service is mounted on this machine.
//
//   [DriveMappings]
//   F=FILESVC@GROUP@ORG,share\path,/local/mount/dir
//
// The client library's file-system device answers drive questions from it;
// the desktop turns local paths under a mount directory into the network
// form and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qrd/ini.h"

namespace qrd {

struct DriveMapping {
    uint16_t drive = 0;   // A = 1
    std::string service;  // the file service's full Namewright name
    std::string root;     // the share path below the service, no leading backslash
    std::string mountDir; // where the service is mounted locally (may be empty)
};

// Reads the table in drive order. Entries without a service, and entries
// whose service name or root would not fit `serviceLimit` / `rootLimit`
// bytes with their terminating NUL, are left out.
std::vector<DriveMapping> readDriveMappings(const IniFile& ini, size_t serviceLimit,
                                            size_t rootLimit);

} // namespace qrd
