// Service search: which datagrams are queries and which queries this server
// answers. The query and answer layouts are qrd/searchwire.h, shared with
// the client library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qrd/searchwire.h"

namespace nwd {

using SearchQuery = qrd::searchwire::Query;
using qrd::searchwire::decodeQuery;
using qrd::searchwire::encodeAnswer;

// Whether a datagram is a query rather than a call: its first u16 is the
// Internet-road prefix or a query kind (calls start with 0).
bool looksLikeQuery(const uint8_t* data, size_t size);

// Whether a server of `revision` answers: a service search (kind 4) whose
// range holds the revision.
bool wantsAnswer(const SearchQuery& q, uint32_t revision);

} // namespace nwd
