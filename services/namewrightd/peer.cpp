#include "peer.h"

#include <chrono>
#include <cstring>

#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "qrdapi.h"

namespace nwd {

namespace {
constexpr size_t kReplyBufferBytes = 1500;
}

uint16_t NativePeerClient::call(const PortRecord& dest, uint16_t procedure,
                                const std::vector<uint8_t>& args, std::vector<uint8_t>& results) {
    qrd::BeWriter w;
    w.u16(qrd::nm::kCall);
    w.u16(0);
    w.u32(0);
    w.u16(1);
    w.u16(procedure);
    w.bytes(args.data(), args.size());

    uint32_t sock = 0;
    QRD_PORT local;
    if (QRDSTATUS st = QrdOpenSocket(&sock, QRD_FAMILY_NATIVE, 1, QRD_PORT_ANY, &local, 0))
        return st;
    QRD_SOCK_REQ req{};
    req.socket = sock;
    req.buffer = w.data().data();
    req.length = uint32_t(w.size());
    req.flags = dest[2] != 0xFF ? QRD_SOCK_DIRECTED : 0;
    std::memcpy(&req.remote, dest.data(), sizeof req.remote);
    req.rpc = 1;
    QRDSTATUS st = QrdSocketSend(&req);
    if (st == 0) st = QRDSTATUS(req.status);

    std::vector<uint8_t> buf(kReplyBufferBytes);
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutTicks_ * 200);
    while (st == 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            st = QRDERR_TIMEOUT;
            break;
        }
        QRD_SOCK_REQ in{};
        in.socket = sock;
        in.buffer = buf.data();
        in.length = uint32_t(buf.size());
        in.timeout = uint32_t(left.count() / 200 + 1);
        st = QrdSocketReceive(&in);
        if (st == 0) st = QRDSTATUS(in.status);
        if (st != 0) break;
        size_t n = in.count <= buf.size() ? in.count : 0;
        if (n < 4) continue;
        uint16_t type = qrd::getBe16(buf.data());
        if (type == qrd::nm::kReturn) {
            results.assign(buf.begin() + 4, buf.begin() + long(n));
            break;
        }
        if (type == qrd::nm::kRefused || type == qrd::nm::kRefused2) {
            st = n >= 6 ? qrd::getBe16(buf.data() + 4) : QRDSTATUS(qrd::nm::kBadRequest);
            break;
        }
        // Anything else is not a reply to this call; keep waiting.
    }
    QrdCloseSocket(sock);
    return st;
}

uint16_t NativePeerClient::verifyNonce(const Entry&, const ServerRecord& where, const Nonce& n,
                                       std::string& user) {
    PortRecord dest = nativeServerPort(where.address);
    qrd::putBe16(&dest[8], qrd::nm::kServiceNamewright);
    std::vector<uint8_t> args;
    putNonce(args, n);
    std::vector<uint8_t> results;
    if (uint16_t st = call(dest, qrd::nm::kVerifyNonce, args, results)) return st;
    qrd::BeReader valid(results.data(), results.size());
    uint16_t isValid = valid.u16();
    if (!valid.ok()) return qrd::nm::kBadRequest;
    if (!isValid) return qrd::nm::kNonceInvalid;
    if (uint16_t st = call(dest, qrd::nm::kNonceOwner, args, results)) return st;
    qrd::BeReader owner(results.data(), results.size());
    if (!owner.string(user, qrd::nm::kNameCap - 1)) return qrd::nm::kBadRequest;
    return 0;
}

} // namespace nwd
