// The procedure table of the daemon and the call its handlers receive.
//
// Every procedure is one row: its number, the service whose socket it
// arrives on, the opening its arguments start with, and its handler. The
// dispatcher performs the opening (reads the session and the object a call
// names and resolves them), so that a handler only validates its own
// arguments, acts and replies. Adding a procedure is one row and one
// handler.
#pragma once

#include <cstdint>

#include "handlers.h"
#include "qrd/bytes.h"

namespace nwd {

// What the arguments of a procedure open with, and what the dispatcher
// resolves before the handler runs. Refusals of the opening: 1068 when the
// arguments are too short, 1017 for an unknown session, the name statuses
// (1001, 1002, ...) and 101 for an object held by another server.
enum class Opening : uint8_t {
    None,              // the handler reads every argument
    Session,           // session id (4 bytes): a live session
    Object,            // session id, name(64), u16 ocl: a live session and its object
    ObjectOnAnyServer, // as Object, but an object of another server is served too
};

// A call: its procedure, a bounded reader over the arguments that follow
// the opening, and what the opening resolved.
struct Handler::Call {
    Call(uint16_t number, qrd::BeReader arguments) : procedure(number), args(arguments) {}

    uint16_t procedure;
    qrd::BeReader args;
    uint32_t source = 0; // the sender's IPv4 address (Source)
    SessionId sid{};     // Session and Object openings
    Session session;     // Session and Object openings
    Entry object;        // Object openings
};

struct Handler::Procedure {
    uint16_t number;
    ServiceKind service;
    Opening opening;
    bool attributes; // served only at a revision that keeps attributes
    Reply (Handler::*handle)(Call&);
};

} // namespace nwd
