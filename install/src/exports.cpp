// The installer's exports (deskinstall.h), on the store's plain entry points.
#include "deskinstall.h"

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "action_file.h"
#include "namedir_loader.h"
#include "report.h"

namespace deskinstall {

namespace {

// One operation at a time: "is it installed, ask, remove, create" must not
// interleave with another thread's. Recursive, so that a reporter may call
// the library again.
std::recursive_mutex& operationLock() {
    static std::recursive_mutex m;
    return m;
}

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

// Runs an export; nothing thrown leaves the library.
template <typename Result, typename Body> Result exported(Result failed, Body body) {
    try {
        std::lock_guard<std::recursive_mutex> g(operationLock());
        return body();
    } catch (...) {
        return failed;
    }
}

// Whether the library lists an action named exactly `name`; false with a
// report when the library cannot be read.
bool isInstalled(const NamedirCalls& nd, const std::string& name, bool& installed) {
    struct Search {
        const std::string* name;
        bool found = false;
    } search{&name};
    nd.getLastQordaError(); // only this read's status is reported
    long error = 0;
    auto sink = [](const char* entry, void* context) {
        auto* s = static_cast<Search*>(context);
        if (*s->name == entry) s->found = true;
    };
    if (!nd.getActionLibrary(sink, &search, &error)) {
        reportError(kCaptionListing, format(kCannotList, unsigned(nd.getLastQordaError())));
        return false;
    }
    installed = search.found;
    return true;
}

bool removeAction(const NamedirCalls& nd, const std::string& name) {
    nd.getLastQordaError();
    long error = 0;
    if (nd.removeAction(name.c_str(), &error)) return true;
    reportError(kCaptionListing, format(kCannotRemove, int(error), int(nd.getLastQordaError())));
    return false;
}

// Creates one action: asks before replacing one of the same name.
bool createAction(const NamedirCalls& nd, const ActionDefinition& def,
                  const std::string& installDirectory) {
    if (def.name.empty()) {
        reportError(kCaptionError, kNoName);
        return false;
    }
    bool installed = false;
    if (!isInstalled(nd, def.name, installed)) return false;
    if (installed) {
        if (!ask(kCaptionInstalled, format(kAskReinstall, def.name.c_str()))) return false;
        // Creating beside an action that could not be removed would list
        // the name twice.
        if (!removeAction(nd, def.name)) return false;
    }
    std::string command = applyInstallDirectory(def.commandLine, installDirectory);
    DIRActionDefinition flat{};
    flat.name = def.name.c_str();
    flat.commandLine = command.c_str();
    flat.description = def.description.c_str();
    flat.startDirectory = def.startDirectory.c_str();
    flat.shared = def.shared;
    flat.initial = def.initial;
    flat.showMode = def.showMode;
    flat.capabilities = def.capabilities;
    flat.iconIndex = def.iconIndex;
    nd.getLastQordaError();
    long error = 0;
    if (nd.createActionNode(&flat, &error)) return true;
    reportError(kCaptionError, format(kCannotAdd, def.name.c_str(), unsigned(error),
                                      unsigned(nd.getLastQordaError())));
    return false;
}

} // namespace

} // namespace deskinstall

using namespace deskinstall;

extern "C" {

void QrdNmdSetReporter(const QrdNmdReporter* reporter) {
    setReporter(reporter);
}

int QrdNmdCreateActions(const char* fileName, const char* installDirectory) {
    return exported(0, [&]() -> int {
        if (!fileName) return 0;
        ActionFile file;
        std::string why;
        if (!readActionFile(fileName, file, why)) {
            reportError(kCaptionError, format(kCannotRead, fileName, why.c_str()));
            return 0;
        }
        const NamedirCalls* nd = namedir();
        if (!nd) return 0;
        int created = 0;
        for (const ActionDefinition& def : file.actions)
            if (createAction(*nd, def, text(installDirectory))) ++created;
        return created;
    });
}

int QrdNmdCreateAction1(const char* name, const char* command, const char* description,
                        const char* startDirectory, const char* showModeName,
                        const char* capabilitiesText, long shared, long initial, long iconIndex,
                        const char* installDirectory) {
    return exported(0, [&]() -> int {
        const NamedirCalls* nd = namedir();
        if (!nd) return 0;
        ActionDefinition def;
        def.name = text(name);
        def.commandLine = text(command);
        def.description = text(description);
        def.startDirectory = text(startDirectory);
        def.shared = shared ? 1 : 0;
        def.initial = initial ? 1 : 0;
        if (!parseShowMode(text(showModeName), def.showMode)) def.showMode = kShowNormal;
        def.capabilities = parseCapabilities(text(capabilitiesText));
        def.iconIndex = iconIndex;
        return createAction(*nd, def, text(installDirectory)) ? 1 : 0;
    });
}

int QrdNmdIsActionInstalled(const char* name) {
    return exported(0, [&]() -> int {
        const NamedirCalls* nd = namedir();
        bool installed = false;
        if (!nd || !name || !isInstalled(*nd, name, installed)) return 0;
        return installed ? 1 : 0;
    });
}

int QrdNmdRemoveAction(const char* name) {
    return exported(0, [&]() -> int {
        const NamedirCalls* nd = namedir();
        if (!nd) return -1;
        if (!name) return 0;
        return removeAction(*nd, name) ? 1 : 0;
    });
}

long QrdNmdGetInstalledActionCount(void) {
    return exported(-1L, [&]() -> long {
        const NamedirCalls* nd = namedir();
        if (!nd) return -1;
        nd->getLastQordaError();
        long error = 0;
        long count = nd->getInstalledActionCount(&error);
        if (count < 0)
            reportError(kCaptionListing,
                        format(kCannotCount, int(error), int(nd->getLastQordaError())));
        return count;
    });
}

} // extern "C"
