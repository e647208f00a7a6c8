#include "avdpath.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "qrd/drivemappings.h"

namespace browse {

std::string localAvdPath(const std::string& given, const qrd::IniFile& qordaIni) {
    std::string path = given.empty() ? kDefaultAvdPath : given;
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(uint8_t(path[0]))) return path;
    const uint16_t drive = uint16_t(std::toupper(uint8_t(path[0])) - 'A' + 1);
    // Only the mount directory matters here, so no limit on the other fields.
    const std::vector<qrd::DriveMapping> table =
        qrd::readDriveMappings(qordaIni, SIZE_MAX, SIZE_MAX);
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const qrd::DriveMapping& m) { return m.drive == drive; });
    if (it == table.end()) return path;
    std::string mount = it->mountDir;
    if (mount.empty() || mount[0] != '/') return path;

    std::string rest = path.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    while (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    while (mount.size() > 1 && mount.back() == '/')
        mount.pop_back();
    return mount + "/" + rest;
}

} // namespace browse
