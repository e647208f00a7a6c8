#include "nonces.h"

#include "kdf.h"
#include "qrd/bytes.h"

namespace nwd {

namespace {
// Seconds from `then` to `now`; a clock that went back counts as no time.
uint32_t elapsed(uint32_t now, uint32_t then) {
    return now >= then ? now - then : 0;
}
constexpr size_t kRateTableMax = 65536;
} // namespace

std::vector<uint8_t> NonceIssuer::mac(const Nonce& n, int64_t userId, uint32_t workstation) const {
    std::string data(n.opaque.begin(), n.opaque.end());
    uint8_t words[20];
    qrd::putBe32(words, n.word1);
    qrd::putBe32(words + 4, n.word2);
    qrd::putBe32(words + 8, uint32_t(uint64_t(userId) >> 32));
    qrd::putBe32(words + 12, uint32_t(userId));
    qrd::putBe32(words + 16, workstation);
    data.append(reinterpret_cast<const char*>(words), sizeof words);
    return qrd::scram::hmacSha256(key_, data);
}

bool NonceIssuer::issue(int64_t userId, uint32_t workstation, uint32_t now, Nonce& out) {
    Nonce n;
    if (!randomBytes(n.opaque.data(), n.opaque.size())) return false;
    n.word1 = serverId_;
    NonceRecord r;
    r.word1 = serverId_;
    r.userId = userId;
    r.issued = now;
    r.workstation = workstation;
    r.mac.assign(kHashBytes, 0); // the serial is part of the hash: known after the insert
    Transaction t(s_);
    r.serial = s_.addNonce(r);
    n.word2 = r.serial;
    s_.setNonceMac(r.serial, mac(n, userId, workstation));
    uint32_t notBefore = now > limits_.nonceLifetime ? now - limits_.nonceLifetime : 0;
    s_.pruneNonces(userId, limits_.noncesPerUser, notBefore);
    t.commit();
    out = n;
    return true;
}

std::optional<NonceIssuer::Holder> NonceIssuer::check(const Nonce& n, uint32_t now) {
    if (n.word1 != serverId_ || n.word1 == 0) return std::nullopt;
    std::optional<NonceRecord> r = s_.findNonce(n.word2);
    if (!r || r->word1 != n.word1) return std::nullopt;
    if (!constantTimeEqual(mac(n, r->userId, r->workstation), r->mac)) return std::nullopt;
    if (elapsed(now, r->issued) > limits_.nonceLifetime) return std::nullopt;
    return Holder{r->userId, r->workstation};
}

std::optional<int64_t> NonceIssuer::admit(const Nonce& n, uint32_t from, uint32_t now) {
    std::optional<Holder> h = check(n, now);
    if (!h || h->workstation != from || !withinRate(n.word2, now)) return std::nullopt;
    return h->userId;
}

bool NonceIssuer::withinRate(uint32_t serial, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    const uint32_t minute = now / 60;
    if (starts_.size() >= kRateTableMax) {
        for (auto it = starts_.begin(); it != starts_.end();)
            it = it->second.minute != minute ? starts_.erase(it) : std::next(it);
    }
    Window& w = starts_[serial];
    if (w.minute != minute) w = Window{minute, 0};
    return ++w.starts <= kStartsPerMinute;
}

bool NonceIssuer::revoke(const Nonce& n, uint32_t now) {
    if (!check(n, now)) return false;
    return s_.removeNonce(n.word2);
}

} // namespace nwd
