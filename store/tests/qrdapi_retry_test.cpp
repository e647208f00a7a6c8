// Sessions, last errors, the retry of transient statuses and the settings
// behind it, with the fake client API and a recording sleep.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fake_client.h"
#include "qrd/ini.h"

namespace {

const char kKey[] = "Software\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright";

std::string registryPath() {
    return std::string(std::getenv("QRD_SYSCONF_DIR")) + "/registry.ini";
}

void writeRegistry(const std::string& values) {
    std::filesystem::create_directories(std::getenv("QRD_SYSCONF_DIR"));
    std::ofstream(registryPath()) << "[" << kKey << "]\n" << values;
    CQrdApi::reloadSettings();
}

class RetryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CQrdApi::setSleepFunction([this](unsigned long ms) { pauses.push_back(ms); });
        CQrdApi::clearLastError();
    }
    void TearDown() override { CQrdApi::setSleepFunction(nullptr); }

    fake::Installed installed;
    std::vector<unsigned long> pauses;
};

TEST_F(RetryTest, MissingSettingsAreWrittenBackWithTheirDefaults) {
    std::filesystem::remove(registryPath());
    CQrdApi::Settings s = CQrdApi::reloadSettings();
    EXPECT_EQ(s.retries, 1u);
    EXPECT_EQ(s.retryDelayMs, 500u);
    EXPECT_EQ(s.logFile, std::string(std::getenv("XDG_STATE_HOME")) + "/namewright/namedir.log");

    qrd::IniFile ini = qrd::IniFile::load(registryPath());
    EXPECT_EQ(ini.get(kKey, "Retries"), "1");
    EXPECT_EQ(ini.get(kKey, "RetryDelay"), "500");
    // The per-user default must not become the machine's setting.
    EXPECT_FALSE(ini.get(kKey, "LogFile"));
}

TEST_F(RetryTest, PresentOrMalformedSettingsAreNotOverwritten) {
    writeRegistry("Retries=7\nRetryDelay=soon\nLogFile=/var/log/x.log\n");
    CQrdApi::Settings s = CQrdApi::settings();
    EXPECT_EQ(s.retries, 7u);
    EXPECT_EQ(s.retryDelayMs, 500u);
    EXPECT_EQ(s.logFile, "/var/log/x.log");
    EXPECT_EQ(qrd::IniFile::load(registryPath()).get(kKey, "RetryDelay"), "soon");
}

TEST_F(RetryTest, WithNoRetriesATransientFailureReturnsAtOnce) {
    writeRegistry("Retries=0\nRetryDelay=100\n");
    fake::service().attrStatuses = {QRDERR_TIMEOUT};
    EXPECT_EQ(CQrdApi::deleteAttribute("alice@Sales@Demo", 52, 1), QRDERR_TIMEOUT);
    EXPECT_EQ(fake::service().attrCalls, 1);
    EXPECT_TRUE(pauses.empty());
}

TEST_F(RetryTest, ThreeRetriesWaitOneTwoAndThreeDelays) {
    writeRegistry("Retries=3\nRetryDelay=250\n");
    fake::service().attrStatuses = {155, 1039, 163, 1006, 0};
    std::vector<uint8_t> none;
    EXPECT_EQ(CQrdApi::writeAttribute("alice@Sales@Demo", 52, 1, none), 1006);
    EXPECT_EQ(fake::service().attrCalls, 4);
    EXPECT_EQ(pauses, (std::vector<unsigned long>{250, 500, 750}));
    EXPECT_EQ(CQrdApi::getLastError(), 1006);
}

TEST_F(RetryTest, ARecoveredReadSucceedsAndEachOfItsCallsIsRetried) {
    writeRegistry("Retries=3\nRetryDelay=10\n");
    std::vector<uint8_t> value;
    fake::service().attrStatuses = {QRDERR_NOT_RESPONDING, 0};
    EXPECT_EQ(CQrdApi::readAttribute("alice@Sales@Demo", 52, 1, value), 0);
    EXPECT_EQ(value, (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(fake::service().attrCalls, 2);

    // A value beyond one exchange: the first read says more follows, then
    // the size query fails once and the whole read fails once.
    std::vector<uint8_t> big(5000, 0x5A);
    fake::service().attrValue = big;
    fake::service().attrStatuses = {0, QRDERR_NOT_RESPONDING, 0, QRDERR_NM_SESSION_LOST, 0};
    EXPECT_EQ(CQrdApi::readAttribute("alice@Sales@Demo", 52, 1, value), 0);
    EXPECT_EQ(value, big);
    EXPECT_EQ(pauses, (std::vector<unsigned long>{10, 10, 10}));
    // A success does not clear the failure that came before it.
    EXPECT_EQ(CQrdApi::getLastError(), QRDERR_NM_SESSION_LOST);
    EXPECT_EQ(CQrdApi::getLastError(), 0);
}

TEST_F(RetryTest, OtherStatusesAreNotRetried) {
    writeRegistry("Retries=3\nRetryDelay=10\n");
    for (int st : {QRDERR_NM_NO_ATTR, 1033, QRDERR_NM_BAD_ARG, 157}) {
        fake::service().attrCalls = 0;
        fake::service().attrStatuses = {QRDSTATUS(st)};
        EXPECT_EQ(CQrdApi::deleteAttribute("alice@Sales@Demo", 1, 2), st);
        EXPECT_EQ(fake::service().attrCalls, 1) << st;
    }
    EXPECT_TRUE(pauses.empty());
}

TEST_F(RetryTest, LastErrorsBelongToTheirThread) {
    fake::service().attrStatuses = {QRDERR_NM_NO_ATTR};
    EXPECT_EQ(CQrdApi::deleteAttribute("alice@Sales@Demo", 1, 2), QRDERR_NM_NO_ATTR);
    QRDSTATUS other = 1;
    std::thread([&] { other = CQrdApi::getLastError(); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(CQrdApi::getLastError(), QRDERR_NM_NO_ATTR);
    EXPECT_EQ(CQrdApi::getLastError(), 0);
}

TEST_F(RetryTest, AFailedSessionStartIsTriedAgainOnTheNextCall) {
    fake::service().startStatuses = {QRDERR_NM_NOT_LOGGED_IN};
    QRD_NM_SESS* first = CQrdApi::getNmSession();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->active, 0);
    EXPECT_EQ(CQrdApi::getLastError(), QRDERR_NM_NOT_LOGGED_IN);
    QRD_NM_SESS* second = CQrdApi::getNmSession();
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->active, 1);
    EXPECT_EQ(fake::service().starts, 2);
    CQrdApi::getNmSession();
    EXPECT_EQ(fake::service().starts, 2);
}

TEST_F(RetryTest, EachThreadHasItsOwnSessionUntilItIsDestroyed) {
    QRD_NM_SESS* mine = CQrdApi::getNmSession();
    QRD_NM_SESS* theirs = nullptr;
    bool destroyed = false, again = true;
    std::thread([&] {
        theirs = CQrdApi::getNmSession();
        destroyed = CQrdApi::destroySession();
        again = CQrdApi::destroySession();
    }).join();
    EXPECT_NE(mine, theirs);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(again);
    EXPECT_EQ(CQrdApi::getNmSession(), mine);
    EXPECT_TRUE(CQrdApi::destroySession());
    EXPECT_FALSE(CQrdApi::destroySession());
}

} // namespace
