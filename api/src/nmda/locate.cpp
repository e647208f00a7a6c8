// QrdOpenNmdaSocket. Native road: a 98-byte locate datagram broadcast
// (search) or sent to the given port, answered by the service's port; in
// probe mode a closing datagram tells the service that nothing follows.
// Internet road: a search for service 35 carrying the locate datagram as
// its criterion (search), then procedure 11 to the service's port.
#include "nmda/locate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/port.h"
#include "base/sockutil.h"
#include "nm/search.h"
#include "nm/session.h"
#include "nm/socketholder.h"
#include "qrd/bytes.h"
#include "rpc/stub.h"

namespace qrd::nmda {

namespace wire = qrd::nmdawire;

namespace {

constexpr int64_t kMillisPerTick = 200;
constexpr int32_t kLocateTicks = 75;   // procedure 11
constexpr uint16_t kSocketKind = 1;    // datagrams
constexpr size_t kReceiveBuffer = 128; // a locate answer and then some

QRDSTATUS sendTo(nm::SocketHolder& s, const QRD_PORT& dest, const uint8_t* data, size_t n,
                 bool directed) {
    QRD_SOCK_REQ req{};
    req.socket = s.handle;
    req.buffer = const_cast<uint8_t*>(data);
    req.length = uint32_t(n);
    req.remote = dest;
    req.flags = directed ? QRD_SOCK_DIRECTED : 0;
    QRDSTATUS st = RpcSocketSend(s.family, kSocketKind, &req);
    return st != QRD_OK ? st : QRDSTATUS(req.status);
}

QRD_PORT broadcastPort(uint8_t spread) {
    QRD_PORT p{};
    putBe16(p.family, QRD_FAMILY_NATIVE);
    putBe32(p.network, 0xFFFFFFFFu);
    putBe16(p.subnet, 0xFFFF);
    nm::setWellKnownPort(p, wire::kWellKnownPort);
    p.octet10 = 0;
    p.octet11 = spread;
    return p;
}

void copyText(char* out, size_t size, const std::string& text) {
    if (!out) return;
    std::memset(out, 0, size);
    std::memcpy(out, text.data(), std::min(text.size(), size - 1));
}

struct Found {
    QRD_PORT port{};
    uint32_t word = 0;
    std::string serviceName, serverShort;
};

// Native road: the first locate answer within `ticks`; other datagrams
// on the socket are passed over.
QRDSTATUS locateNative(nm::SocketHolder& s, const QRD_PORT& dest, bool search,
                       const wire::Locate& ask, uint32_t ticks, Found& out) {
    const std::array<uint8_t, wire::kLocateSize> request = wire::encodeLocate(ask);
    if (QRDSTATUS st = sendTo(s, dest, request.data(), request.size(), !search)) return st;
    const int64_t deadline = monotonicMillis() + int64_t(ticks) * kMillisPerTick;
    uint8_t buffer[kReceiveBuffer];
    for (;;) {
        const int64_t left = deadline - monotonicMillis();
        if (left <= 0) return QRDERR_TIMEOUT;
        QRD_SOCK_REQ rx{};
        rx.socket = s.handle;
        rx.buffer = buffer;
        rx.length = sizeof buffer;
        rx.timeout = uint32_t((left + kMillisPerTick - 1) / kMillisPerTick);
        QRDSTATUS st = RpcSocketReceive(s.family, kSocketKind, &rx);
        if (st == QRD_OK) st = QRDSTATUS(rx.status);
        if (st == QRDERR_TOO_BIG) continue; // not an answer
        if (st != QRD_OK) return st;
        const size_t got = std::min<size_t>(rx.count, sizeof buffer);
        std::optional<wire::Locate> answer = wire::decodeLocate(buffer, got);
        if (!answer || answer->op != wire::kLocateAnswer) continue;
        out.port = rx.remote;
        out.word = answer->word;
        out.serviceName = answer->user;
        out.serverShort = answer->pattern;
        return QRD_OK;
    }
}

// Internet road: the search (when asked), then procedure 11.
QRDSTATUS locateInternet(const QRD_PORT* given, bool search, const wire::Locate& ask,
                         const QRD_NONCE& nonce, uint8_t spread, uint32_t ticks, Found& out) {
    QRD_PORT port = portOrNull(given);
    if (search) {
        const std::array<uint8_t, wire::kLocateSize> request = wire::encodeLocate(ask);
        nm::SearchQuery q;
        q.service = wire::kService;
        q.flag = 1;
        q.spread = spread;
        q.minRevision = q.maxRevision = wire::kServiceRevision;
        q.criteria[0] = {uint16_t(request.size()), reinterpret_cast<const char*>(request.data())};
        q.broadcasts = 1; // the caller's time-out is the whole search
        q.answerTicks = std::max<uint32_t>(ticks, 1);
        std::vector<nm::SearchAnswer> answers;
        if (QRDSTATUS st = nm::findServices(q, QRD_FAMILY_INET, answers)) return st;
        port = answers.front().port;
    }
    wire::LocateRequest rq;
    rq.nonce = wireNonce(nonce);
    rq.user = ask.user;
    rq.intl = ask.intl;
    rq.pattern = ask.pattern;
    std::vector<uint8_t> args, results;
    wire::encode(rq, args);
    const rpc::ProcInfo info{wire::kProcLocate, kLocateTicks, 0};
    if (QRDSTATUS st = rpc::callOpaque(&port, info, args, results)) return st;
    std::optional<wire::LocateReply> reply =
        wire::decodeLocateReply(results.data(), results.size());
    if (!reply) return QRDERR_MARSHAL;
    out.port = port;
    out.word = reply->word;
    out.serviceName = reply->serviceName;
    out.serverShort = reply->serverShort;
    return QRD_OK;
}

} // namespace

bool nativeInUse() {
    return (QrdGetProtocolAvail() & QRD_PROT_QIP) && QrdGetProtocolPref() == QRD_PROT_QIP;
}

std::array<uint8_t, wire::kIntlSize> intlLocation() {
    std::array<uint8_t, wire::kIntlSize> loc{};
    const char* lang = std::getenv("LC_ALL");
    if (!lang || !*lang) lang = std::getenv("LANG");
    if (!lang || !*lang) lang = "C";
    std::memcpy(loc.data(), lang, std::min(std::strlen(lang), loc.size() - 1));
    return loc;
}

wire::Nonce wireNonce(const QRD_NONCE& n) {
    wire::Nonce out;
    std::memcpy(out.bytes.data(), n.opaque, 6);
    putBe32(out.bytes.data() + 6, n.word1);
    putBe32(out.bytes.data() + 10, n.word2);
    return out;
}

} // namespace qrd::nmda

using namespace qrd::nmda;

extern "C" QRDAPI QRDSTATUS QrdOpenNmdaSocket(QRD_PORT* port, uint16_t search, char* pattern,
                                              char* serviceName, uint32_t timeout, uint8_t spread,
                                              uint32_t* socketOut, uint32_t* word) {
    Found found;
    const bool native =
        nativeInUse() && !(port && !search && qrd::portFamily(*port) == QRD_FAMILY_INET);
    auto fail = [&](QRDSTATUS st) {
        if (port) {
            *port = qrd::nullPort();
            qrd::putBe16(port->word12 + 2, st);
        }
        return st;
    };
    if (!search && !port) return fail(QRDERR_BAD_ARG);

    QRD_NONCE nonce{};
    if (QRDSTATUS st = QrdGetNonce(&nonce)) return fail(st);
    wire::Locate ask;
    ask.op = wire::kLocateAsk;
    ask.intl = intlLocation();
    char user[NMNAMELEN] = {};
    if (QrdGetUserName(user) != QRD_OK || !user[0]) return fail(QRDERR_NM_NO_USER_NAME);
    ask.user = user;
    if (pattern) ask.pattern.assign(pattern, strnlen(pattern, QRD_NMDA_PATTERN_LEN));

    qrd::nm::SocketHolder s;
    s.family = native ? QRD_FAMILY_NATIVE : QRD_FAMILY_INET;
    QRD_PORT local;
    QRDSTATUS st = RpcOpenSocket(&s.handle, s.family, kSocketKind, QRD_PORT_ANY, &local, 0);
    if (st != QRD_OK) return fail(st);
    s.open = true;
    if (native) {
        const QRD_PORT dest = search ? broadcastPort(spread) : *port;
        st = locateNative(s, dest, search != 0, ask, timeout, found);
    } else {
        st = locateInternet(port, search != 0, ask, nonce, spread, timeout, found);
    }
    if (st != QRD_OK) return fail(st);

    if (port) *port = found.port;
    if (word) *word = found.word;
    copyText(pattern, QRD_NMDA_PATTERN_LEN, found.serverShort);
    copyText(serviceName, NMNAMELEN, found.serviceName);
    if (socketOut) {
        *socketOut = s.release();
    } else if (native) {
        wire::Locate bye = ask;
        bye.op = wire::kLocateClose;
        const std::array<uint8_t, wire::kLocateSize> d = wire::encodeLocate(bye);
        sendTo(s, found.port, d.data(), d.size(), true); // a courtesy: its loss changes nothing
    }
    return QRD_OK;
}
