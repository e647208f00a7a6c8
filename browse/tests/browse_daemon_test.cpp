// The browser's backend against a real namewrightd on loopback: connecting as
// the logged-in user, the result list paging through a directory of sixty
// users, the user's "!SETNMDA" server, and attributes through the service.
#include <gtest/gtest.h>

#include "backend.h"
#include "nwd_process.h"
#include "pager.h"

namespace {

class BrowseDaemonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/browse.db";
        std::remove(db.c_str());
        nwdtest::Outcome seeded =
            nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        admin({"user", "bulk", "Sales@Demo", "60", "--prefix", "p"});
        ASSERT_TRUE(
            daemon.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                         ws.dir + "/browse.log",
                         {"QRD_WORKSTATION=" + std::string(getenv("QRD_WORKSTATION")) + "-nwd"}));
        QRD_PORT port = nwdtest::localService();
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN] = {};
        ASSERT_EQ(QrdNmLogin(&port, "bob@Sales@Demo", "bob-demo", &nonce, canonical), 0);
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
        ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN), 0);
    }

    void admin(std::vector<std::string> args) {
        args.insert(args.begin(), {"admin", "--db", db});
        nwdtest::Outcome o = nwdtest::runTool(args);
        ASSERT_EQ(o.exitCode, 0) << o.err;
    }

    std::string db;
    nwdtest::Daemon daemon;
};

TEST_F(BrowseDaemonTest, TheResultListPagesThroughTheServicesAnswer) {
    std::unique_ptr<browse::DirectoryBackend> backend;
    ASSERT_EQ(browse::connectNmda(backend), QRD_OK);
    EXPECT_FALSE(backend->serverName().empty());
    browse::Pager pager(backend->names(), true);
    ASSERT_EQ(pager.setKind(QRD_NMDA_KIND_USERS), QRD_OK);
    ASSERT_EQ(pager.rows().size(), 7u);
    EXPECT_EQ(pager.scrollValue(), 0);
    std::vector<std::string> firstPage;
    for (const auto& r : pager.rows())
        firstPage.push_back(r.name);
    EXPECT_TRUE(std::is_sorted(firstPage.begin(), firstPage.end(), [](auto& a, auto& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));

    pager.click(3);
    ASSERT_EQ(pager.nextPage(), QRD_OK);
    ASSERT_EQ(pager.rows().size(), 7u);
    EXPECT_NE(pager.rows()[0].name, firstPage[0]);
    EXPECT_GT(pager.scrollValue(), 0);
    ASSERT_EQ(pager.previousPage(), QRD_OK);
    EXPECT_EQ(pager.rows()[0].name, firstPage[0]);
    EXPECT_TRUE(pager.isChosen(3));

    ASSERT_EQ(pager.last(), QRD_OK);
    EXPECT_EQ(pager.scrollValue(), 100);
    std::string lastName = pager.rows().back().name;
    ASSERT_EQ(pager.nextLine(), QRD_OK); // at the end: stays on the last name
    EXPECT_EQ(pager.rows()[size_t(pager.currentRow())].name, lastName);

    // Where a position falls is the service's rule; the page is full either way.
    ASSERT_EQ(pager.thumb(50), QRD_OK);
    EXPECT_EQ(pager.rows().size(), 7u);
    EXPECT_LE(+pager.context().forward, +pager.context().backward);

    ASSERT_EQ(pager.textTyped("P00003"), QRD_OK);
    EXPECT_EQ(pager.rows()[0].name, "p000030@Sales@Demo");
    EXPECT_EQ(pager.scrollValue(), +pager.context().forward);

    pager.refine("nobody-like-this*", "");
    ASSERT_EQ(pager.first(), QRD_OK);
    EXPECT_TRUE(pager.rows().empty());
}

TEST_F(BrowseDaemonTest, TheProfilesServerIsUsedAndAScanListsAttributes) {
    std::unique_ptr<browse::DirectoryBackend> probe;
    ASSERT_EQ(browse::connectNmda(probe), QRD_OK);
    std::string server = probe->serverName();
    probe.reset();
    ASSERT_FALSE(server.empty());
    admin({"profile", "set", "bob@Sales@Demo", "!SETNMDA",
           "\"" + server.substr(0, server.find('@')) + "\" /NOALT"});

    std::unique_ptr<browse::DirectoryBackend> backend;
    ASSERT_EQ(browse::connectNmda(backend), QRD_OK);
    EXPECT_EQ(backend->serverName(), server);
    std::vector<AttrName> withData;
    ASSERT_EQ(backend->scan("bob@Sales@Demo", withData), QRD_OK);
    EXPECT_FALSE(withData.empty());
    backend.reset();

    // A server that does not exist, and no other allowed: no connection.
    admin({"profile", "set", "bob@Sales@Demo", "!SETNMDA", "NOSUCH /NOALT"});
    EXPECT_NE(browse::connectNmda(backend), QRD_OK);
    EXPECT_FALSE(backend);
}

} // namespace
