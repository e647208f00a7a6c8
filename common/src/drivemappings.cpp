#include "qrd/drivemappings.h"

#include <optional>

namespace qrd {

namespace {
std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}
} // namespace

std::vector<DriveMapping> readDriveMappings(const IniFile& ini, size_t serviceLimit,
                                            size_t rootLimit) {
    std::vector<DriveMapping> out;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        std::optional<std::string> v = ini.get("DriveMappings", std::string(1, letter));
        if (!v) continue;
        // service, root, mount directory: the service is up to the first
        // comma; a last field that starts with '/' is the mount directory;
        // the rest, commas included, is the root.
        size_t comma = v->find(',');
        DriveMapping m;
        m.drive = uint16_t(letter - 'A' + 1);
        m.service = trim(v->substr(0, comma));
        std::string rest = comma == std::string::npos ? "" : v->substr(comma + 1);
        size_t last = rest.rfind(',');
        if (last != std::string::npos && trim(rest.substr(last + 1)).starts_with('/')) {
            m.mountDir = trim(rest.substr(last + 1));
            rest.resize(last);
        }
        m.root = trim(rest);
        while (!m.root.empty() && m.root.front() == '\\')
            m.root.erase(0, 1);
        if (m.service.empty() || m.service.size() >= serviceLimit || m.root.size() >= rootLimit)
            continue;
        out.push_back(std::move(m));
    }
    return out;
}

} // namespace qrd
