// The store's log file: line format, and the move to ".bak" at 32767 bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "namedir.h"

namespace fs = std::filesystem;

namespace {

const char kKey[] = "Software\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright";

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::string(std::getenv("QRD_TEST_WS_DIR")) + "/logs";
        file = dir + "/store.log";
        fs::create_directories(std::getenv("QRD_SYSCONF_DIR"));
        std::ofstream(std::string(std::getenv("QRD_SYSCONF_DIR")) + "/registry.ini")
            << "[" << kKey << "]\nLogFile=" << file << "\n";
        CQrdApi::reloadSettings();
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void fillTo(size_t size) {
        fs::create_directories(dir);
        std::ofstream(file, std::ios::binary) << std::string(size, 'x');
    }

    std::string dir, file;
};

TEST_F(LogTest, EachMessageIsOneTimeStampedLineInAFolderMadeForIt) {
    CQrdApi::logMessage("first");
    CQrdApi::logMessage("second: 50% done");
    std::string text = read(file);
    std::regex line(R"(\d\d-[A-Z][a-z][a-z]-\d{4} \d\d:\d\d:\d\d : first\n)"
                    R"(\d\d-[A-Z][a-z][a-z]-\d{4} \d\d:\d\d:\d\d : second: 50% done\n)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(LogTest, AFileJustBelowTheLimitIsAppendedTo) {
    fillTo(32766);
    CQrdApi::logMessage("more");
    EXPECT_FALSE(fs::exists(file + ".bak"));
    EXPECT_GT(fs::file_size(file), 32766u);
}

TEST_F(LogTest, AFileAtTheLimitMovesToBakAndANewOneStarts) {
    fillTo(32767);
    std::ofstream(file + ".bak") << "older backup";
    CQrdApi::logMessage("fresh");
    EXPECT_EQ(read(file + ".bak"), std::string(32767, 'x'));
    std::string fresh = read(file);
    EXPECT_NE(fresh.find(" : fresh\n"), std::string::npos);
    EXPECT_EQ(fresh.find('x'), std::string::npos);
}

} // namespace
