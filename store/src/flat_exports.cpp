// The plain C entry points (namedir_flat.h) on the process's one directory
// object.
//
// The object is held by a shared pointer: each call takes its own reference
// for its duration, so that DIRUnloadDirectory on one thread never deletes
// the object under a call running on another.
#include "namedir_flat.h"

#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "namedir/directory.h"
#include "namedir/errors.h"
#include "namedir/qrdapi_wrapper.h"

namespace {

struct Process {
    std::mutex lock; // guards `directory`
    std::shared_ptr<DIRDirectory> directory;
};

Process& process() {
    static Process p;
    return p;
}

// The process's directory object, made when there is none; null only when
// memory ran out.
std::shared_ptr<DIRDirectory> directory() {
    Process& p = process();
    std::lock_guard<std::mutex> g(p.lock);
    if (!p.directory) {
        DIRDirectory* made = new (std::nothrow) DIRDirectory();
        if (!made) return nullptr;
        p.directory.reset(made);
    }
    return p.directory;
}

// The client status that made the calling thread's last operation fail, when
// cleaning up after it made further exchanges (whose statuses would hide
// it). Cleared at the start of every operation.
thread_local QRDSTATUS failureStatus = 0;

void setError(long* error, long code) {
    if (error) *error = code;
}

// Runs `body` on the directory object with the caller's error slot; nothing
// thrown inside leaves the library.
template <typename Result, typename Body> Result guarded(long* error, Result failed, Body body) {
    long code = DIR_OK;
    Result result = failed;
    failureStatus = 0;
    try {
        std::shared_ptr<DIRDirectory> dir = directory();
        if (!dir)
            code = DIR_NO_MEMORY;
        else
            result = body(*dir, code);
    } catch (const std::bad_alloc&) {
        code = DIR_NO_MEMORY;
        result = failed;
    } catch (...) {
        code = DIR_DIRECTORY_ACCESS;
        result = failed;
    }
    setError(error, code);
    return result;
}

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

// The address a key names; false with the store's error otherwise.
bool addressOf(DIRDirectory& dir, const char* key, DIRAddressPtr& address, long& error) {
    if (!key || !*key) {
        error = DIR_INVALID_KEY;
        return false;
    }
    long type = 0;
    return dir.getDirectoryAddress(key, address, type, error);
}

bool readLibrary(DIRDirectory& dir, std::vector<DIRRefInfo>& entries, long& error) {
    return dir.getActionLibrary(entries, error);
}

bool isAction(const DIRRefInfo& entry) {
    return entry.objectType == DIR_TYPE_ACTION && entry.address;
}

} // namespace

extern "C" {

int DIRLoadDirectory(void) {
    try {
        return directory() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void DIRUnloadDirectory(void) {
    std::shared_ptr<DIRDirectory> last;
    Process& p = process();
    std::lock_guard<std::mutex> g(p.lock);
    last.swap(p.directory); // deleted here, or by the last call still using it
}

int DIRcreateActionNode(const DIRActionDefinition* definition, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        if (!definition) {
            code = DIR_BUFFER_UNSET;
            return 0;
        }
        DIRAction action;
        action.base.objectType = DIR_TYPE_ACTION;
        action.base.version = 1;
        action.base.shared = definition->shared ? 1 : 0;
        action.base.userFlag = 1;
        action.base.userValue = 3;
        action.name = text(definition->name);
        action.description = text(definition->description);
        action.commandLine = text(definition->commandLine);
        action.startDirectory = text(definition->startDirectory);
        action.capabilities = definition->capabilities;
        action.reserved = 0;
        action.initial = definition->initial ? 1 : 0;
        action.showMode = definition->showMode;
        action.iconIndex = definition->iconIndex;
        if (!dir.createNode(action, code)) return 0;

        stNewItemRefEntry entry;
        entry.address = action.address;
        entry.name = action.name;
        entry.objectType = DIR_TYPE_ACTION;
        entry.refValue = action.capabilities;
        entry.shared = action.base.shared;
        entry.time = action.base.created;
        entry.modified = action.base.modified;
        if (dir.addActionToLibrary(entry, code)) return 1;
        // No object that no library lists is left behind; the library's
        // error and status are the ones reported.
        failureStatus = CQrdApi::getLastError();
        long ignored = DIR_OK;
        const DIRDirectoryAddress* made = action.address.get();
        dir.destroyNode(made, ignored);
        CQrdApi::clearLastError();
        return 0;
    });
}

int DIRdestroyNode(const char* key, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        DIRAddressPtr address;
        if (!addressOf(dir, key, address, code)) return 0;
        const DIRDirectoryAddress* a = address.get();
        return dir.destroyNode(a, code) ? 1 : 0;
    });
}

int DIRaddActionToLibrary(const DIRActionEntry* in, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        if (!in) {
            code = DIR_BUFFER_UNSET;
            return 0;
        }
        stNewItemRefEntry entry;
        if (!addressOf(dir, in->key, entry.address, code)) return 0;
        entry.name = text(in->name);
        entry.objectType = in->objectType;
        entry.refValue = in->refValue;
        entry.shared = in->shared ? 1 : 0;
        entry.time = in->time;
        entry.refText = text(in->refText);
        entry.modified = in->modified;
        return dir.addActionToLibrary(entry, code) ? 1 : 0;
    });
}

int DIRremoveActionFromLibrary(const char* key, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        DIRAddressPtr address;
        if (!addressOf(dir, key, address, code)) return 0;
        DIRDirectoryAddress* a = address.get();
        return dir.removeActionFromLibrary(a, code) ? 1 : 0;
    });
}

int DIRgetActionLibrary(DIRNameSink sink, void* context, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        std::vector<DIRRefInfo> entries;
        bool read = readLibrary(dir, entries, code);
        if (sink)
            for (const DIRRefInfo& e : entries)
                if (e.objectType == DIR_TYPE_ACTION) sink(e.name.c_str(), context);
        return read ? 1 : 0;
    });
}

int DIRRemoveAction(const char* name, long* error) {
    return guarded(error, 0, [&](DIRDirectory& dir, long& code) -> int {
        if (!name) {
            code = DIR_NAME_INVALID;
            return 0;
        }
        std::vector<DIRRefInfo> entries;
        if (!readLibrary(dir, entries, code)) return 0;
        // An object listed twice (in both libraries) is removed once.
        std::set<std::string> done;
        for (DIRRefInfo& e : entries) {
            if (!isAction(e) || e.name != name) continue;
            if (!done.insert(e.address->uniqueKey).second) continue;
            DIRDirectoryAddress* a = e.address.get();
            if (!dir.removeActionFromLibrary(a, code)) return 0;
            const DIRDirectoryAddress* object = e.address.get();
            if (!dir.destroyNode(object, code)) return 0;
        }
        return 1;
    });
}

long DIRGetInstalledActionCount(long* error) {
    return guarded(error, -1L, [&](DIRDirectory& dir, long& code) -> long {
        std::vector<DIRRefInfo> entries;
        if (!readLibrary(dir, entries, code)) return -1;
        return long(entries.size());
    });
}

uint16_t DIRGetLastQordaError(void) {
    QRDSTATUS status = CQrdApi::getLastError();
    if (failureStatus) status = failureStatus;
    failureStatus = 0;
    return status;
}

} // extern "C"
