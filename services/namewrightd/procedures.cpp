// The procedure table and the dispatcher that runs the opening of each call.
#include "procedures.h"

#include <string>

#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;

namespace {

constexpr ServiceKind kNw = ServiceKind::Namewright, kMsg = ServiceKind::Message,
                      kNmda = ServiceKind::Nmda;
constexpr uint16_t kNmdaQuery = qrd::nmdawire::kProcQuery, kNmdaLocate = qrd::nmdawire::kProcLocate;

} // namespace

// clang-format off
const Handler::Procedure Handler::kProcedures[] = {
    // number           service opening                    attributes handler
    {kReadAssoc,        kNw,  Opening::ObjectOnAnyServer, false, &Handler::readAssoc},
    {kWriteAssoc,       kNw,  Opening::ObjectOnAnyServer, false, &Handler::writeAssoc},
    {kListNames,        kNw,  Opening::Session,           false, &Handler::listNames},
    {kMembership,       kNw,  Opening::Session,           false, &Handler::membership},
    {kListMembers,      kNw,  Opening::Session,           false, &Handler::listMembers},
    {kLoginStart,       kNw,  Opening::None,              false, &Handler::loginStart},
    {kLoginFinish,      kNw,  Opening::None,              false, &Handler::loginFinish},
    {kLogout,           kNw,  Opening::None,              false, &Handler::logout},
    {kEndSession,       kNw,  Opening::None,              false, &Handler::endSession},
    {kFormatName,       kNw,  Opening::Session,           false, &Handler::formatName},
    {kSetServicePort,   kNw,  Opening::Session,           false, &Handler::setServicePort},
    {kReadServicePort,  kNw,  Opening::Session,           false, &Handler::readServicePort},
    {kServerPort,       kNw,  Opening::Session,           false, &Handler::serverPort},
    {kStartSession,     kNw,  Opening::None,              false, &Handler::startSession},
    {kReadAttr,         kNw,  Opening::Object,            true,  &Handler::readAttr},
    {kWriteAttr,        kNw,  Opening::Object,            true,  &Handler::writeAttr},
    {kDeleteAttr,       kNw,  Opening::Object,            true,  &Handler::deleteAttr},
    {kAttrInfo,         kNw,  Opening::Object,            true,  &Handler::attrInfo},
    {kScanAttr,         kNw,  Opening::Object,            true,  &Handler::scanAttr},
    {kVerifyNonce,      kNw,  Opening::None,              false, &Handler::verifyNonce},
    {kNonceOwner,       kNw,  Opening::None,              false, &Handler::nonceOwner},
    {kLongRevision,     kNw,  Opening::None,              false, &Handler::longRevision},
    {kRevision,         kNw,  Opening::None,              false, &Handler::revision},
    {kErrorText,        kNw,  Opening::None,              false, &Handler::errorText},
    {kProcProfileEntry, kMsg, Opening::AddressSession,    false, &Handler::profileEntry},
    // Never answered, not even a refusal: the handler finds the sender's
    // session at the datagram's address itself.
    {kProcUserMessage,  kMsg, Opening::None,              false, &Handler::userMessage},
    // Directory assistance: each call carries the user's nonce.
    {kNmdaQuery,        kNmda, Opening::None,             false, &Handler::nmdaQuery},
    {kNmdaLocate,       kNmda, Opening::None,             false, &Handler::nmdaLocate},
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
    if (opening == Opening::AddressSession)
        return sessions_.anyAt(c.from, clock_()) ? 0 : uint16_t(kUnknownSession);
    if (!c.args.bytes(c.sid.data(), c.sid.size())) return kBadRequest;
    std::string name;
    uint16_t ocl = 0;
    if (opening != Opening::Session) {
        readName(c.args, name);
        ocl = c.args.u16();
        if (!c.args.ok()) return kBadRequest;
    }
    std::optional<Session> s = liveSession(c.sid, c.from);
    if (!s) return kUnknownSession;
    c.session = std::move(*s);
    if (opening == Opening::Session) return 0;
    NameCache::Target obj;
    if (uint16_t st = target(name, ocl, obj)) return st;
    if (obj.referral && opening == Opening::Object) return obj.referral;
    c.object = obj.entry;
    return 0;
}

} // namespace nwd
