// libdeskinstall against a namewrightd of the test's own: the store found
// through the registry file and loaded at run time (this test does not link
// it), actions installed from a definition file, asked about, removed and
// counted, and what a person is told when something fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "deskinstall.h"
#include "store_daemon.h"

namespace {

const char kStoreKey[] = "SOFTWARE\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\namedir.DLL";

// What the library told its caller.
struct Heard {
    std::vector<std::string> questions;
    std::vector<std::string> errors;
    std::vector<std::string> details;
    bool answer = false;
    bool callBack = false; // the reporter calls the installer again, once
};

int ask(void* context, const char* caption, const char* text) {
    auto* h = static_cast<Heard*>(context);
    h->questions.push_back(std::string(caption) + " | " + text);
    return h->answer;
}

void error(void* context, const char* caption, const char* text, const char* detail) {
    auto* h = static_cast<Heard*>(context);
    h->errors.push_back(std::string(caption) + " | " + text);
    h->details.push_back(detail);
    if (h->callBack) {
        h->callBack = false;
        EXPECT_EQ(QrdNmdGetInstalledActionCount(), -1);
    }
}

class InstallerTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        QrdNmdReporter r{ask, error, &heard};
        QrdNmdSetReporter(&r);
    }
    void TearDown() override { QrdNmdSetReporter(nullptr); }

    // The registry file with the given lines (one section per key given).
    void registry(const std::string& fileName, const std::string& folders) {
        std::string dir = std::getenv("QRD_SYSCONF_DIR");
        std::filesystem::create_directories(dir);
        std::ofstream out(dir + "/registry.ini");
        if (!fileName.empty()) out << "[" << kStoreKey << "]\nPath=" << fileName << "\n";
        if (!folders.empty()) out << "[" << kAppPathsKey << "]\nPath=" << folders << "\n";
    }
    void registryFindsTheStore() {
        registry("libnamedir.so", "/nonexistent:" + qrdtest::binaryDir() + "/store");
    }

    void startAndLogIn() {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }

    std::string file(const std::string& text) {
        std::string path = qrdtest::workstation().dir + "/actions.ini";
        std::ofstream(path) << text;
        return path;
    }

    // What `namedir dump` shows of bob's or his group's objects.
    std::string dump(const std::string& holder) {
        nwdtest::Outcome o =
            nwdtest::runProgram(qrdtest::binaryDir() + "/store/namedir", {"dump", holder});
        EXPECT_EQ(o.exitCode, 0) << o.err;
        return o.out;
    }

    Heard heard;
};

const char kTwoActions[] = "[Shared viewer]\n"
                           "Command=~bin/view %s\n"
                           "Shared=yes\n"
                           "[Editor]\n"
                           "Command=~/bin/edit %s\n"
                           "Description=Edits documents\n"
                           "WinMode=sw_maximize\n"
                           "Capabilities=Doc Web\n"
                           "Icon=3\n";

} // namespace

TEST_F(InstallerTest, TheStoreIsFoundThroughTheRegistryOrTheReasonIsReported) {
    startAndLogIn();
    // Nothing in the registry: the key is named, and where it was looked for.
    // A reporter that calls the installer again meets no lock it holds.
    registry("", "");
    heard.callBack = true;
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), -1);
    ASSERT_EQ(heard.errors.size(), 1u);
    EXPECT_EQ(heard.errors[0],
              "Error! | Unable to open registry key \\HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvex "
              "Applications\\Namewright Desktop\\Directory\\Namewright\\Path.  This may indicate "
              "that Namewright Desktop is not installed or your registry is corrupt.  Please "
              "contact your system administrator.");
    EXPECT_NE(heard.details[0].find("registry.ini"), std::string::npos) << heard.details[0];

    // The folders missing is the same message for the other key.
    registry("libnamedir.so", "");
    EXPECT_EQ(QrdNmdRemoveAction("x"), -1);
    EXPECT_NE(heard.errors.back().find("App Paths\\namedir.DLL\\Path."), std::string::npos);

    // Folders that do not hold it, and a library that is not the store.
    const char* kCannotLoad = "Error! | Unable to load Namewright Desktop, operation incomplete.";
    registry("libnamedir.so", "/nonexistent");
    EXPECT_EQ(QrdNmdIsActionInstalled("x"), 0);
    EXPECT_EQ(heard.errors.back(), kCannotLoad);
    registry("libqrdxapi.so", qrdtest::binaryDir() + "/api");
    EXPECT_EQ(QrdNmdCreateActions(file(kTwoActions).c_str(), nullptr), 0);
    EXPECT_EQ(heard.errors.back(), kCannotLoad);
    EXPECT_NE(heard.details.back().find("DIRLoadDirectory"), std::string::npos);

    // Once the registry is right, the next call loads it.
    registryFindsTheStore();
    heard.errors.clear();
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), 0);
    EXPECT_TRUE(heard.errors.empty()) << heard.errors[0];
}

TEST_F(InstallerTest, AFileInstallsOneActionPerSectionAsWritten) {
    startAndLogIn();
    registryFindsTheStore();
    EXPECT_EQ(QrdNmdCreateActions(nullptr, nullptr), 0);
    EXPECT_EQ(QrdNmdCreateActions(file(kTwoActions).c_str(), "/opt/app"), 2);
    EXPECT_TRUE(heard.errors.empty()) << heard.errors[0];
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), 2);
    EXPECT_EQ(QrdNmdIsActionInstalled("Editor"), 1);
    EXPECT_EQ(QrdNmdIsActionInstalled("Shared viewer"), 1);
    EXPECT_EQ(QrdNmdIsActionInstalled("editor"), 0); // names compare exactly

    std::string mine = dump("bob@Sales@Demo");
    EXPECT_NE(mine.find("\"commandLine\": \"/opt/app/bin/edit %s\""), std::string::npos) << mine;
    EXPECT_NE(mine.find("\"showMode\": 3"), std::string::npos);
    EXPECT_NE(mine.find("\"capabilities\": 10"), std::string::npos);
    EXPECT_NE(mine.find("\"iconIndex\": 3"), std::string::npos);
    EXPECT_NE(mine.find("\"refValue\": 10"), std::string::npos); // the personal library's entry
    std::string group = dump("Sales@Demo");
    EXPECT_NE(group.find("\"commandLine\": \"/opt/app/bin/view %s\""), std::string::npos) << group;
}

TEST_F(InstallerTest, AnInstalledActionIsReplacedOnlyWhenTheAnswerIsYes) {
    startAndLogIn();
    registryFindsTheStore();
    ASSERT_EQ(QrdNmdCreateAction1("Editor", "edit %s", "", "", "SW_SHOW", "Doc", 0, 0, 0, nullptr),
              1);
    std::string before = dump("bob@Sales@Demo");

    heard.answer = false;
    EXPECT_EQ(QrdNmdCreateAction1("Editor", "edit2 %s", "", "", "", "", 0, 0, 0, nullptr), 0);
    ASSERT_EQ(heard.questions.size(), 1u);
    EXPECT_EQ(heard.questions[0],
              "Action already installed! | The action \"Editor\"  is already installed and "
              "registered, do you wish to reinstall the action?");
    EXPECT_TRUE(heard.errors.empty());
    EXPECT_EQ(dump("bob@Sales@Demo"), before);

    heard.answer = true;
    EXPECT_EQ(QrdNmdCreateAction1("Editor", "edit2 %s", "", "", "", "", 0, 0, 0, nullptr), 1);
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), 1);
    std::string after = dump("bob@Sales@Demo");
    EXPECT_NE(after.find("edit2 %s"), std::string::npos);
    EXPECT_EQ(after.find("\"commandLine\": \"edit %s\""), std::string::npos) << after;
}

TEST_F(InstallerTest, RemovingTakesEveryActionOfTheNameAndItsObject) {
    startAndLogIn();
    registryFindsTheStore();
    ASSERT_EQ(QrdNmdCreateActions(file(kTwoActions).c_str(), nullptr), 2);
    std::string before = dump("bob@Sales@Demo");

    EXPECT_EQ(QrdNmdRemoveAction("Not installed"), 1);
    EXPECT_EQ(dump("bob@Sales@Demo"), before);

    EXPECT_EQ(QrdNmdRemoveAction("Editor"), 1);
    EXPECT_EQ(QrdNmdIsActionInstalled("Editor"), 0);
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), 1);
    std::string after = dump("bob@Sales@Demo");
    EXPECT_EQ(after.find("\"typeName\": \"action\""), std::string::npos) << after;
    EXPECT_TRUE(heard.errors.empty()) << heard.errors[0];
}

TEST_F(InstallerTest, AnActionTheStoreRefusesIsReportedWithItsError) {
    startAndLogIn();
    registryFindsTheStore();
    // A name longer than the store keeps.
    std::string longName(60, 'n');
    EXPECT_EQ(QrdNmdCreateAction1(longName.c_str(), "x", "", "", "", "", 0, 0, 0, nullptr), 0);
    ASSERT_EQ(heard.errors.size(), 1u);
    EXPECT_EQ(heard.errors[0].rfind("Error! | Unable to add action \"" + longName +
                                        "\" to the Namewright Desktop action library.  Error = "
                                        "101, QORDA error ",
                                    0),
              0u)
        << heard.errors[0];
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), 0);
}

TEST_F(InstallerTest, NobodyLoggedInIsReportedWithTheStoreError124) {
    startAndLogIn();
    registryFindsTheStore();
    char nobody[NMNAMELEN] = {};
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, nobody, NMNAMELEN), 0);
    EXPECT_EQ(QrdNmdCreateAction1("Editor", "edit", "", "", "", "", 0, 0, 0, nullptr), 0);
    ASSERT_FALSE(heard.errors.empty());
    EXPECT_EQ(heard.errors.back().rfind("Error listing actions | Unable to obtain a list of "
                                        "installed actions, error = ",
                                        0),
              0u)
        << heard.errors.back();
    EXPECT_EQ(QrdNmdGetInstalledActionCount(), -1);
    EXPECT_EQ(heard.errors.back().rfind("Error listing actions | The following error occurred "
                                        "while attempting get the installed action count: 124, "
                                        "QORDA Error: ",
                                        0),
              0u)
        << heard.errors.back();
    EXPECT_EQ(QrdNmdRemoveAction("Editor"), 0);
    EXPECT_EQ(heard.errors.back().rfind("Error listing actions | The following error occurred "
                                        "while attempting to remove an action: 124, ",
                                        0),
              0u)
        << heard.errors.back();
}
