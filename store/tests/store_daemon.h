// A namewrightd of the test's own, seeded with the demo directory, and a
// login on the test's workstation through the public client API.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "nwd_process.h"
#include "qrdapi.h"

namespace storetest {

class DaemonFixture : public ::testing::Test {
  protected:
    // Admin commands run on the database before the daemon starts; `seed`
    // (seed-file lines) is loaded after the demo directory.
    void startDaemon(const std::vector<std::vector<std::string>>& admin = {},
                     const std::string& seed = "") {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/store.db";
        nwdtest::Outcome seeded =
            nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        if (!seed.empty()) {
            seeded = nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000", "-"}, seed);
            ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        }
        for (std::vector<std::string> cmd : admin) {
            cmd.insert(cmd.begin(), {"admin", "--db", db});
            nwdtest::Outcome o = nwdtest::runTool(cmd);
            ASSERT_EQ(o.exitCode, 0) << o.err;
        }
        std::string env = "QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd";
        ASSERT_TRUE(
            daemon.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                         ws.dir + "/daemon.log", {env}));
    }

    // What the login command does: the password checked by the service, the
    // nonce and the canonical name stored on the workstation.
    void login(const char* user, const char* password) {
        QRD_PORT port;
        QrdSetPortNull(&port);
        ASSERT_EQ(QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &port), 0);
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN] = {};
        ASSERT_EQ(QrdNmLogin(&port, user, password, &nonce, canonical), 0);
        ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN), 0);
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
    }

    nwdtest::Outcome admin(std::vector<std::string> cmd) {
        cmd.insert(cmd.begin(), {"admin", "--db", db});
        return nwdtest::runTool(cmd);
    }

    std::string db;
    nwdtest::Daemon daemon;
};

} // namespace storetest
