// The namedir tool against a namewrightd of the test's own: objects written
// by the store come out of `dump` decoded, `raw` prints the stored bytes,
// damaged attributes show their error code, wrong usage exits with 2.
#include <sys/wait.h>

#include <cstdio>

#include "namedir.h"
#include "store_daemon.h"
#include "tool_run.h"

using namespace namedir;

namespace {

using storetest::namedirTool;
using storetest::ToolRun;

class NamedirToolTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    template <typename Encode> void put(uint32_t category, uint32_t number, Encode encode) {
        AttrStream s(user, category, number);
        ASSERT_EQ(encode(s), 0);
        ASSERT_EQ(s.write(store), 0);
    }

    AttrStore& store = clientAttrStore();
    const std::string user = "bob@Sales@Demo";
};

} // namespace

TEST_F(NamedirToolTest, DumpShowsObjectsPartsTheFreeListAndDamage) {
    uint32_t folder = 0, web = 0, gone = 0;
    ASSERT_EQ(FreeList(store, user, false).allocate(folder), 0);
    ASSERT_EQ(FreeList(store, user, false).allocate(web), 0);
    ASSERT_EQ(FreeList(store, user, false).allocate(gone), 0);
    ASSERT_EQ(FreeList(store, user, false).allocate(gone), 0);
    DIRFolder f;
    f.base.objectType = DIR_TYPE_FOLDER;
    f.name = "Café 😀";
    f.subscribers = {{3, "Team@Sales@Demo"}};
    f.contents.resize(1);
    f.contents[0].address = DIRAddressPtr(new DIRNmDirectoryAddress(user, 52, web, 77));
    f.contents[0].objectType = DIR_TYPE_WEB;
    f.contents[0].name = "Link";
    f.contents[0].time = 77;
    DIRWebItem w;
    w.base.objectType = DIR_TYPE_WEB;
    w.url = "http://example.invalid/";
    put(52, folder, [&](AttrStream& s) { return encodeMainRecord(f, 0x5F000000, s); });
    put(56, folder, [&](AttrStream& s) { return encodeTypeData(f, s); });
    put(57, folder, [&](AttrStream& s) { return encodeReferences(f.contents, s); });
    put(52, web, [&](AttrStream& s) { return encodeMainRecord(w, 0x5F000000, s); });
    put(56, web, [&](AttrStream& s) { return encodeTypeData(w, s); });
    // A parents list whose count promises more than it holds.
    put(55, web, [](AttrStream& s) {
        s.putU32(0, 1000);
        return 0L;
    });
    put(52, gone - 1, [&](AttrStream& s) { return encodeMainRecord(w, 1, s); });
    ASSERT_EQ(deleteObjectStorage(store, user, gone - 1), 0); // an older number: a marker
    DIRUserBusinessCard card;
    card.cardText1 = "Bob Baker";
    put(34, 200004, [&](AttrStream& s) { return encodeBusinessCard(card, s); });

    ToolRun r = namedirTool("dump " + user);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const char* want :
         {"\"typeName\": \"folder\"", "\"name\": \"Café 😀\"", "\"Team@Sales@Demo\"",
          "\"url\": \"http://example.invalid/\"", "\"key\": \"bob@Sales@Demo<52:250201:4d>\"",
          "\"number\": 250202,\n      \"counterMode\": true", "\"error\": 105", "\"Bob Baker\"",
          "\"freeListHead\": {", "\"createdUtc\": \"2020-07-04T04:05:20Z\""})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
}

TEST_F(NamedirToolTest, RawPrintsTheStoredBytes) {
    put(34, 250005, [](AttrStream& s) { return encodePreferences(0x0102, "é", "", s); });
    ToolRun plain = namedirTool(user + " 34 250005 --plain");
    EXPECT_EQ(plain.exitCode, 2); // the command is missing
    plain = namedirTool("raw " + user + " 34 250005 --plain");
    ASSERT_EQ(plain.exitCode, 0) << plain.out;
    std::string want = "02010000000000000100000000000000e900";
    EXPECT_EQ(plain.out.substr(0, want.size()), want);
    EXPECT_EQ(plain.out.size(), 2 * 1018 + 1);
    ToolRun lines = namedirTool("raw " + user + " 34 0x3d095");
    ASSERT_EQ(lines.exitCode, 0) << lines.out;
    EXPECT_EQ(lines.out.substr(0, 56), "     0  02 01 00 00 00 00 00 00 01 00 00 00 00 00 00 00\n");
}

TEST_F(NamedirToolTest, MissingAttributesUnknownNamesAndBadUsage) {
    ToolRun missing = namedirTool("raw " + user + " 34 1");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("has no attribute 34,1"), std::string::npos) << missing.out;
    ToolRun unknown = namedirTool("dump nobody@Sales@Demo");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.out.find("not a user or group"), std::string::npos) << unknown.out;
    for (const char* args : {"", "frobnicate", "raw bob 52", "raw bob 52 -1", "dump a b"}) {
        ToolRun r = namedirTool(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.out.find("namedir --help"), std::string::npos) << r.out;
    }
    EXPECT_EQ(namedirTool("dump --help").exitCode, 0);
    // A workstation of its own, where nobody has logged in.
    ToolRun nobody = namedirTool(
        "dump " + user, "QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-none");
    EXPECT_EQ(nobody.exitCode, 1);
    EXPECT_NE(nobody.out.find("nobody is logged in"), std::string::npos) << nobody.out;
}
