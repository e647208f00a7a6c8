// Feeds arbitrary bytes to the login exchange: its decoders (whatever
// decodes encodes back to the same bytes' meaning), and the daemon's
// handlers of procedures 16, 17 and 18 against a small directory, with the
// first step of an exchange already begun so that a finish can reach the
// proof check.
//
// Input: one mode byte, then the arguments. Mode % 3 picks the procedure
// (16, 17, 18); with bit 2 set, the first four argument bytes of a finish
// are replaced by the id of a begun exchange.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>

#include "admin.h"
#include "handlers.h"
#include "log.h"
#include "qrd/bytes.h"
#include "qrd/loginwire.h"
#include "qrd/nmproto.h"
#include "sqlite_storage.h"

using namespace nwd;
namespace lw = qrd::loginwire;

namespace {

struct World {
    SqliteStorage storage{":memory:"};
    SessionTable sessions;
    std::unique_ptr<Handler> handler;
    uint32_t exchange = 0;

    World() {
        setLogQuiet(true);
        std::ostringstream out;
        AdminContext ctx{storage, out, nullptr, kMinIterations};
        std::istringstream seed("org add Demo\ngroup add Sales@Demo\n"
                                "server add NW1@Sales@Demo 127.0.0.1\n"
                                "user add bob@Sales@Demo --password b\n");
        loadSeed(ctx, seed, "fuzz seed");
        HandlerConfig cfg;
        cfg.serverName = "NW1@Sales@Demo";
        handler = std::make_unique<Handler>(storage, sessions, nullptr, cfg);
    }

    std::optional<std::vector<uint8_t>> call(uint16_t procedure, const uint8_t* args, size_t n) {
        qrd::BeWriter w;
        w.u16(0);
        w.u16(0);
        w.u32(0);
        w.u16(1);
        w.u16(procedure);
        w.bytes(args, n);
        return handler->handle(Road::Native, ServiceKind::Namewright, w.data().data(), w.size(),
                               Source{0x7F000001});
    }

    // A begun exchange for bob, its id kept.
    void begin() {
        lw::StartRequest q;
        q.user = "bob@Sales@Demo";
        std::vector<uint8_t> args;
        lw::encode(q, args);
        auto reply = call(qrd::nm::kLoginStart, args.data(), args.size());
        if (reply && reply->size() > 4) {
            auto a = lw::decodeStartReply(reply->data() + 4, reply->size() - 4);
            if (a) exchange = a->exchange;
        }
    }
};

template <class T, class Decode> void roundTrip(const uint8_t* data, size_t size, Decode decode) {
    std::optional<T> m = decode(data, size);
    if (!m) return;
    std::vector<uint8_t> again;
    lw::encode(*m, again);
    if (!decode(again.data(), again.size())) __builtin_trap(); // what decodes must encode
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    roundTrip<lw::StartRequest>(data, size, lw::decodeStartRequest);
    roundTrip<lw::StartReply>(data, size, lw::decodeStartReply);
    roundTrip<lw::FinishRequest>(data, size, lw::decodeFinishRequest);
    roundTrip<lw::FinishReply>(data, size, lw::decodeFinishReply);
    if (size < 1) return 0;

    static World world;
    const uint8_t mode = data[0];
    std::vector<uint8_t> args(data + 1, data + size);
    static const uint16_t kProcedures[] = {qrd::nm::kLoginStart, qrd::nm::kLoginFinish,
                                           qrd::nm::kLogout};
    const uint16_t procedure = kProcedures[mode % 3];
    if (procedure == qrd::nm::kLoginFinish && (mode & 4) && args.size() >= 4) {
        world.begin();
        qrd::putBe32(args.data(), world.exchange);
    }
    auto reply = world.call(procedure, args.data(), args.size());
    if (!reply || reply->size() < 4) __builtin_trap(); // every call is answered
    return 0;
}
