// The login exchange of the Namewright service (procedures 16, 17 and 18):
// layouts of its requests and replies, written and read by the client
// library and the daemon. docs/protocol.md describes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrd::loginwire {

constexpr size_t kNonceBytes = 24; // each side's random part of the exchange
constexpr size_t kProofBytes = 32; // proofs and signatures (SHA-256)
constexpr size_t kMinSalt = 8, kMaxSalt = 64;
// A count outside these is refused by both sides: a client will not spend
// minutes on a count a server made up, a server stores none that small.
constexpr uint32_t kMinIterations = 1000, kMaxIterations = 5000000;

using Random = std::array<uint8_t, kNonceBytes>;
using Proof = std::array<uint8_t, kProofBytes>;

// 16 login start: str(64) user, 24 bytes client nonce.
struct StartRequest {
    std::string user; // Latin-1 as typed
    Random clientNonce{};
};
// Reply to 16: u32 exchange, 24 bytes server nonce, u16 n + n bytes salt
// (+ pad), u32 iterations.
struct StartReply {
    uint32_t exchange = 0;
    Random serverNonce{};
    std::vector<uint8_t> salt;
    uint32_t iterations = 0;
};
// 17 login finish: u32 exchange, 32 bytes client proof.
struct FinishRequest {
    uint32_t exchange = 0;
    Proof proof{};
};
// Reply to 17: 32 bytes server signature, the 14-byte login nonce, str(64)
// the canonical user name.
struct FinishReply {
    Proof serverSignature{};
    std::array<uint8_t, 14> nonce{}; // 6 opaque bytes, u32 word1, u32 word2 as they travel
    std::string canonical;           // Latin-1
};

// Encoders append the arguments (or results) to `out`; decoders read the
// bytes after the request or reply header and refuse anything that does not
// fit its field.
void encode(const StartRequest& m, std::vector<uint8_t>& out);
void encode(const StartReply& m, std::vector<uint8_t>& out);
void encode(const FinishRequest& m, std::vector<uint8_t>& out);
void encode(const FinishReply& m, std::vector<uint8_t>& out);
std::optional<StartRequest> decodeStartRequest(const uint8_t* p, size_t n);
std::optional<StartReply> decodeStartReply(const uint8_t* p, size_t n);
std::optional<FinishRequest> decodeFinishRequest(const uint8_t* p, size_t n);
std::optional<FinishReply> decodeFinishReply(const uint8_t* p, size_t n);

} // namespace qrd::loginwire
