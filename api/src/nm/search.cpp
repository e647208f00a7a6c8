// The service search: a query broadcast on the native road (or sent to the
// configured search address on the Internet road), answered by every server
// that offers the service within the asked revision range.
#include <cstring>
#include <vector>

#include "base/port.h"
#include "base/sockutil.h"
#include "nm/search.h"
#include "nm/session.h"
#include "nm/socketholder.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrd/nmproto.h"
#include "qrd/searchwire.h"

namespace qrd::nm {

namespace {

constexpr uint32_t kAnswerTicks = 15;      // per broadcast
constexpr uint32_t kAnswerTicksKind6 = 20; // for query kind 6
constexpr int64_t kMillisPerTick = 200;

// The receive buffer holds any answer; larger datagrams are drained and ignored.
constexpr size_t kAnswerBuffer = 64;

std::vector<uint8_t> buildQuery(const SearchQuery& q, uint16_t family) {
    searchwire::Query wq;
    wq.service = q.service;
    wq.kind = q.kind;
    wq.minRevision = q.minRevision;
    wq.maxRevision = q.maxRevision;
    for (size_t i = 0; i < wq.criteria.size(); ++i)
        if (q.criteria[i].text) wq.criteria[i].assign(q.criteria[i].text, q.criteria[i].length);
    return searchwire::encodeQuery(wq,
                                   family != QRD_FAMILY_NATIVE && q.service != kServiceNamewright);
}

QRD_PORT destinationFor(const SearchQuery& q, uint16_t family) {
    QRD_PORT p;
    if (family == QRD_FAMILY_NATIVE) {
        std::memset(&p, 0, sizeof p);
        putBe16(p.family, QRD_FAMILY_NATIVE);
        putBe32(p.network, 0xFFFFFFFFu);
        putBe16(p.subnet, 0xFFFF);
        setWellKnownPort(p, q.service);
        p.octet10 = q.flag;
        p.octet11 = q.spread;
        return p;
    }
    const CommStackConfig cfg = loadCommStackConfig(loadQordaIni());
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(cfg.searchPort);
    sa.sin_addr.s_addr = htonl(cfg.searchAddress);
    inetPortFromSockaddr(sa, &p);
    return p;
}

// Where the service is. On the native road an answer comes from the service's
// own port. On the Internet road one search socket answers for every service,
// so its source names no service: a 26-byte answer that carries an Internet
// port for the service is taken at its word.
QRD_PORT servicePortOf(const uint8_t* data, size_t size, const QRD_PORT& source, uint16_t family) {
    if (family == QRD_FAMILY_NATIVE || size != kAnswerSize) return source;
    QRD_PORT carried;
    std::memcpy(&carried, data + searchwire::kAnswerPortAt, sizeof carried);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&carried);
    // An Internet socket address: family 2, a port number at 2-3.
    if (portFamily(carried) != QRD_FAMILY_INET || getBe16(bytes + 2) == 0) return source;
    return carried;
}

} // namespace

QRDSTATUS findServices(const SearchQuery& q, uint16_t family, std::vector<SearchAnswer>& out) {
    out.clear();
    SocketHolder s;
    s.family = family;
    QRD_PORT local;
    // Any local port: on the native road the last argument is the socket
    // flags, on the Internet road the port to bind; 0 means none / any.
    QRDSTATUS st = RpcOpenSocket(&s.handle, family, 1, QRD_PORT_ANY, &local, 0);
    if (st != QRD_OK) return st;
    s.open = true;

    std::vector<uint8_t> query = buildQuery(q, family);
    const QRD_PORT dest = destinationFor(q, family);
    const uint32_t ticks = q.answerTicks ? q.answerTicks
                           : q.kind == 6 ? kAnswerTicksKind6
                                         : kAnswerTicks;
    std::vector<uint8_t> buffer(kAnswerBuffer);

    for (int b = 0; b < q.broadcasts && out.empty(); ++b) {
        QRD_SOCK_REQ req{};
        req.socket = s.handle;
        req.buffer = query.data();
        req.length = uint32_t(query.size());
        req.remote = dest;
        st = RpcSocketSend(family, 1, &req);
        if (st == QRD_OK) st = QRDSTATUS(req.status);
        if (st != QRD_OK) return st;

        // One deadline per broadcast: a stream of junk cannot stretch it.
        const int64_t deadline = monotonicMillis() + int64_t(ticks) * kMillisPerTick;
        while (out.size() < q.wanted) {
            const int64_t left = deadline - monotonicMillis();
            if (left <= 0) break;
            QRD_SOCK_REQ rx{};
            rx.socket = s.handle;
            rx.buffer = buffer.data();
            rx.length = uint32_t(buffer.size());
            rx.timeout = uint32_t((left + kMillisPerTick - 1) / kMillisPerTick);
            st = RpcSocketReceive(family, 1, &rx);
            if (st == QRD_OK) st = QRDSTATUS(rx.status);
            if (st == QRDERR_TIMEOUT) break;
            if (st == QRDERR_TOO_BIG) {
                // Not an answer; take it off the socket with a buffer it fits.
                if (rx.count > buffer.size() && rx.count <= 65536) {
                    buffer.resize(rx.count);
                    continue;
                }
                out.clear();
                return st;
            }
            if (st != QRD_OK) {
                out.clear();
                return st;
            }
            const size_t got = std::min<size_t>(rx.count, buffer.size());
            if (std::optional<uint32_t> revision = searchwire::decodeAnswer(buffer.data(), got))
                out.push_back({*revision, servicePortOf(buffer.data(), got, rx.remote, family)});
        }
    }
    return out.empty() ? QRDSTATUS(QRDERR_TIMEOUT) : QRDSTATUS(QRD_OK);
}

namespace {
uint16_t preferredFamily() {
    return QrdGetProtocolPref() == QRD_PROT_IP ? QRD_FAMILY_INET : QRD_FAMILY_NATIVE;
}
} // namespace

QRDSTATUS probeService(uint16_t service, uint32_t minRevision, uint32_t maxRevision,
                       SearchAnswer& first) {
    SearchQuery q;
    q.kind = kQueryFindSvc;
    q.service = service;
    q.minRevision = minRevision;
    q.maxRevision = maxRevision;
    q.broadcasts = kProbeBroadcasts;
    q.answerTicks = kProbeTicks;
    std::vector<SearchAnswer> answers;
    if (QRDSTATUS st = findServices(q, preferredFamily(), answers)) return st;
    first = answers.front();
    return QRD_OK;
}

} // namespace qrd::nm

using namespace qrd::nm;

namespace {

constexpr uint32_t kEasyNewerLow = 50000, kEasyOlderLow = 30000, kEasyHigh = 89999;

QRDSTATUS findOne(uint16_t family, uint16_t service, QRD_PORT* portOut, uint8_t flag,
                  uint8_t spread, uint32_t minRevision, uint32_t maxRevision, uint16_t length1,
                  const char* text1, uint16_t length2, const char* text2, uint16_t length3,
                  const char* text3, uint16_t length4, const char* text4) {
    SearchQuery q;
    q.kind = qrd::nm::kQueryFindSvc;
    q.service = service;
    q.flag = flag;
    q.spread = spread;
    q.minRevision = minRevision;
    q.maxRevision = maxRevision;
    q.criteria[0] = {length1, text1};
    q.criteria[1] = {length2, text2};
    q.criteria[2] = {length3, text3};
    q.criteria[3] = {length4, text4};
    q.wanted = 1;
    std::vector<SearchAnswer> answers;
    QRDSTATUS st = findServices(q, family, answers);
    if (st != QRD_OK) return st;
    if (portOut) *portOut = answers.front().port;
    return QRD_OK;
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdFindSvcMP(uint16_t family, uint16_t service, QRD_PORT* portOut, uint8_t flag,
                              uint8_t spread, uint32_t minRevision, uint32_t maxRevision,
                              uint16_t length1, const char* text1, uint16_t length2,
                              const char* text2, uint16_t length3, const char* text3,
                              uint16_t length4, const char* text4) {
    return findOne(family, service, portOut, flag, spread, minRevision, maxRevision, length1, text1,
                   length2, text2, length3, text3, length4, text4);
}

QRDAPI QRDSTATUS QrdFindSvc(uint16_t service, QRD_PORT* portOut, uint8_t flag, uint8_t spread,
                            uint32_t minRevision, uint32_t maxRevision, uint16_t length1,
                            const char* text1, uint16_t length2, const char* text2,
                            uint16_t length3, const char* text3, uint16_t length4,
                            const char* text4) {
    return findOne(preferredFamily(), service, portOut, flag, spread, minRevision, maxRevision,
                   length1, text1, length2, text2, length3, text3, length4, text4);
}

// Nothing answering the quick look ends the search there (163 after 1.2 s,
// not 18 s). A newer server answering it is what the first search would
// find; only an older one makes the two searches run in full, so that a
// newer server is still preferred.
QRDAPI QRDSTATUS QrdEasyFindSvc(uint16_t service, QRD_PORT* portOut) {
    SearchAnswer first{};
    QRDSTATUS st = probeService(service, kEasyOlderLow, kEasyHigh, first);
    if (st != QRD_OK) return st;
    if (first.revision >= kEasyNewerLow) {
        if (portOut) *portOut = first.port;
        return QRD_OK;
    }
    st = QrdFindSvc(service, portOut, 1, 6, kEasyNewerLow, kEasyHigh, 0, nullptr, 0, nullptr, 0,
                    nullptr, 0, nullptr);
    if (st == QRD_OK || st == QRDERR_ABORTED) return st;
    return QrdFindSvc(service, portOut, 1, 4, kEasyOlderLow, kEasyHigh, 0, nullptr, 0, nullptr, 0,
                      nullptr, 0, nullptr);
}

} // extern "C"
