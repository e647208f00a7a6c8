// The handler test fixture: a seeded in-memory directory, a handler with a
// clock of its own, and helpers to log in and start sessions.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "directory.h"
#include "handlers.h"
#include "log.h"
#include "names.h"
#include "nwd_testutil.h"

namespace nwdtest {

using namespace nwd;

constexpr uint32_t kOwnAddress = 0x7F000001;

// Answers for the other server's nonces as the test tells it to.
class FakePeer : public PeerClient {
  public:
    uint16_t status = 0;
    std::string user;
    int calls = 0;
    uint32_t askedAddress = 0;
    uint32_t askedWorkstation = 0;
    uint16_t verifyNonce(const Entry&, const ServerRecord& where, const Nonce&,
                         uint32_t workstation, std::string& out) override {
        askedWorkstation = workstation;
        ++calls;
        askedAddress = where.address;
        out = user;
        return status;
    }
};

// Fails every look-up while `broken` is set, as a damaged disk would.
class BreakableStorage : public SqliteStorage {
  public:
    BreakableStorage() : SqliteStorage(":memory:") {}
    bool broken = false;
    std::optional<Entry> findChild(int64_t parent, const std::string& key) override {
        if (broken) throw StorageError(StorageError::Failure, "disk I/O error");
        return SqliteStorage::findChild(parent, key);
    }
};

class HandlerTest : public ::testing::Test {
  protected:
    HandlerTest() {
        setLogQuiet(true);
        nwdtest::seed(storage);
        makeHandler(71000);
    }

    // A handler (anew) announcing `revision`; sessions stay.
    void makeHandler(uint32_t revision) {
        HandlerConfig cfg;
        cfg.serverName = "NW1@Sales@Demo";
        cfg.revision = revision;
        cfg.nativeAddress = kOwnAddress;
        cfg.answerPorts[0][0] = nativeServerPort(kOwnAddress);
        cfg.answerPorts[1][0] = internetPort(kOwnAddress, 9015);
        cfg.answerPorts[1][1] = internetPort(kOwnAddress, 9019);
        cfg.nonces.noncesPerUser = 4;
        cfg.nonces.nonceLifetime = 3600;
        handler = std::make_unique<Handler>(storage, sessions, &peer, cfg, [this] { return now; });
    }

    Reply call(Call c, Road road = Road::Native) {
        Handler::Reply r = handler->handle(road, ServiceKind::Namewright, c.data().data(),
                                           c.data().size(), Source{source});
        EXPECT_TRUE(r.has_value()) << "a call must be answered";
        return r ? Reply::of(*r) : Reply{};
    }
    // The raw result of any datagram.
    Handler::Reply raw(const std::vector<uint8_t>& d, ServiceKind svc = ServiceKind::Namewright,
                       Road road = Road::Native) {
        return handler->handle(road, svc, d.data(), d.size(), Source{source});
    }

    // The login exchange from `source`: its status (0 on success).
    LoginOutcome tryLogin(const std::string& user, const std::string& pw) {
        return scramLogin([this](Call c) { return call(c); }, user, pw);
    }
    Nonce login(const std::string& user, const std::string& pw, std::string* canonical = nullptr) {
        LoginOutcome o = tryLogin(user, pw);
        EXPECT_EQ(o.status, 0) << "login of " << user << " refused";
        Nonce n;
        if (o.status) return n;
        qrd::BeReader rd(o.nonce.data(), o.nonce.size());
        rd.bytes(n.opaque.data(), 6);
        n.word1 = rd.u32();
        n.word2 = rd.u32();
        if (canonical) *canonical = o.canonical;
        return n;
    }
    static std::vector<uint8_t> nonceBytes(const Nonce& n) {
        std::vector<uint8_t> b;
        putNonce(b, n);
        return b;
    }
    std::vector<uint8_t> startSession(const Nonce& n, uint16_t* refusal = nullptr) {
        Reply r = call(Call(qrd::nm::kStartSession).bytes(nonceBytes(n)));
        if (refusal) *refusal = r.code;
        if (!r.ok()) return {};
        EXPECT_EQ(r.results.size(), 4u);
        return r.results;
    }
    std::vector<uint8_t> sessionOf(const std::string& user, const std::string& pw) {
        return startSession(login(user, pw));
    }
    Reply format(const std::vector<uint8_t>& sid, uint16_t kind, const std::string& name) {
        return call(Call(qrd::nm::kFormatName).bytes(sid).u16(kind).str(name));
    }
    static std::string text(const Reply& r) {
        std::string s;
        qrd::BeReader rd = r.reader();
        rd.string(s, 127);
        return s;
    }

    BreakableStorage storage;
    SessionTable sessions;
    FakePeer peer;
    uint32_t now = 1700000000;
    uint32_t source = kOwnAddress; // where the test's datagrams come from
    std::unique_ptr<Handler> handler;
};

} // namespace nwdtest
