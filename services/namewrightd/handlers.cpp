#include "handlers.h"

#include <ctime>
#include <new>

#include "errortexts.h"
#include "log.h"
#include "names.h"
#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "replies.h"
#include "search.h"
#include "secretkey.h"

namespace nwd {

using namespace qrd::nm;

namespace {

using qrd::rpcwire::kProgramVersion;
constexpr uint16_t kPortRpc = 1, kPortSpp = 2;
// Status when the server that issued a nonce does not answer: the client's
// session start then looks for another server instead of giving up.
constexpr uint16_t kIssuerNotResponding = kIssuerSilent;

HandlerConfig withKey(HandlerConfig c) {
    if (c.secretKey.empty()) c.secretKey = freshSecretKey();
    if (c.nmdaName.empty() && !c.serverName.empty()) {
        c.nmdaName = "NMDA-" + c.serverName;
        if (c.nmdaName.size() > kMaxNameBytes)
            c.nmdaName = "NMDA" + c.serverName.substr(c.serverName.find('@'));
    }
    return c;
}

const char* serviceText(ServiceKind s) {
    return s == ServiceKind::Namewright ? "namewright"
           : s == ServiceKind::Message  ? "message"
                                        : "nmda";
}

} // namespace

bool readNonce(qrd::BeReader& r, Nonce& n) {
    r.bytes(n.opaque.data(), n.opaque.size());
    n.word1 = r.u32();
    n.word2 = r.u32();
    return r.ok();
}

std::vector<uint8_t> refusal(uint16_t code) {
    qrd::BeWriter w;
    qrd::rpcwire::putReplyHeader(w, kRefused);
    w.u16(code);
    return std::move(w.data());
}

PortRecord nativeServerPort(uint32_t address) {
    return qrd::port::native(address, qrd::port::kSubnetServer, 0);
}

PortRecord internetPort(uint32_t address, uint16_t udpPort) {
    return qrd::port::internet(address, udpPort);
}

void putNonce(std::vector<uint8_t>& out, const Nonce& n) {
    size_t at = out.size();
    out.resize(at + kNonceBytes);
    std::copy(n.opaque.begin(), n.opaque.end(), out.begin() + long(at));
    qrd::putBe32(&out[at + 6], n.word1);
    qrd::putBe32(&out[at + 10], n.word2);
}

Handler::Handler(Storage& storage, SessionTable& sessions, PeerClient* peer, HandlerConfig config,
                 Clock clock)
    : storage_(storage), sessions_(sessions), peer_(peer), config_(withKey(std::move(config))),
      clock_(clock ? std::move(clock) : Clock([] { return uint32_t(std::time(nullptr)); })),
      dir_(storage),
      issuer_(storage, serverIdOf(config_.serverName), config_.nonces, config_.secretKey),
      messageRate_(config_.messageRate) {
    // Transfers of a session end with it, also when the table evicts it.
    sessions_.setOnEnd([this](const SessionId& id) { transfers_.dropSession(id); });
}

Handler::~Handler() {
    sessions_.setOnEnd(nullptr);
}

Handler::Reply Handler::handle(Road road, ServiceKind service, const uint8_t* data, size_t size,
                               Source from) {
    if (size < 2) return std::nullopt;
    if (qrd::getBe16(data) != kCall) {
        if (service == ServiceKind::Nmda && data[0] == qrd::nmdawire::kLocateTag)
            return nmdaLocateDatagram(data, size);
        if (looksLikeQuery(data, size)) return search(road, service, data, size);
        return std::nullopt;
    }
    // The message service answers nothing but searches (see dispatch).
    const std::optional<qrd::rpcwire::RequestHeader> head =
        qrd::rpcwire::readRequestHeader(data, size);
    if (!head) return service == ServiceKind::Message ? std::nullopt : Reply(refusal(kBadRequest));
    const uint16_t version = head->version;
    const size_t at = qrd::rpcwire::kRequestHeaderSize;
    Call c{head->procedure, qrd::BeReader(data + at, size - at), from};
    logLine(LogLevel::Debug, "%s road, %s service: procedure %u, %zu bytes",
            road == Road::Native ? "native" : "internet", serviceText(service), c.procedure, size);
    if (version != kProgramVersion)
        return service == ServiceKind::Message ? std::nullopt : Reply(refusal(kUnknownProcedure));
    try {
        Reply r = dispatch(service, c);
        storage_.waitDurable(); // what the reply acknowledges is on disk first
        return r;
    } catch (const StorageError& e) {
        logLine(LogLevel::Error, "procedure %u: %s", c.procedure, e.what());
        return refusal(kStorageFailure);
    } catch (const std::bad_alloc&) {
        logLine(LogLevel::Error, "procedure %u: out of memory", c.procedure);
        return refusal(qrd::nm::kNoMemory);
    }
}

Handler::Reply Handler::search(Road road, ServiceKind service, const uint8_t* data, size_t size) {
    namespace nw = qrd::nmdawire;
    const uint16_t arrivedFor = service == ServiceKind::Namewright ? kServiceNamewright
                                : service == ServiceKind::Message  ? kServiceMessage
                                                                   : nw::kWellKnownPort;
    std::optional<SearchQuery> q = decodeQuery(data, size, arrivedFor, road == Road::Internet);
    if (!q) return std::nullopt;
    // The directory-assistance service is service 35 on the Internet road
    // (well-known port 22 on the native one) at a revision of its own; a
    // locate datagram among the criteria asks for a server by pattern.
    const bool nmda = q->service == nw::kService || q->service == nw::kWellKnownPort;
    const uint32_t revision = nmda ? nw::kServiceRevision : config_.revision;
    if (!wantsAnswer(*q, revision)) return std::nullopt;
    const int slot = q->service == kServiceNamewright ? 0
                     : q->service == kServiceMessage  ? 1
                     : nmda                           ? 2
                                                      : -1;
    if (slot < 0) return std::nullopt;
    const std::optional<PortRecord>& port = config_.answerPorts[int(road)][slot];
    if (!port) return std::nullopt;
    if (nmda) {
        const std::string& c = q->criteria[0];
        std::optional<nw::Locate> ask =
            nw::decodeLocate(reinterpret_cast<const uint8_t*>(c.data()), c.size());
        if (ask && !nmdaPatternMatches(ask->pattern)) return std::nullopt;
    }
    return encodeAnswer(q->service, revision, *port);
}

std::optional<Session> Handler::liveSession(const SessionId& id, Source from) {
    names_.sync(storage_.directoryStamp());
    std::optional<Session> s = sessions_.find(id, from, clock_());
    if (!s || s->userId == 0) return s;
    NameCache::User u = userFacts(s->userId);
    if (u.exists && u.name == s->user && u.epoch == s->epoch) return s;
    logLine(LogLevel::Info, "session of %s ended: %s", latin1ToUtf8(s->user).c_str(),
            u.exists && u.name == s->user ? "the user was logged out"
                                          : "the user is no longer in the directory");
    sessions_.end(id);
    transfers_.dropSession(id);
    return std::nullopt;
}

NameCache::User Handler::userFacts(int64_t userId) {
    if (std::optional<NameCache::User> known = names_.user(userId)) return *known;
    const uint64_t stamp = names_.stamp();
    NameCache::User u;
    std::optional<UserRecord> rec = storage_.user(userId);
    std::optional<Entry> me = rec ? storage_.entry(userId) : std::nullopt;
    if (rec && me && me->kind == Kind::User) u.name = dir_.fullName(userId);
    u.exists = !u.name.empty();
    u.admin = u.exists && rec->admin;
    u.groupId = u.exists ? me->parentId : 0;
    u.epoch = u.exists ? rec->epoch : 0;
    names_.putUser(stamp, userId, u);
    return u;
}

// 111: the revision. The u32 argument carries nothing and is not required.
Handler::Reply Handler::revision(Call&) {
    qrd::BeWriter w = returnWriter();
    w.u32(config_.revision);
    return done(w);
}

// 65: the long revision and a word of further revision data (0).
Handler::Reply Handler::longRevision(Call&) {
    qrd::BeWriter w = returnWriter();
    w.u32(config_.revision);
    w.u32(0);
    return done(w);
}

uint16_t Handler::nonceUser(const Nonce& n, uint32_t from, Session& out) {
    if (n.word1 == 0) return kNonceInvalid;
    if (n.word1 == issuer_.serverId()) {
        std::optional<int64_t> userId = issuer_.admit(n, from, clock_());
        if (!userId) return kNonceInvalid;
        out.user = dir_.fullName(*userId);
        out.userId = *userId;
        out.epoch = userFacts(*userId).epoch;
        return out.user.empty() ? kNonceInvalid : 0;
    }
    std::optional<Entry> server = storage_.findServerById(n.word1);
    std::optional<ServerRecord> where = server ? storage_.server(server->id) : std::nullopt;
    if (!where || !peer_) return kNonceInvalid;
    std::string user;
    uint16_t st = peer_->verifyNonce(*server, *where, n, from, user);
    if (st == kNonceInvalid || st == kStillAsking) return st;
    if (st != 0) {
        logLine(LogLevel::Error, "the issuer of a nonce, %s, did not answer (status %u)",
                latin1ToUtf8(dir_.fullName(server->id)).c_str(), st);
        return kIssuerNotResponding;
    }
    Resolved r = dir_.resolve(user, kNameKindObject);
    out.user = r.status == 0 ? r.canonical : user;
    out.userId = r.status == 0 && r.entry.kind == Kind::User ? r.entry.id : 0;
    out.epoch = out.userId ? userFacts(out.userId).epoch : 0;
    return 0;
}

// 28: a session for the user of a nonce.
Handler::Reply Handler::startSession(Call& c) {
    Nonce n;
    if (!readNonce(c.args, n)) return refusal(kBadRequest);
    Session s;
    names_.sync(storage_.directoryStamp());
    if (uint16_t st = nonceUser(n, c.from.address, s))
        return st == kStillAsking ? Reply() : refusal(st);
    s.source = c.from.address;
    s.nonce = n;
    SessionId id;
    OpenRefusal why{};
    if (!sessions_.open(s, clock_(), id, &why)) {
        logLine(LogLevel::Info, "no session for %s: %s", latin1ToUtf8(s.user).c_str(),
                why == OpenRefusal::Full ? "the table is full" : "no random bytes");
        return refusal(why == OpenRefusal::Full ? kNoMemory : kStorageFailure);
    }
    logLine(LogLevel::Info, "session started for %s", latin1ToUtf8(s.user).c_str());
    qrd::BeWriter w = returnWriter();
    w.bytes(id.data(), id.size());
    return done(w);
}

// 14: ends a session.
Handler::Reply Handler::endSession(Call& c) {
    SessionId id;
    if (!c.args.bytes(id.data(), id.size())) return refusal(kBadRequest);
    if (!sessions_.close(id, c.from, clock_())) return refusal(kUnknownSession);
    transfers_.dropSession(id);
    qrd::BeWriter w = returnWriter();
    return done(w);
}

// 15: the canonical spelling of an organisation, group or object name.
Handler::Reply Handler::formatName(Call& c) {
    uint16_t kind = c.args.u16();
    std::string name;
    if (!readName(c.args, name)) return refusal(kBadRequest);
    if (kind != kNameKindOrg && kind != kNameKindGroup && kind != kNameKindObject)
        return refusal(kBadRequest);
    // A well-formed name of another level is not a group (organisation):
    // the desktop tells group names from user names by this answer.
    std::vector<std::string> parts;
    if (splitName(name, parts)) {
        size_t wanted = kind == kNameKindOrg ? 1 : kind == kNameKindGroup ? 2 : 3;
        if (parts.size() != wanted && kind == kNameKindGroup) return refusal(kNotGroup);
        if (parts.size() != wanted && kind == kNameKindOrg) return refusal(kNotOrganisation);
    }
    Resolved r = dir_.resolve(name, kind);
    if (r.status) return refusal(r.status);
    qrd::BeWriter w = returnWriter();
    w.string(r.canonical);
    return done(w);
}

// 26: the native port of a named server.
Handler::Reply Handler::serverPort(Call& c) {
    std::string name;
    if (!readName(c.args, name)) return refusal(kBadRequest);
    // An empty name followed by a port asks the other way round: the name
    // of the server at that port (the client's QrdGetSvrName).
    if (name.empty()) return serverAtPort(c);
    Resolved r = dir_.resolve(name, kNameKindObject);
    std::optional<ServerRecord> rec;
    if (r.status == 0 && r.entry.kind == Kind::Server) rec = storage_.server(r.entry.id);
    uint32_t address;
    if (rec) {
        address = rec->address;
    } else if (nameKey(name) == nameKey(config_.serverName) && config_.nativeAddress) {
        address = config_.nativeAddress;
    } else {
        return refusal(r.status ? lookupStatus(r.status) : uint16_t(kNoSuchObject));
    }
    qrd::BeWriter w = returnWriter();
    PortRecord p = nativeServerPort(address);
    w.bytes(p.data(), p.size());
    return done(w);
}

Handler::Reply Handler::serverAtPort(Call& c) {
    PortRecord p;
    if (!c.args.bytes(p.data(), p.size())) return refusal(kBadRequest);
    // Native ports carry the address as their network number, Internet
    // ports (a socket address) at bytes 4-7.
    const uint16_t family = uint16_t(p[0] << 8 | p[1]);
    const uint32_t address = family == qrd::port::kFamilyNative
                                 ? qrd::getBe32(&p[qrd::port::kNetworkAt])
                                 : qrd::getBe32(&p[qrd::port::kInetAddressAt]);
    std::string found;
    if (address == config_.nativeAddress) {
        found = config_.serverName;
    } else if (std::optional<Entry> server = storage_.findServerByAddress(address)) {
        found = dir_.fullName(server->id);
    }
    if (found.empty()) return refusal(kNoSuchObject);
    qrd::BeWriter w = returnWriter(2 + found.size() + 1);
    w.string(found);
    return done(w);
}

std::optional<Entry> Handler::serviceEntry(const std::string& name, uint16_t& status) {
    Resolved r = dir_.resolve(name, kNameKindObject);
    if (r.status) {
        status = lookupStatus(r.status);
        return std::nullopt;
    }
    if (r.entry.kind != Kind::Service) {
        status = kNoSuchObject;
        return std::nullopt;
    }
    return r.entry;
}

// 23: sets a service's RPC or SPP port; administrators and the service's
// manager only.
Handler::Reply Handler::setServicePort(Call& c) {
    std::string name;
    readName(c.args, name);
    uint16_t which = c.args.u16();
    PortRecord port;
    c.args.bytes(port.data(), port.size());
    if (!c.args.ok() || (which != kPortRpc && which != kPortSpp)) return refusal(kBadRequest);
    uint16_t st = 0;
    std::optional<Entry> svc = serviceEntry(name, st);
    if (!svc) return refusal(st);
    std::optional<ServiceRecord> rec = storage_.service(svc->id);
    if (!rec) return refusal(kNoSuchObject);
    const int64_t userId = c.session.userId;
    std::optional<UserRecord> caller = userId ? storage_.user(userId) : std::nullopt;
    bool allowed = (caller && caller->admin) || (userId != 0 && rec->managerId == userId);
    if (!allowed) return refusal(kAccessDenied);
    (which == kPortRpc ? rec->rpcPort : rec->sppPort) = port;
    storage_.setService(svc->id, *rec);
    qrd::BeWriter w = returnWriter();
    return done(w);
}

// 24: reads a service's RPC or SPP port (1013 when it was never set).
Handler::Reply Handler::readServicePort(Call& c) {
    std::string name;
    readName(c.args, name);
    uint16_t which = c.args.u16();
    if (!c.args.ok() || (which != kPortRpc && which != kPortSpp)) return refusal(kBadRequest);
    uint16_t st = 0;
    std::optional<Entry> svc = serviceEntry(name, st);
    // This server's directory-assistance service answers for itself when
    // the directory does not list it: its port is where it listens.
    if (!svc && which == kPortRpc && nameKey(name) == nameKey(config_.nmdaName)) {
        for (const auto& road : config_.answerPorts) {
            if (!road[int(ServiceKind::Nmda)]) continue;
            qrd::BeWriter w = returnWriter();
            w.bytes(road[int(ServiceKind::Nmda)]->data(), 16);
            return done(w);
        }
    }
    if (!svc) return refusal(st);
    std::optional<ServiceRecord> rec = storage_.service(svc->id);
    if (!rec) return refusal(kNoSuchObject);
    const std::optional<PortRecord>& port = which == kPortRpc ? rec->rpcPort : rec->sppPort;
    if (!port) return refusal(kNoRecord);
    qrd::BeWriter w = returnWriter();
    w.bytes(port->data(), port->size());
    return done(w);
}

// 255: the text of a status.
Handler::Reply Handler::errorText(Call& c) {
    uint16_t code = c.args.u16();
    if (!c.args.ok()) return refusal(kBadRequest);
    std::string text;
    if (uint16_t st = nwd::errorText(code, text)) return refusal(st);
    qrd::BeWriter w = returnWriter();
    w.string(text);
    return done(w);
}

} // namespace nwd
