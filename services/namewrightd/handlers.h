// The procedures of the Namewright and message services, independent of
// sockets: one datagram in, at most one reply datagram out.
//
// The procedures are rows of one table (procedures.h): the dispatcher reads
// and resolves the opening a row names (the session, the object), then the
// procedure's handler validates its own arguments (decoded through
// qrd::BeReader; anything that does not fit is refused with 1068), acts and
// replies. Refusals go through one helper. Datagrams that are neither
// calls nor service searches (stray replies, answers, noise) get no reply,
// so that two servers never answer each other in a loop.
//
// Threads: handle() may run on several threads at once. The storage, the
// session table and the transfer table guard themselves; the handler holds
// no other state of its own after construction.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "directory.h"
#include "loginexchange.h"
#include "loginthrottle.h"
#include "namecache.h"
#include "nmda.h"
#include "nonces.h"
#include "qrd/bytes.h"
#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "session.h"
#include "sourcethrottle.h"
#include "storage.h"
#include "transfers.h"

namespace nwd {

enum class Road { Native = 0, Internet = 1 };
enum class ServiceKind { Namewright = 0, Message = 1, Nmda = 2 };
constexpr int kServiceKinds = 3;
enum class Opening : uint8_t;

// What a peer question answers while the issuer's answer is still to come:
// the call gets no reply now, and the client's next copy of it the answer.
constexpr uint16_t kStillAsking = 0xFFFF;

// Asks the server that issued a nonce whether it is valid and whose it is
// (procedures 55 and 58 of that server).
class PeerClient {
  public:
    virtual ~PeerClient() = default;
    // 0 with the owner's Latin-1 name, 1025 when the issuer refuses the
    // nonce (also when it was issued to another workstation than
    // `workstation`, the address that presented it here), a transport status
    // (163 ...) when it did not answer, or kStillAsking.
    virtual uint16_t verifyNonce(const Entry& server, const ServerRecord& where, const Nonce& n,
                                 uint32_t workstation, std::string& user) = 0;
};

using qrd::nm::kAttrRevision; // below it a server keeps no attributes

// Procedure 4 of the message (user) service: a profile entry.
constexpr uint16_t kProcProfileEntry = 4;

// The largest attribute value kept, in bytes; a write beyond it is refused.
constexpr uint64_t kMaxValueBytes = kMaxAttrBytes;
// The largest association record kept, in bytes.
constexpr size_t kMaxRecordBytes = 4096;

struct HandlerConfig {
    std::string serverName;     // canonical Latin-1 full name of this server
    uint32_t revision = 71000;  // answered by 111, 65 and the searches
    uint32_t nativeAddress = 0; // IPv4 of this server on the native road (procedure 26)
    // Ports announced in search answers, [road][service]; unset = not offered.
    std::optional<PortRecord> answerPorts[2][kServiceKinds];
    // The directory-assistance service's full name (Latin-1); "" = the
    // default, "NMDA-<server>@<group>@<organisation>".
    std::string nmdaName;
    NonceLimits nonces;
    size_t messagesPerUser = 100;
    // Messages (one per recipient) an address may store at once, and how
    // many it earns back per minute.
    ThrottleLimits messageRate{64, 60, 4096};
    // The directory's secret key (secretkey.h); empty: a fresh one, so that
    // no nonce outlives the handler.
    std::vector<uint8_t> secretKey;
};

// The names (Latin-1) of a desktop access-rights list value, in order.
std::vector<std::string> accessRightsNames(const std::vector<uint8_t>& value);

// A condition of a write: the attribute holds exactly `bytes` (or a value
// whose SHA-256 they are), or is absent.
struct WriteCondition {
    AttrId attr;
    bool absent = false;
    bool digest = false;
    std::vector<uint8_t> bytes;
};

class Handler {
  public:
    using Reply = std::optional<std::vector<uint8_t>>;
    using Clock = std::function<uint32_t()>; // seconds since 1970

    Handler(Storage& storage, SessionTable& sessions, PeerClient* peer, HandlerConfig config,
            Clock clock = {});
    ~Handler();
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    // One datagram that arrived on the socket of `service` on `road` from
    // `from` (sessions answer only the address that started them).
    Reply handle(Road road, ServiceKind service, const uint8_t* data, size_t size,
                 Source from = {});

    const HandlerConfig& config() const { return config_; }

  private:
    struct Call;
    struct Procedure;
    static const Procedure kProcedures[];
    // The row of a procedure this server serves, or null.
    const Procedure* procedure(ServiceKind service, uint16_t number) const;
    Reply dispatch(ServiceKind service, Call& c);
    // Reads and resolves the opening of a call into `c`: 0, or the status to
    // refuse the call with.
    uint16_t open(Opening opening, Call& c);
    Reply search(Road road, ServiceKind service, const uint8_t* data, size_t size);

    Reply revision(Call& c);
    Reply longRevision(Call& c);
    Reply startSession(Call& c);
    Reply endSession(Call& c);
    Reply formatName(Call& c);
    Reply serverPort(Call& c);
    Reply serverAtPort(Call& c);
    Reply setServicePort(Call& c);
    Reply readServicePort(Call& c);
    // The login exchange and the nonce procedures (login.cpp).
    Reply loginStart(Call& c);
    Reply loginFinish(Call& c);
    Reply logout(Call& c);
    Reply verifyNonce(Call& c);
    Reply nonceOwner(Call& c);
    std::optional<NonceIssuer::Holder> askedNonce(Call& c);
    // What a login of a name that is no user is answered with: a salt
    // made from the name (the same each time), the usual count, and keys
    // nothing matches.
    PasswordHash madeUpVerifier(const std::string& nameKey);
    Reply errorText(Call& c);
    Reply userMessage(Call& c);
    Reply profileEntry(Call& c);

    // Directory assistance (nmda_service.cpp): the locate datagram of the
    // native road, procedure 7 (data and attribute queries) and 11 (locate
    // on the Internet road).
    Reply nmdaLocateDatagram(const uint8_t* data, size_t size);
    Reply nmdaQuery(Call& c);
    Reply nmdaLocate(Call& c);
    Reply nmdaAttr(const qrd::nmdawire::AttrRequest& rq);
    // Whether a query's nonce stands for a logged-in user at `from`: 0,
    // 1025, or kStillAsking while its issuer is asked. Unlike a session
    // start it is not rate-limited (a browser asks once per page).
    uint16_t nmdaAdmit(const qrd::nmdawire::Nonce& nonce, uint32_t from);
    // Whether a locate pattern names this server or its NMDA service.
    bool nmdaPatternMatches(const std::string& pattern) const;

    // Attributes and association records (attrs.cpp).
    Reply readAttr(Call& c);
    Reply writeAttr(Call& c);
    Reply deleteAttr(Call& c);
    Reply attrInfo(Call& c);
    Reply scanAttr(Call& c);
    Reply readAssoc(Call& c);
    Reply writeAssoc(Call& c);

    // Names, lists and membership (lists.cpp).
    Reply listNames(Call& c);
    Reply listMembers(Call& c);
    Reply membership(Call& c);
    // Whether `obj` is `container` or one of its members (a group's users,
    // a list's entries; lists within lists when `nested`).
    bool contains(const Entry& container, const Entry& obj, bool nested);
    // Whether the access-rights list of object `number` of `group` names
    // the user, or a group or list the user is in (recipients.cpp).
    bool isRecipient(int64_t userId, const Entry& group, uint32_t number);

    // The object an attribute or record procedure names (ocl 5: a group,
    // 0: an object), with its referral status; 0 or the status to refuse
    // with. Remembered in names_; called by open() after liveSession() in
    // the same request, whose stamp check it relies on.
    uint16_t target(const std::string& name, uint16_t ocl, NameCache::Target& out);
    // 101 when another server holds the group of `e`, else 0.
    uint16_t referral(const Entry& e);
    // Whether the session's user may change `e` (an attribute `attr` with
    // procedure 42 when `publishing` is allowed; else any of its attributes
    // and records). See docs/namewrightd.md, "Who may write". Called after
    // liveSession() in the same request, whose stamp check it relies on.
    bool mayWrite(const Session& s, const Entry& e, const AttrId* attr, bool publishing);
    // Stores the exchanges of one write in one transaction: 0, or the
    // status to refuse the write with (nothing stored).
    // Stores nothing (kConditionFailed) when a condition does not hold.
    uint16_t storeParts(const Entry& e, AttrId attr, const std::vector<StagedPart>& parts,
                        const std::vector<WriteCondition>& conditions = {});
    bool holds(const Entry& e, const WriteCondition& w);

    // The session `id`, its use time refreshed, while its user is still the
    // entry it was opened for. A session whose user was removed (or renamed)
    // is ended: nullopt, which the procedures answer with 1017, so that the
    // client starts a new session and learns whether its user still exists.
    // Brings names_ up to the directory stamp: once per request.
    std::optional<Session> liveSession(const SessionId& id, Source from);
    // What the write rules and liveSession() know of a user, remembered in
    // names_.
    NameCache::User userFacts(int64_t userId);

    // Resolves a service object for 23/24.
    std::optional<Entry> serviceEntry(const std::string& name, uint16_t& status);
    // The user a nonce presented from `from` stands for, asking its issuer
    // when it is not ours.
    uint16_t nonceUser(const Nonce& n, uint32_t from, Session& out);

    Storage& storage_;
    SessionTable& sessions_;
    PeerClient* peer_;
    HandlerConfig config_;
    Clock clock_;
    Directory dir_;
    NonceIssuer issuer_;
    TransferTable transfers_;
    NameCache names_;
    LoginThrottle logins_;
    SharedThrottle messageRate_;
    LoginExchanges exchanges_;
    NmdaPositionCache nmdaPositions_;
    NmdaVouched nmdaVouched_;
};

// The one helper for refusals: {u16 1, u16 0, u16 code}.
std::vector<uint8_t> refusal(uint16_t code);

// The port of a server on the native road: family 3, the server's IPv4
// address as network number, subnetwork 1 (the server itself), port 0.
PortRecord nativeServerPort(uint32_t address);
// An Internet-road port: the 16-byte socket address (family 2 little-endian,
// UDP port and IPv4 address big-endian, eight zero bytes).
PortRecord internetPort(uint32_t address, uint16_t udpPort);

// Nonces travel as 6 bytes and two big-endian words.
void putNonce(std::vector<uint8_t>& out, const Nonce& n);
bool readNonce(qrd::BeReader& r, Nonce& n);

} // namespace nwd
