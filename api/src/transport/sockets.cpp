// The exported device operations: each fills a control block and an argument
// record and hands them to the comm-stack device (QrdCallSocket).
#include <cstring>
#include <unistd.h>

#include "devrecords.h"
#include "qrdapi.h"

namespace {

QRDSTATUS call(uint16_t op, void* arg, uint32_t thread) {
    QRD_CNTL_BLOCK block{};
    block.op = op;
    block.thread = thread;
    block.arg = arg;
    return QrdCallSocket(&block);
}

// The request's status field is cleared before each call and carries the
// device's status afterwards.
QRDSTATUS callWithRequest(uint16_t op, QRD_SOCK_REQ* req, uint32_t thread) {
    if (!req) return QRDERR_BAD_ARG;
    req->status = 0;
    QRDSTATUS st = call(op, req, thread);
    if (st != QRD_OK && req->status == 0) req->status = st;
    return st;
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdOpenSocketEx(uint32_t* socketOut, uint16_t family, uint16_t type,
                                 uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags,
                                 uint32_t thread) {
    if (!socketOut) return QRDERR_BAD_ARG;
    *socketOut = 0;
    qrd::SockOpenArgs args{};
    args.family = family;
    args.type = type;
    args.portNumber = portNumber;
    args.flags = flags;
    args.socketOut = socketOut;
    args.localPortOut = localPortOut;
    return call(CNTL_SOOPEN, &args, thread);
}

QRDAPI QRDSTATUS QrdOpenSocket(uint32_t* socketOut, uint16_t family, uint16_t type,
                               uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags) {
    return QrdOpenSocketEx(socketOut, family, type, portNumber, localPortOut, flags, 0);
}

QRDAPI QRDSTATUS QrdSocketSendEx(QRD_SOCK_REQ* req, uint32_t thread) {
    return callWithRequest(CNTL_SOSEND, req, thread);
}
QRDAPI QRDSTATUS QrdSocketSend(QRD_SOCK_REQ* req) {
    return QrdSocketSendEx(req, 0);
}

QRDAPI QRDSTATUS QrdSocketReceiveEx(QRD_SOCK_REQ* req, uint32_t thread) {
    return callWithRequest(CNTL_SORECV, req, thread);
}
QRDAPI QRDSTATUS QrdSocketReceive(QRD_SOCK_REQ* req) {
    return QrdSocketReceiveEx(req, 0);
}

QRDAPI QRDSTATUS QrdCloseSocketEx(uint32_t socket, uint32_t thread) {
    // The close record carries 16 bits: a larger value is no handle of ours.
    if (socket > 0xFFFF) return QRDERR_BAD_SOCKET;
    qrd::SockCloseArgs args{uint16_t(socket)};
    return call(CNTL_SOCLOSE, &args, thread);
}
QRDAPI QRDSTATUS QrdCloseSocket(uint32_t socket) {
    return QrdCloseSocketEx(socket, 0);
}

QRDAPI QRDSTATUS QrdSocketWaitEx(uint32_t a, uint16_t b, uint32_t thread) {
    qrd::SockWaitArgs args{};
    args.b = b;
    args.a = a;
    return call(CNTL_SOWAIT, &args, thread);
}
QRDAPI QRDSTATUS QrdSocketWait(uint32_t a, uint16_t b) {
    return QrdSocketWaitEx(a, b, 0);
}

QRDAPI QRDSTATUS QrdSocketNotifyWindow(void* window, uint16_t message) {
    qrd::NotifyWindowArgs args{};
    args.message = message;
    args.window = window;
    return call(CNTL_NOTIFYWND, &args, 0);
}

QRDAPI QRDSTATUS QrdIsDialin(void* out) {
    if (!out) return QRDERR_BAD_ARG;
    return call(CNTL_ISDIALIN, out, 0);
}

QRDAPI QRDSTATUS soioctl(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f) {
    qrd::SoIoctlArgs args{{a, b, c, d, e, f}};
    return call(CNTL_SOIOCTL, &args, 0);
}

QRDAPI QRDSTATUS soconfig(uint32_t code, uint32_t a, uint32_t b) {
    // Changing the stack's service configuration is an administrator's
    // right; on Linux that is running as root.
    if (code == qrd::kSoConfigService && geteuid() != 0) return QRDERR_NO_SCM;
    qrd::SoConfigArgs args{code, a, b};
    return call(CNTL_SOCONFIG, &args, 0);
}

QRDAPI QRDSTATUS QrdCancelSocketRequestEx(QRD_SOCK_REQ* req, uint32_t thread) {
    if (!req) return QRDERR_BAD_ARG;
    return call(CNTL_SOCANCEL, req, thread);
}
QRDAPI QRDSTATUS QrdCancelSocketRequest(QRD_SOCK_REQ* req) {
    return QrdCancelSocketRequestEx(req, 0);
}

QRDAPI QRDSTATUS QrdThreadDoneEx(uint32_t thread) {
    return call(CNTL_THREADDONE, nullptr, thread);
}

QRDAPI QRDSTATUS QrdGetNicAddress(uint8_t* buffer, uint16_t* lengthInOut) {
    if (!lengthInOut || (!buffer && *lengthInOut)) return QRDERR_BAD_ARG;
    qrd::NicAddressArgs args{};
    QRDSTATUS st = call(CNTL_NICADDR, &args, 0);
    if (st != QRD_OK) return st;
    uint16_t actual =
        args.length > qrd::kNicAddressMax ? uint16_t(qrd::kNicAddressMax) : args.length;
    uint16_t n = actual < *lengthInOut ? actual : *lengthInOut;
    if (n) std::memcpy(buffer, args.address, n);
    bool shortBuffer = actual > *lengthInOut;
    *lengthInOut = actual;
    return shortBuffer ? QRDERR_WOULD_BLOCK : QRD_OK;
}

} // extern "C"
