// The login exchange of a workstation (procedures 16 and 17) and its logout
// (18). The password never leaves this process: the client proves it knows
// the password, and takes the service's nonce only once the service has
// proved it holds the user's verifier (qrd/scram.h). Whoever else answers
// (a spoofed search answer) learns a proof that is good for that exchange
// only, and the login fails. The login command keeps the result in the
// workstation's global variables.
#include <algorithm>
#include <cstring>

#include "qrd/bytes.h"
#include "qrd/loginwire.h"
#include "qrd/nmproto.h"
#include "qrd/scram.h"
#include "qrdapi.h"
#include "rpc/stub.h"

namespace {

namespace lw = qrd::loginwire;
namespace sc = qrd::scram;

// The exchange's steps wait as long as the retired password check did.
constexpr int32_t kTimeout = 75;

// One call of the exchange: `args` after the header, the results back.
QRDSTATUS call(const QRD_PORT* port, uint16_t procedure, std::vector<uint8_t>& args,
               std::vector<uint8_t>& results) {
    return qrd::rpc::callOpaque(port, qrd::rpc::ProcInfo{procedure, kTimeout, 0}, args, results);
}

QRDSTATUS loginExchange(const QRD_PORT* port, const char* user, const char* password,
                        QRD_NONCE* nonce, char* canonical) {
    lw::StartRequest first;
    first.user = user;
    if (!sc::randomBytes(first.clientNonce.data(), first.clientNonce.size()))
        return QRDERR_NM_NO_MEMORY;
    std::vector<uint8_t> args, results;
    lw::encode(first, args);
    if (QRDSTATUS st = call(port, qrd::nm::kLoginStart, args, results)) return st;
    std::optional<lw::StartReply> challenge = lw::decodeStartReply(results.data(), results.size());
    if (!challenge) return QRDERR_MARSHAL;

    sc::Bytes salted =
        sc::pbkdf2Sha256(password, challenge->salt, challenge->iterations, sc::kKeyBytes);
    if (salted.size() != sc::kKeyBytes) return QRDERR_NM_NO_MEMORY;
    const std::string message =
        sc::authMessage(first.user, sc::Bytes(first.clientNonce.begin(), first.clientNonce.end()),
                        sc::Bytes(challenge->serverNonce.begin(), challenge->serverNonce.end()),
                        challenge->salt, challenge->iterations);
    sc::ClientSide mine = sc::clientSide(salted, message);
    std::fill(salted.begin(), salted.end(), 0);

    lw::FinishRequest second;
    second.exchange = challenge->exchange;
    std::copy(mine.proof.begin(), mine.proof.end(), second.proof.begin());
    args.clear();
    lw::encode(second, args);
    if (QRDSTATUS st = call(port, qrd::nm::kLoginFinish, args, results)) return st;
    std::optional<lw::FinishReply> answer = lw::decodeFinishReply(results.data(), results.size());
    if (!answer) return QRDERR_MARSHAL;
    // Only a service that holds the verifier can sign the exchange.
    if (!sc::constantTimeEqual(mine.serverSignature, sc::Bytes(answer->serverSignature.begin(),
                                                               answer->serverSignature.end())))
        return qrd::nm::kServerUnproven;

    std::memcpy(nonce->opaque, answer->nonce.data(), 6);
    nonce->word1 = qrd::getBe32(answer->nonce.data() + 6);
    nonce->word2 = qrd::getBe32(answer->nonce.data() + 10);
    if (nonce->word1 == 0) return QRDERR_MARSHAL; // a login without a credential
    std::memset(canonical, 0, NMNAMELEN);
    std::memcpy(canonical, answer->canonical.data(), answer->canonical.size());
    return QRD_OK;
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdNmLogin(const QRD_PORT* port, const char* user, const char* password,
                            QRD_NONCE* nonce, char* canonical) {
    if (!port || !user || !password || !nonce || !canonical) return QRDERR_BAD_ARG;
    if (!*user) return QRDERR_NM_BAD_NAME;
    if (std::strlen(user) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (!*password || std::strlen(password) >= qrd::nm::kPasswordCap) return QRDERR_BAD_ARG;
    QRD_NONCE got{};
    char name[NMNAMELEN] = {};
    QRDSTATUS st = loginExchange(port, user, password, &got, name);
    if (st != QRD_OK) return st;
    *nonce = got;
    std::memcpy(canonical, name, NMNAMELEN);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdNmLogout(const QRD_PORT* port, const QRD_NONCE* nonce) {
    if (!port || !nonce) return QRDERR_BAD_ARG;
    if (nonce->word1 == 0) return QRDERR_NM_NOT_LOGGED_IN;
    std::vector<uint8_t> args(14), results;
    std::memcpy(args.data(), nonce->opaque, 6);
    qrd::putBe32(args.data() + 6, nonce->word1);
    qrd::putBe32(args.data() + 10, nonce->word2);
    return call(port, qrd::nm::kLogout, args, results);
}

} // extern "C"
