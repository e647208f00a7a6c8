// The workstation's global variables: the id and length rules, sharing
// between processes, the private block after detaching, the per-process word,
// and the store's lock when its holder dies or keeps it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "globalstore.h"
#include "qrdapi.h"

namespace {

// Runs `body` in a forked child; returns its exit code (or -signal).
int inChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Opens the store again by its names, as another program of the workstation
// would after starting.
int reopenStore() {
    qrd::gv::release();
    return qrd::gv::create() ? 0 : 90;
}

std::string userName() {
    char name[64] = {};
    if (QrdGetGlobalVar(QRD_GV_USER_NAME, name, sizeof name) != QRD_OK) return "<error>";
    return std::string(name, strnlen(name, sizeof name));
}

void setUserName(const std::string& name) {
    char buf[64] = {};
    std::memcpy(buf, name.data(), name.size());
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, buf, sizeof buf), QRD_OK);
}

const uint16_t kIds[] = {1, 2, 4, 6, 15, 16, 20, 34};
const uint16_t kSizes[] = {16, 4, 64, 64, 14, 2, 4, 4};

TEST(GlobalVar, IdsAndLengthsFollowTheTableAndFieldsDoNotOverlap) {
    uint8_t buf[80];
    for (uint16_t id = 0; id <= 40; ++id) {
        const uint16_t* known = std::find(std::begin(kIds), std::end(kIds), id);
        if (known == std::end(kIds)) {
            EXPECT_EQ(QrdGetGlobalVar(id, buf, sizeof buf), QRDERR_GLOBALVAR) << id;
            EXPECT_EQ(QrdSetGlobalVar(id, buf, 1), QRDERR_GLOBALVAR) << id;
            continue;
        }
        uint16_t size = kSizes[known - kIds];
        EXPECT_EQ(QrdGetGlobalVar(id, buf, size - 1), QRDERR_GLOBALVAR) << id;
        EXPECT_EQ(QrdSetGlobalVar(id, buf, size + 1), QRDERR_GLOBALVAR) << id;
        EXPECT_EQ(QrdSetGlobalVar(id, buf, 0), QRD_OK) << id;
        std::memset(buf, 0x10 + id, size); // a pattern per field
        EXPECT_EQ(QrdSetGlobalVar(id, buf, size), QRD_OK) << id;
    }
    for (int i = 0; i < 8; ++i) {
        uint8_t want[64], got[64] = {};
        std::memset(want, 0x10 + kIds[i], kSizes[i]);
        ASSERT_EQ(QrdGetGlobalVar(kIds[i], got, kSizes[i]), QRD_OK);
        EXPECT_EQ(0, std::memcmp(got, want, kSizes[i])) << "id " << kIds[i];
    }
    // A null buffer is refused rather than written through.
    EXPECT_EQ(QrdGetGlobalVar(QRD_GV_NONCE, nullptr, 14), QRDERR_BAD_ARG);
    EXPECT_EQ(QrdSetGlobalVar(QRD_GV_NONCE, nullptr, 14), QRDERR_BAD_ARG);
}

TEST(GlobalVar, CopiesExactlyTheFieldOrTheGivenLength) {
    setUserName("ORIGINAL@GROUP@ORG");
    // A short write changes its bytes only.
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, "NEWNAME@GR", 10), QRD_OK);
    EXPECT_EQ(userName(), "NEWNAME@GRROUP@ORG");

    // A get into a larger buffer fills the field's size and no more.
    uint8_t big[40];
    std::memset(big, 0xAB, sizeof big);
    const uint8_t word[4] = {1, 2, 3, 4};
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_NM_REVISION, word, 4), QRD_OK);
    ASSERT_EQ(QrdGetGlobalVar(QRD_GV_NM_REVISION, big, sizeof big), QRD_OK);
    EXPECT_EQ(0, std::memcmp(big, word, 4));
    EXPECT_EQ(big[4], 0xAB);

    // A refused get leaves the caller's buffer alone.
    char name[63];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(QrdGetGlobalVar(QRD_GV_USER_NAME, name, 63), QRDERR_GLOBALVAR);
    EXPECT_EQ(name[0], 'x');
}

TEST(GlobalVarShared, TwoProcessesSeeEachOthersWrites) {
    setUserName("PARENT@GROUP@ORG");
    uint32_t mine = 0x11111111;
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_PROCESS, &mine, 4), QRD_OK);

    int rc = inChild([] {
        if (int r = reopenStore()) return r;
        if (!qrd::gv::isShared()) return 2;
        if (userName() != "PARENT@GROUP@ORG") return 3;
        char name[64] = "CHILD@GROUP@ORG";
        if (QrdSetGlobalVar(QRD_GV_USER_NAME, name, sizeof name)) return 4;
        uint32_t word = 0x22222222;
        return QrdSetGlobalVar(QRD_GV_PROCESS, &word, 4) ? 5 : 0;
    });
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(userName(), "CHILD@GROUP@ORG");
    // The per-process word is this process's own.
    uint32_t word = 0;
    ASSERT_EQ(QrdGetGlobalVar(QRD_GV_PROCESS, &word, 4), QRD_OK);
    EXPECT_EQ(word, 0x11111111u);
}

TEST(GlobalVarShared, StoreIsNamedPerUserAndWorkstationAndPrivateToTheUser) {
    std::string tail = "." + std::to_string(geteuid()) + "." + std::getenv("QRD_WORKSTATION");
    EXPECT_EQ(qrd::gv::blockName(), "/MMFUnmGlobalVar" + tail);
    EXPECT_EQ(qrd::gv::mutexName(), "/MUTEXUnmGlobalVar" + tail);
    for (const std::string& n : {qrd::gv::blockName(), qrd::gv::mutexName()}) {
        struct stat st {};
        ASSERT_EQ(stat(("/dev/shm" + n).c_str(), &st), 0) << n;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << n;
    }
}

TEST(GlobalVarPrivate, DetachingGivesAZeroedBlockOfItsOwn) {
    setUserName("SHARED@GROUP@ORG");
    uint32_t word = 7;
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_PROCESS, &word, 4), QRD_OK);

    int rc = inChild([] {
        if (QrdDetachServiceBackend() != QRD_OK) return 1;
        if (qrd::gv::isShared()) return 2;
        uint8_t got[64];
        for (int i = 0; i < 8; ++i) {
            std::memset(got, 0xEE, sizeof got);
            if (QrdGetGlobalVar(kIds[i], got, kSizes[i])) return 3;
            for (int b = 0; b < kSizes[i]; ++b)
                if (got[b] != 0) return 10 + i;
        }
        char name[64] = "PRIVATE@GROUP@ORG";
        if (QrdSetGlobalVar(QRD_GV_USER_NAME, name, sizeof name)) return 4;
        // A second detach keeps the private values.
        if (QrdDetachServiceBackend() != QRD_OK) return 5;
        return userName() == "PRIVATE@GROUP@ORG" ? 0 : 6;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(userName(), "SHARED@GROUP@ORG");
}

void dieHoldingTheLock(uint8_t*, void*) {
    _exit(0);
}
void setUserByHand(uint8_t* block, void*) {
    std::memcpy(block + 20, "HELD", 5);
}

TEST(GlobalVarLock, AHolderThatDiesDoesNotBlockTheStore) {
    setUserName("BEFORE@GROUP@ORG");
    ASSERT_EQ(inChild([] {
                  if (int r = reopenStore()) return r;
                  qrd::gv::withStoreLocked(dieHoldingTheLock, nullptr);
                  return 1;
              }),
              0);
    qrd::gv::setLockWaitMs(2000); // a hang shows as a failure, not a stall
    EXPECT_EQ(userName(), "BEFORE@GROUP@ORG");
    setUserName("AFTER@GROUP@ORG");
    EXPECT_EQ(userName(), "AFTER@GROUP@ORG");
    EXPECT_EQ(qrd::gv::withStoreLocked(setUserByHand, nullptr), QRD_OK);
    EXPECT_EQ(userName(), "HELD");
    qrd::gv::setLockWaitMs(qrd::gv::kLockWaitMs);
}

TEST(GlobalVarLock, ATimeoutCopiesNothing) {
    setUserName("UNTOUCHED@GROUP@ORG");
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t pid = fork();
    if (pid == 0) {
        // Holds the lock until the parent has seen its time-out.
        if (reopenStore()) _exit(90);
        struct Pipes {
            int ready, release;
        } p{ready[1], release[0]};
        qrd::gv::withStoreLocked(
            [](uint8_t*, void* ctx) {
                auto* pp = static_cast<Pipes*>(ctx);
                char c = 1;
                (void)!write(pp->ready, &c, 1);
                (void)!read(pp->release, &c, 1);
            },
            &p);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    qrd::gv::setLockWaitMs(300);
    char name[64];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(QrdGetGlobalVar(QRD_GV_USER_NAME, name, sizeof name), QRDERR_TIMEOUT);
    EXPECT_EQ(name[0], 'x');
    char other[64] = "INTRUDER";
    EXPECT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, other, sizeof other), QRDERR_TIMEOUT);
    (void)!write(release[1], &c, 1);
    int status = 0;
    waitpid(pid, &status, 0);
    qrd::gv::setLockWaitMs(qrd::gv::kLockWaitMs);
    EXPECT_EQ(userName(), "UNTOUCHED@GROUP@ORG");
}

TEST(GlobalVarShared, ManyProcessesStartingAtOnceShareOneStore) {
    // Each child creates the store from scratch under its own workstation
    // name at the same moment, then bumps a counter under the lock.
    const std::string home = std::getenv("QRD_WORKSTATION");
    const std::string ws = home + "race";
    constexpr int kChildren = 6, kBumps = 200;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> kids;
    for (int i = 0; i < kChildren; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char c;
            (void)!read(go[0], &c, 1);
            setenv("QRD_WORKSTATION", ws.c_str(), 1);
            qrd::gv::release();
            if (!qrd::gv::create()) _exit(90);
            for (int n = 0; n < kBumps; ++n) {
                if (qrd::gv::withStoreLocked(
                        [](uint8_t* block, void*) {
                            uint32_t v;
                            std::memcpy(&v, block + 164, 4);
                            ++v;
                            std::memcpy(block + 164, &v, 4);
                        },
                        nullptr))
                    _exit(91);
            }
            _exit(0);
        }
        kids.push_back(pid);
    }
    close(go[0]);
    close(go[1]); // every child starts now
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    setenv("QRD_WORKSTATION", ws.c_str(), 1);
    std::string block = qrd::gv::blockName(), mutex = qrd::gv::mutexName();
    qrd::gv::release();
    ASSERT_TRUE(qrd::gv::create());
    uint32_t total = 0;
    EXPECT_EQ(qrd::gv::get(QRD_GV_NM_REVISION, &total, 4), QRD_OK);
    EXPECT_EQ(total, uint32_t(kChildren * kBumps));
    qrd::gv::release();
    shm_unlink(block.c_str());
    shm_unlink(mutex.c_str());
    setenv("QRD_WORKSTATION", home.c_str(), 1);
    ASSERT_TRUE(qrd::gv::create());
}

// A store that cannot be made (here: a directory squats on the lock
// object's name) is the caller's status 31, not the end of the process, and
// it is made at the first access after the obstacle is gone.
TEST(GlobalVarShared, AStoreThatCannotBeMadeIsAStatusAndIsMadeLater) {
    const std::string ws = std::string(std::getenv("QRD_WORKSTATION")) + "blocked";
    int rc = inChild([&] {
        setenv("QRD_WORKSTATION", ws.c_str(), 1);
        const std::string squat = "/dev/shm" + qrd::gv::mutexName();
        if (mkdir(squat.c_str(), 0700) != 0) return 80;
        qrd::gv::release();
        std::string why;
        if (qrd::gv::create(&why) || why.find("cannot open") == std::string::npos) return 81;
        char name[64] = {};
        if (QrdGetGlobalVar(QRD_GV_USER_NAME, name, sizeof name) != QRDERR_NO_DEVICE) return 82;
        if (QrdSetGlobalVar(QRD_GV_USER_NAME, name, sizeof name) != QRDERR_NO_DEVICE) return 83;
        rmdir(squat.c_str());
        int result = QrdGetGlobalVar(QRD_GV_USER_NAME, name, sizeof name) == QRD_OK ? 0 : 84;
        qrd::gv::release();
        shm_unlink(qrd::gv::blockName().c_str());
        shm_unlink(qrd::gv::mutexName().c_str());
        return result;
    });
    EXPECT_EQ(rc, 0);
}

} // namespace
