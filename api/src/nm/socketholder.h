// A socket of the unified RPC sockets (either road) that is closed when its
// holder goes, unless it was handed on.
#pragma once

#include <cstdint>

#include "qrdapi.h"

namespace qrd::nm {

struct SocketHolder {
    uint32_t handle = 0;
    uint16_t family = 0;
    bool open = false;
    SocketHolder() = default;
    SocketHolder(const SocketHolder&) = delete;
    SocketHolder& operator=(const SocketHolder&) = delete;
    ~SocketHolder() {
        if (open) RpcCloseSocket(handle, family);
    }
    // Hands the socket on: the holder no longer closes it.
    uint32_t release() {
        open = false;
        return handle;
    }
};

} // namespace qrd::nm
