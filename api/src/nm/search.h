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

} // namespace qrd::nm
