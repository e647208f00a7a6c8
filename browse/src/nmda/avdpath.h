// Where the attribute definition file is on this workstation. Paths keep
// their network form ("z:\messages\qorda.avd"); a drive letter is turned into
// the local directory that QORDA.INI's [DriveMappings] gives for that drive
// (its last field, the mount directory).
#pragma once

#include <string>

#include "qrd/ini.h"

namespace browse {

inline constexpr char kDefaultAvdPath[] = "z:\\messages\\qorda.avd";

// "" or null stands for the default path. A path with a drive whose mapping
// has no mount directory, or no mapping, comes back unchanged (it will not
// open, and the browser says so with the path).
std::string localAvdPath(const std::string& path, const qrd::IniFile& qordaIni);

} // namespace browse
