// The procedure table and the dispatcher that runs the opening of each call.
#include "procedures.h"

#include <iterator>

#include "qrd/nmproto.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;

namespace {

constexpr ServiceKind kNw = ServiceKind::Namewright, kMsg = ServiceKind::Message;

} // namespace

// clang-format off
const Handler::Procedure Handler::kProcedures[] = {
    // number           service opening                 attributes handler                name
    {kReadAssoc,        kNw,  Opening::ObjectAnyway, false, &Handler::readAssoc,       "read record"},
    {kWriteAssoc,       kNw,  Opening::ObjectAnyway, false, &Handler::writeAssoc,      "write record"},
    {kListNames,        kNw,  Opening::Session,      false, &Handler::listNames,       "list names"},
    {kMembership,       kNw,  Opening::Session,      false, &Handler::membership,      "membership"},
    {kListMembers,      kNw,  Opening::Session,      false, &Handler::listMembers,     "list members"},
    {kLogin,            kNw,  Opening::None,         false, &Handler::login,           "login"},
    {kEndSession,       kNw,  Opening::None,         false, &Handler::endSession,      "end session"},
    {kFormatName,       kNw,  Opening::Session,      false, &Handler::formatName,      "format name"},
    {kSetServicePort,   kNw,  Opening::Session,      false, &Handler::setServicePort,  "set service port"},
    {kReadServicePort,  kNw,  Opening::Session,      false, &Handler::readServicePort, "read service port"},
    {kServerPort,       kNw,  Opening::Session,      false, &Handler::serverPort,      "server port"},
    {kStartSession,     kNw,  Opening::None,         false, &Handler::startSession,    "start session"},
    {kReadAttr,         kNw,  Opening::Object,       true,  &Handler::readAttr,        "read attribute"},
    {kWriteAttr,        kNw,  Opening::Object,       true,  &Handler::writeAttr,       "write attribute"},
    {kDeleteAttr,       kNw,  Opening::Object,       true,  &Handler::deleteAttr,      "delete attribute"},
    {kAttrInfo,         kNw,  Opening::Object,       true,  &Handler::attrInfo,        "attribute info"},
    {kScanAttr,         kNw,  Opening::Object,       true,  &Handler::scanAttr,        "scan attributes"},
    {kVerifyNonce,      kNw,  Opening::None,         false, &Handler::verifyNonce,     "verify nonce"},
    {kNonceOwner,       kNw,  Opening::None,         false, &Handler::nonceOwner,      "nonce owner"},
    {kLongRevision,     kNw,  Opening::None,         false, &Handler::longRevision,    "long revision"},
    {kRevision,         kNw,  Opening::None,         false, &Handler::revision,        "revision"},
    {kErrorText,        kNw,  Opening::None,         false, &Handler::errorText,       "error text"},
    {kProcProfileEntry, kMsg, Opening::None,         false, &Handler::profileEntry,    "profile entry"},
    {kProcUserMessage,  kMsg, Opening::None,         false, &Handler::userMessage,     "user message"},
};
// clang-format on

const Handler::Procedure* Handler::procedure(ServiceKind service, uint16_t number) const {
    for (const Procedure& p : kProcedures) {
        if (p.number != number || p.service != service) continue;
        // An old server does not know the attribute procedures.
        if (p.attributes && config_.revision < kAttrRevision) return nullptr;
        return &p;
    }
    return nullptr;
}

Handler::Reply Handler::dispatch(ServiceKind service, Call& c) {
    const Procedure* p = procedure(service, c.procedure);
    // The message service answers unknown calls with silence: its clients
    // do not wait, and a late reply could be taken for a later call's.
    if (!p) return service == kMsg ? std::nullopt : Reply(refusal(kUnknownProcedure));
    if (uint16_t st = open(p->opening, c)) return refusal(st);
    return (this->*p->handle)(c);
}

uint16_t Handler::open(Opening opening, Call& c) {
    if (opening == Opening::None) return 0;
    if (!c.args.bytes(c.sid.data(), c.sid.size())) return kBadRequest;
    uint16_t ocl = 0;
    if (opening != Opening::Session) {
        readName(c.args, c.name);
        ocl = c.args.u16();
        if (!c.args.ok()) return kBadRequest;
    }
    std::optional<Session> s = liveSession(c.sid);
    if (!s) return kUnknownSession;
    c.session = std::move(*s);
    if (opening == Opening::Session) return 0;
    NameCache::Target obj;
    if (uint16_t st = target(c.name, ocl, obj)) return st;
    if (obj.referral && opening == Opening::Object) return obj.referral;
    c.object = obj.entry;
    return 0;
}

} // namespace nwd
