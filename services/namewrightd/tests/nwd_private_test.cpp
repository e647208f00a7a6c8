// The directory's files at rest: the database and its side files are this
// account's only, whatever the umask, and another account cannot copy them.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include "nwd_process.h"
#include "qrdapi.h"
#include "rpc/stubs.h"
#include "sqlite_storage.h"

namespace {

// The permission bits of a file, or -1 when it is missing.
int modeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Restores the umask the test found.
struct Umask {
    explicit Umask(mode_t m) : old(umask(m)) {}
    ~Umask() { umask(old); }
    mode_t old;
};

// Whether `cat FILE` as the account `nobody` (uid and gid 65534) works:
// its exit code, or -2 when this process cannot switch accounts.
int readAsNobody(const std::string& file) {
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) return -2;
    return nwdtest::runProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534",
                                                    "--clear-groups", "--", "cat", file})
        .exitCode;
}

TEST(PrivateFiles, WhatTheDaemonMakesIsPrivateWithAPermissiveUmaskAndNobodyCopiesIt) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    const std::string db = ws.dir + "/private.db";
    {
        Umask open(0);
        ASSERT_EQ(nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"}).exitCode, 0);
        nwdtest::Daemon d;
        ASSERT_TRUE(
            d.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                    ws.dir + "/private.log",
                    {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"}));
        // A login writes a nonce: the side files now exist and hold it.
        QRD_PORT port = nwdtest::localService();
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN];
        ASSERT_EQ(QrdNmLogin(&port, "carol@Support@Demo", "carol-demo", &nonce, canonical), 0);
        for (const char* suffix : {"", "-wal", "-shm", ".lock"})
            EXPECT_EQ(modeOf(db + suffix), 0600) << db + suffix;

        // Another account, with the folder open to it, cannot copy the
        // database while it runs; the control file shows the switch works.
        const std::string control = ws.dir + "/control.txt";
        std::ofstream(control) << "readable\n";
        chmod(control.c_str(), 0644);
        const int folderMode = modeOf(ws.dir);
        chmod(ws.dir.c_str(), 0755);
        const int controlRead = readAsNobody(control);
        const int dbRead = readAsNobody(db), walRead = readAsNobody(db + "-wal");
        chmod(ws.dir.c_str(), mode_t(folderMode));
        if (controlRead == -2) GTEST_SKIP() << "cannot switch to another account here";
        ASSERT_EQ(controlRead, 0) << "the other account cannot reach the folder: test unfit";
        EXPECT_NE(dbRead, 0) << "another account copied the database";
        EXPECT_NE(walRead, 0) << "another account copied the log of the database";
    }
}

TEST(PrivateFiles, FilesMadeReadableEarlierArePrivateOnceOpened) {
    const std::string db = qrdtest::workstation().dir + "/earlier.db";
    {
        nwd::SqliteStorage s(db);
        s.directoryStamp();
    }
    for (const char* suffix : {"", "-wal", "-shm"})
        chmod((db + suffix).c_str(), 0644);
    nwd::SqliteStorage s(db);
    s.directoryStamp();
    EXPECT_EQ(modeOf(db), 0600);
    for (const char* suffix : {"-wal", "-shm"}) {
        const int m = modeOf(db + suffix);
        if (m != -1) {
            EXPECT_EQ(m, 0600) << suffix;
        }
    }
}

} // namespace
