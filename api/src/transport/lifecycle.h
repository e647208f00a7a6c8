// Transport steps of the library's process detach and of QrdDone.
#pragma once

namespace qrd {

// Closes every open socket of the RPC socket cache and clears the cache.
void rpcCacheCloseAll();

// Closes the comm-stack device (operation 19 for the process, then releases
// its events and sockets); the next device call opens it again.
void commStackClose();

} // namespace qrd
