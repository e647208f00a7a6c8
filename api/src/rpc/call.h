// The call routine's process-wide state: the socket operations it uses, the
// adaptive receive-buffer size and the trace mask.
//
// _CallRemoteDg (qrdapi.h) sends one request datagram on a socket taken from
// the RPC socket cache and waits for one reply; see docs/rpc.md.
#pragma once

#include <cstdint>

#include "qrdapi.h"

namespace qrd::rpc {

// A socket that the open operation lent to one call.
struct CallSocket {
    uint32_t socket = 0;
    uint16_t family = 0; // the road the socket was opened on (3 native, 2 Internet)
    uint16_t kind = 1;
    int entry = -1; // the cache entry behind it (-1 when not cached)
};

// Replaceable socket operations. Every call passes the socket's own family to
// send and receive, so a destination on either road is served.
struct SocketTable {
    // Opens or reuses a socket for `dest` owned by the calling thread.
    QRDSTATUS (*open)(const QRD_PORT* dest, CallSocket* out);
    QRDSTATUS (*send)(const CallSocket& s, QRD_SOCK_REQ* req);
    // Returns the receive's status; a status left in the request record is
    // read by the caller when this returns 0.
    QRDSTATUS (*receive)(const CallSocket& s, QRD_SOCK_REQ* req);
    // Gives the socket back for reuse.
    void (*release)(const CallSocket& s);
    // Closes the socket and forgets it (after 151, 163, 173).
    void (*destroy)(const CallSocket& s);
};

// The unified socket functions behind the RPC socket cache.
const SocketTable& defaultSocketTable();
// Installs a table (tests use this to inject faults); returns the previous one.
SocketTable setSocketTable(const SocketTable& table);

// Receive buffer: starts at 1500, grows to the largest datagram that did not
// fit, returns to 1500 after a datagram of at most 1500 bytes.
constexpr uint32_t kBaseReceiveSize = 1500;
// The largest datagram a reply can be (a UDP payload); a needed size above it
// is a transport fault, not a reason to allocate.
constexpr uint32_t kMaxReceiveSize = 65536;
uint32_t receiveSize();
void setReceiveSize(uint32_t size);

// Sends after a 151 are retried on a fresh socket, but not without end: a
// socket layer that keeps answering 151 would spin forever.
constexpr int kMaxSendAttempts = 8;

// Trace mask of QrdTaskDebug.
constexpr uint16_t kTraceSocket = 2;
constexpr uint16_t kTraceDaemon = 4;
constexpr uint16_t kTraceCalls = 8;
uint16_t traceMask();

} // namespace qrd::rpc
