#include <gtest/gtest.h>

#include "qrd/bytes.h"
#include "qrd/ini.h"

#include <cstdio>
#include <fstream>

namespace {

TEST(BeReader, ShortBufferFailsAndStaysFailed) {
    const uint8_t data[] = {0x01, 0x02, 0x03};
    qrd::BeReader r(data, sizeof data);
    EXPECT_EQ(r.u16(), 0x0102);
    EXPECT_EQ(r.u32(), 0u); // only one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0); // a failed reader never reads again
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(BeReader, StringHonoursPadAndLimit) {
    qrd::BeWriter w;
    w.string("abc");
    w.u16(0xBEEF);
    ASSERT_EQ(w.size(), 2u + 3 + 1 + 2);
    qrd::BeReader r(w.data().data(), w.size());
    std::string s;
    ASSERT_TRUE(r.string(s, 63));
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(r.u16(), 0xBEEF);

    qrd::BeReader tooLong(w.data().data(), w.size());
    EXPECT_FALSE(tooLong.string(s, 2));
}

TEST(BeReader, LengthBeyondDatagramIsRefused) {
    const uint8_t lying[] = {0xFF, 0xFF, 'a', 'b'};
    qrd::BeReader r(lying, sizeof lying);
    std::string s;
    EXPECT_FALSE(r.string(s, 100000));
    EXPECT_FALSE(r.ok());
}

TEST(IniFile, KeysAreCaseInsensitiveAndSaveRoundTrips) {
    std::string path = std::string(std::getenv("QRD_TEST_WS_DIR")) + "/t.ini";
    {
        std::ofstream f(path);
        f << "; comment\n[CommStack]\n PortBase = 7100 \nBroadcastAddress=127.255.255.255\n"
          << "[Software\\Halvex Applications\\X]\nRetries=x3\n";
    }
    auto ini = qrd::IniFile::load(path);
    EXPECT_EQ(ini.getLong("commstack", "portbase", 0), 7100);
    EXPECT_EQ(ini.getLong("Software\\Halvex Applications\\X", "Retries", 1), 1); // not a number
    ini.set("New", "Key", "v");
    ASSERT_TRUE(ini.save(path));
    EXPECT_EQ(qrd::IniFile::load(path).getString("NEW", "key", ""), "v");
    EXPECT_EQ(qrd::IniFile::load(path + ".missing").getString("a", "b", "d"), "d");
}

} // namespace
