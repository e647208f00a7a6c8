// _CallRemoteDg: one request datagram, one reply datagram.
#include "rpc/call.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "qrd/bytes.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"

// The public header's names for the wire's.
static_assert(QRD_RPC_HEADER == qrd::rpcwire::kRequestHeaderSize);
static_assert(QRD_RPC_CALL == qrd::rpcwire::kCall && QRD_RPC_REFUSED == qrd::rpcwire::kRefused &&
              QRD_RPC_RETURN == qrd::rpcwire::kReturn &&
              QRD_RPC_REFUSED2 == qrd::rpcwire::kRefused2);
static_assert(sizeof(QRD_PORT) == qrd::port::kSize);

namespace qrd::rpc {

namespace {

// Plain process-wide words: atomics, so concurrent calls never tear them.
std::atomic<uint32_t> g_receiveSize{kBaseReceiveSize};
std::atomic<uint16_t> g_traceMask{0};

// Guards g_table: calls copy the table once at their start.
std::mutex g_tableLock;
SocketTable g_table{};
bool g_tableSet = false; // guarded by g_tableLock

SocketTable currentTable() {
    std::lock_guard<std::mutex> lock(g_tableLock);
    return g_tableSet ? g_table : defaultSocketTable();
}

// A reply buffer of `size` bytes; on failure above the base size the base size
// is tried once more (and becomes the process-wide size).
uint8_t* allocateReceive(uint32_t& size) {
    auto* buf = static_cast<uint8_t*>(std::malloc(size));
    if (!buf && size > kBaseReceiveSize) {
        size = kBaseReceiveSize;
        g_receiveSize = kBaseReceiveSize;
        buf = static_cast<uint8_t*>(std::malloc(size));
    }
    return buf;
}

void traceSocketError(const char* what, QRDSTATUS status) {
    if (!(g_traceMask & kTraceSocket)) return;
    std::printf("(_CallRemoteDg) Socket %s failed, status %d\n", what, int(status));
    std::fflush(stdout);
}

} // namespace

SocketTable setSocketTable(const SocketTable& table) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    SocketTable old = g_tableSet ? g_table : defaultSocketTable();
    g_table = table;
    g_tableSet = true;
    return old;
}

uint32_t receiveSize() {
    return g_receiveSize;
}
void setReceiveSize(uint32_t size) {
    g_receiveSize = size;
}
uint16_t traceMask() {
    return g_traceMask;
}

} // namespace qrd::rpc

using namespace qrd::rpc;

extern "C" QRDAPI uint16_t QrdTaskDebug(uint16_t mask) {
    return g_traceMask.exchange(mask);
}

extern "C" QRDAPI QRDSTATUS _CallRemoteDg(const QRD_PORT* port, uint16_t procedure,
                                          uint8_t** requestBuffer, QRD_RPC_CONTROL* control,
                                          uint32_t requestLength, int32_t timeout, uint16_t version,
                                          uint32_t sizeHint) {
    (void)sizeHint; // informational: the receive buffer adapts by itself
    if (!requestBuffer || !*requestBuffer) return QRDERR_BAD_ARG;
    uint8_t* request = *requestBuffer;
    *requestBuffer = nullptr;
    if (!control || requestLength < QRD_RPC_HEADER) {
        std::free(request);
        return QRDERR_BAD_ARG;
    }

    qrd::rpcwire::putRequestHeader(request, version, procedure);
    control->resultOffset = qrd::rpcwire::kReplyHeaderSize;
    control->replyLength = 0;

    QRD_PORT dest;
    if (port)
        dest = *port;
    else
        std::memcpy(&dest, qrd::port::null().data(), sizeof dest);

    const bool trace = traceMask() & kTraceCalls;
    if (trace) {
        std::printf("(_CallRemoteDg) Send %d bytes to %s, proc %d\n", int(requestLength),
                    QrdAddrToStr(&dest), int(procedure));
        std::fflush(stdout);
    }

    const SocketTable table = currentTable();
    QRD_SOCK_REQ req{};
    req.remote = dest;
    req.buffer = request;
    req.length = requestLength;
    req.flags = dest.network[0] != 0xFF ? QRD_SOCK_DIRECTED : 0;
    req.rpc = 1;

    CallSocket sock;
    bool haveSocket = false;
    QRDSTATUS status = QRDERR_BAD_SOCKET;
    for (int attempt = 0; attempt < kMaxSendAttempts; ++attempt) {
        status = table.open(&dest, &sock);
        if (status != QRD_OK) break;
        haveSocket = true;
        req.socket = sock.socket;
        req.status = 0;
        req.count = 0;
        status = table.send(sock, &req);
        if (status == QRD_OK) status = QRDSTATUS(req.status);
        if (status != QRDERR_BAD_SOCKET) break;
        // Destroyed while still ours: released first, the entry could be
        // handed to another caller before it is closed.
        table.destroy(sock);
        haveSocket = false;
    }
    std::free(request);

    if (status != QRD_OK) {
        // Give the socket back: a failed send must not leave it marked in use.
        if (haveSocket) table.release(sock);
        traceSocketError("send", status);
        return status;
    }
    if (timeout < 1) {
        table.release(sock);
        return QRD_OK;
    }

    uint32_t size = g_receiveSize;
    uint8_t* reply = allocateReceive(size);
    if (!reply) {
        table.release(sock);
        return QRDERR_NO_MEMORY;
    }

    for (;;) {
        req.buffer = reply;
        req.length = size;
        req.flags = 0;
        req.timeout = uint32_t(timeout);
        req.count = 0;
        req.status = 0;
        status = table.receive(sock, &req);
        if (status == QRD_OK) status = QRDSTATUS(req.status);

        if (status == QRDERR_TOO_BIG) {
            const uint32_t needed = req.count;
            if (needed <= size || needed > kMaxReceiveSize) {
                // The socket layer contradicts itself; do not chase it.
                table.release(sock);
                std::free(reply);
                return QRDERR_TOO_BIG;
            }
            std::free(reply);
            reply = static_cast<uint8_t*>(std::malloc(needed));
            if (!reply) {
                table.release(sock);
                return QRDERR_NO_MEMORY;
            }
            size = needed;
            g_receiveSize = needed;
            continue;
        }
        if (status != QRD_OK) {
            traceSocketError("receive", status);
            if (status == QRDERR_TIMEOUT || status == QRDERR_ABORTED)
                table.destroy(sock);
            else
                table.release(sock);
            std::free(reply);
            if (trace) {
                std::printf("(_CallRemoteDg) Rcvd %d bytes, status %d\n", 0, int(status));
                std::fflush(stdout);
            }
            return status;
        }

        const uint32_t got = req.count <= size ? req.count : size;
        if (got <= kBaseReceiveSize) g_receiveSize = kBaseReceiveSize;
        if (got < 2) continue; // no message type: not a reply

        const uint16_t type = qrd::getBe16(reply);
        if (type == QRD_RPC_RETURN) {
            table.release(sock);
            control->replyLength = got;
            *requestBuffer = reply;
            status = got < control->resultOffset ? QRDERR_MARSHAL : QRD_OK;
            if (status) {
                std::free(reply);
                *requestBuffer = nullptr;
            }
        } else if (qrd::rpcwire::isRefusal(type)) {
            table.release(sock);
            // A refusal without a code, or with code 0, must not pass for a
            // success without results.
            status = qrd::rpcwire::refusalCode(reply, got);
            if (status == QRD_OK) status = QRDERR_MARSHAL;
            std::free(reply);
        } else {
            continue; // not for us: wait again with a fresh time-out
        }
        if (trace) {
            std::printf("(_CallRemoteDg) Rcvd %d bytes, status %d\n", int(got), int(status));
            std::fflush(stdout);
        }
        return status;
    }
}
