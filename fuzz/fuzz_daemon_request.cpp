// Feeds arbitrary datagrams to the daemon's request handler, on every road
// and service, against a small directory in an in-memory database.
//
// Input: one mode byte, then the datagram. Mode bit 0 picks the road, bit 1
// the message service, bit 3 the directory-assistance service; with bit 2
// set, bytes 12-15 of the datagram are replaced by the identifier of an open
// session, so that session-bound procedures are reached past their session
// check, and with bit 4 bytes 12-25 by a nonce the peer vouches for, so that
// the directory-assistance queries are reached past theirs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "admin.h"
#include "directory.h"
#include "handlers.h"
#include "log.h"
#include "qrd/bytes.h"
#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "sqlite_storage.h"

using namespace nwd;

namespace {

// Answers for foreign nonces without a network.
class QuietPeer : public PeerClient {
  public:
    uint16_t verifyNonce(const Entry&, const ServerRecord&, const Nonce& n, uint32_t,
                         std::string& user) override {
        if (n.word2 & 1) return 163;
        user = "bob@Sales@Demo";
        return 0;
    }
};

struct World {
    SqliteStorage storage{":memory:"};
    // Guesses never throttle: the fuzzer's wrong identifiers would otherwise
    // shut its one session out and hide the handlers behind it.
    SessionTable sessions{SessionLimits{.capacity = 256, .failures = {1u << 30, 60, 16}}};
    QuietPeer peer;
    std::unique_ptr<Handler> handler;
    SessionId sid{};
    uint8_t nonce[14] = {}; // NW2's, vouched for by the quiet peer

    World() {
        setLogQuiet(true);
        std::ostringstream out;
        AdminContext ctx{storage, out, nullptr, kMinIterations};
        std::istringstream seed(R"(org add Demo
group add Sales@Demo
server add NW1@Sales@Demo 127.0.0.1
server add NW2@Sales@Demo 127.0.0.2
user add alice@Sales@Demo --password a --admin
user add bob@Sales@Demo --password b
group add Far@Demo --server NW2@Sales@Demo
user add carl@Far@Demo --password c
list add Team@Sales@Demo
list add Ring@Sales@Demo
member add Team@Sales@Demo bob@Sales@Demo
member add Team@Sales@Demo Ring@Sales@Demo
member add Ring@Sales@Demo Team@Sales@Demo
member add Ring@Sales@Demo Far@Demo
service add FILES@Sales@Demo --manager bob@Sales@Demo
nickname add ali@Sales@Demo alice@Sales@Demo
profile set Demo Key value
)");
        loadSeed(ctx, seed, "fuzz seed");
        HandlerConfig cfg;
        cfg.serverName = "NW1@Sales@Demo";
        cfg.nativeAddress = 0x7F000001;
        cfg.answerPorts[0][0] = nativeServerPort(0x7F000001);
        cfg.answerPorts[1][0] = internetPort(0x7F000001, 7511);
        cfg.answerPorts[1][1] = internetPort(0x7F000001, 7512);
        cfg.answerPorts[0][2] = nativeServerPort(0x7F000001);
        cfg.answerPorts[1][2] = internetPort(0x7F000001, 7513);
        cfg.nonces.noncesPerUser = 4;
        cfg.messagesPerUser = 4;
        handler = std::make_unique<Handler>(storage, sessions, &peer, cfg);
        // The administrator's session: every write is allowed, so that the
        // writing code is reached.
        Session s;
        s.user = "alice@Sales@Demo";
        s.userId = Directory(storage).resolve(s.user, kNameKindObject).entry.id;
        if (s.userId == 0 || !sessions.open(s, 0, sid)) std::abort();
        Entry nw2 = Directory(storage).resolve("NW2@Sales@Demo", kNameKindObject).entry;
        qrd::putBe32(nonce + 6, storage.server(nw2.id)->serverId);
        qrd::putBe32(nonce + 10, 2);
        storage.addBulkUsers(Directory(storage).resolve("Sales@Demo", kNameKindGroup).entry.id, "p",
                             1, 40);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = new World();
    if (size < 1) return 0;
    uint8_t mode = data[0];
    std::vector<uint8_t> d(data + 1, data + size);
    if ((mode & 4) && d.size() >= 16) std::memcpy(&d[12], world->sid.data(), 4);
    if ((mode & 16) && d.size() >= 26) std::memcpy(&d[12], world->nonce, 14);
    Road road = (mode & 1) ? Road::Internet : Road::Native;
    ServiceKind svc = (mode & 8)   ? ServiceKind::Nmda
                      : (mode & 2) ? ServiceKind::Message
                                   : ServiceKind::Namewright;
    Handler::Reply r = world->handler->handle(road, svc, d.data(), d.size());
    if (!r) return 0;
    // Whatever comes in, what goes out is a well-formed reply or answer.
    if (r->size() < 4) std::abort();
    if (svc == ServiceKind::Nmda && (*r)[0] == qrd::nmdawire::kLocateTag) {
        if (r->size() != qrd::nmdawire::kLocateSize) std::abort();
        return 0;
    }
    uint16_t type = qrd::getBe16(r->data());
    if (type == qrd::nm::kRefused && r->size() != 6) std::abort();
    if (type != qrd::nm::kRefused && type != qrd::nm::kReturn && type != qrd::nm::kAnswerKind)
        std::abort();
    if (type == qrd::nm::kAnswerKind && r->size() != qrd::nm::kAnswerSize) std::abort();
    // The message service answers searches and profile reads only.
    if (svc == ServiceKind::Message && type != qrd::nm::kAnswerKind &&
        (d.size() < 12 || qrd::getBe16(&d[10]) != kProcProfileEntry))
        std::abort();
    return 0;
}
