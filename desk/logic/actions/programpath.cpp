#include "programpath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "files/usrfile.h"

namespace usraction {

namespace {
bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}
} // namespace

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string programFile(const std::string& text, const std::string& startDirectory) {
    if (text.empty()) return "";
    if (USRFile::isNetworkPath(text)) {
        std::string local = USRFile::localPath(text);
        return !local.empty() && exists(local) ? local : "";
    }
    if (text.find('/') != std::string::npos) {
        std::string path =
            text.front() != '/' && !startDirectory.empty() ? startDirectory + "/" + text : text;
        return exists(path) ? path : "";
    }
    const char* searchPath = std::getenv("PATH");
    std::stringstream dirs(searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        std::string candidate = dir + "/" + text;
        if (isExecutableFile(candidate)) return candidate;
    }
    return "";
}

} // namespace usraction
