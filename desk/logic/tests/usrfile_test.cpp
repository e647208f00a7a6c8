// Shared file locations: network paths, a temporary directory standing for
// a mounted file service, the shared-area test and file-type programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "files/usrfile.h"
#include "testenv.h"
#include "testfiles.h"

namespace fs = std::filesystem;

using deskfiles::writeFile;

namespace {

// Resolves short service names in the login group, as the client would.
long fakeResolver(std::string& name) {
    if (name == "nobody") return 1001;
    if (name.find('@') == std::string::npos) name += "@Sales@Demo";
    return 0;
}

class SharedFiles : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ws() = qrdtest::workstation().dir;
        // The service's share "docs" is mounted at mnt/files; drive F maps
        // the same share for programs that still speak drive letters.
        fs::create_directories(mount() + "/reports");
        fs::create_directories(ws() + "/mnt/filesX");
        qrdtest::appendQordaIni(
            "[Client]\nVersion=70651\n[DriveMappings]\nF=FILES@Sales@Demo,docs," + mount() + "\n");
    }
    void SetUp() override {
        USRFile::setNameResolver(fakeResolver);
        USRFile::resetClientGeneration();
    }
    void TearDown() override {
        USRFile::setNameResolver(nullptr);
        fs::remove(ws() + "/etc/registry.ini");
    }
    static std::string& ws() {
        static std::string dir;
        return dir;
    }
    static std::string mount() { return ws() + "/mnt/files"; }
};

TEST_F(SharedFiles, NetworkPathsAreRecognised) {
    EXPECT_TRUE(USRFile::isNetworkPath("\\\\SVC\\share"));
    EXPECT_TRUE(USRFile::isNetworkPath("\"\\\\SVC\\share\\a b.doc\""));
    EXPECT_FALSE(USRFile::isNetworkPath("\\\\SVC"));
    EXPECT_FALSE(USRFile::isNetworkPath("\\SVC\\share"));
    EXPECT_FALSE(USRFile::isNetworkPath("C:\\docs"));
    EXPECT_FALSE(USRFile::isNetworkPath("/home/u"));

    std::string server;
    EXPECT_TRUE(USRFile::serverOfNetworkPath("\"\\\\SVC\\share", server));
    EXPECT_EQ(server, "SVC");
    EXPECT_FALSE(USRFile::serverOfNetworkPath("\\\\\\share", server));

    EXPECT_EQ(USRFile::clientGeneration(), 2);
    EXPECT_EQ(USRFile::uncKey(), "Namewright\\"); // no registry value
    EXPECT_TRUE(USRFile::isKeyPath("\\\\NAMEWRIGHT\\FILES@Sales@Demo\\docs"));
    EXPECT_FALSE(USRFile::isKeyPath("\\\\FILES\\docs"));
}

TEST_F(SharedFiles, AMountedServiceRoundTripsThroughTheNetworkForm) {
    const std::string network = "\\\\Namewright\\FILES@Sales@Demo\\docs\\reports\\q1 final.doc";
    std::string path = mount() + "/reports/q1 final.doc";
    ASSERT_TRUE(USRFile::normalise(path));
    EXPECT_EQ(path, network);
    EXPECT_EQ(USRFile::localPath(path), mount() + "/reports/q1 final.doc");

    // Normalising again changes nothing; the drive letter of the same share
    // and the short service name give the same form.
    ASSERT_TRUE(USRFile::normalise(path));
    EXPECT_EQ(path, network);
    std::string drive = "F:\\reports\\q1 final.doc";
    ASSERT_TRUE(USRFile::normalise(drive));
    EXPECT_EQ(drive, network);
    std::string shortName = "\\\\FILES\\docs\\reports\\q1 final.doc";
    ASSERT_TRUE(USRFile::normalise(shortName));
    EXPECT_EQ(shortName, network);
    EXPECT_EQ(USRFile::localPath("\\\\FILES\\docs\\reports"), mount() + "/reports");

    EXPECT_TRUE(USRFile::isOnSharedArea(mount() + "/reports/q1 final.doc"));

    std::string unknown = "\\\\nobody\\docs\\x";
    EXPECT_FALSE(USRFile::normalise(unknown));
}

TEST_F(SharedFiles, PathsOutsideEveryServiceAreLocal) {
    for (std::string p : {ws() + "/mnt/filesX/a.doc", std::string("/etc/hosts"),
                          std::string("C:\\a.doc"), std::string("notes.txt")}) {
        std::string before = p;
        EXPECT_TRUE(USRFile::normalise(p)) << before;
        EXPECT_EQ(p, before);
        EXPECT_FALSE(USRFile::isOnSharedArea(p)) << p;
    }
    // A network path of another service, or one that climbs out of the
    // share, has no local form here.
    EXPECT_EQ(USRFile::localPath("\\\\PRINT@Sales@Demo\\docs\\a"), "");
    EXPECT_EQ(USRFile::localPath("\\\\FILES@Sales@Demo\\docs\\..\\..\\..\\etc\\passwd"), "");
    EXPECT_EQ(USRFile::localPath("\\\\FILES@Sales@Demo\\docsX\\a"), "");
}

TEST_F(SharedFiles, ThisWorkstationsOwnNameIsNotAShare) {
    EXPECT_FALSE(USRFile::isOnSharedArea("\\\\" + USRFile::computerName() + "\\c\\a.doc"));
    std::string lower = USRFile::computerName();
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_FALSE(USRFile::isOnSharedArea("\\\\" + lower + "\\c\\a.doc"));
    EXPECT_TRUE(USRFile::isOnSharedArea("\\\\OTHERBOX\\c\\a.doc"));
    EXPECT_LE(USRFile::computerName().size(), 16u);
}

TEST_F(SharedFiles, TheRegistrysKeyAndTheOlderClientNaming) {
    writeFile(ws() + "/etc/registry.ini", "[SOFTWARE\\Halvex\\Qrd\\Client]\nUNCKey=QRD\n");
    EXPECT_EQ(USRFile::uncKey(), "QRD\\");
    std::string path = mount() + "/a.doc";
    ASSERT_TRUE(USRFile::normalise(path));
    EXPECT_EQ(path, "\\\\QRD\\FILES@Sales@Demo\\docs\\a.doc");
    fs::remove(ws() + "/etc/registry.ini");

    // An older client drops the key of paths a newer one wrote.
    qrdtest::appendQordaIni("[Client]\nVersion=70650\n");
    USRFile::resetClientGeneration();
    EXPECT_EQ(USRFile::clientGeneration(), 1);
    EXPECT_EQ(USRFile::uncKey(), "");
    std::string written = "\\\\Namewright\\FILES@Sales@Demo\\docs\\a.doc";
    ASSERT_TRUE(USRFile::normalise(written));
    EXPECT_EQ(written, "\\\\FILES@Sales@Demo\\docs\\a.doc");
    std::string local = mount() + "/a.doc";
    ASSERT_TRUE(USRFile::normalise(local));
    EXPECT_EQ(local, written);
    qrdtest::appendQordaIni("[Client]\nVersion=70651\n");
}

TEST_F(SharedFiles, FileTests) {
    writeFile(mount() + "/reports/q2.doc", "x");
    EXPECT_TRUE(USRFile::isFile(mount() + "/reports/q2.doc"));
    EXPECT_TRUE(USRFile::isFile("\\\\Namewright\\FILES@Sales@Demo\\docs\\reports\\q2.doc"));
    EXPECT_FALSE(USRFile::isFile(mount() + "/reports"));
    EXPECT_FALSE(USRFile::isFile(mount() + "/reports/missing.doc"));
    EXPECT_FALSE(USRFile::isFile(""));
    // A file a server publishes at its top is taken on trust.
    EXPECT_TRUE(USRFile::isFile("\\\\OTHERBOX\\readme.txt"));
    EXPECT_FALSE(USRFile::isFile("\\\\OTHERBOX\\share\\readme.txt"));

    EXPECT_EQ(USRFile::fileNameOf("\\\\SVC\\docs\\a b.doc"), "a b.doc");
    EXPECT_EQ(USRFile::fileNameOf("/home/u/r.txt"), "r.txt");
    EXPECT_EQ(USRFile::fileNameOf("plain"), "plain");
}

TEST_F(SharedFiles, TheProgramForAFileComesFromTheDefaultApplications) {
    deskfiles::useOwnApplications(ws(), "text/plain=gone.desktop;viewer.desktop;\n");
    writeFile(ws() + "/share/applications/viewer.desktop",
              "[Desktop Entry]\nType=Application\nExec=/opt/viewer --read %F\n");
    writeFile(mount() + "/notes.txt", "hello\n");

    std::string program;
    long error = 0;
    ASSERT_TRUE(USRFile::programForFile("\\\\Namewright\\FILES@Sales@Demo\\docs\\notes.txt",
                                        program, error));
    EXPECT_EQ(program, "/opt/viewer --read");
    // Unmounted: the name decides the type.
    ASSERT_TRUE(USRFile::programForFile("\\\\OTHER\\x\\todo.txt", program, error));
    EXPECT_EQ(program, "/opt/viewer --read");

    // An executable is its own program.
    std::string tool = mount() + "/tool";
    writeFile(tool, "#!/bin/sh\n");
    chmod(tool.c_str(), 0755);
    ASSERT_TRUE(USRFile::programForFile(tool, program, error));
    EXPECT_EQ(program, tool);
    ASSERT_TRUE(USRFile::programForFile("\\\\OTHER\\x\\setup.EXE", program, error));
    EXPECT_EQ(program, "\\\\OTHER\\x\\setup.EXE");

    EXPECT_FALSE(USRFile::programForFile("\\\\OTHER\\x\\image.png", program, error));
    EXPECT_EQ(error, ENOENT);
}

} // namespace
