// Attribute calls that the first server refers elsewhere.
//
// A Namewright server that does not hold an object's group answers an
// attribute call with 101. The client then asks that server which server
// holds the group, and repeats the whole call there in a temporary session.
// A server older than revision 53000 keeps no attributes: the call then runs
// over the object's emulation record instead (nm/emulation.h). Only the first
// exchange of a call is referred, and a repeated call is never referred again,
// so two servers that point at each other cannot make a call loop.
#pragma once

#include <cstdint>
#include <functional>

#include "nm/session.h"
#include "qrd/nmproto.h"
#include "qrdapi.h"

namespace qrd::nm {

// The object an attribute call addresses, in the form that goes on the wire.
struct AttrTarget {
    char name[NMNAMELEN]; // converted with the session's to-ASCII table
    uint16_t ocl;
    AttrName attr;
};

// A session as the attribute calls use it. The temporary session of a
// referral is pinned to the server it was started on: when it is lost it is
// restarted there, not on whichever server a search would find (which does
// not hold the object).
struct SessionRef {
    QRD_NM_SESS* sess;
    bool pinned = false;
};

// The per-call wrapper for `s`: callInSession, or for a pinned session the
// same steps with the restart on the session's own port.
QRDSTATUS callOn(uint16_t continuation, const SessionRef& s, const SessionCall& call);

// The whole of one attribute call: `remote` runs it with the Namewright
// procedures on a session (following no referral), `emulated` runs it over
// the emulation record through a session on an old server.
struct ReferredCall {
    std::function<QRDSTATUS(const SessionRef&)> remote;
    std::function<QRDSTATUS(const SessionRef&)> emulated;
};

// The group that holds an object: the last two parts of a three-part name,
// a two-part name itself. A one-part name gives 1001.
QRDSTATUS groupOfName(const char* name, char group[NMNAMELEN]);

// Finds the server of the group of `target.name` through `sess`, starts a
// temporary session there (the session's character set and credential) and
// runs `call` on it; the temporary session is ended before returning.
QRDSTATUS followReferral(QRD_NM_SESS* sess, const AttrTarget& target, const ReferredCall& call);

} // namespace qrd::nm
