#include "qrd/scram.h"

#include <cerrno>
#include <climits>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>

namespace qrd::scram {

namespace {

Bytes hmac(const Bytes& key, const uint8_t* data, size_t size) {
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int n = 0;
    static const uint8_t kEmpty = 0;
    if (!HMAC(EVP_sha256(), key.empty() ? &kEmpty : key.data(), int(key.size()),
              size ? data : &kEmpty, size, out.data(), &n))
        return {};
    out.resize(n);
    return out;
}

Bytes xorBytes(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return {};
    Bytes out(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        out[i] = uint8_t(a[i] ^ b[i]);
    return out;
}

std::string base64(const Bytes& b) {
    std::string out(4 * ((b.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), b.data(), int(b.size()));
    out.resize(n > 0 ? size_t(n) : 0);
    return out;
}

// ',' and '=' cannot appear bare in a name of the exchange.
std::string saslName(const std::string& user) {
    std::string out;
    for (char c : user) {
        if (c == ',')
            out += "=2C";
        else if (c == '=')
            out += "=3D";
        else
            out += c;
    }
    return out;
}

const std::string kClientKey = "Client Key", kServerKey = "Server Key";

} // namespace

Bytes pbkdf2Sha256(const std::string& password, const Bytes& salt, uint32_t iterations,
                   size_t length) {
    if (password.size() > INT_MAX || salt.size() > INT_MAX || iterations > INT_MAX ||
        length > INT_MAX)
        return {};
    Bytes out(length);
    // An empty salt is still passed as a pointer the library may read zero bytes of.
    static const uint8_t kNoSalt = 0;
    if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()),
                          salt.empty() ? &kNoSalt : salt.data(), int(salt.size()), int(iterations),
                          EVP_sha256(), int(length), out.data()) != 1)
        return {};
    return out;
}

Bytes hmacSha256(const Bytes& key, const std::string& data) {
    return hmac(key, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

Bytes sha256(const Bytes& data) {
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int n = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &n, EVP_sha256(), nullptr) != 1) return {};
    out.resize(n);
    return out;
}

bool constantTimeEqual(const Bytes& a, const Bytes& b) {
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

Verifier verifierFromSalted(const Bytes& salt, uint32_t iterations, const Bytes& salted) {
    Verifier v;
    v.salt = salt;
    v.iterations = iterations;
    v.storedKey = sha256(hmacSha256(salted, kClientKey));
    v.serverKey = hmacSha256(salted, kServerKey);
    return v;
}

std::string authMessage(const std::string& user, const Bytes& clientNonce, const Bytes& serverNonce,
                        const Bytes& salt, uint32_t iterations) {
    const std::string r = base64(clientNonce) + base64(serverNonce);
    return "n=" + saslName(user) + ",r=" + base64(clientNonce) + ",r=" + r + ",s=" + base64(salt) +
           ",i=" + std::to_string(iterations) + ",c=biws,r=" + r;
}

ClientSide clientSide(const Bytes& salted, const std::string& authMessage) {
    const Bytes clientKey = hmacSha256(salted, kClientKey);
    const Bytes storedKey = sha256(clientKey);
    ClientSide c;
    c.proof = xorBytes(clientKey, hmacSha256(storedKey, authMessage));
    c.serverSignature = hmacSha256(hmacSha256(salted, kServerKey), authMessage);
    return c;
}

bool proofValid(const Verifier& v, const std::string& authMessage, const Bytes& proof) {
    if (v.storedKey.size() != kKeyBytes || proof.size() != kKeyBytes) return false;
    const Bytes clientKey = xorBytes(proof, hmacSha256(v.storedKey, authMessage));
    return constantTimeEqual(sha256(clientKey), v.storedKey);
}

Bytes serverSignature(const Verifier& v, const std::string& authMessage) {
    return hmacSha256(v.serverKey, authMessage);
}

} // namespace qrd::scram
