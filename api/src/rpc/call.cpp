// _CallRemoteDg: one request datagram, one reply datagram.
#include "rpc/call.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/sockutil.h"
#include "qrd/bytes.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "rpc/roundtrip.h"
#include "transport/replysource.h"

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

// A new call identity: unpredictable, so that nobody who did not see the
// request can answer it, and never 0 in the echoed half (0 is what servers of
// the old form answer with).
// Drawn in batches: one system call per 64 calls instead of one per call.
uint32_t newCallId() {
    constexpr size_t kBatch = 64;
    thread_local uint32_t batch[kBatch];
    thread_local size_t left = 0;
    for (;;) {
        if (left == 0) {
            arc4random_buf(batch, sizeof batch);
            left = kBatch;
        }
        const uint32_t id = batch[--left];
        if (qrd::rpcwire::echoOf(id) != 0) return id;
    }
}

int64_t monotonicMicros() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// One transmission of the request on `sock`: 0 or the send's status.
QRDSTATUS sendRequest(const SocketTable& table, const CallSocket& sock, const QRD_PORT& dest,
                      uint8_t* request, uint32_t length, QRD_SOCK_REQ& req) {
    req = QRD_SOCK_REQ{};
    req.socket = sock.socket;
    req.remote = dest;
    req.buffer = request;
    req.length = length;
    req.flags = dest.network[0] != 0xFF ? QRD_SOCK_DIRECTED : 0;
    req.rpc = 1;
    QRDSTATUS status = table.send(sock, &req);
    return status == QRD_OK ? QRDSTATUS(req.status) : status;
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

    const uint32_t callId = newCallId();
    qrd::rpcwire::putRequestHeader(request, version, procedure, callId);
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
    CallSocket sock;
    bool haveSocket = false;
    QRDSTATUS status = QRDERR_BAD_SOCKET;
    const int64_t sentAt = monotonicMicros();
    for (int attempt = 0; attempt < kMaxSendAttempts; ++attempt) {
        status = table.open(&dest, &sock);
        if (status != QRD_OK) break;
        haveSocket = true;
        status = sendRequest(table, sock, dest, request, requestLength, req);
        if (status != QRDERR_BAD_SOCKET) break;
        // Destroyed while still ours: released first, the entry could be
        // handed to another caller before it is closed.
        table.destroy(sock);
        haveSocket = false;
    }

    if (status != QRD_OK) {
        std::free(request);
        // Give the socket back: a failed send must not leave it marked in use.
        if (haveSocket) table.release(sock);
        traceSocketError("send", status);
        return status;
    }
    if (timeout < 1) {
        std::free(request);
        table.release(sock);
        return QRD_OK;
    }

    uint32_t size = g_receiveSize;
    uint8_t* reply = allocateReceive(size);
    if (!reply) {
        std::free(request);
        table.release(sock);
        return QRDERR_NO_MEMORY;
    }

    // The time-out bounds the whole call; within it the request goes out again
    // at growing intervals. Datagrams that are not the answer change neither.
    const int64_t limit = qrd::ticksToMillis(uint32_t(timeout));
    const int64_t deadline = limit < 0 ? -1 : sentAt / 1000 + limit;
    int64_t interval = firstInterval(dest);
    int64_t nextSend = sentAt / 1000 + interval;
    int64_t lastSentAt = sentAt;
    // The clock is read again only after a wait ended without the answer: a
    // read of it may be a system call, and the usual call needs none.
    int64_t now = sentAt / 1000;
    bool stale = false;

    for (;;) {
        if (stale) now = qrd::monotonicMillis();
        stale = false;
        if (deadline >= 0 && now >= deadline) {
            status = QRDERR_TIMEOUT;
        } else if (now >= nextSend) {
            // A lost request or reply: the same call once more. A failed send
            // is not the end; the receive tells whether the socket still works.
            QRD_SOCK_REQ again{};
            (void)sendRequest(table, sock, dest, request, requestLength, again);
            lastSentAt = monotonicMicros();
            stale = true;
            interval = nextInterval(interval);
            nextSend = now + interval;
            continue;
        } else {
            const int64_t until = deadline >= 0 && deadline < nextSend ? deadline : nextSend;
            req.buffer = reply;
            req.length = size;
            req.flags = 0;
            req.timeout = uint32_t(timeout);
            req.reserved = uint32_t(until - now > 0 ? until - now : 1);
            req.count = 0;
            req.status = 0;
            status = table.receive(sock, &req);
            if (status == QRD_OK) status = QRDSTATUS(req.status);
            if (status == QRDERR_TIMEOUT) {
                stale = true;
                continue; // the interval is up, not the call
            }
        }

        if (status == QRDERR_TOO_BIG) {
            const uint32_t needed = req.count;
            if (needed <= size || needed > kMaxReceiveSize) {
                // The socket layer contradicts itself; do not chase it.
                table.release(sock);
                std::free(reply);
                std::free(request);
                return QRDERR_TOO_BIG;
            }
            std::free(reply);
            reply = static_cast<uint8_t*>(std::malloc(needed));
            if (!reply) {
                table.release(sock);
                std::free(request);
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
            std::free(request);
            if (trace) {
                std::printf("(_CallRemoteDg) Rcvd %d bytes, status %d\n", 0, int(status));
                std::fflush(stdout);
            }
            return status;
        }

        const uint32_t got = req.count <= size ? req.count : size;
        if (got <= kBaseReceiveSize) g_receiveSize = kBaseReceiveSize;
        // Only the answer to this call counts: from the endpoint the request
        // went to, echoing its identity, of a reply type. Anything else (a
        // late answer to an earlier call, a forgery, noise) is dropped.
        if (got < qrd::rpcwire::kReplyHeaderSize ||
            !qrd::replyFromDestination(sock.family, dest, req.remote) ||
            !qrd::rpcwire::echoes(reply, got, callId)) {
            stale = true;
            continue;
        }
        const uint16_t type = qrd::getBe16(reply);
        if (type == QRD_RPC_RETURN) {
            table.release(sock);
            control->replyLength = got;
            *requestBuffer = reply;
            status = QRD_OK;
        } else if (qrd::rpcwire::isRefusal(type)) {
            table.release(sock);
            // A refusal without a code, or with code 0, must not pass for a
            // success without results.
            status = qrd::rpcwire::refusalCode(reply, got);
            if (status == QRD_OK) status = QRDERR_MARSHAL;
            std::free(reply);
        } else {
            stale = true;
            continue; // not a reply type: keep waiting
        }
        // The time since the last send: the round trip itself when the
        // request went once, else a lower bound of it (which transmission was
        // answered is not known). Under steady loss that still measures.
        recordRoundTrip(dest, monotonicMicros() - lastSentAt);
        std::free(request);
        if (trace) {
            std::printf("(_CallRemoteDg) Rcvd %d bytes, status %d\n", int(got), int(status));
            std::fflush(stdout);
        }
        return status;
    }
}
