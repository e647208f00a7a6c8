// The library's process-wide locks and the tasker's thread-local slot.
//
// Every mutex here is constant-initialised (std::mutex has a constexpr
// constructor) and trivially destructible, so it is usable from any static
// initialiser and still valid while the process detach runs after the
// program's static destructors. "Initialising" them at attach cannot fail.
//
// Lock order, outermost first: global, then any one of the others. No
// function holds two of the ten further locks at once.
//
// State touched by the process detach (socket cache, devices, tables) must
// itself outlive static destructors: keep it in constant-initialised or
// deliberately leaked storage, never in a namespace-scope object with a
// non-trivial destructor.
#pragma once

#include <mutex>

namespace qrd::locks {

// The library's global lock: opening and closing the devices (comm stack,
// file-system device).
std::mutex& global();

// The ten further locks.
std::mutex& rpcCache();     // the RPC socket cache
std::mutex& rpcTimeouts();  // the RPC time-out values per port
std::mutex& tasker();       // the tasker lock held in tasking mode
std::mutex& taskTable();    // the tasker's table of tasks
std::mutex& daemon();       // the daemon table
std::mutex& eventPool();    // the comm-stack device's event pool and socket table
std::mutex& notify();       // the socket notification record and its thread
std::mutex& serviceCache(); // remembered service ports of service searches
std::mutex& nmSession();    // the implicit Namewright session
std::mutex& nmda();         // NMDA session handles

// The tasker's per-thread record (one slot per thread, null until set).
void* taskerSlot();
void setTaskerSlot(void* record);

} // namespace qrd::locks
