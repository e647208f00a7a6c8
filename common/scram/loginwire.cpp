#include "qrd/loginwire.h"

#include "qrd/bytes.h"
#include "qrd/nmproto.h"

namespace qrd::loginwire {

void encode(const StartRequest& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.string(m.user);
    w.bytes(m.clientNonce.data(), m.clientNonce.size());
    appendTo(out, w);
}

void encode(const StartReply& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.u32(m.exchange);
    w.bytes(m.serverNonce.data(), m.serverNonce.size());
    w.u16(uint16_t(m.salt.size()));
    w.bytes(m.salt.data(), m.salt.size());
    if (m.salt.size() & 1u) w.u8(0);
    w.u32(m.iterations);
    appendTo(out, w);
}

void encode(const FinishRequest& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.u32(m.exchange);
    w.bytes(m.proof.data(), m.proof.size());
    appendTo(out, w);
}

void encode(const FinishReply& m, std::vector<uint8_t>& out) {
    BeWriter w;
    w.bytes(m.serverSignature.data(), m.serverSignature.size());
    w.bytes(m.nonce.data(), m.nonce.size());
    w.string(m.canonical);
    appendTo(out, w);
}

std::optional<StartRequest> decodeStartRequest(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    StartRequest m;
    r.string(m.user, nm::kNameCap - 1);
    r.bytes(m.clientNonce.data(), m.clientNonce.size());
    return decoded(r, std::move(m));
}

std::optional<StartReply> decodeStartReply(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    StartReply m;
    m.exchange = r.u32();
    r.bytes(m.serverNonce.data(), m.serverNonce.size());
    const uint16_t saltLength = r.u16();
    if (r.ok() && (saltLength < kMinSalt || saltLength > kMaxSalt)) r.fail();
    if (r.ok()) {
        m.salt.resize(saltLength);
        r.bytes(m.salt.data(), saltLength);
        if (saltLength & 1u) r.skip(1);
    }
    m.iterations = r.u32();
    if (r.ok() && (m.iterations < kMinIterations || m.iterations > kMaxIterations)) r.fail();
    return decoded(r, std::move(m));
}

std::optional<FinishRequest> decodeFinishRequest(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    FinishRequest m;
    m.exchange = r.u32();
    r.bytes(m.proof.data(), m.proof.size());
    return decoded(r, std::move(m));
}

std::optional<FinishReply> decodeFinishReply(const uint8_t* p, size_t n) {
    BeReader r(p, n);
    FinishReply m;
    r.bytes(m.serverSignature.data(), m.serverSignature.size());
    r.bytes(m.nonce.data(), m.nonce.size());
    r.string(m.canonical, nm::kNameCap - 1);
    return decoded(r, std::move(m));
}

} // namespace qrd::loginwire
