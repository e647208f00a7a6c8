// Administration commands and seed files.
#include <gtest/gtest.h>

#include <sstream>

#include "admin.h"
#include "directory.h"
#include "nwd_testutil.h"

namespace nwd {
extern const char* const kDemoSeed;
}

using namespace nwd;

namespace {

class AdminTest : public ::testing::Test {
  protected:
    AdminTest() : ctx{storage, out, nullptr, nwdtest::kTestIterations} {
        ctx.readPassword = [this](const std::string& who, std::string& pw) {
            asked.push_back(who);
            pw = nextPassword;
            return !nextPassword.empty();
        };
    }
    // Runs a command line; returns its output, or "error: ..." on failure.
    std::string run(const std::string& line) {
        out.str("");
        try {
            runAdmin(ctx, tokenize(line));
        } catch (const AdminError& e) {
            return std::string("error: ") + e.what();
        }
        return out.str();
    }
    void seed(const std::string& text) {
        std::istringstream in(text);
        loadSeed(ctx, in, "t.seed");
    }
    Resolved find(const std::string& latin1) {
        return Directory(storage).resolve(latin1, kNameKindObject, false);
    }

    SqliteStorage storage{":memory:"};
    std::ostringstream out;
    AdminContext ctx;
    std::string nextPassword = "pw";
    std::vector<std::string> asked;
};

TEST_F(AdminTest, TheDemoSeedLoadsAndItsUsersCanLogIn) {
    seed(kDemoSeed);
    EXPECT_EQ(run("group list"), "Sales@Demo\t(this server)\nSupport@Demo\t(this server)\n");
    std::string users = run("user list Demo");
    EXPECT_NE(users.find("alice@Sales@Demo\tadmin\tAlice Archer"), std::string::npos);
    EXPECT_NE(users.find("dave@Support@Demo\t-\tDave Dunn"), std::string::npos);
    EXPECT_EQ(run("member list Team@Sales@Demo"),
              "Support@Demo\tgroup\nalice@Sales@Demo\tuser\nbob@Sales@Demo\tuser\n");
    Resolved bob = find("bob@Sales@Demo");
    ASSERT_EQ(bob.status, 0);
    EXPECT_TRUE(verifyPassword("bob-demo", storage.user(bob.entry.id)->password));
    EXPECT_TRUE(asked.empty()) << "seed files carry their passwords";
}

TEST_F(AdminTest, ASeedWithABadLineLeavesNothingAndNamesTheLine) {
    try {
        seed("org add Demo\ngroup add Sales@Demo\n\n# comment\ngroup add Sales@Nowhere\n");
        FAIL() << "the seed must fail";
    } catch (const AdminError& e) {
        EXPECT_NE(std::string(e.what()).find("t.seed:5:"), std::string::npos) << e.what();
    }
    EXPECT_EQ(run("org list"), "");
    EXPECT_THROW(seed("org add \"Demo\n"), AdminError) << "an open quote";
}

TEST_F(AdminTest, TokensHonourQuotesAndEscapes) {
    EXPECT_EQ(tokenize("  a  \"b c\"\td\r"), (std::vector<std::string>{"a", "b c", "d"}));
    EXPECT_EQ(tokenize(R"(x"y z"w "q\"\\")"), (std::vector<std::string>{"xy zw", "q\"\\"}));
    EXPECT_EQ(tokenize("\"\""), std::vector<std::string>{""});
    EXPECT_TRUE(tokenize("   ").empty());
}

TEST_F(AdminTest, PasswordsComeFromTheReaderNeverFromTheCommandLine) {
    seed("org add Demo\ngroup add Sales@Demo\n");
    EXPECT_NE(run("user add eve@Sales@Demo --password visible").find("only accepted in seed"),
              std::string::npos);
    EXPECT_NE(find("eve@Sales@Demo").status, 0);

    nextPassword = "s3cret";
    EXPECT_EQ(run("user add eve@Sales@Demo --description \"Eve E\""), "");
    EXPECT_EQ(asked, std::vector<std::string>{"eve@Sales@Demo"});
    Resolved eve = find("eve@Sales@Demo");
    ASSERT_EQ(eve.status, 0);
    EXPECT_TRUE(verifyPassword("s3cret", storage.user(eve.entry.id)->password));

    // A missing group is reported before anybody is asked for a password.
    asked.clear();
    EXPECT_NE(run("user add x@Nowhere@Demo").find("no group"), std::string::npos);
    EXPECT_NE(run("user add eve@SALES@Demo").find("already exists"), std::string::npos);
    EXPECT_TRUE(asked.empty());

    nextPassword = "";
    EXPECT_NE(run("user password eve@Sales@Demo").find("no password"), std::string::npos);
    // The password is hashed in the wire character set; one that Latin-1
    // cannot hold could never be typed at a client.
    nextPassword = "\xE2\x82\xAC";
    EXPECT_NE(run("user password eve@Sales@Demo").find("Latin-1"), std::string::npos);
    nextPassword = "caf\xC3\xA9";
    EXPECT_EQ(run("user password eve@Sales@Demo"), "");
    EXPECT_TRUE(verifyPassword("caf\xE9", storage.user(eve.entry.id)->password));
}

TEST_F(AdminTest, NamesAreCheckedBeforeTheyAreStored) {
    EXPECT_NE(run("org add \"Bad@Org\"").find("not a valid name"), std::string::npos);
    EXPECT_NE(run("org add \" Demo\"").find("blank"), std::string::npos);
    EXPECT_NE(run("org add \xE2\x82\xAC").find("Latin-1"), std::string::npos);
    EXPECT_EQ(run("org add D\xC3\xA9mo"), "");
    EXPECT_NE(run("org add D\xC3\x89MO").find("already exists"), std::string::npos);
    EXPECT_NE(run("group add Sales").find("group@organisation"), std::string::npos);
    EXPECT_NE(run("frobnicate").find("unknown command"), std::string::npos);
    EXPECT_NE(run("org add A --bogus").find("unknown option"), std::string::npos);
}

TEST_F(AdminTest, NameMistakesSayWhatIsWrongAndWhatIsExpected) {
    seed(nwdtest::testSeed());
    std::string tooLong = run("org add " + std::string(64, 'a'));
    EXPECT_NE(tooLong.find("too long"), std::string::npos) << tooLong;
    EXPECT_NE(tooLong.find("at most 63"), std::string::npos) << tooLong;
    tooLong = run("user remove " + std::string(60, 'b') + "@Sales@Demo");
    EXPECT_NE(tooLong.find("too long"), std::string::npos) << "names looked up too: " << tooLong;
    // A huge argument is cut in the message, with its size.
    std::string huge = run("user add " + std::string(5000, 'x'));
    EXPECT_LT(huge.size(), 300u) << huge;
    EXPECT_NE(huge.find("(5000 bytes)"), std::string::npos) << huge;

    std::string form = run("user add bob@Sales");
    EXPECT_NE(form.find("expected item@group@organisation"), std::string::npos) << form;
    form = run("group list Sales@Demo");
    EXPECT_NE(form.find("expected an organisation name"), std::string::npos) << form;
    form = run("member list Team@@Demo");
    EXPECT_NE(form.find("none of them empty"), std::string::npos) << form;
    std::string bad = run("list add A*B@Sales@Demo");
    EXPECT_NE(bad.find("holds \"*\""), std::string::npos) << bad;
    EXPECT_NE(bad.find("letters, digits, blanks"), std::string::npos) << bad;
    bad = run("org add \"Tab\tOrg\"");
    EXPECT_NE(bad.find("\\x09"), std::string::npos) << "control characters escaped: " << bad;
}

TEST_F(AdminTest, UsageErrorsAreMarkedAndTheRestAreNot) {
    auto kind = [&](const std::string& line) {
        try {
            runAdmin(ctx, tokenize(line));
        } catch (const AdminError& e) {
            return e.usage() ? "usage" : "failed";
        }
        return "done";
    };
    for (const char* line : {"", "frob", "org", "org frob", "org add", "org add A B",
                             "org list --admin", "user set a@b@c --admin --no-admin"})
        EXPECT_STREQ(kind(line), "usage") << line;
    for (const char* line : {"org remove Nowhere", "org add A@B", "user add a@b@c"})
        EXPECT_STREQ(kind(line), "failed") << line;
    EXPECT_STREQ(kind("org add Here"), "done");
}

TEST_F(AdminTest, EveryCommandHasItsOwnHelp) {
    std::string all = adminUsage();
    for (const char* cmd : {"init", "org add", "group set-server", "user logout", "member remove",
                            "service set-port", "nickname list", "profile set", "messages"}) {
        std::vector<std::string> args = tokenize(cmd);
        args.push_back("--help");
        std::string help = adminHelp(args);
        EXPECT_EQ(help.find("usage: namewrightd admin --db FILE " + std::string(cmd)), 0u) << help;
        EXPECT_GT(help.find('.'), help.find('\n')) << "a sentence of help: " << help;
        EXPECT_NE(all.find("  " + std::string(cmd)), std::string::npos) << cmd;
    }
}

TEST_F(AdminTest, ListsHoldUsersListsAndGroupsOnly) {
    seed(nwdtest::testSeed());
    EXPECT_EQ(run("member add Team@Sales@Demo Support@Demo"), "");
    EXPECT_EQ(run("member add Team@Sales@Demo ali@Sales@Demo"), "") << "the nickname's user";
    EXPECT_NE(run("member add Team@Sales@Demo alice@Sales@Demo").find("already"),
              std::string::npos);
    EXPECT_NE(run("member add Team@Sales@Demo FILES@Sales@Demo").find("members are"),
              std::string::npos);
    EXPECT_NE(run("member add Team@Sales@Demo Team@Sales@Demo").find("itself"), std::string::npos);
    EXPECT_NE(run("member add bob@Sales@Demo alice@Sales@Demo").find("not a list"),
              std::string::npos);
    EXPECT_EQ(run("member remove Team@Sales@Demo bob@Sales@Demo"), "");
    EXPECT_NE(run("member remove Team@Sales@Demo bob@Sales@Demo").find("not a member"),
              std::string::npos);
    EXPECT_NE(run("nickname add al2@Sales@Demo ali@Sales@Demo").find("another nickname"),
              std::string::npos);
    EXPECT_NE(run("user remove ali@Sales@Demo").find("is a nickname"), std::string::npos);
    EXPECT_EQ(run("nickname remove ali@Sales@Demo"), "");
    EXPECT_EQ(find("alice@Sales@Demo").status, 0);
}

TEST_F(AdminTest, ServicePortsAndServersTakeReadableForms) {
    seed(nwdtest::testSeed());
    EXPECT_EQ(run("service set-port FILES@Sales@Demo rpc 127.0.0.2:271"), "");
    EXPECT_EQ(run("service set-port FILES@Sales@Demo spp 000102030405060708090a0b0c0d0e0f"), "");
    EXPECT_EQ(run("service list Sales@Demo"),
              "FILES@Sales@Demo\tfile\trpc=00037f0000020001010f000000000000\t"
              "spp=000102030405060708090a0b0c0d0e0f\tmanager=bob@Sales@Demo\n");
    EXPECT_NE(run("service set-port FILES@Sales@Demo rpc 1.2.3:4").find("not a port"),
              std::string::npos);
    EXPECT_NE(run("service set-port FILES@Sales@Demo both 1.2.3.4:4").find("rpc or spp"),
              std::string::npos);
    EXPECT_EQ(run("service set FILES@Sales@Demo --manager - --class print"), "");
    EXPECT_NE(run("service list Sales@Demo").find("\tprint\t"), std::string::npos);
    EXPECT_NE(run("service list Sales@Demo").find("manager=-"), std::string::npos);

    EXPECT_NE(run("server add NW3@Sales@Demo 300.1.1.1").find("IPv4"), std::string::npos);
    EXPECT_EQ(run("server add NW3@Sales@Demo 10.1.2.3"), "");
    EXPECT_NE(run("server list Sales@Demo").find("NW3@Sales@Demo\t10.1.2.3"), std::string::npos);
    EXPECT_EQ(run("group set-server Support@Demo NW2@Support@Demo"), "");
    EXPECT_NE(run("group list Demo").find("Support@Demo\tNW2@Support@Demo"), std::string::npos);
}

TEST_F(AdminTest, MessagesAreShownWithControlCharactersEscaped) {
    seed(nwdtest::testSeed());
    Resolved bob = find("bob@Sales@Demo");
    storage.addMessage(bob.entry.id, {0, "eve\x1B[2J", "hi\nthere", 0}, 10);
    std::string shown = run("messages bob@Sales@Demo --clear");
    EXPECT_NE(shown.find("eve\\x1b[2J\thi\\x0athere"), std::string::npos) << shown;
    EXPECT_EQ(run("messages bob@Sales@Demo"), "");
}

// Logout and a new password both end the user's nonces and move the epoch
// that ends the sessions opened before; other users keep theirs.
TEST_F(AdminTest, LogoutAndNewPasswordsEndTheUsersNoncesAndSessions) {
    seed(nwdtest::testSeed());
    Resolved bob = find("bob@Sales@Demo"), alice = find("alice@Sales@Demo");
    NonceRecord n;
    n.userId = bob.entry.id;
    uint32_t serial = storage.addNonce(n);
    n.userId = alice.entry.id;
    uint32_t aliceSerial = storage.addNonce(n);
    const uint32_t epoch = storage.user(bob.entry.id)->epoch;
    EXPECT_EQ(run("user logout bob@Sales@Demo"), "1 nonce(s) removed, sessions ended\n");
    EXPECT_FALSE(storage.findNonce(serial));
    EXPECT_EQ(storage.user(bob.entry.id)->epoch, epoch + 1);

    n.userId = bob.entry.id;
    serial = storage.addNonce(n);
    nextPassword = "new-pw";
    EXPECT_EQ(run("user password bob@Sales@Demo"), "");
    EXPECT_FALSE(storage.findNonce(serial)) << "the old password's nonces end with it";
    EXPECT_EQ(storage.user(bob.entry.id)->epoch, epoch + 2);
    EXPECT_TRUE(verifyPassword("new-pw", storage.user(bob.entry.id)->password));
    EXPECT_TRUE(storage.findNonce(aliceSerial)) << "other users keep theirs";
}

} // namespace
