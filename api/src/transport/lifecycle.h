// Transport steps of the library's process detach and of QrdDone.
#pragma once

namespace qrd {

// Closes every open socket of the RPC socket cache and clears the cache.
void rpcCacheCloseAll();

} // namespace qrd
