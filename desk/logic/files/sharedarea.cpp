// Shared-area and file tests, and the names they compare.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files/pathtext.h"
#include "files/usrfile.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kComputerNameMax = 16;

bool isDrivePath(std::string_view p) {
    return p.size() >= 2 && p[1] == ':';
}

} // namespace

std::string USRFile::computerName() {
    std::string name;
    if (const char* simulated = std::getenv("QRD_WORKSTATION"); simulated && *simulated) {
        name = simulated;
    } else {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) != 0) return "";
        name = host;
        name = name.substr(0, name.find('.'));
    }
    return name.substr(0, kComputerNameMax);
}

bool USRFile::isOnSharedArea(const std::string& path) {
    std::string p = path;
    if (!isNetworkPath(p) && (!normalise(p) || !isNetworkPath(p))) return false;
    std::string server;
    if (!serverOfNetworkPath(p, server)) return false;
    // A network path that names this workstation reaches only its own disk.
    return usrfile::upper(server) != usrfile::upper(computerName());
}

bool USRFile::isFile(const std::string& path) {
    std::string p(usrfile::unquoted(path));
    if (p.empty()) return false;
    std::error_code ec;
    if (isNetworkPath(p)) {
        if (!isKeyPath(p)) {
            // \\server\name: a file the server publishes; nothing to ask here.
            size_t afterServer = p.find('\\', 2);
            if (p.find('\\', afterServer + 1) == std::string::npos && afterServer + 1 < p.size())
                return true;
        }
        p = localPath(p);
        if (p.empty()) return false;
    } else if (p.front() != '\\' && p.front() != '/' && !isDrivePath(p)) {
        p = fs::absolute(p, ec).string();
        if (ec) return false;
    }
    fs::file_status st = fs::status(p, ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

std::string USRFile::fileNameOf(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}
