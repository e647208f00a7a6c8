#include "search.h"

namespace nwd {

namespace wire = qrd::searchwire;

bool looksLikeQuery(const uint8_t* data, size_t size) {
    if (size < 2) return false;
    if (wire::isPrefixed(data, size)) return true;
    const uint16_t first = qrd::getBe16(data);
    return first == wire::kQueryFindSvc || first == wire::kQueryKind6;
}

bool wantsAnswer(const SearchQuery& q, uint32_t revision) {
    return q.kind == wire::kQueryFindSvc && q.minRevision <= revision && revision <= q.maxRevision;
}

} // namespace nwd
