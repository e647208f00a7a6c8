#include "base/locks.h"

#include <type_traits>

namespace qrd::locks {

// The detach runs after static destructors; a mutex whose destruction did
// something could be gone by then.
static_assert(std::is_trivially_destructible_v<std::mutex>);

namespace {
constinit std::mutex g_global;
constinit std::mutex g_rpcCache;
constinit std::mutex g_rpcTimeouts;
constinit std::mutex g_tasker;
constinit std::mutex g_taskTable;
constinit std::mutex g_daemon;
constinit std::mutex g_eventPool;
constinit std::mutex g_notify;
constinit std::mutex g_serviceCache;
constinit std::mutex g_nmSession;
constinit std::mutex g_nmda;

constinit thread_local void* t_taskerSlot = nullptr;
} // namespace

std::mutex& global() {
    return g_global;
}
std::mutex& rpcCache() {
    return g_rpcCache;
}
std::mutex& rpcTimeouts() {
    return g_rpcTimeouts;
}
std::mutex& tasker() {
    return g_tasker;
}
std::mutex& taskTable() {
    return g_taskTable;
}
std::mutex& daemon() {
    return g_daemon;
}
std::mutex& eventPool() {
    return g_eventPool;
}
std::mutex& notify() {
    return g_notify;
}
std::mutex& serviceCache() {
    return g_serviceCache;
}
std::mutex& nmSession() {
    return g_nmSession;
}
std::mutex& nmda() {
    return g_nmda;
}

void* taskerSlot() {
    return t_taskerSlot;
}
void setTaskerSlot(void* record) {
    t_taskerSlot = record;
}

} // namespace qrd::locks
