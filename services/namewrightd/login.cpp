// The login exchange (16 start, 17 finish), the logout (18) and the nonce
// checks other servers make (55, 58). The password never travels: the
// client proves it against the stored verifier, and the service proves it
// holds the verifier before the client takes its nonce (qrd/scram.h).
#include "handlers.h"
#include "kdf.h"
#include "log.h"
#include "names.h"
#include "qrd/loginwire.h"
#include "qrd/scram.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;
namespace lw = qrd::loginwire;

namespace {

std::vector<uint8_t> bytesOf(const lw::Random& r) {
    return std::vector<uint8_t>(r.begin(), r.end());
}

} // namespace

PasswordHash Handler::madeUpVerifier(const std::string& nameKey) {
    const std::string tag(1, '\0');
    PasswordHash v;
    v.salt = qrd::scram::hmacSha256(config_.secretKey, "salt" + tag + nameKey);
    v.salt.resize(kSaltBytes);
    v.storedKey = qrd::scram::hmacSha256(config_.secretKey, "stored" + tag + nameKey);
    v.serverKey = qrd::scram::hmacSha256(config_.secretKey, "server" + tag + nameKey);
    return v;
}

// 16: the first step of a login. A name that is no user is answered as a
// user would be (a salt of its own, the usual count), so that the answer
// tells nobody which names exist; its proof then fails as a wrong one.
Handler::Reply Handler::loginStart(Call& c) {
    std::optional<lw::StartRequest> q = lw::decodeStartRequest(c.args.here(), c.args.remaining());
    if (!q) return refusal(kBadRequest);
    Resolved r = dir_.resolve(q->user, kNameKindObject);
    if (r.status == kBadName) return refusal(kBadName);
    std::optional<UserRecord> u;
    if (r.status == 0 && r.entry.kind == Kind::User) u = storage_.user(r.entry.id);
    if (u && !usableVerifier(u->password)) u.reset();

    PendingLogin p;
    p.nameKey = nameKey(u ? r.canonical : q->user);
    p.source = c.from.address;
    const uint32_t now = clock_();
    if (!logins_.allowed(p.nameKey, p.source, now)) {
        logLine(LogLevel::Info,
                "login refused: too many wrong passwords for one name from %u.%u.%u.%u",
                p.source >> 24, (p.source >> 16) & 255, (p.source >> 8) & 255, p.source & 255);
        return refusal(kTooManyAttempts);
    }
    // Both paths ask for the usual count, so that they take the same time.
    uint32_t usual = storage_.commonIterations();
    if (usual < kMinIterations || usual > kMaxIterations) usual = kDefaultIterations;
    if (u) {
        p.userId = r.entry.id;
        p.canonical = r.canonical;
        p.verifier = u->password;
    } else {
        p.verifier = madeUpVerifier(p.nameKey);
        p.verifier.iterations = usual;
    }

    lw::StartReply a;
    if (!randomBytes(a.serverNonce.data(), a.serverNonce.size())) return refusal(kStorageFailure);
    a.salt = p.verifier.salt;
    a.iterations = p.verifier.iterations;
    p.authMessage = qrd::scram::authMessage(q->user, bytesOf(q->clientNonce),
                                            bytesOf(a.serverNonce), a.salt, a.iterations);
    if (!exchanges_.add(std::move(p), now, a.exchange)) return refusal(kStorageFailure);
    qrd::BeWriter w = returnWriter(128);
    lw::encode(a, w.data());
    return done(w);
}

// 17: the proof. An unknown exchange, a name that is no user and a wrong
// password all answer 1020, alike.
Handler::Reply Handler::loginFinish(Call& c) {
    std::optional<lw::FinishRequest> q = lw::decodeFinishRequest(c.args.here(), c.args.remaining());
    if (!q) return refusal(kBadRequest);
    const uint32_t now = clock_();
    std::optional<PendingLogin> p = exchanges_.take(q->exchange, c.from.address, now);
    if (!p) return refusal(kWrongPassword);
    if (!logins_.allowed(p->nameKey, p->source, now)) return refusal(kTooManyAttempts);
    const std::vector<uint8_t> proof(q->proof.begin(), q->proof.end());
    const bool valid = qrd::scram::proofValid(p->verifier, p->authMessage, proof);
    if (!valid || p->userId == 0) {
        logins_.failed(p->nameKey, p->source, now);
        if (p->userId)
            logLine(LogLevel::Info, "wrong password for %s", latin1ToUtf8(p->canonical).c_str());
        else
            logLine(LogLevel::Info, "login of a name that is no user refused");
        return refusal(kWrongPassword);
    }
    logins_.succeeded(p->nameKey, p->source);
    Nonce n;
    if (!issuer_.issue(p->userId, p->source, now, n)) return refusal(kStorageFailure);
    logLine(LogLevel::Info, "login of %s", latin1ToUtf8(p->canonical).c_str());

    lw::FinishReply a;
    const std::vector<uint8_t> signature = qrd::scram::serverSignature(p->verifier, p->authMessage);
    std::copy(signature.begin(), signature.end(), a.serverSignature.begin());
    std::vector<uint8_t> nonce;
    putNonce(nonce, n);
    std::copy(nonce.begin(), nonce.end(), a.nonce.begin());
    a.canonical = p->canonical;
    qrd::BeWriter w = returnWriter(128);
    lw::encode(a, w.data());
    return done(w);
}

// 18: the workstation logs out: its nonce ends here and now.
Handler::Reply Handler::logout(Call& c) {
    Nonce n;
    if (!readNonce(c.args, n)) return refusal(kBadRequest);
    if (!issuer_.revoke(n, clock_())) return refusal(kNonceInvalid);
    qrd::BeWriter w = returnWriter(0);
    return done(w);
}

// The holder of a nonce a server asks about (55, 58), when it is valid and,
// if the server names the workstation that presented it (an optional u32
// after the nonce), issued to that workstation.
std::optional<NonceIssuer::Holder> Handler::askedNonce(Call& c) {
    Nonce n;
    if (!readNonce(c.args, n)) return std::nullopt;
    std::optional<NonceIssuer::Holder> h = issuer_.check(n, clock_());
    if (h && c.args.remaining() >= 4 && c.args.u32() != h->workstation) return std::nullopt;
    return h;
}

// 55: whether this server issued the nonce and still honours it. Only the
// servers of the directory may ask.
Handler::Reply Handler::verifyNonce(Call& c) {
    if (!storage_.isServerAddress(c.from.address)) return refusal(kAccessDenied);
    if (c.args.remaining() < kNonceBytes) return refusal(kBadRequest);
    bool valid = askedNonce(c).has_value();
    qrd::BeWriter w = returnWriter();
    w.u16(valid ? 1 : 0);
    return done(w);
}

// 58: the user of a nonce this server issued; servers of the directory only.
Handler::Reply Handler::nonceOwner(Call& c) {
    if (!storage_.isServerAddress(c.from.address)) return refusal(kAccessDenied);
    if (c.args.remaining() < kNonceBytes) return refusal(kBadRequest);
    std::optional<NonceIssuer::Holder> h = askedNonce(c);
    std::string user = h ? dir_.fullName(h->userId) : std::string();
    if (user.empty()) return refusal(kNonceInvalid);
    qrd::BeWriter w = returnWriter();
    w.string(user);
    return done(w);
}

} // namespace nwd
