#include "namedir_loader.h"

#include <dlfcn.h>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <unistd.h>

#include "qrd/config.h"
#include "qrd/ini.h"
#include "report.h"

namespace deskinstall {

namespace {

// Stores a resolved address in its slot of the table.
template <auto Member> void assign(NamedirCalls& calls, void* address) {
    using Fn = std::remove_reference_t<decltype(calls.*Member)>;
    calls.*Member = reinterpret_cast<Fn>(address);
}

// Each entry point's name and where it goes.
struct Symbol {
    const char* name;
    void (*store)(NamedirCalls& calls, void* address);
};
const Symbol kSymbols[] = {
    {"DIRLoadDirectory", assign<&NamedirCalls::loadDirectory>},
    {"DIRUnloadDirectory", assign<&NamedirCalls::unloadDirectory>},
    {"DIRcreateActionNode", assign<&NamedirCalls::createActionNode>},
    {"DIRdestroyNode", assign<&NamedirCalls::destroyNode>},
    {"DIRaddActionToLibrary", assign<&NamedirCalls::addActionToLibrary>},
    {"DIRremoveActionFromLibrary", assign<&NamedirCalls::removeActionFromLibrary>},
    {"DIRgetActionLibrary", assign<&NamedirCalls::getActionLibrary>},
    {"DIRRemoveAction", assign<&NamedirCalls::removeAction>},
    {"DIRGetInstalledActionCount", assign<&NamedirCalls::getInstalledActionCount>},
    {"DIRGetLastQordaError", assign<&NamedirCalls::getLastQordaError>},
};

struct State {
    // Guards the members. Recursive: a reporter told of a failed load may
    // call the installer again, which then finds `loading` set.
    std::recursive_mutex lock;
    bool loading = false;
    void* handle = nullptr;
    NamedirCalls calls{};
};

State& state() {
    static State s;
    return s;
}

// A "Path" value of the registry file; reports and gives nothing when it is
// missing or empty.
std::optional<std::string> registryPath(const qrd::IniFile& ini, const char* key) {
    std::string value = ini.getString(key, kPathValue, "");
    if (!value.empty()) return value;
    std::string detail =
        ini.found() ? ini.name() + " has no value " + kPathValue + " in its section [" + key + "]"
                    : ini.name() + ": " + ini.readError();
    reportError(kCaptionError,
                format(kNoRegistryKey, (std::string("HKEY_LOCAL_MACHINE\\") + key).c_str(),
                       (std::string("\\") + kPathValue).c_str()),
                detail);
    return std::nullopt;
}

// Opens the store: a file name with a "/" as it is, otherwise the first
// folder that holds a file of that name. Empty result: nothing opened, with
// the reason in `why`.
void* open(const std::string& fileName, const std::string& folders, std::string& why) {
    auto tryOpen = [&](const std::string& path) -> void* {
        void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            const char* e = dlerror();
            why = e ? e : path + ": cannot be loaded";
        }
        return h;
    };
    if (fileName.find('/') != std::string::npos) return tryOpen(fileName);
    why = fileName + " is in none of the folders \"" + folders + "\"";
    size_t at = 0;
    while (at <= folders.size()) {
        size_t end = folders.find_first_of(":;", at);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(at, end - at);
        at = end + 1;
        if (folder.empty()) continue;
        std::string path = folder + (folder.back() == '/' ? "" : "/") + fileName;
        if (access(path.c_str(), F_OK) != 0) continue;
        if (void* h = tryOpen(path)) return h;
    }
    return nullptr;
}

bool load(State& s) {
    qrd::IniFile ini = qrd::IniFile::load(qrd::systemConfigDir() + "/registry.ini");
    std::optional<std::string> fileName = registryPath(ini, kStoreKey);
    if (!fileName) return false;
    std::optional<std::string> folders = registryPath(ini, kAppPathsKey);
    if (!folders) return false;

    std::string why;
    void* handle = open(*fileName, *folders, why);
    if (!handle) {
        reportError(kCaptionError, kCannotLoad, why);
        return false;
    }
    NamedirCalls calls{};
    for (const Symbol& sym : kSymbols) {
        void* fn = dlsym(handle, sym.name);
        if (!fn) {
            reportError(kCaptionError, kCannotLoad,
                        *fileName + " does not offer " + sym.name + "; it is not the store");
            dlclose(handle);
            return false;
        }
        sym.store(calls, fn);
    }
    if (!calls.loadDirectory()) {
        reportError(kCaptionError, kCannotLoad, "the store has no memory for its directory");
        dlclose(handle);
        return false;
    }
    s.handle = handle;
    s.calls = calls;
    return true;
}

} // namespace

const NamedirCalls* namedir() {
    State& s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    if (!s.handle) {
        if (s.loading) return nullptr;
        s.loading = true;
        struct Done {
            bool& loading;
            ~Done() { loading = false; }
        } done{s.loading};
        if (!load(s)) return nullptr;
    }
    return &s.calls;
}

} // namespace deskinstall
