// The RPC socket cache: up to 20 open sockets that the RPC layer reuses per
// destination port and owner, so that a call does not open a socket each time.
//
// An entry is taken with rpcCacheOpen (marked in use), handed back with
// rpcCacheRelease (stays open, idle) or dropped with rpcCacheDestroy (closed).
// Entries are guarded by qrd::locks::rpcCache(); sockets are opened and
// closed outside that lock.
#pragma once

#include <cstdint>

#include "qrdapi.h"

namespace qrd {

constexpr int kRpcCacheEntries = 20;
constexpr uint16_t kRpcSocketKind = 1;
// Socket flag asked for by QrdInitDaemon option 0x2000.
constexpr uint16_t kDaemonSocketFlag = 0x2000;

// Takes an idle open socket for `dest` and `owner`, or opens a new one
// (family 3 when byte 1 of the port is 3, else the port's little-endian
// family; kind 1, any local port). `entry` receives the index to release or
// destroy, `socket` and `family` the socket to use with the Rpc* functions.
// 103 when all 20 entries are in use; otherwise 0 or the open's status.
QRDSTATUS rpcCacheOpen(const QRD_PORT* dest, uint32_t owner, int* entry, uint32_t* socket,
                       uint16_t* family);
// The call is done with the socket; it stays open for the next call.
void rpcCacheRelease(int entry);
// The socket is broken (time-out, abort, invalid): close it and free the entry.
void rpcCacheDestroy(int entry);

// New cache sockets carry 0x2000 (after QrdInitDaemon option 0x2000) ORed
// with the process-wide extra flags. Both apply to native sockets only: on
// the Internet road the open's flags argument is the local port number, and
// a cached socket must bind any port.
void setDaemonSocketFlags(bool on);
void setExtraSocketFlags(uint16_t flags);

} // namespace qrd
