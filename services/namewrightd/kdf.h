// Password hashing for the login exchange: PBKDF2-HMAC-SHA256 (RFC 8018)
// from OpenSSL's libcrypto.
//
// Stored form: a 16-byte random salt, the iteration count and the 32-byte
// derived key. The comparison is constant-time so that the time of a failed
// login does not tell how many bytes matched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nwd {

// Derives `length` bytes from the password and salt; empty when the
// library could not (out of memory).
std::vector<uint8_t> pbkdf2Sha256(const std::string& password, const std::vector<uint8_t>& salt,
                                  uint32_t iterations, size_t length);

// Equal sizes and bytes, in a time that depends only on the sizes.
bool constantTimeEqual(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// Fills `out` from the kernel's random source; false when it is unavailable.
bool randomBytes(void* out, size_t size);

constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
// Default work factor of new password hashes; stored with each hash, so it
// can be raised later without invalidating existing passwords.
constexpr uint32_t kDefaultIterations = 100000;
constexpr uint32_t kMinIterations = 1000;
// A stored count above this is treated as damage (it would stall the daemon).
constexpr uint32_t kMaxIterations = 5000000;

struct PasswordHash {
    std::vector<uint8_t> salt;
    uint32_t iterations = 0;
    std::vector<uint8_t> hash;
};

// A fresh salt and the derived key; false when no random bytes were available.
bool makePasswordHash(const std::string& password, uint32_t iterations, PasswordHash& out);
bool verifyPassword(const std::string& password, const PasswordHash& stored);

} // namespace nwd
