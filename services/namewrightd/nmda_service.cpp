// The directory-assistance (NMDA) service: locating it and its queries.
// Layouts: qrd/nmdawire.h and docs/protocol.md; the paging: nmda.h.
#include <algorithm>

#include "log.h"
#include "names.h"
#include "nmda.h"
#include "qrd/bytes.h"
#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;
namespace wire = qrd::nmdawire;

namespace {

std::string shortName(const std::string& full) {
    return full.substr(0, full.find('@'));
}

// The head's nonce as the issuer checks it.
Nonce nonceOf(const wire::Nonce& n) {
    Nonce out;
    std::copy(n.bytes.begin(), n.bytes.begin() + 6, out.opaque.begin());
    out.word1 = qrd::getBe32(n.bytes.data() + 6);
    out.word2 = qrd::getBe32(n.bytes.data() + 10);
    return out;
}

} // namespace

uint16_t Handler::nmdaAdmit(const wire::Nonce& nonce, uint32_t from) {
    const Nonce n = nonceOf(nonce);
    const uint32_t now = clock_();
    if (n.word1 != 0 && n.word1 == issuer_.serverId()) {
        std::optional<NonceIssuer::Holder> h = issuer_.check(n, now);
        return h && h->workstation == from ? 0 : uint16_t(kNonceInvalid);
    }
    const NmdaVouched::Key key{nonce.bytes, from};
    if (nmdaVouched_.has(key, now)) return 0;
    Session s;
    names_.sync(storage_.directoryStamp());
    const uint16_t st = nonceUser(n, from, s);
    if (st == 0) nmdaVouched_.put(key, now);
    return st;
}

bool Handler::nmdaPatternMatches(const std::string& pattern) const {
    if (pattern.empty()) return true;
    if (pattern.find('@') != std::string::npos)
        return wire::wildcardMatch(pattern, config_.serverName) ||
               wire::wildcardMatch(pattern, config_.nmdaName);
    return wire::wildcardMatch(pattern, shortName(config_.serverName)) ||
           wire::wildcardMatch(pattern, shortName(config_.nmdaName));
}

// The native road's locate datagram: answered from the service's port when
// the pattern names this server; a closing datagram gets no answer.
Handler::Reply Handler::nmdaLocateDatagram(const uint8_t* data, size_t size) {
    std::optional<wire::Locate> ask = wire::decodeLocate(data, size);
    if (!ask || ask->op != wire::kLocateAsk || !nmdaPatternMatches(ask->pattern))
        return std::nullopt;
    wire::Locate answer;
    answer.op = wire::kLocateAnswer;
    answer.word = wire::kRevision;
    answer.user = config_.nmdaName;
    answer.pattern = shortName(config_.serverName);
    const std::array<uint8_t, wire::kLocateSize> d = wire::encodeLocate(answer);
    return std::vector<uint8_t>(d.begin(), d.end());
}

// 11: the Internet road's locate. Only a logged-in user's nonce is
// answered; a pattern that names another server is refused with 1002.
Handler::Reply Handler::nmdaLocate(Call& c) {
    std::optional<wire::LocateRequest> rq =
        wire::decodeLocateRequest(c.args.here(), c.args.remaining());
    if (!rq) return refusal(kBadRequest);
    if (uint16_t st = nmdaAdmit(rq->nonce, c.from.address))
        return st == kStillAsking ? Reply() : refusal(st);
    if (!nmdaPatternMatches(rq->pattern)) return refusal(kNoSuchObject);
    wire::LocateReply answer;
    answer.word = wire::kRevision;
    answer.serviceName = config_.nmdaName;
    answer.serverShort = shortName(config_.serverName);
    qrd::BeWriter w = returnWriter(96);
    wire::encode(answer, w.data());
    return done(w);
}

// 7: a data query (a page of names) or an attribute query (one attribute
// of one name), for a logged-in user.
Handler::Reply Handler::nmdaQuery(Call& c) {
    const uint8_t* p = c.args.here();
    const size_t n = c.args.remaining();
    const uint16_t kind = wire::queryKind(p, n);
    std::optional<wire::DataRequest> data;
    std::optional<wire::AttrRequest> attr;
    if (kind == wire::kDataQuery) data = wire::decodeDataRequest(p, n);
    if (kind == wire::kAttrQuery) attr = wire::decodeAttrRequest(p, n);
    if (!data && !attr) return refusal(kBadRequest);

    const wire::Nonce& nonce = data ? data->head.nonce : attr->head.nonce;
    if (uint16_t st = nmdaAdmit(nonce, c.from.address))
        return st == kStillAsking ? Reply() : refusal(st);
    if (attr) return nmdaAttr(*attr);

    wire::DataReply page;
    if (uint16_t st = nmdaServe(storage_, nmdaPositions_, *data, page)) return refusal(st);
    qrd::BeWriter w = returnWriter(256 + page.entries.size() * 140);
    wire::encode(page, w.data());
    return done(w);
}

Handler::Reply Handler::nmdaAttr(const wire::AttrRequest& rq) {
    wire::AttrReply out;
    Resolved r = dir_.resolve(rq.name, kNameKindObject);
    if (r.status == 0) {
        out.entries = 1;
        out.name = r.canonical;
        out.position = rq.position;
        const AttrId id{rq.category, rq.number};
        std::optional<AttrSize> size = storage_.attributeSize(r.entry.id, id);
        if (!size || !validAttrType(size->type) || (rq.type && rq.type != size->type)) {
            out.attrStatus = wire::kAttrMissing;
        } else {
            const uint32_t width = attrWidth(size->type);
            const size_t limit = std::min<size_t>(rq.limit, wire::kValueMax) / width * width;
            std::optional<AttrSlice> v =
                storage_.attributeSlice(r.entry.id, id, uint64_t(rq.position) * width, limit);
            out.type = uint16_t(size->type);
            if (v) {
                out.value = std::move(v->bytes);
                out.value.resize(out.value.size() / width * width);
                out.count = uint32_t(out.value.size() / width);
                const uint64_t end = uint64_t(rq.position) * width + out.value.size();
                out.attrStatus = end < v->size ? wire::kAttrTruncated : wire::kAttrNormal;
            }
        }
    }
    qrd::BeWriter w = returnWriter(96 + out.value.size());
    wire::encode(out, w.data());
    return done(w);
}

} // namespace nwd
