// Helpers the procedure handlers share (handlers.cpp, attrs.cpp,
// lists.cpp): the call being handled and the building blocks of replies.
#pragma once

#include <string>
#include <utility>

#include "handlers.h"
#include "procedures.h"
#include "qrd/bytes.h"
#include "qrd/nmproto.h"

namespace nwd {

// The head of a return reply: {u16 2, u16 0}, in a buffer that holds
// `results` bytes of results without growing again.
inline qrd::BeWriter returnWriter(size_t results = 32) {
    qrd::BeWriter w;
    w.data().reserve(qrd::rpcwire::kReplyHeaderSize + results);
    qrd::rpcwire::putReplyHeader(w, qrd::nm::kReturn);
    return w;
}

inline Handler::Reply done(qrd::BeWriter& w) {
    return std::move(w.data());
}

// A name argument: at most 63 bytes.
inline bool readName(qrd::BeReader& r, std::string& out) {
    return r.string(out, qrd::nm::kNameCap - 1);
}

// Statuses other than "bad name" all mean "no such object" to the
// procedures that look up one kind of object.
inline uint16_t lookupStatus(uint16_t resolveStatus) {
    return resolveStatus == qrd::nm::kBadName ? qrd::nm::kBadName : qrd::nm::kNoSuchObject;
}

} // namespace nwd
