// The file-system device (the redirector stand-in): its open/close life, the
// global-variable requests it answers, the road QrdGetGlobalVar takes, and
// the drive-mapping table of QORDA.INI.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "globalstore.h"
#include "qrdapi.h"
#include "redirector.h"
#include "testenv.h"

namespace {

TEST(FileSystemDevice, OpensOnFirstUseAndClosesAtDone) {
    ASSERT_EQ(QrdDone(), QRD_OK);
    EXPECT_FALSE(qrd::fs::deviceIsOpen());
    uint8_t nonce[14];
    QRD_FS_REQ req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_GET, QRD_GV_NONCE, 14, nonce);
    EXPECT_EQ(QrdCallFileSystem(&req), QRD_OK);
    EXPECT_TRUE(qrd::fs::deviceIsOpen());
    EXPECT_EQ(QrdDone(), QRD_OK);
    EXPECT_FALSE(qrd::fs::deviceIsOpen());
    // ... and reopens for the next request.
    EXPECT_EQ(QrdCallFileSystem(&req), QRD_OK);
    EXPECT_TRUE(qrd::fs::deviceIsOpen());
}

TEST(FileSystemDevice, AnswersGlobalVariablesWithTheStoresRules) {
    // The record may sit anywhere in the caller's memory; its pointer field
    // is misaligned in any case.
    alignas(8) uint8_t raw[sizeof(QRD_FS_REQ) + 1];
    auto* req = reinterpret_cast<QRD_FS_REQ*>(raw + 1);

    char name[64] = "DEVICE@GROUP@ORG";
    *req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_SET, QRD_GV_USER_NAME, 64, name);
    ASSERT_EQ(QrdCallFileSystem(req), QRD_OK);
    char back[64] = {};
    *req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_GET, QRD_GV_USER_NAME, 64, back);
    ASSERT_EQ(QrdCallFileSystem(req), QRD_OK);
    EXPECT_STREQ(back, "DEVICE@GROUP@ORG");
    EXPECT_EQ(qrd::gv::get(QRD_GV_USER_NAME, back, 64), QRD_OK); // the same store

    *req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_GET, QRD_GV_USER_NAME, 63, back);
    EXPECT_EQ(QrdCallFileSystem(req), QRDERR_GLOBALVAR);
    *req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_SET, 3, 1, back);
    EXPECT_EQ(QrdCallFileSystem(req), QRDERR_GLOBALVAR);

    // What the device does not know is refused.
    EXPECT_EQ(QrdCallFileSystem(nullptr), QRDERR_BAD_ARG);
    *req = qrd::fs::globalVarRequest(21, QRD_GV_NM_PORT, 16, back);
    EXPECT_EQ(QrdCallFileSystem(req), QRDERR_BAD_ARG);
    *req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_GET, QRD_GV_NM_PORT, 16, back);
    req->subfunction = 5; // print requests: no print redirector here
    EXPECT_EQ(QrdCallFileSystem(req), QRDERR_BAD_ARG);
}

// Which road QrdGetGlobalVar takes shows in whether it opened the device.
TEST(GlobalVarRoad, NativePreferenceGoesThroughTheDeviceOtherwiseDirect) {
    ASSERT_EQ(QrdGetProtocolPref(), QRD_PROT_QIP); // set at attach
    char name[64] = "ROAD@GROUP@ORG", back[64] = {};
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, name, 64), QRD_OK);

    QrdDone();
    ASSERT_EQ(QrdGetGlobalVar(QRD_GV_USER_NAME, back, 64), QRD_OK);
    EXPECT_TRUE(qrd::fs::deviceIsOpen());
    EXPECT_STREQ(back, "ROAD@GROUP@ORG");

    QrdDone();
    ASSERT_EQ(QrdSetProtocolPref(QRD_PROT_IP), QRD_OK);
    std::memset(back, 0, sizeof back);
    EXPECT_EQ(QrdGetGlobalVar(QRD_GV_USER_NAME, back, 64), QRD_OK);
    EXPECT_STREQ(back, "ROAD@GROUP@ORG");
    EXPECT_EQ(QrdGetGlobalVar(QRD_GV_USER_NAME, back, 63), QRDERR_GLOBALVAR);
    EXPECT_EQ(QrdGetGlobalVar(35, back, 64), QRDERR_GLOBALVAR);
    EXPECT_FALSE(qrd::fs::deviceIsOpen());
    ASSERT_EQ(QrdSetProtocolPref(QRD_PROT_QIP), QRD_OK);

    // A private block never goes to the device, whatever the preference.
    pid_t pid = fork();
    if (pid == 0) {
        QrdDone();
        if (QrdDetachServiceBackend() != QRD_OK) _exit(1);
        char mine[64] = {};
        if (QrdGetGlobalVar(QRD_GV_USER_NAME, mine, 64) != QRD_OK || mine[0]) _exit(2);
        _exit(qrd::fs::deviceIsOpen() ? 3 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DriveMapping, TheTableOfQordaIniAnswersTheQuery) {
    qrdtest::appendQordaIni("[DriveMappings]\n"
                            "F=DOCS@SALES@ACME,\\public\\docs,/mnt/qorda/docs\n"
                            "g = HOME@SALES@ACME , users\\al,ice , /home/al\n"
                            "H=BIN@SALES@ACME,\n");
    QrdDone(); // the table is read when the device opens

    char root[QRD_ROOT_LEN];
    std::memset(root, 'x', sizeof root);
    QRD_FS_REQ req = qrd::fs::driveMappingRequest('F' - 64, root);
    ASSERT_EQ(QrdCallFileSystem(&req), QRD_OK);
    EXPECT_EQ(qrd::fs::mappedService(req), "DOCS@SALES@ACME");
    EXPECT_STREQ(root, "public\\docs");
    // The name field is padded with NULs to its end.
    const uint8_t* rec = reinterpret_cast<const uint8_t*>(&req);
    for (size_t i = qrd::fs::kServiceAt + 15; i < qrd::fs::kRootPtrAt; ++i)
        EXPECT_EQ(rec[i], 0);

    req = qrd::fs::driveMappingRequest('G' - 64, root);
    ASSERT_EQ(QrdCallFileSystem(&req), QRD_OK);
    EXPECT_EQ(qrd::fs::mappedService(req), "HOME@SALES@ACME");
    EXPECT_STREQ(root, "users\\al,ice");

    req = qrd::fs::driveMappingRequest('H' - 64, nullptr); // no root wanted
    ASSERT_EQ(QrdCallFileSystem(&req), QRD_OK);
    EXPECT_EQ(qrd::fs::mappedService(req), "BIN@SALES@ACME");

    req = qrd::fs::driveMappingRequest('C' - 64, root);
    EXPECT_EQ(QrdCallFileSystem(&req), qrd::fs::kNotMapped);
    for (uint16_t bad : {0, 27, 0xFFFF}) {
        req = qrd::fs::driveMappingRequest(bad, root);
        EXPECT_EQ(QrdCallFileSystem(&req), QRDERR_BAD_ARG) << bad;
    }
}

TEST(DriveMapping, EntriesThatDoNotFitTheRecordAreLeftOut) {
    qrd::IniFile ini;
    ini.set("DriveMappings", "J", std::string(63, 'S') + ",root,/mnt/j");
    ini.set("DriveMappings", "K", std::string(64, 'S') + ",root");
    ini.set("DriveMappings", "L", "SVC@G@O," + std::string(QRD_ROOT_LEN, 'r'));
    ini.set("DriveMappings", "M", ",root");
    auto maps = qrd::fs::readDriveMappings(ini);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0].drive, 10);
    EXPECT_EQ(maps[0].mountDir, "/mnt/j");
}

} // namespace
