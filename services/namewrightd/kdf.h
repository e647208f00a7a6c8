// Password verifiers for the login exchange (qrd/scram.h): the salted
// challenge-response keys, derived with PBKDF2-HMAC-SHA256 (RFC 8018) from
// OpenSSL's libcrypto.
//
// Stored form: a 16-byte random salt, the iteration count, StoredKey and
// ServerKey. Neither key logs anybody in: the client proves the password
// against StoredKey, the service proves it holds the verifier with
// ServerKey.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qrd/scram.h"

namespace nwd {

using qrd::scram::constantTimeEqual;
using qrd::scram::pbkdf2Sha256;
using qrd::scram::randomBytes;

constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
// Default work factor of new verifiers; stored with each, so it can be
// raised later without invalidating existing passwords.
constexpr uint32_t kDefaultIterations = 100000;
constexpr uint32_t kMinIterations = 1000;
// A stored count above this is treated as damage (no client would wait).
constexpr uint32_t kMaxIterations = 5000000;

using PasswordHash = qrd::scram::Verifier;

// A fresh salt and the verifier; false when no random bytes were available.
bool makePasswordHash(const std::string& password, uint32_t iterations, PasswordHash& out);
// Whether `password` is the one behind `stored` (costs one derivation; a
// damaged record never matches). For the admin commands and tests; the
// service itself never sees a password.
bool verifyPassword(const std::string& password, const PasswordHash& stored);
// Whether a record can take part in a login (sizes and count in range).
bool usableVerifier(const PasswordHash& v);

} // namespace nwd
