// The call routine's default socket operations: sockets from the RPC socket
// cache, used through the unified socket functions with the family each
// socket was opened on.
#include <atomic>

#include "rpc/call.h"
#include "transport/rpccache.h"

namespace qrd::rpc {

namespace {

// The cache's owner key: one per thread, so that concurrent calls of several
// threads never share a socket (a reply could reach the wrong caller).
uint32_t threadOwnerKey() {
    static std::atomic<uint32_t> next{1};
    thread_local const uint32_t key = next.fetch_add(1);
    return key;
}

QRDSTATUS cacheOpen(const QRD_PORT* dest, CallSocket* out) {
    out->kind = kRpcSocketKind;
    return rpcCacheOpen(dest, threadOwnerKey(), &out->entry, &out->socket, &out->family);
}

QRDSTATUS unifiedSend(const CallSocket& s, QRD_SOCK_REQ* req) {
    return RpcSocketSend(s.family, s.kind, req);
}

QRDSTATUS unifiedReceive(const CallSocket& s, QRD_SOCK_REQ* req) {
    return RpcSocketReceive(s.family, s.kind, req);
}

void cacheRelease(const CallSocket& s) {
    rpcCacheRelease(s.entry);
}
void cacheDestroy(const CallSocket& s) {
    rpcCacheDestroy(s.entry);
}

constexpr SocketTable kDefault{cacheOpen, unifiedSend, unifiedReceive, cacheRelease, cacheDestroy};

} // namespace

const SocketTable& defaultSocketTable() {
    return kDefault;
}

} // namespace qrd::rpc
