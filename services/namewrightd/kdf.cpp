#include "kdf.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/random.h>

namespace nwd {

std::vector<uint8_t> pbkdf2Sha256(const std::string& password, const std::vector<uint8_t>& salt,
                                  uint32_t iterations, size_t length) {
    if (password.size() > INT_MAX || salt.size() > INT_MAX || iterations > INT_MAX ||
        length > INT_MAX)
        return {};
    std::vector<uint8_t> out(length);
    // An empty salt is still passed as a pointer the library may read zero bytes of.
    static const uint8_t kNoSalt = 0;
    if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()),
                          salt.empty() ? &kNoSalt : salt.data(), int(salt.size()), int(iterations),
                          EVP_sha256(), int(length), out.data()) != 1)
        return {};
    return out;
}

bool constantTimeEqual(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return false;
    return a.empty() || CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool randomBytes(void* out, size_t size) {
    auto* p = static_cast<uint8_t*>(out);
    while (size > 0) {
        ssize_t n = getrandom(p, size, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool makePasswordHash(const std::string& password, uint32_t iterations, PasswordHash& out) {
    out.salt.assign(kSaltBytes, 0);
    if (!randomBytes(out.salt.data(), out.salt.size())) return false;
    out.iterations = std::max(iterations, kMinIterations);
    out.hash = pbkdf2Sha256(password, out.salt, out.iterations, kHashBytes);
    return out.hash.size() == kHashBytes;
}

bool verifyPassword(const std::string& password, const PasswordHash& stored) {
    // A record without a usable hash (e.g. damaged) never matches, but still
    // costs one derivation so that it cannot be told apart by timing.
    bool usable = stored.iterations >= kMinIterations && stored.iterations <= kMaxIterations &&
                  stored.hash.size() == kHashBytes;
    uint32_t iterations = usable ? stored.iterations : kMinIterations;
    std::vector<uint8_t> derived = pbkdf2Sha256(password, stored.salt, iterations, kHashBytes);
    return constantTimeEqual(derived, stored.hash) && usable;
}

} // namespace nwd
