// The arithmetic of the login exchange: salted challenge and response with
// SHA-256 (RFC 5802 and RFC 7677), on OpenSSL's libcrypto. The client and the
// daemon compute the same values from this one definition.
//
// The password is the user's Latin-1 bytes as they travel (no further
// normalisation); the user name in the exchange is the name as the client
// typed it, escaped as the RFC asks (',' and '=').
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrd::scram {

using Bytes = std::vector<uint8_t>;

constexpr size_t kKeyBytes = 32; // SHA-256

// PBKDF2-HMAC-SHA256 (RFC 8018), `length` bytes; empty when the library
// could not.
Bytes pbkdf2Sha256(const std::string& password, const Bytes& salt, uint32_t iterations,
                   size_t length);
Bytes hmacSha256(const Bytes& key, const std::string& data);
Bytes sha256(const Bytes& data);
// Equal sizes and bytes, in a time that depends only on the sizes.
bool constantTimeEqual(const Bytes& a, const Bytes& b);
// Fills `out` from the kernel's random source; false when it is unavailable.
bool randomBytes(void* out, size_t size);

// What the service keeps of a password: never enough to log in with.
struct Verifier {
    Bytes salt;
    uint32_t iterations = 0;
    Bytes storedKey; // H(ClientKey)
    Bytes serverKey; // HMAC(SaltedPassword, "Server Key")
};
// The verifier of a salted password (PBKDF2 of the password and salt).
Verifier verifierFromSalted(const Bytes& salt, uint32_t iterations, const Bytes& salted);

// The text both sides sign: client-first-bare, server-first and
// client-final-without-proof joined by ','.
std::string authMessage(const std::string& user, const Bytes& clientNonce, const Bytes& serverNonce,
                        const Bytes& salt, uint32_t iterations);

// Client: the proof that it knows the password, and the signature the
// server must answer with.
struct ClientSide {
    Bytes proof;
    Bytes serverSignature;
};
ClientSide clientSide(const Bytes& salted, const std::string& authMessage);

// Server: whether `proof` shows knowledge of the password behind `v`; the
// signature that proves the server holds `v`.
bool proofValid(const Verifier& v, const std::string& authMessage, const Bytes& proof);
Bytes serverSignature(const Verifier& v, const std::string& authMessage);

} // namespace qrd::scram
