// Files and folders that the launching and path tests make in their
// workstation's folder.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace deskfiles {

inline void writeFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The XDG folders below `ws`: its own applications (ws/share), the system's
// MIME database without the system's applications, and the default
// applications of `mimeapps` (the lines after [Default Applications]).
inline void useOwnApplications(const std::string& ws, const std::string& mimeapps) {
    setenv("XDG_DATA_HOME", (ws + "/share").c_str(), 1);
    std::filesystem::create_directories(ws + "/system");
    std::error_code ec;
    std::filesystem::create_directory_symlink("/usr/share/mime", ws + "/system/mime", ec);
    setenv("XDG_DATA_DIRS", (ws + "/system").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (ws + "/nowhere").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (ws + "/config").c_str(), 1);
    writeFile(ws + "/config/mimeapps.list", "[Default Applications]\n" + mimeapps);
}

} // namespace deskfiles
