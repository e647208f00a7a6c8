// Network path recognition, the client generation and the UNC key.
#include <atomic>

#include "files/pathtext.h"
#include "files/usrfile.h"
#include "namedir/qrdapi_wrapper.h"
#include "qrd/config.h"
#include "qrd/ini.h"

using usrfile::startsWithNoCase;
using usrfile::unquoted;

namespace {

constexpr const char* kClientKey = "SOFTWARE\\Halvex\\Qrd\\Client";
constexpr const char* kDefaultUncKey = "Namewright\\";
// Newer client naming begins above this version number (major x 10000 +
// minor x 100 + build).
constexpr uint32_t kNewerClientAbove = 70650;

std::atomic<int> g_generation{0}; // 0: not asked yet

} // namespace

bool USRFile::isNetworkPath(std::string_view text) {
    text = unquoted(text);
    return text.size() > 2 && text[0] == '\\' && text[1] == '\\' &&
           text.find('\\', 2) != std::string_view::npos;
}

bool USRFile::serverOfNetworkPath(std::string_view path, std::string& server) {
    if (!isNetworkPath(path)) return false;
    path = unquoted(path);
    size_t end = path.find('\\', 2);
    server = std::string(path.substr(2, end - 2));
    return !server.empty();
}

bool USRFile::isKeyPath(std::string_view path) {
    if (!isNetworkPath(path)) return false;
    std::string key = uncKey();
    return !key.empty() && startsWithNoCase(unquoted(path).substr(2), key);
}

int USRFile::clientGeneration() {
    int g = g_generation.load();
    if (g == 0) {
        g = CQrdApi::getClientVersionNumber() > kNewerClientAbove ? 2 : 1;
        g_generation.store(g);
    }
    return g;
}

void USRFile::resetClientGeneration() {
    g_generation.store(0);
}

namespace usrfile {
std::string configuredUncKey() {
    qrd::IniFile ini = qrd::IniFile::load(qrd::systemConfigDir() + "/registry.ini");
    std::string key = ini.getString(kClientKey, "UNCKey", "");
    if (key.empty()) return kDefaultUncKey;
    // The key is a path part: without its backslash the service name would
    // run into it.
    if (key.back() != '\\') key += '\\';
    return key;
}
} // namespace usrfile

std::string USRFile::uncKey() {
    return clientGeneration() == 1 ? "" : usrfile::configuredUncKey();
}
