#include "kdf.h"

#include <algorithm>

namespace nwd {

bool makePasswordHash(const std::string& password, uint32_t iterations, PasswordHash& out) {
    std::vector<uint8_t> salt(kSaltBytes);
    if (!randomBytes(salt.data(), salt.size())) return false;
    iterations = std::max(iterations, kMinIterations);
    std::vector<uint8_t> salted = pbkdf2Sha256(password, salt, iterations, kHashBytes);
    if (salted.size() != kHashBytes) return false;
    out = qrd::scram::verifierFromSalted(salt, iterations, salted);
    std::fill(salted.begin(), salted.end(), 0);
    return usableVerifier(out);
}

bool usableVerifier(const PasswordHash& v) {
    return v.iterations >= kMinIterations && v.iterations <= kMaxIterations &&
           v.storedKey.size() == kHashBytes && v.serverKey.size() == kHashBytes && !v.salt.empty();
}

bool verifyPassword(const std::string& password, const PasswordHash& stored) {
    const bool usable = usableVerifier(stored);
    const uint32_t iterations = usable ? stored.iterations : kMinIterations;
    std::vector<uint8_t> salted = pbkdf2Sha256(password, stored.salt, iterations, kHashBytes);
    PasswordHash derived = qrd::scram::verifierFromSalted(stored.salt, iterations, salted);
    return constantTimeEqual(derived.storedKey, stored.storedKey) && usable;
}

} // namespace nwd
