// The general service search behind QrdFindSvc, QrdFindSvcMP and
// QrdEasyFindSvc. Query and answer layouts: docs/protocol.md.
#pragma once

#include <cstdint>
#include <vector>

#include "qrdapi.h"

namespace qrd::nm {

struct SearchCriterion {
    uint16_t length = 0; // cut to 255 on the wire
    const char* text = nullptr;
};

struct SearchQuery {
    uint16_t kind = 4; // 4 from QrdFindSvc
    uint16_t service = 0;
    uint8_t flag = 0;   // byte 10 of the broadcast port
    uint8_t spread = 0; // byte 11 of the broadcast port
    uint32_t minRevision = 0;
    uint32_t maxRevision = 0;
    SearchCriterion criteria[4];
    size_t wanted = 1; // answers to collect
    int broadcasts = 3;
    uint32_t answerTicks = 0; // per broadcast; 0: 15 (20 for kind 6)
};

struct SearchAnswer {
    uint32_t revision;
    QRD_PORT port; // where the answer came from
};

// Sends the query up to three times on a socket of `family` (3 native
// broadcast, 2 the configured Internet search address) and collects answers
// until `wanted` are in or a broadcast's time-out passes with some. 163 when
// three broadcasts got no answer; 173 or any other receive error ends the
// search at once with no answers.
QRDSTATUS findServices(const SearchQuery& query, uint16_t family,
                       std::vector<SearchAnswer>& answers);

// The quick look before the full searches: two broadcasts of 0.6 s each
// (1.2 s in all) on the preferred road, any server of `service` within the
// range. A server that is there answers within milliseconds; the full
// searches (three broadcasts of 3 s each) are run only once something
// answered, to choose among the revisions as the protocol asks. 0 with the
// first answer, or 163 when nothing answered.
constexpr int kProbeBroadcasts = 2;
constexpr uint32_t kProbeTicks = 3;
QRDSTATUS probeService(uint16_t service, uint32_t minRevision, uint32_t maxRevision,
                       SearchAnswer& first);

} // namespace qrd::nm
