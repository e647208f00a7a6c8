// Network form of paths: full service names, mounted services and back.
#include <cctype>
#include <mutex>
#include <optional>
#include <vector>

#include "files/pathtext.h"
#include "files/usrfile.h"
#include "namedir/qrdapi_wrapper.h"
#include "qrd/config.h"
#include "qrd/drivemappings.h"

using usrfile::equalsNoCase;
using usrfile::startsWithNoCase;

namespace {

long resolveWithClient(std::string& name) {
    if (QRDSTATUS st = CQrdApi::makeFullName(name)) return st;
    return CQrdApi::formatName(name);
}

std::mutex g_resolverLock;
USRFile::NameResolver g_resolver = resolveWithClient; // guarded by g_resolverLock

long resolveName(std::string& name) {
    USRFile::NameResolver resolver;
    {
        std::lock_guard lock(g_resolverLock);
        resolver = g_resolver;
    }
    return resolver(name);
}

std::vector<qrd::DriveMapping> mountedServices() {
    std::vector<qrd::DriveMapping> all =
        qrd::readDriveMappings(qrd::loadQordaIni(), NMNAMELEN, QRD_ROOT_LEN);
    std::vector<qrd::DriveMapping> mounted;
    for (qrd::DriveMapping& m : all) {
        while (m.mountDir.size() > 1 && m.mountDir.back() == '/')
            m.mountDir.pop_back();
        while (!m.root.empty() && m.root.back() == '\\')
            m.root.pop_back();
        if (!m.mountDir.empty()) mounted.push_back(std::move(m));
    }
    return mounted;
}

// \\[key]SERVICE\root\rest
std::string networkForm(const std::string& key, const std::string& service, std::string root,
                        std::string_view rest) {
    while (!root.empty() && root.back() == '\\')
        root.pop_back();
    std::string out = "\\\\" + key + service + "\\" + root;
    if (!rest.empty()) out += (root.empty() ? "" : "\\") + std::string(rest);
    return out;
}

// The part of `path` below `dir`, or nullopt when `path` is not under it.
std::optional<std::string_view> below(std::string_view path, const std::string& dir) {
    if (dir == "/") return path.substr(1);
    if (!path.starts_with(dir)) return std::nullopt;
    std::string_view rest = path.substr(dir.size());
    if (rest.empty()) return rest;
    if (rest.front() != '/') return std::nullopt;
    return rest.substr(1);
}

bool normaliseNetworkPath(std::string_view text, const std::string& key, std::string& out) {
    std::string_view rest = text.substr(2);
    std::string known = usrfile::configuredUncKey();
    if (startsWithNoCase(rest, known)) rest.remove_prefix(known.size());
    size_t end = rest.find('\\');
    std::string service(rest.substr(0, end));
    if (service.empty()) return false;
    if (resolveName(service) != 0) return false;
    out =
        "\\\\" + key + service + std::string(end == std::string_view::npos ? "" : rest.substr(end));
    return true;
}

// F:\rest of a drive the redirector maps to a file service.
bool driveForm(std::string_view text, const std::string& key, std::string& out) {
    std::string service, root;
    if (!CQrdApi::isQordaFileService(text[0], service, root)) return false;
    std::string_view rest = text.substr(2);
    if (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
    out = networkForm(key, service, root, rest);
    return true;
}

// /mount/dir/rest of a mounted file service; the deepest mount wins.
bool mountForm(std::string_view text, const std::string& key, std::string& out) {
    const qrd::DriveMapping* best = nullptr;
    std::string_view bestRest;
    std::vector<qrd::DriveMapping> mounts = mountedServices();
    for (const qrd::DriveMapping& m : mounts) {
        auto rest = below(text, m.mountDir);
        if (rest && (!best || m.mountDir.size() > best->mountDir.size())) {
            best = &m;
            bestRest = *rest;
        }
    }
    if (!best) return false;
    std::string rest(bestRest);
    for (char& c : rest)
        if (c == '/') c = '\\';
    out = networkForm(key, best->service, best->root, rest);
    return true;
}

bool serviceMatches(const std::string& mapped, std::string_view named) {
    if (equalsNoCase(mapped, named)) return true;
    // A short name stands for the service in the login group's naming.
    return named.find('@') == std::string_view::npos &&
           equalsNoCase(std::string_view(mapped).substr(0, mapped.find('@')), named);
}

bool climbsOut(std::string_view rest) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        if (rest.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

} // namespace

void USRFile::setNameResolver(NameResolver resolver) {
    std::lock_guard lock(g_resolverLock);
    g_resolver = resolver ? std::move(resolver) : NameResolver(resolveWithClient);
}

bool USRFile::normalise(std::string& path) {
    bool quoted = !path.empty() && path.front() == '"';
    std::string_view text = usrfile::unquoted(path);
    std::string key = uncKey();
    std::string out;
    if (isNetworkPath(text)) {
        if (!normaliseNetworkPath(text, key, out)) return false;
    } else if (text.size() >= 2 && text[1] == ':' &&
               std::isalpha(static_cast<unsigned char>(text[0]))) {
        if (!driveForm(text, key, out)) return true;
    } else if (!text.empty() && text.front() == '/') {
        if (!mountForm(text, key, out)) return true;
    } else {
        return true;
    }
    path = (quoted ? "\"" : "") + out;
    return true;
}

std::string USRFile::localPath(std::string_view path) {
    bool quoted = !path.empty() && path.front() == '"';
    std::string_view text = usrfile::unquoted(path);
    if (quoted && text.ends_with('"')) text.remove_suffix(1);
    if (!isNetworkPath(text)) return "";
    std::string_view rest = text.substr(2);
    std::string known = usrfile::configuredUncKey();
    if (startsWithNoCase(rest, known)) rest.remove_prefix(known.size());
    size_t end = rest.find('\\');
    std::string_view service = rest.substr(0, end);
    std::string_view tail = end == std::string_view::npos ? "" : rest.substr(end + 1);
    // A stored path comes from other users: it must not reach outside the
    // service it names.
    if (climbsOut(tail)) return "";

    std::vector<qrd::DriveMapping> mounts = mountedServices();
    const qrd::DriveMapping* best = nullptr;
    std::string_view bestRest;
    for (const qrd::DriveMapping& m : mounts) {
        if (!serviceMatches(m.service, service)) continue;
        std::string_view under = tail;
        if (!m.root.empty()) {
            if (!startsWithNoCase(tail, m.root)) continue;
            under = tail.substr(m.root.size());
            if (!under.empty() && under.front() != '\\') continue;
            if (!under.empty()) under.remove_prefix(1);
        }
        if (!best || m.root.size() > best->root.size()) {
            best = &m;
            bestRest = under;
        }
    }
    if (!best) return "";
    std::string out = best->mountDir;
    if (!bestRest.empty()) {
        if (out != "/") out += '/';
        for (char c : bestRest)
            out += c == '\\' ? '/' : c;
    }
    return out;
}
