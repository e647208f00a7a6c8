// The message service under attack: forged senders, floods, calls without a
// session, names that would forge log lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "nwd_fixture.h"
#include "qrd/statuses.h"

namespace nwdtest {
namespace {

constexpr uint32_t kBobsHost = 0x7F000001, kOtherHost = 0x7F000009;

class MessageTest : public HandlerTest {
  protected:
    MessageTest() {
        Directory dir(storage);
        alice = dir.resolve("alice@Sales@Demo", kNameKindObject).entry.id;
    }
    Handler::Reply send(uint32_t address, Call c) {
        return handler->handle(Road::Internet, ServiceKind::Message, c.data().data(),
                               c.data().size(), Source{address});
    }
    Handler::Reply startFrom(uint32_t address, const Nonce& n) {
        Call c(qrd::nm::kStartSession);
        c.bytes(nonceBytes(n));
        return handler->handle(Road::Internet, ServiceKind::Namewright, c.data().data(),
                               c.data().size(), Source{address});
    }
    static Call message(const std::string& sender, const std::vector<std::string>& to,
                        const std::string& text) {
        Call c(qrd::nm::kProcUserMessage);
        c.str(sender).u16(uint16_t(to.size()));
        for (const std::string& r : to)
            c.str(r);
        c.str(text);
        return c;
    }
    int64_t alice = 0;
};

TEST_F(MessageTest, AMessageNeedsTheSendersSessionAtItsAddress) {
    // Nobody has a session: a forged message is dropped.
    EXPECT_FALSE(send(kBobsHost, message("bob@Sales@Demo", {"alice@Sales@Demo"}, "forged")));
    EXPECT_TRUE(storage.messages(alice).empty());
    ASSERT_TRUE(startFrom(kBobsHost, login("bob@Sales@Demo", "bob-pw")));
    // Bob's session does not send for him from another address, nor for
    // another user from his.
    send(kOtherHost, message("bob@Sales@Demo", {"alice@Sales@Demo"}, "from elsewhere"));
    send(kBobsHost, message("jos\xE9@Support@Demo", {"alice@Sales@Demo"}, "not bob"));
    EXPECT_TRUE(storage.messages(alice).empty());
    // Bob himself, in any spelling; the stored sender is his session's name.
    send(kBobsHost, message("BOB@sales@DEMO", {"alice@Sales@Demo"}, "lunch?"));
    std::vector<MessageRecord> got = storage.messages(alice);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sender, "bob@Sales@Demo");
}

// Counts the outermost commits of the storage: what the disk syncs.
class CountingStorage : public SqliteStorage {
  public:
    CountingStorage() : SqliteStorage(":memory:") {}
    int commits = 0;
    void begin() override {
        SqliteStorage::begin();
        ++depth_;
    }
    void commit() override {
        SqliteStorage::commit();
        if (--depth_ == 0) ++commits;
    }
    void rollback() override {
        SqliteStorage::rollback();
        --depth_;
    }

  private:
    int depth_ = 0;
};

TEST(MessageCommits, ADatagramOfSixteenRecipientsIsOneCommit) {
    setLogQuiet(true);
    CountingStorage store;
    nwdtest::seed(store);
    SessionTable table;
    HandlerConfig cfg;
    cfg.serverName = "NW1@Sales@Demo";
    Handler h(store, table, nullptr, cfg, [] { return 1700000000u; });
    Session bob;
    bob.user = "bob@Sales@Demo";
    bob.userId = Directory(store).resolve(bob.user, kNameKindObject).entry.id;
    bob.source = kBobsHost;
    SessionId sid;
    ASSERT_TRUE(table.open(bob, 1700000000u, sid));
    Call c(qrd::nm::kProcUserMessage);
    c.str("bob@Sales@Demo").u16(16);
    for (int i = 0; i < 16; ++i)
        c.str(i % 2 ? "alice@Sales@Demo" : "jos\xE9@Support@Demo");
    c.str("hello");
    const int before = store.commits;
    h.handle(Road::Native, ServiceKind::Message, c.data().data(), c.data().size(),
             Source{kBobsHost});
    EXPECT_EQ(store.commits - before, 1);
    EXPECT_EQ(store.messages(Directory(store).resolve("alice@Sales@Demo", kNameKindObject).entry.id)
                  .size(),
              8u);
}

TEST_F(MessageTest, AFloodOfMessagesIsBoundedPerAddress) {
    ASSERT_TRUE(startFrom(kBobsHost, login("bob@Sales@Demo", "bob-pw")));
    const std::vector<std::string> sixteen(16, "alice@Sales@Demo");
    for (int i = 0; i < 1000; ++i)
        send(kBobsHost, message("bob@Sales@Demo", sixteen, "spam " + std::to_string(i)));
    // 64 at once (four datagrams of 16), whatever was sent.
    const size_t stored = storage.messages(alice).size();
    EXPECT_EQ(stored, 64u);
    // The allowance comes back with time: a minute later, 60 more.
    now += 60;
    for (int i = 0; i < 10; ++i)
        send(kBobsHost, message("bob@Sales@Demo", {"alice@Sales@Demo"}, "later"));
    EXPECT_EQ(storage.messages(alice).size(), std::min<size_t>(stored + 10, 100));
    // More recipients than a datagram may hold: nothing is stored.
    const std::vector<std::string> seventeen(17, "bob@Sales@Demo");
    send(kBobsHost, message("bob@Sales@Demo", seventeen, "too many"));
    Directory dir(storage);
    EXPECT_TRUE(storage.messages(dir.resolve("bob@Sales@Demo", kNameKindObject).entry.id).empty());
}

TEST_F(MessageTest, ProfileEntriesNeedASessionAtTheCallersAddress) {
    nwdtest::seed(storage, "profile set Demo Greeting hello\n");
    Call c(kProcProfileEntry);
    c.u16(1).u16(22).str("Greeting").u16(0).str("bob@Sales@Demo");
    auto status = [&](uint32_t address) {
        Handler::Reply r = send(address, c);
        if (!r) return -1;
        Reply rep = Reply::of(*r);
        return rep.ok() ? int(rep.reader().u16()) : 10000 + rep.code;
    };
    EXPECT_EQ(status(kBobsHost), 10000 + qrd::nm::kUnknownSession);
    ASSERT_TRUE(startFrom(kBobsHost, login("bob@Sales@Demo", "bob-pw")));
    EXPECT_EQ(status(kBobsHost), 0);
    EXPECT_EQ(status(kOtherHost), 10000 + qrd::nm::kUnknownSession);
}

// Standard error into a file while it lives.
class CapturedStderr {
  public:
    CapturedStderr() : path_(testing::TempDir() + "nwd_messages_stderr.txt") {
        std::fflush(stderr);
        saved_ = dup(2);
        FILE* f = std::fopen(path_.c_str(), "w");
        dup2(fileno(f), 2);
        std::fclose(f);
    }
    std::string text() {
        std::fflush(stderr);
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    ~CapturedStderr() {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
    }

  private:
    std::string path_;
    int saved_ = -1;
};

TEST_F(MessageTest, ANewlineInARecipientNameForgesNoLogLine) {
    ASSERT_TRUE(startFrom(kBobsHost, login("bob@Sales@Demo", "bob-pw")));
    std::string text;
    {
        CapturedStderr err;
        setLogQuiet(false);
        send(kBobsHost,
             message("bob@Sales@Demo",
                     {"x\n2026-01-01 00:00:00 namewrightd: login of alice@Sales@Demo\x85"}, "hi"));
        setLogQuiet(true);
        text = err.text();
    }
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("x\\x0a2026-01-01"), std::string::npos) << text;
    EXPECT_NE(text.find("Demo\\xc2\\x85"), std::string::npos) << "C1 controls too: " << text;
}

} // namespace
} // namespace nwdtest
