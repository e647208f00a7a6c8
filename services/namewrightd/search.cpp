#include "search.h"

#include "qrd/bytes.h"
#include "qrd/nmproto.h"

namespace nwd {

bool looksLikeQuery(const uint8_t* data, size_t size) {
    if (size < 2) return false;
    if (data[0] == 0 && data[1] == kSearchPrefixTag) return true;
    uint16_t first = qrd::getBe16(data);
    return first == qrd::nm::kQueryFindSvc || first == 6;
}

std::optional<SearchQuery> parseQuery(const uint8_t* data, size_t size, uint16_t defaultService,
                                      bool internetRoad) {
    qrd::BeReader r(data, size);
    SearchQuery q;
    q.service = defaultService;
    if (internetRoad && size >= 4 && data[0] == 0 && data[1] == kSearchPrefixTag) {
        r.skip(2);
        q.service = r.u16();
    }
    q.kind = r.u16();
    r.u16(); // 3
    r.u16(); // minRev low half
    r.u16(); // maxRev low half
    r.u16(); // 0
    q.minRevision = r.u32();
    q.maxRevision = r.u32();
    for (std::string& c : q.criteria) {
        uint8_t n = r.u8();
        c.resize(n);
        if (!r.bytes(c.data(), n)) return std::nullopt;
    }
    if (!r.ok()) return std::nullopt;
    return q;
}

bool wantsAnswer(const SearchQuery& q, uint32_t revision) {
    return q.kind == qrd::nm::kQueryFindSvc && q.minRevision <= revision &&
           revision <= q.maxRevision;
}

std::vector<uint8_t> buildAnswer(uint16_t service, uint32_t revision, const PortRecord& port) {
    qrd::BeWriter w;
    w.u16(qrd::nm::kAnswerKind);
    w.u16(service);
    w.u16(uint16_t(revision));
    w.bytes(port.data(), port.size());
    w.u32(revision);
    return std::move(w.data());
}

} // namespace nwd
