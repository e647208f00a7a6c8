#include "peer.h"

#include <cstdlib>
#include <cstring>

#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "qrdapi.h"

namespace nwd {

// The client library's call routine carries the call: one request header,
// its socket cache, refusals and stray datagrams handled as for any client.
uint16_t NativePeerClient::call(const PortRecord& dest, uint16_t procedure,
                                const std::vector<uint8_t>& args, std::vector<uint8_t>& results) {
    const size_t length = qrd::rpcwire::kRequestHeaderSize + args.size();
    auto* request = static_cast<uint8_t*>(std::malloc(length));
    if (!request) return qrd::nm::kNoMemory;
    if (!args.empty())
        std::memcpy(request + qrd::rpcwire::kRequestHeaderSize, args.data(), args.size());
    QRD_PORT port;
    std::memcpy(&port, dest.data(), sizeof port);
    QRD_RPC_CONTROL control{};
    uint8_t* buffer = request; // the call routine takes it and may hand back the reply
    QRDSTATUS st = _CallRemoteDg(&port, procedure, &buffer, &control, uint32_t(length),
                                 int32_t(timeoutTicks_), qrd::rpcwire::kProgramVersion, 0);
    if (st == QRD_OK && buffer)
        results.assign(buffer + control.resultOffset, buffer + control.replyLength);
    std::free(buffer);
    return st;
}

uint16_t NativePeerClient::verifyNonce(const Entry&, const ServerRecord& where, const Nonce& n,
                                       uint32_t workstation, std::string& user) {
    const PortRecord dest =
        qrd::port::native(where.address, qrd::port::kSubnetServer, qrd::nm::kServiceNamewright);
    std::vector<uint8_t> args;
    putNonce(args, n);
    args.resize(args.size() + 4); // the workstation the nonce must have been issued to
    qrd::putBe32(&args[args.size() - 4], workstation);
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
