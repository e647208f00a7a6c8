// Directory assistance end to end: the namewrightd program on loopback,
// located and queried through the client library's NMDA calls.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "nwd_process.h"
#include "qrd/bytes.h"
#include "qrd/ini.h"
#include "qrdapi.h"

using nwdtest::Daemon;
using nwdtest::runTool;

namespace {

const char kService[] = "NMDA-NW1@Sales@Demo";

class NmdaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db = ws.dir + "/nmda.db";
        std::remove(db.c_str());
        nwdtest::Outcome seeded = runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
        admin({"user", "bulk", "Sales@Demo", "50", "--prefix", "p"});
        ASSERT_TRUE(
            daemon.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                         ws.dir + "/nmda.log", daemonEnv()))
            << "no ready line; got \"" << daemon.readyLine() << "\"";
        loginAs("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override {
        if (handle) QrdEndNmdaSession(handle);
        QrdSetProtocolPref(QRD_PROT_QIP);
    }

    static std::vector<std::string> daemonEnv() {
        return {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"};
    }

    void admin(std::vector<std::string> args) {
        args.insert(args.begin(), {"admin", "--db", db});
        nwdtest::Outcome o = runTool(args);
        ASSERT_EQ(o.exitCode, 0) << o.err;
    }

    void loginAs(const char* user, const char* password) {
        QRD_PORT port = nwdtest::localService();
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN] = {};
        ASSERT_EQ(QrdNmLogin(&port, user, password, &nonce, canonical), 0);
        ASSERT_EQ(QrdSetNonce(&nonce), 0);
        ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN), 0);
    }

    void start() { ASSERT_EQ(QrdStartNmdaSession(nullptr, &handle), 0); }

    // One data query; the names of the page.
    std::vector<std::string> page(uint16_t op, QRD_NMDA_CONTEXT& ctx, QRD_NMDA_QUERY& q,
                                  QRDSTATUS* status = nullptr) {
        ctx.operation = op;
        QRD_NMDA_RESULT r{};
        QRDSTATUS st = QrdGetNmdaData(handle, &ctx, &q, nullptr, &r);
        if (status)
            *status = st;
        else
            EXPECT_EQ(st, 0);
        std::vector<std::string> names;
        for (uint16_t i = 0; i < r.count; ++i)
            names.emplace_back(r.entries[i].name);
        last = r;
        return names;
    }

    static QRD_NMDA_CONTEXT context(uint16_t kind = QRD_NMDA_KIND_USERS) {
        QRD_NMDA_CONTEXT c{};
        c.kind = kind;
        c.pageSize = QRD_NMDA_PAGE;
        return c;
    }

    std::string db;
    Daemon daemon;
    QRD_NMDA_HANDLE handle = nullptr;
    QRD_NMDA_RESULT last{};
};

std::string user(int n) {
    char b[32];
    std::snprintf(b, sizeof b, "p%06d@Sales@Demo", n);
    return b;
}

TEST_F(NmdaTest, ABroadcastFindsTheServiceAndPagesWalkTheWholeAnswerBothWays) {
    start();
    QRD_NMDA_SESSION block{};
    ASSERT_EQ(QrdGetNmdaSession(handle, &block), 0);
    EXPECT_EQ(block.charCode, QRD_NMDA_CHARS_NONE);
    const uint32_t revision = block.revision; // a packed field: copied, not bound
    EXPECT_EQ(revision, uint32_t(QRD_NMDA_REVISION));
    EXPECT_EQ(qrd::getBe16(block.svcPort.port) & 0x1FF, QRD_NMDA_SESSION_WKP);
    EXPECT_EQ(qrd::getBe16(block.rpcPort.port) & 0x1FF, QRD_NMDA_WKP);

    QRD_NMDA_CONTEXT ctx = context();
    QRD_NMDA_QUERY q{};
    std::vector<std::string> all = page(QRD_NMDA_OP_FIRST, ctx, q);
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[0], "alice@Sales@Demo");
    EXPECT_EQ(ctx.forward, 0);
    EXPECT_EQ(last.entries[0].descKind, QRD_NMDA_VALUE_TEXT);
    EXPECT_STREQ(last.entries[0].description, "Alice Archer");
    for (;;) {
        ctx.forward = QRD_NMDA_POS_BESIDE;
        std::vector<std::string> more = page(QRD_NMDA_OP_NEXT, ctx, q);
        all.insert(all.end(), more.begin(), more.end());
        if (more.size() < QRD_NMDA_PAGE) break;
    }
    ASSERT_EQ(all.size(), 54u); // four demo users and fifty more
    EXPECT_EQ(all.back(), user(50));
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1], all[i]) << "in key order, without repeats";

    std::vector<std::string> back = page(QRD_NMDA_OP_LAST, ctx, q);
    EXPECT_EQ(ctx.backward, 100);
    std::vector<std::string> reversed(back.rbegin(), back.rend());
    for (;;) {
        ctx.backward = QRD_NMDA_POS_BESIDE;
        std::vector<std::string> more = page(QRD_NMDA_OP_PREVIOUS, ctx, q);
        reversed.insert(reversed.end(), more.rbegin(), more.rend());
        if (more.size() < QRD_NMDA_PAGE) break;
    }
    EXPECT_EQ(std::vector<std::string>(reversed.rbegin(), reversed.rend()), all);
}

TEST_F(NmdaTest, NextAndPreviousFollowTheKeysWhenTheAnswerChangesBetweenPages) {
    start();
    QRD_NMDA_CONTEXT ctx = context();
    QRD_NMDA_QUERY q{};
    std::vector<std::string> first = page(QRD_NMDA_OP_FIRST, ctx, q);
    ASSERT_EQ(first.back(), user(3));
    // Another writer removes the next name and adds one before the page.
    admin({"user", "remove", user(4)});
    admin({"user", "bulk", "Sales@Demo", "1", "--prefix", "c"});

    ctx.forward = QRD_NMDA_POS_BESIDE;
    std::vector<std::string> next = page(QRD_NMDA_OP_NEXT, ctx, q);
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next.front(), user(5)) << "neither repeated nor skipped";

    ctx.backward = QRD_NMDA_POS_BESIDE;
    std::vector<std::string> before = page(QRD_NMDA_OP_PREVIOUS, ctx, q);
    ASSERT_EQ(before.size(), 7u);
    EXPECT_EQ(before.back(), user(3));
    EXPECT_EQ(before[1], "c000001@Sales@Demo") << "the page before shows the change";
}

TEST_F(NmdaTest, PositionsAndTypedTextPlaceThePage) {
    start();
    QRD_NMDA_CONTEXT ctx = context();
    QRD_NMDA_QUERY q{};
    for (uint16_t p : {10, 50, 90}) {
        ctx.forward = p;
        std::vector<std::string> names = page(QRD_NMDA_OP_NEXT, ctx, q);
        ASSERT_FALSE(names.empty()) << p;
        // Fewer than 101 names share percents: within one of the asked.
        EXPECT_GE(ctx.forward + 1, p) << "a page asked for at " << p << " starts there";
        EXPECT_LE(ctx.forward, p + 1);
        EXPECT_LE(ctx.forward, ctx.backward);
    }
    ctx.backward = 100;
    std::vector<std::string> end = page(QRD_NMDA_OP_PREVIOUS, ctx, q);
    EXPECT_EQ(end.back(), user(50));

    std::strcpy(ctx.positionText, "P00002");
    std::vector<std::string> typed = page(QRD_NMDA_OP_AT_TEXT, ctx, q);
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(typed.front(), user(20));
    std::strcpy(ctx.positionText, "zz");
    typed = page(QRD_NMDA_OP_AT_TEXT, ctx, q);
    ASSERT_FALSE(typed.empty()) << "past the end: the last page";
    EXPECT_EQ(typed.back(), user(50));

    ctx.forward = 101 + 1;
    QRDSTATUS st = 0;
    page(QRD_NMDA_OP_NEXT, ctx, q, &st);
    EXPECT_EQ(st, QRDERR_NM_BAD_ARG) << "positions above 101 are refused";
}

TEST_F(NmdaTest, KindsPatternsAndCriteriaNarrowTheAnswer) {
    start();
    QRD_NMDA_QUERY q{};
    struct {
        uint16_t kind;
        std::vector<std::string> names;
    } kinds[] = {
        {QRD_NMDA_KIND_LISTS, {"Team@Sales@Demo"}},
        {QRD_NMDA_KIND_PRINT, {"PRINT@Support@Demo"}},
        {QRD_NMDA_KIND_FILE, {"FILES@Sales@Demo"}},
        {QRD_NMDA_KIND_SERVICES, {"FILES@Sales@Demo", "PRINT@Support@Demo"}},
        {QRD_NMDA_KIND_NICKNAMES, {"ali@Sales@Demo"}},
    };
    for (const auto& k : kinds) {
        QRD_NMDA_CONTEXT ctx = context(k.kind);
        EXPECT_EQ(page(QRD_NMDA_OP_FIRST, ctx, q), k.names) << "kind " << k.kind;
    }

    QRD_NMDA_CONTEXT ctx = context();
    std::strcpy(q.pattern, "*@Support");
    EXPECT_EQ(page(QRD_NMDA_OP_FIRST, ctx, q),
              (std::vector<std::string>{"carol@Support@Demo", "dave@Support@Demo"}));
    std::strcpy(q.pattern, "zed*");
    EXPECT_TRUE(page(QRD_NMDA_OP_FIRST, ctx, q).empty()) << "a pattern that matches nothing";
    EXPECT_EQ(ctx.forward, 0);
    EXPECT_EQ(ctx.backward, 0);
    ctx.forward = QRD_NMDA_POS_BESIDE;
    EXPECT_TRUE(page(QRD_NMDA_OP_NEXT, ctx, q).empty());

    // A description criterion (the refine search): "p 000010" ... "p 000019".
    std::strcpy(q.pattern, "");
    const char desc[] = "P 00001*";
    q.criteriaCount = 1;
    q.criteria[0] = {QRD_NMDA_MATCH_PATTERN, {0, 1}, QRD_NMDA_VALUE_TEXT, sizeof desc, desc};
    ctx = context();
    std::vector<std::string> refined = page(QRD_NMDA_OP_FIRST, ctx, q);
    ASSERT_EQ(refined.size(), 7u);
    EXPECT_EQ(refined.front(), user(10));
    ctx.forward = QRD_NMDA_POS_BESIDE;
    refined = page(QRD_NMDA_OP_NEXT, ctx, q);
    EXPECT_EQ(refined, (std::vector<std::string>{user(17), user(18), user(19)}));

    const char exact[] = "Bob Baker";
    q.criteria[0] = {QRD_NMDA_MATCH_EXACT, {0, 1}, QRD_NMDA_VALUE_TEXT, sizeof exact, exact};
    ctx = context();
    EXPECT_EQ(page(QRD_NMDA_OP_FIRST, ctx, q), (std::vector<std::string>{"bob@Sales@Demo"}));

    q.criteriaCount = QRD_NMDA_MAX_CRITERIA + 1;
    QRDSTATUS st = 0;
    page(QRD_NMDA_OP_FIRST, ctx, q, &st);
    EXPECT_EQ(st, QRDERR_NM_BAD_ARG) << "a count beyond the record";
}

TEST_F(NmdaTest, AttributesAreReadAndSearched) {
    start();
    const AttrName phone{7, 3};
    QRD_NM_SESS sess{};
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);
    const char value[] = "room 42";
    uint32_t index = 0, flags = 0;
    ASSERT_EQ(QrdSetSNmAttr(&sess, "bob@Sales@Demo", QRD_OCL_OBJECT, &phone, ATTR_TEXT, &index,
                            sizeof value, value, &flags),
              0);
    QrdEndNmSession(&sess);

    QRD_NMDA_ATTR rec{};
    ASSERT_EQ(QrdGetNmdaAttr(handle, "BOB@sales@demo", phone.category, phone.number, &rec), 0);
    EXPECT_STREQ(rec.name, "bob@Sales@Demo");
    EXPECT_EQ(rec.status, NMDA_ATTR_STAT_NORMAL);
    EXPECT_EQ(rec.type, ATTR_TEXT);
    EXPECT_EQ(rec.count, sizeof value);
    EXPECT_STREQ(reinterpret_cast<char*>(rec.value), value);

    rec = QRD_NMDA_ATTR{};
    rec.position = 5;
    ASSERT_EQ(QrdGetNmdaAttr(handle, "bob@Sales@Demo", phone.category, phone.number, &rec), 0);
    EXPECT_EQ(rec.count, sizeof value - 5);

    rec = QRD_NMDA_ATTR{};
    ASSERT_EQ(QrdGetNmdaAttr(handle, "alice@Sales@Demo", phone.category, phone.number, &rec), 0);
    EXPECT_EQ(rec.status, NMDA_ATTR_STAT_NOEXIST);
    EXPECT_EQ(QrdGetNmdaAttr(handle, "nobody@Sales@Demo", 7, 3, &rec), QRDERR_NMDA_NO_ENTRY);

    QRD_NMDA_QUERY q{};
    const char want[] = "ROOM *";
    q.criteriaCount = 1;
    q.criteria[0] = {QRD_NMDA_MATCH_PATTERN, phone, QRD_NMDA_VALUE_TEXT, sizeof want, want};
    QRD_NMDA_CONTEXT ctx = context();
    EXPECT_EQ(page(QRD_NMDA_OP_FIRST, ctx, q), (std::vector<std::string>{"bob@Sales@Demo"}));
}

TEST_F(NmdaTest, AGivenServiceIsCheckedAndItsServerNamed) {
    char name[NMNAMELEN] = {};
    std::strcpy(name, kService);
    QRD_PORT port;
    ASSERT_EQ(QrdGetRpcPort(name, &port, 0), 0);
    ASSERT_EQ(QrdStartNmdaSession(&port, &handle), 0);
    char server[NMNAMELEN] = {};
    ASSERT_EQ(QrdGetSvrName(&port, server), 0);
    EXPECT_STREQ(server, "NW1@Sales@Demo");

    QRD_NMDA_CONTEXT ctx = context();
    QRD_NMDA_QUERY q{};
    EXPECT_EQ(page(QRD_NMDA_OP_FIRST, ctx, q).size(), 7u);

    // A login since the session started ends it.
    loginAs("alice@Sales@Demo", "alice-demo");
    QRD_NMDA_RESULT r{};
    EXPECT_EQ(QrdGetNmdaData(handle, &ctx, &q, nullptr, &r), QRDERR_NMDA_LOGIN_CHANGED);

    QrdEndNmdaSession(handle);
    EXPECT_EQ(QrdGetNmdaData(handle, &ctx, &q, nullptr, &r), QRDERR_NO_MEMORY)
        << "an ended handle is refused, not used";
    handle = nullptr;
}

TEST_F(NmdaTest, TheInternetRoadFindsServiceThirtyFive) {
    ASSERT_EQ(QrdSetProtocolPref(QRD_PROT_IP), 0);
    start();
    QRD_NMDA_SESSION block{};
    ASSERT_EQ(QrdGetNmdaSession(handle, &block), 0);
    EXPECT_EQ(block.rpcPort.family[0], QRD_FAMILY_INET) << "an Internet socket address";
    QRD_NMDA_CONTEXT ctx = context();
    QRD_NMDA_QUERY q{};
    EXPECT_EQ(page(QRD_NMDA_OP_LAST, ctx, q).back(), user(50));

    char pattern[QRD_NMDA_PATTERN_LEN] = "NW9";
    char name[NMNAMELEN];
    QRD_PORT port;
    uint32_t word = 0;
    EXPECT_EQ(QrdOpenNmdaSocket(&port, 1, pattern, name, 2, 1, nullptr, &word), QRDERR_TIMEOUT)
        << "no server of that name";
}

TEST_F(NmdaTest, AServiceThatDoesNotAnswerTimesOut) {
    char pattern[QRD_NMDA_PATTERN_LEN] = "NW9";
    char name[NMNAMELEN];
    QRD_PORT port;
    uint32_t word = 0, socket = 0;
    EXPECT_EQ(QrdOpenNmdaSocket(&port, 1, pattern, name, 2, 1, &socket, &word), QRDERR_TIMEOUT);
    EXPECT_EQ(qrd::getBe16(port.word12 + 2), QRDERR_TIMEOUT) << "the status in the null port";

    // A port where nothing listens.
    uint16_t family = QRD_FAMILY_NATIVE, subnet = 1, number = 300;
    uint32_t network = 0x7F000001;
    QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &port);
    pattern[0] = '\0';
    EXPECT_EQ(QrdOpenNmdaSocket(&port, 0, pattern, name, 2, 0, nullptr, &word), QRDERR_TIMEOUT);
    // A server where nothing serves: its well-known port 22 is asked.
    network = 0x7F000002;
    QrdSetPortFields(&family, &network, &subnet, &number, nullptr, nullptr, nullptr, &port);
    EXPECT_EQ(QrdStartNmdaSession(&port, &handle), QRDERR_TIMEOUT);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(NmdaTest, NobodyLoggedInStartsNoSession) {
    QRD_NONCE none{};
    ASSERT_EQ(QrdSetNonce(&none), 0);
    EXPECT_EQ(QrdStartNmdaSession(nullptr, &handle), QRDERR_NM_NOT_LOGGED_IN);
    EXPECT_EQ(handle, nullptr);
}

std::string registryPath() {
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/namewright/registry.ini";
}

const char kKey[] = "SOFTWARE\\Halvex\\NMDA";

TEST_F(NmdaTest, TheDefaultServiceComesFromConfigurationProfileOrRegistry) {
    std::remove(registryPath().c_str());
    // The user's profile: a pattern and /ALT make a broadcast search.
    admin({"profile", "set", "bob@Sales@Demo", "!SETNMDA", "NW1 /ALT"});
    char value[QRD_PROFILE_VALUE_LEN] = {};
    ASSERT_EQ(QrdGetNmProfileEntry("bob@Sales@Demo", QRD_PROFILE_SETNMDA, value, nullptr), 0);
    EXPECT_STREQ(value, "NW1 /ALT");
    EXPECT_EQ(QrdGetNmProfileEntry("bob@Sales@Demo", "ABCDEFGHIJKLMNOPQ", value, nullptr),
              QRDERR_NM_KEYWORD_TOO_LONG);

    char name[QRD_NMDA_SERVICE_LEN] = {};
    ASSERT_EQ(QrdGetDefaultNmdaService(name), 0);
    EXPECT_STREQ(name, kService);
    qrd::IniFile reg = qrd::IniFile::load(registryPath());
    EXPECT_EQ(reg.getLong(kKey, "AltEnabled", -1), 1);
    EXPECT_EQ(reg.getLong(kKey, "NMDAOff", -1), 0);
    EXPECT_EQ(reg.getString(kKey, "DefaultService", ""), kService);

    // A stored failure is answered without the network.
    reg.set(kKey, "NMDAStatus", "163");
    ASSERT_TRUE(reg.save(registryPath()));
    EXPECT_EQ(QrdGetDefaultNmdaService(name), QRDERR_TIMEOUT);

    // QORDA.INI's [NMDA] Service comes first.
    std::remove(registryPath().c_str());
    qrdtest::appendQordaIni("[NMDA]\nService=Other@Sales@Demo\n");
    ASSERT_EQ(QrdGetDefaultNmdaService(name), 0);
    EXPECT_STREQ(name, "Other@Sales@Demo");
}

} // namespace
