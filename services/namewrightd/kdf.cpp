#include "kdf.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

#include "qrd/bytes.h"

namespace nwd {

namespace {

constexpr uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

class Sha256 {
  public:
    void update(const uint8_t* p, size_t n) {
        total_ += n;
        while (n > 0) {
            size_t take = std::min(n, size_t(64) - used_);
            std::memcpy(block_ + used_, p, take);
            used_ += take;
            p += take;
            n -= take;
            if (used_ == 64) {
                compress(block_);
                used_ = 0;
            }
        }
    }
    Sha256Digest finish() {
        uint64_t bits = total_ * 8;
        uint8_t pad = 0x80;
        update(&pad, 1);
        uint8_t zero = 0;
        while (used_ != 56)
            update(&zero, 1);
        uint8_t len[8];
        qrd::putBe32(len, uint32_t(bits >> 32));
        qrd::putBe32(len + 4, uint32_t(bits));
        update(len, 8);
        Sha256Digest out;
        for (int i = 0; i < 8; ++i)
            qrd::putBe32(&out[i * 4], h_[i]);
        return out;
    }

  private:
    void compress(const uint8_t* b) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = qrd::getBe32(b + i * 4);
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h_[0], bb = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
                 h = h_[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            uint32_t ch = (e & f) ^ (~e & g);
            uint32_t t1 = h + s1 + ch + kK[i] + w[i];
            uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            uint32_t maj = (a & bb) ^ (a & c) ^ (bb & c);
            uint32_t t2 = s0 + maj;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = bb;
            bb = a;
            a = t1 + t2;
        }
        h_[0] += a;
        h_[1] += bb;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
        h_[5] += f;
        h_[6] += g;
        h_[7] += h;
    }

    uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t block_[64];
    size_t used_ = 0;
    uint64_t total_ = 0;
};

// HMAC with the key's inner and outer pads hashed once, so that the many
// rounds of PBKDF2 only copy the prepared states.
class Hmac {
  public:
    Hmac(const uint8_t* key, size_t keySize) {
        uint8_t k[64] = {};
        if (keySize > 64) {
            Sha256Digest d = sha256(key, keySize);
            std::memcpy(k, d.data(), d.size());
        } else if (keySize) {
            std::memcpy(k, key, keySize);
        }
        uint8_t ipad[64], opad[64];
        for (int i = 0; i < 64; ++i) {
            ipad[i] = k[i] ^ 0x36;
            opad[i] = k[i] ^ 0x5c;
        }
        inner_.update(ipad, 64);
        outer_.update(opad, 64);
    }
    Sha256Digest mac(const uint8_t* data, size_t size) const {
        Sha256 in = inner_;
        in.update(data, size);
        Sha256Digest d = in.finish();
        Sha256 out = outer_;
        out.update(d.data(), d.size());
        return out.finish();
    }

  private:
    Sha256 inner_, outer_;
};

} // namespace

Sha256Digest sha256(const uint8_t* data, size_t size) {
    Sha256 s;
    s.update(data, size);
    return s.finish();
}

Sha256Digest hmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t size) {
    return Hmac(key, keySize).mac(data, size);
}

std::vector<uint8_t> pbkdf2Sha256(const std::string& password, const std::vector<uint8_t>& salt,
                                  uint32_t iterations, size_t length) {
    Hmac prf(reinterpret_cast<const uint8_t*>(password.data()), password.size());
    std::vector<uint8_t> out;
    out.reserve(length);
    std::vector<uint8_t> first(salt);
    first.resize(salt.size() + 4);
    for (uint32_t block = 1; out.size() < length; ++block) {
        qrd::putBe32(&first[salt.size()], block);
        Sha256Digest u = prf.mac(first.data(), first.size());
        Sha256Digest t = u;
        for (uint32_t i = 1; i < iterations; ++i) {
            u = prf.mac(u.data(), u.size());
            for (size_t j = 0; j < t.size(); ++j)
                t[j] ^= u[j];
        }
        size_t take = std::min(t.size(), length - out.size());
        out.insert(out.end(), t.begin(), t.begin() + take);
    }
    return out;
}

bool constantTimeEqual(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return false;
    volatile uint8_t diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff = diff | (a[i] ^ b[i]);
    return diff == 0;
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
    return true;
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
