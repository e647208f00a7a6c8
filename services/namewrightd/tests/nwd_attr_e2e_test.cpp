// Attributes end to end: the namewrightd program on loopback, reached
// through the client library's attribute calls, its stubs and its session
// wrapper; a daemon killed in the middle of a transfer and with SIGKILL;
// a referral between two daemons holding different groups.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>

#include "nm/session.h"
#include "nwd_process.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

using nwdtest::Daemon;
using nwdtest::runTool;

namespace {

std::vector<std::string> daemonEnv(const std::string& suffix = "-nwd") {
    return {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + suffix};
}

QRD_PORT serverPort(uint8_t lastByte) {
    QRD_PORT p{};
    uint16_t family = QRD_FAMILY_NATIVE, subnet = 1, number = QRD_SVC_NAMEWRIGHT;
    uint32_t network = 0x7F000000u | lastByte;
    QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &p);
    return p;
}

void login(const QRD_PORT& at, const char* user, const char* password) {
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&at, user, password, &nonce, canonical), 0);
    ASSERT_EQ(QrdSetNonce(&nonce), 0);
}

std::vector<uint8_t> bytesOf(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 13 + i / 256);
    return v;
}

const AttrName kMain{52, 250000};

class AttrE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/attr.db";
        nwdtest::Outcome seeded = runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        args = {"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni};
        ASSERT_TRUE(daemon.start(args, ws.dir + "/attr.log", daemonEnv()));
        login(serverPort(1), "bob@Sales@Demo", "bob-demo");
        ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    }
    void TearDown() override { QrdEndNmSession(&sess); }

    QRDSTATUS put(const char* name, const AttrName& a, uint32_t type, const void* data,
                  uint32_t count, uint32_t flags = 2, QRD_NM_SESS* s = nullptr) {
        uint32_t index = 0;
        return QrdSetSNmAttr(s ? s : &sess, name, QRD_OCL_OBJECT, &a, type, &index, count, data,
                             &flags);
    }

    std::string db;
    std::vector<std::string> args;
    Daemon daemon;
    QRD_NM_SESS sess{};
};

TEST_F(AttrE2eTest, IntegersTravelInThreeExchangesAndBytesAsAsked) {
    std::vector<uint32_t> ints(2500);
    for (uint32_t i = 0; i < ints.size(); ++i)
        ints[i] = i * 2654435761u;
    ASSERT_EQ(put("bob@Sales@Demo", kMain, ATTR_INTEGERS, ints.data(), 2500), 0);

    uint32_t type = 0, count = 0, bytes = 0;
    ASSERT_EQ(QrdGetSNmAttrInfo(&sess, "bob@Sales@Demo", 0, &kMain, &type, &count, &bytes), 0);
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(count, 2500u);
    EXPECT_EQ(bytes, 10000u);

    std::vector<uint32_t> back(2500);
    uint32_t index = 0, flags = 0;
    type = ATTR_INTEGERS;
    count = 2500;
    ASSERT_EQ(QrdGetSNmAttr(&sess, "bob@Sales@Demo", 0, &kMain, &type, &index, &count, back.data(),
                            &flags),
              0);
    EXPECT_EQ(count, 2500u);
    EXPECT_EQ(back, ints);

    // The same read exchange by exchange: 1000, 1000, 500, with the flags.
    uint32_t got[3] = {}, more[3] = {};
    std::vector<uint32_t> chunk(1000);
    for (uint32_t i = 0, at = 0; i < 3; ++i) {
        uint32_t t = 4, ix = at, c = 2500 - at, f = 0;
        qrd::rpc::AttrValue v{0, 0, chunk.data(), chunk.size() * 4};
        ASSERT_EQ(qrd::nm::callInSession(uint16_t(i), &sess,
                                         [&](const QRD_PORT* p, const uint8_t* sid) {
                                             return qrd::rpc::nmReadAttr(p, sid, "bob@Sales@Demo",
                                                                         0, kMain, &t, &ix, &c, &f,
                                                                         &v);
                                         }),
                  0);
        got[i] = c;
        more[i] = f & QRD_ATTR_MORE;
        EXPECT_EQ(chunk[0], ints[at]);
        at += c;
    }
    EXPECT_EQ(got[0], 1000u);
    EXPECT_EQ(got[1], 1000u);
    EXPECT_EQ(got[2], 500u);
    EXPECT_EQ(more[0] + more[1], 2u);
    EXPECT_EQ(more[2], 0u);

    // A buffer for 10 bytes of a 100-byte value.
    std::vector<uint8_t> value = bytesOf(100, 5);
    ASSERT_EQ(put("bob@Sales@Demo", {52, 250201}, ATTR_RAW, value.data(), 100), 0);
    uint8_t small[10];
    type = ATTR_RAW;
    index = 0;
    count = 10;
    flags = 0;
    const AttrName a201{52, 250201};
    ASSERT_EQ(
        QrdGetSNmAttr(&sess, "bob@Sales@Demo", 0, &a201, &type, &index, &count, small, &flags), 0);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(flags & QRD_ATTR_MORE, 1u);
    EXPECT_EQ(std::memcmp(small, value.data(), 10), 0);
}

TEST_F(AttrE2eTest, ReplaceModeWritesAMissingAttributeAndRefusesAnIndex) {
    const AttrName a{34, 250005};
    const char text[] = "prefs";
    uint32_t index = 1, flags = QRD_ATTR_REPLACE;
    EXPECT_EQ(QrdSetSNmAttr(&sess, "bob@Sales@Demo", 0, &a, ATTR_RAW, &index, 5, text, &flags),
              QRDERR_NM_REPLACE_INDEX);
    uint32_t type, count, bytes;
    EXPECT_EQ(QrdGetSNmAttrInfo(&sess, "bob@Sales@Demo", 0, &a, &type, &count, &bytes),
              QRDERR_NM_NO_ATTR);
    index = 0;
    flags = QRD_ATTR_REPLACE;
    ASSERT_EQ(QrdSetSNmAttr(&sess, "bob@Sales@Demo", 0, &a, ATTR_RAW, &index, 5, text, &flags), 0);
    ASSERT_EQ(QrdGetSNmAttrInfo(&sess, "bob@Sales@Demo", 0, &a, &type, &count, &bytes), 0);
    EXPECT_EQ(bytes, 5u);
    // Replacing a longer value by a shorter one leaves only the shorter.
    index = 0;
    flags = QRD_ATTR_REPLACE;
    ASSERT_EQ(QrdSetSNmAttr(&sess, "bob@Sales@Demo", 0, &a, ATTR_RAW, &index, 2, "ab", &flags), 0);
    ASSERT_EQ(QrdGetSNmAttrInfo(&sess, "bob@Sales@Demo", 0, &a, &type, &count, &bytes), 0);
    EXPECT_EQ(bytes, 2u);
    // Not bob's to write: the administrator's, and nobody's answer is 1033.
    EXPECT_EQ(put("alice@Sales@Demo", a, ATTR_RAW, "x", 1), 1033);
    EXPECT_EQ(QrdDeleteSNmAttr(&sess, "bob@Sales@Demo", 0, &a), 0);
    EXPECT_EQ(QrdDeleteSNmAttr(&sess, "bob@Sales@Demo", 0, &a), QRDERR_NM_NO_ATTR);
}

TEST_F(AttrE2eTest, TextTravelsInLatin1WhateverTheSessionsCharacterSet) {
    // "Gr\xFC\xDF" and a second string, each NUL-terminated, in Latin-1.
    const uint8_t latin1[] = {'G', 'r', 0xFC, 0xDF, 0, 'x', 0xFC, 0};
    ASSERT_EQ(put("bob@Sales@Demo", kMain, ATTR_TEXT, latin1, sizeof latin1), 0);
    auto readAs = [&](uint16_t charset) {
        QRD_NM_SESS s;
        QrdInitNmSession(charset, nullptr, &s);
        std::vector<uint8_t> out(sizeof latin1);
        uint32_t type = ATTR_TEXT, index = 0, count = sizeof latin1, flags = 0;
        EXPECT_EQ(QrdGetSNmAttr(&s, "bob@Sales@Demo", 0, &kMain, &type, &index, &count, out.data(),
                                &flags),
                  0);
        QrdEndNmSession(&s);
        return out;
    };
    std::vector<uint8_t> pc = readAs(QRD_CHARSET_PCM);
    EXPECT_EQ(pc[2], 0x81) << "u with diaeresis in the PC code page";
    EXPECT_EQ(pc[6], 0x81);
    std::vector<uint8_t> ascii = readAs(QRD_CHARSET_ASCII);
    EXPECT_EQ(ascii[2], 'u');
    EXPECT_EQ(readAs(QRD_CHARSET_LATIN1), std::vector<uint8_t>(latin1, latin1 + sizeof latin1));

    // Written from the PC code page, stored in Latin-1.
    QRD_NM_SESS pcSess;
    QrdInitNmSession(QRD_CHARSET_PCM, nullptr, &pcSess);
    const uint8_t fromPc[] = {'u', 0x81, 0};
    ASSERT_EQ(put("bob@Sales@Demo", kMain, ATTR_TEXT, fromPc, sizeof fromPc, 2, &pcSess), 0);
    QrdEndNmSession(&pcSess);
    std::vector<uint8_t> stored = readAs(QRD_CHARSET_LATIN1);
    EXPECT_EQ(stored[1], 0xFC);
}

TEST_F(AttrE2eTest, AScanStopsOnAnAllZeroPass) {
    for (uint32_t n : {250200u, 250203u, 250207u})
        ASSERT_EQ(put("bob@Sales@Demo", {52, n}, ATTR_RAW, "v", 1), 0);
    ASSERT_EQ(put("bob@Sales@Demo", {53, 250200}, ATTR_RAW, "v", 1), 0);
    AttrName first{52, 250200}, last{52, 259999}, names[10];
    QRD_SCAN_PASS pass{};
    uint16_t n = 10;
    ASSERT_EQ(QrdScanSNmAttr(&sess, "bob@Sales@Demo", 0, &first, &last, &pass, &n, names), 0);
    ASSERT_EQ(n, 3u) << "not full, and done after one exchange";
    EXPECT_EQ(names[2].number, 250207u);
    for (uint8_t b : pass.bytes)
        EXPECT_EQ(b, 0);
    // Two at a time: the pass goes on where the first exchange stopped.
    pass = QRD_SCAN_PASS{};
    n = 2;
    ASSERT_EQ(QrdScanSNmAttr(&sess, "bob@Sales@Demo", 0, &first, &last, &pass, &n, names), 0);
    ASSERT_EQ(n, 2u);
    n = 2;
    ASSERT_EQ(QrdScanSNmAttr(&sess, "bob@Sales@Demo", 0, &first, &last, &pass, &n, names), 0);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(names[0].number, 250207u);
}

TEST_F(AttrE2eTest, ASessionLostInTheMiddleOfATransferIsReportedNotRestarted) {
    std::vector<uint8_t> value = bytesOf(10000, 1);
    ASSERT_EQ(put("bob@Sales@Demo", kMain, ATTR_RAW, value.data(), 10000), 0);
    std::vector<uint8_t> chunk(4096);
    auto exchange = [&](uint16_t n, uint32_t at) {
        uint32_t t = 2, ix = at, c = 10000 - at, f = 0;
        qrd::rpc::AttrValue v{0, 0, chunk.data(), chunk.size()};
        return qrd::nm::callInSession(n, &sess, [&](const QRD_PORT* p, const uint8_t* sid) {
            return qrd::rpc::nmReadAttr(p, sid, "bob@Sales@Demo", 0, kMain, &t, &ix, &c, &f, &v);
        });
    };
    ASSERT_EQ(exchange(0, 0), 0);
    daemon.kill(SIGTERM);
    ASSERT_EQ(daemon.wait(5000), 0);
    Daemon again;
    ASSERT_TRUE(again.start(args, qrdtest::workstation().dir + "/attr.log", daemonEnv()));
    EXPECT_EQ(exchange(1, 4096), QRDERR_NM_SESSION_LOST);
    EXPECT_EQ(sess.active, 0);
    // A new read starts a new session and reads the whole value.
    std::vector<uint8_t> back(10000);
    uint32_t type = ATTR_RAW, index = 0, count = 10000, flags = 0;
    ASSERT_EQ(QrdGetSNmAttr(&sess, "bob@Sales@Demo", 0, &kMain, &type, &index, &count, back.data(),
                            &flags),
              0);
    EXPECT_EQ(back, value);
    QrdEndNmSession(&sess); // while its daemon still answers
}

TEST_F(AttrE2eTest, AnAcknowledgedWriteSurvivesSigkill) {
    std::vector<uint8_t> value = bytesOf(10000, 42);
    ASSERT_EQ(put("bob@Sales@Demo", kMain, ATTR_RAW, value.data(), 10000), 0);
    ASSERT_EQ(put("Sales@Demo", {52, 200201}, ATTR_RAW, "shared", 6), QRDERR_NM_BAD_NAME)
        << "a group takes object class 5";
    uint32_t index = 0, flags = 2;
    const AttrName shared{52, 200201};
    ASSERT_EQ(QrdSetSNmAttr(&sess, "Sales@Demo", QRD_OCL_GROUP, &shared, ATTR_RAW, &index, 6,
                            "shared", &flags),
              0);
    daemon.kill(SIGKILL);

    Daemon again;
    ASSERT_TRUE(again.start(args, qrdtest::workstation().dir + "/attr.log", daemonEnv()));
    std::vector<uint8_t> back(10000);
    uint32_t type = ATTR_RAW, count = 10000;
    index = 0;
    flags = 0;
    ASSERT_EQ(QrdGetSNmAttr(&sess, "bob@Sales@Demo", 0, &kMain, &type, &index, &count, back.data(),
                            &flags),
              0);
    EXPECT_EQ(back, value);
    char text[6];
    type = ATTR_RAW;
    count = 6;
    index = 0;
    ASSERT_EQ(QrdGetSNmAttr(&sess, "Sales@Demo", QRD_OCL_GROUP, &shared, &type, &index, &count,
                            text, &flags),
              0);
    EXPECT_EQ(std::memcmp(text, "shared", 6), 0);
    QrdEndNmSession(&sess); // while its daemon still answers
}

// Two daemons on 127.0.0.1 and 127.0.0.2, each holding one group.
class ReferralTest : public ::testing::Test {
  protected:
    void startBoth(const std::vector<std::string>& extraB) {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        std::string iniB = ws.dir + "/QORDA-B.INI";
        std::ifstream in(ws.qordaIni);
        std::ofstream out(iniB);
        std::string line;
        while (std::getline(in, line))
            out << (line.rfind("ServerAddress=", 0) == 0 ? "ServerAddress=127.0.0.2" : line)
                << "\n";
        out.close();
        const char seed[] = "org add Demo\n"
                            "group add Sales@Demo --server NW1@Sales@Demo\n"
                            "group add Support@Demo --server NW2@Support@Demo\n"
                            "server add NW1@Sales@Demo 127.0.0.1\n"
                            "server add NW2@Support@Demo 127.0.0.2\n"
                            "user add alice@Sales@Demo --password alice-pw\n"
                            "user add carol@Support@Demo --password carol-pw\n";
        for (const char* which : {"a", "b"}) {
            nwdtest::Outcome o = runTool(
                {"seed", "--db", ws.dir + "/ref-" + which + ".db", "--kdf-iterations", "1000", "-"},
                seed);
            ASSERT_EQ(o.exitCode, 0) << o.err;
        }
        ASSERT_TRUE(a.start({"--db", ws.dir + "/ref-a.db", "--server-name", "NW1@Sales@Demo",
                             "--config", ws.qordaIni},
                            ws.dir + "/ref-a.log", daemonEnv("-a")));
        std::vector<std::string> argsB = {"--db",          ws.dir + "/ref-b.db",
                                          "--server-name", "NW2@Support@Demo",
                                          "--config",      iniB,
                                          "--ip-port",     "0"};
        argsB.insert(argsB.end(), extraB.begin(), extraB.end());
        ASSERT_TRUE(b.start(argsB, ws.dir + "/ref-b.log", daemonEnv("-b")));
        // carol logs in at the first server, whose session she starts.
        login(serverPort(1), "carol@Support@Demo", "carol-pw");
        QRD_PORT atA = serverPort(1);
        ASSERT_EQ(QrdStartNmSession(&atA, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    }
    void TearDown() override { QrdEndNmSession(&sess); }

    Daemon a, b;
    QRD_NM_SESS sess{};
};

TEST_F(ReferralTest, AnObjectOfTheOtherServersGroupIsWrittenAndReadThere) {
    ASSERT_NO_FATAL_FAILURE(startBoth({}));
    std::vector<uint8_t> value = bytesOf(6000, 3);
    uint32_t index = 0, flags = 2;
    ASSERT_EQ(QrdSetSNmAttr(&sess, "carol@Support@Demo", 0, &kMain, ATTR_RAW, &index, 6000,
                            value.data(), &flags),
              0);
    std::vector<uint8_t> back(6000);
    uint32_t type = ATTR_RAW, count = 6000;
    index = 0;
    flags = 0;
    ASSERT_EQ(QrdGetSNmAttr(&sess, "carol@Support@Demo", 0, &kMain, &type, &index, &count,
                            back.data(), &flags),
              0);
    EXPECT_EQ(back, value);
    EXPECT_EQ(sess.active, 1) << "the caller's session stays with the first server";

    // The value lives at the second server only; the first refers.
    char server[NMNAMELEN];
    ASSERT_EQ(QrdGetSNmGroup(&sess, "support@demo", server), 0);
    EXPECT_STREQ(server, "NW2@Support@Demo");
    uint32_t t = 2, ix = 0, c = 10, f = 0;
    uint8_t chunk[10];
    qrd::rpc::AttrValue v{0, 0, chunk, sizeof chunk};
    QRD_PORT atA = serverPort(1);
    EXPECT_EQ(
        qrd::rpc::nmReadAttr(&atA, sess.id, "carol@Support@Demo", 0, kMain, &t, &ix, &c, &f, &v),
        QRDERR_NM_REFERRAL);
    // The group's own objects are written at the first server directly.
    index = 0;
    flags = 2;
    EXPECT_EQ(QrdSetSNmAttr(&sess, "alice@Sales@Demo", 0, &kMain, ATTR_RAW, &index, 1, "x", &flags),
              1033)
        << "carol may not write alice's object";
}

TEST_F(ReferralTest, AnOldServerKeepsTheAttributesInTheEmulationRecord) {
    ASSERT_NO_FATAL_FAILURE(startBoth({"--revision", "50000"}));
    const char text[] = "kept in record 762";
    uint32_t index = 0, flags = 2;
    ASSERT_EQ(QrdSetSNmAttr(&sess, "carol@Support@Demo", 0, &kMain, ATTR_RAW, &index, sizeof text,
                            text, &flags),
              0);
    char back[sizeof text] = {};
    uint32_t type = ATTR_RAW, count = sizeof text;
    index = 0;
    flags = 0;
    ASSERT_EQ(
        QrdGetSNmAttr(&sess, "carol@Support@Demo", 0, &kMain, &type, &index, &count, back, &flags),
        0);
    EXPECT_STREQ(back, text);
    // At the old server the record holds it; its attribute procedures are unknown.
    QRD_PORT atB = serverPort(2);
    uint8_t sid[4];
    QRD_NONCE nonce;
    ASSERT_EQ(QrdGetNonce(&nonce), 0);
    ASSERT_EQ(qrd::rpc::nmStartSession(&atB, nonce, sid), 0);
    std::vector<uint8_t> record(2048);
    uint16_t length = 0;
    ASSERT_EQ(qrd::rpc::nmReadAssoc(&atB, sid, "carol@Support@Demo", 0, 762, record.data(),
                                    uint16_t(record.size()), &length),
              0);
    EXPECT_EQ(length, 1682);
    EXPECT_EQ(std::memcmp(record.data(), "attr", 4), 0);
    uint32_t t = 2, ix = 0, c = 10, f = 0;
    qrd::rpc::AttrValue v{0, 0, back, sizeof back};
    EXPECT_EQ(qrd::rpc::nmReadAttr(&atB, sid, "carol@Support@Demo", 0, kMain, &t, &ix, &c, &f, &v),
              1099);
    qrd::rpc::nmEndSession(&atB, sid);
}

} // namespace
