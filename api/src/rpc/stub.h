// The shape every client stub has: measure and encode the arguments after the
// 12-byte header, call, decode the results from the reply's result offset,
// bounded by the reply's length.
#pragma once

#include <cstdlib>
#include <vector>

#include "qrdapi.h"
#include "rpc/marshal.h"

namespace qrd::rpc {

// Where and how a procedure is called.
struct ProcInfo {
    uint16_t procedure;
    int32_t timeout;   // ticks of 1/5 s; below 1 = do not wait for a reply
    uint32_t sizeHint; // expected reply size, 0 when small
    uint16_t version = 1;
};

// Decodes the results of a reply buffer (header included) with `decode`.
// Returns 0, or 107 when the reply is short or `decode` failed.
template <class Decode>
QRDSTATUS decodeReply(const uint8_t* reply, const QRD_RPC_CONTROL& control, Decode&& decode) {
    if (control.replyLength < control.resultOffset) return QRDERR_MARSHAL;
    uint16_t err = 0;
    Xdr x = decoder(&err, reply + control.resultOffset, control.replyLength - control.resultOffset);
    decode(x);
    return err ? QRDERR_MARSHAL : QRD_OK;
}

// `encode(Xdr&)` marshals the arguments (it runs twice: once to measure, once
// to write); `decode(Xdr&)` unmarshals the results.
template <class Encode, class Decode>
QRDSTATUS runStub(const QRD_PORT* port, const ProcInfo& info, Encode&& encode, Decode&& decode) {
    uint16_t err = 0;
    Xdr measure = measurer(&err);
    encode(measure);
    if (err) return QRDERR_MARSHAL;

    const size_t length = QRD_RPC_HEADER + measure.pos;
    auto* buffer = static_cast<uint8_t*>(std::calloc(1, length));
    if (!buffer) return QRDERR_NO_MEMORY;
    Xdr out = encoder(&err, buffer + QRD_RPC_HEADER, length - QRD_RPC_HEADER);
    encode(out);
    if (err) {
        std::free(buffer);
        return QRDERR_MARSHAL;
    }

    QRD_RPC_CONTROL control{};
    QRDSTATUS status = _CallRemoteDg(port, info.procedure, &buffer, &control, uint32_t(length),
                                     info.timeout, info.version, info.sizeHint);
    if (status != QRD_OK || !buffer) return status; // no reply when not waiting
    status = decodeReply(buffer, control, decode);
    std::free(buffer);
    return status;
}

// For procedures without results.
inline void noResults(Xdr&) {}

// A call whose arguments and results are encoded elsewhere (the layouts of
// common/include/qrd/): `args` after the header, the reply's results back.
inline QRDSTATUS callOpaque(const QRD_PORT* port, const ProcInfo& info,
                            const std::vector<uint8_t>& args, std::vector<uint8_t>& results) {
    return runStub(
        port, info, [&](Xdr& x) { _Opaque(x, const_cast<uint8_t*>(args.data()), args.size()); },
        [&](Xdr& x) {
            results.assign(x.data + x.pos, x.data + x.size);
            x.pos = x.size;
        });
}

} // namespace qrd::rpc
