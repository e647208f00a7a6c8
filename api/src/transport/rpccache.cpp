#include "transport/rpccache.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/locks.h"
#include "base/port.h"
#include "qrd/bytes.h"
#include "transport/lifecycle.h"

namespace qrd {

namespace {

struct Entry {
    uint32_t socket;
    uint16_t family;
    uint16_t kind;
    uint32_t useCount; // 0 = never used (or destroyed): free to take
    bool inUse;
    uint32_t owner;
    uint32_t spare;
    QRD_PORT port;
};

// Guarded by locks::rpcCache(). Plain arrays: the process detach may run after
// static destructors.
constinit Entry g_entries[kRpcCacheEntries] = {};
constinit int g_count = 0; // entries ever appended
// Bumped by rpcCacheCloseAll, so that a socket still being opened for an
// entry that was cleared meanwhile is closed instead of leaking.
constinit uint32_t g_generation = 0;

constinit std::atomic<bool> g_daemonFlag{false};
constinit std::atomic<uint16_t> g_extraFlags{0};

bool validIndex(int entry) {
    return entry >= 0 && entry < kRpcCacheEntries;
}

} // namespace

QRDSTATUS rpcCacheOpen(const QRD_PORT* dest, uint32_t owner, int* entry, uint32_t* socket,
                       uint16_t* family) {
    if (!entry || !socket || !family) return QRDERR_BAD_ARG;
    const QRD_PORT port = portOrNull(dest);
    int chosen = -1;
    bool evicted = false;
    Entry victim{};
    uint32_t generation;
    {
        std::lock_guard lock(locks::rpcCache());
        for (int i = 0; i < g_count; ++i) {
            Entry& e = g_entries[i];
            if (!e.inUse && e.useCount > 0 && e.owner == owner &&
                std::memcmp(&e.port, &port, sizeof port) == 0) {
                e.inUse = true;
                ++e.useCount;
                *entry = i;
                *socket = e.socket;
                *family = e.family;
                return QRD_OK;
            }
        }
        for (int i = 0; i < g_count && chosen < 0; ++i)
            if (!g_entries[i].inUse && g_entries[i].useCount == 0) chosen = i;
        if (chosen < 0 && g_count < kRpcCacheEntries) chosen = g_count++;
        if (chosen < 0) {
            for (int i = 0; i < g_count; ++i) {
                const Entry& e = g_entries[i];
                if (e.inUse) continue;
                if (chosen < 0 || e.useCount < g_entries[chosen].useCount) chosen = i;
            }
            if (chosen < 0) return QRDERR_NO_CACHE_ENTRY;
            victim = g_entries[chosen];
            evicted = true;
        }
        // Reserve the entry while its socket is opened outside the lock.
        g_entries[chosen] = Entry{};
        g_entries[chosen].inUse = true;
        generation = g_generation;
    }
    if (evicted) RpcCloseSocket(victim.socket, victim.family);

    const uint16_t fam = portFamily(port);
    uint16_t flags = 0;
    if (fam == QRD_FAMILY_NATIVE) {
        flags = g_extraFlags.load();
        if (g_daemonFlag.load()) flags |= kDaemonSocketFlag;
    }
    uint32_t sock = 0;
    QRD_PORT local;
    QRDSTATUS st = RpcOpenSocket(&sock, fam, kRpcSocketKind, QRD_PORT_ANY, &local, flags);

    std::unique_lock lock(locks::rpcCache());
    if (generation != g_generation) {
        lock.unlock();
        if (st == QRD_OK) RpcCloseSocket(sock, fam);
        return QRDERR_ABORTED;
    }
    Entry& e = g_entries[chosen];
    if (st != QRD_OK) {
        e = Entry{};
        return st;
    }
    e.socket = sock;
    e.family = fam;
    e.kind = kRpcSocketKind;
    e.useCount = 1;
    e.inUse = true;
    e.owner = owner;
    e.port = port;
    *entry = chosen;
    *socket = sock;
    *family = fam;
    return QRD_OK;
}

void rpcCacheRelease(int entry) {
    if (!validIndex(entry)) return;
    std::lock_guard lock(locks::rpcCache());
    g_entries[entry].inUse = false;
}

void rpcCacheDestroy(int entry) {
    if (!validIndex(entry)) return;
    Entry e;
    {
        std::lock_guard lock(locks::rpcCache());
        e = g_entries[entry];
        if (e.useCount == 0) return; // never opened, or already destroyed
        g_entries[entry] = Entry{};
    }
    RpcCloseSocket(e.socket, e.family);
}

void rpcCacheCloseAll() {
    std::vector<Entry> open;
    {
        std::lock_guard lock(locks::rpcCache());
        for (int i = 0; i < g_count; ++i) {
            if (g_entries[i].useCount > 0) open.push_back(g_entries[i]);
            g_entries[i] = Entry{};
        }
        g_count = 0;
        ++g_generation;
    }
    for (const Entry& e : open)
        RpcCloseSocket(e.socket, e.family);
}

void setDaemonSocketFlags(bool on) {
    g_daemonFlag.store(on);
}
void setExtraSocketFlags(uint16_t flags) {
    g_extraFlags.store(flags);
}

} // namespace qrd
