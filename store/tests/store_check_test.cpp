// `namedir check`, `export` and `import` against a namewrightd of the test's
// own: a desktop built through DIRDirectory checks clean; each kind of damage
// planted in raw attributes is found, and all but unreached objects repaired;
// an export imported into a fresh directory dumps the same.
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "namedir.h"
#include "store_daemon.h"
#include "tool_run.h"

using namespace namedir;

namespace {

using storetest::ToolRun;

ToolRun tool(const std::string& args) {
    return storetest::namedirTool(args);
}

const std::string kUser = "bob@Sales@Demo";

class CheckTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }

    // A desktop: the environment, a folder in the default folder holding a
    // web item, an action in the library and on the toolbar, preferences.
    void buildDesktop() {
        DIRUserBusinessCard card;
        card.cardText1 = "Bob Baker";
        DIRAddressPtr cardAddress;
        ASSERT_TRUE(dir.createPathwendEnvironment("Desk", card, cardAddress, error)) << error;
        ASSERT_TRUE(dir.getDefaultFolder(desk, error)) << error;
        sub.base.objectType = DIR_TYPE_FOLDER;
        sub.name = "Projects";
        ASSERT_TRUE(dir.createNode(sub, error)) << error;
        file(sub, desk);
        item.base.objectType = DIR_TYPE_WEB;
        item.name = "Site";
        item.url = "http://example.invalid/";
        ASSERT_TRUE(dir.createNode(item, error)) << error;
        file(item, sub);
        DIRAction a;
        a.base.objectType = DIR_TYPE_ACTION;
        a.name = "Open";
        a.commandLine = "xdg-open";
        ASSERT_TRUE(dir.createNode(a, error)) << error;
        stNewItemRefEntry e;
        e.address = a.address;
        e.name = a.name;
        e.objectType = DIR_TYPE_ACTION;
        ASSERT_TRUE(dir.addActionToLibrary(e, error)) << error;
        ASSERT_TRUE(dir.addActionToToolbar(e, error)) << error;
        DIRPreferencesInfo prefs{3, "wide"};
        ASSERT_TRUE(dir.setPreferencesInfo(prefs, error)) << error;
    }
    void file(DIRCommonInfo& what, DIRFolder& into) {
        stNewItemRefEntry e;
        e.address = what.address;
        e.name = what.name;
        e.objectType = what.base.objectType;
        e.modified = what.base.modified;
        stNewParentListEntry p;
        p.address = into.address;
        p.modified = into.base.modified;
        std::unique_ptr<DIRCommonInfo> current;
        ASSERT_TRUE(dir.addNodeToFolder(e, p, current, error, true, true)) << error;
        into.base.modified = p.modified;
        what.base.modified = e.modified;
    }
    uint32_t numberOf(const DIRCommonInfo& r) { return uint32_t(r.address.nm()->attrNumber); }

    DIRDirectory dir;
    DIRFolder desk, sub;
    DIRWebItem item;
    long error = 0;
};

} // namespace

TEST_F(CheckTest, EveryKindOfPlantedDamageIsFoundAndAllButUnreachedRepaired) {
    buildDesktop();
    ToolRun clean = tool("check " + kUser);
    ASSERT_EQ(clean.exitCode, 0) << clean.out;
    EXPECT_NE(clean.out.find("0 problems found"), std::string::npos) << clean.out;

    AttrStore& store = clientAttrStore();
    // A contents entry naming a number that holds nothing.
    std::vector<DIRRefInfo> contents(1);
    contents[0].address.reset(new DIRNmDirectoryAddress(kUser, 52, 259990, 5));
    contents[0].objectType = DIR_TYPE_WEB;
    contents[0].time = 5;
    contents[0].name = "Gone";
    {
        AttrStream s(kUser, 57, numberOf(desk));
        ASSERT_EQ(s.read(store), 0);
        std::vector<DIRRefInfo> now;
        ASSERT_EQ(decodeReferences(s, now), 0);
        now.push_back(contents[0]);
        ASSERT_EQ(encodeReferences(now, s), 0);
        ASSERT_EQ(s.write(store), 0);
    }
    // The item names the default folder as a parent, which does not list it.
    ASSERT_TRUE(dir.addParentToNode({desk.address, 0}, item.address.get(), error)) << error;
    // A folder lists an object that does not name it back.
    DIRWebItem loose;
    loose.base.objectType = DIR_TYPE_WEB;
    loose.name = "Loose";
    ASSERT_TRUE(dir.createNode(loose, error)) << error;
    {
        AttrStream s(kUser, 57, numberOf(sub));
        ASSERT_EQ(s.read(store), 0);
        std::vector<DIRRefInfo> now;
        ASSERT_EQ(decodeReferences(s, now), 0);
        now.push_back(now[0]);
        now.back().address = loose.address;
        now.back().time = loose.base.created;
        ASSERT_EQ(encodeReferences(now, s), 0);
        ASSERT_EQ(s.write(store), 0);
    }
    // An object nothing names.
    DIRWebItem orphan;
    orphan.base.objectType = DIR_TYPE_WEB;
    orphan.name = "Orphan";
    ASSERT_TRUE(dir.createNode(orphan, error)) << error;
    // The free-list counter back on a live object.
    {
        AttrStream head(kUser, 34, 250003);
        encodeFreeSlot({128, 52, numberOf(sub), 0, 1}, head);
        ASSERT_EQ(head.write(store), 0);
    }

    ToolRun found = tool("check " + kUser);
    EXPECT_EQ(found.exitCode, 3) << found.out;
    for (const char* kind :
         {"missing-object: ", "stale-parent: ", "missing-parent: ", "free-in-use: ", "unreached: "})
        EXPECT_NE(found.out.find(kind), std::string::npos) << kind << "\n" << found.out;
    EXPECT_NE(found.out.find("\"Orphan\""), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("5 problems found"), std::string::npos) << found.out;

    ToolRun repaired = tool("check " + kUser + " --repair");
    EXPECT_EQ(repaired.exitCode, 3) << repaired.out;
    EXPECT_NE(repaired.out.find("5 problems found, 4 repaired"), std::string::npos) << repaired.out;
    ToolRun after = tool("check " + kUser);
    EXPECT_NE(after.out.find("1 problem found"), std::string::npos) << after.out;
    // The repaired free list hands out a number that holds nothing.
    DIRWebItem next;
    next.base.objectType = DIR_TYPE_WEB;
    ASSERT_TRUE(dir.createNode(next, error)) << error;
    for (const DIRCommonInfo* live : {(const DIRCommonInfo*)&sub, (const DIRCommonInfo*)&item,
                                      (const DIRCommonInfo*)&loose, (const DIRCommonInfo*)&orphan})
        EXPECT_NE(numberOf(next), numberOf(*live));
}

TEST_F(CheckTest, AnExportImportedIntoAFreshDirectoryDumpsTheSame) {
    buildDesktop();
    // A hole in the numbers, so that the free list has a chain too.
    DIRWebItem gone;
    gone.base.objectType = DIR_TYPE_WEB;
    ASSERT_TRUE(dir.createNode(gone, error)) << error;
    DIRWebItem last;
    last.base.objectType = DIR_TYPE_WEB;
    ASSERT_TRUE(dir.createNode(last, error)) << error;
    file(last, desk);
    ASSERT_TRUE(dir.destroyNode(gone.address.get(), error)) << error;

    const std::string file = qrdtest::workstation().dir + "/bob.json";
    ToolRun before = tool("dump " + kUser);
    ASSERT_EQ(before.exitCode, 0) << before.out;
    ToolRun exported = tool("export " + kUser + " " + file);
    ASSERT_EQ(exported.exitCode, 0) << exported.out;
    ToolRun again = tool("import " + kUser + " " + file);
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.out.find("already holds desktop attributes"), std::string::npos) << again.out;

    // A fresh directory: another database behind a new daemon.
    CQrdApi::destroySession();
    daemon.kill(SIGKILL);
    std::filesystem::remove(db);
    std::filesystem::remove(db + "-wal");
    std::filesystem::remove(db + "-shm");
    startDaemon();
    login("bob@Sales@Demo", "bob-demo");
    ToolRun imported = tool("import " + kUser + " " + file);
    ASSERT_EQ(imported.exitCode, 0) << imported.out;
    ToolRun after = tool("dump " + kUser);
    ASSERT_EQ(after.exitCode, 0) << after.out;
    EXPECT_EQ(after.out, before.out);
    ToolRun check = tool("check " + kUser);
    EXPECT_EQ(check.exitCode, 0) << check.out;

    // Into another user (written by that user): the desktop's own
    // references follow it.
    login("alice@Sales@Demo", "alice-demo");
    ToolRun moved = tool("import alice@Sales@Demo " + file);
    ASSERT_EQ(moved.exitCode, 0) << moved.out;
    ToolRun movedCheck = tool("check alice@Sales@Demo");
    EXPECT_EQ(movedCheck.exitCode, 0) << movedCheck.out;
    ToolRun movedDump = tool("dump alice@Sales@Demo");
    EXPECT_EQ(movedDump.out.find("bob@Sales@Demo<"), std::string::npos) << movedDump.out;

    // Files that are not exports are refused.
    std::FILE* f = std::fopen(file.c_str(), "w");
    std::fputs("{\"format\": \"namedir-desktop\", \"version\": 2, \"holder\": \"x\", \"class\": "
               "\"user\", \"attributes\": []}",
               f);
    std::fclose(f);
    ToolRun newer = tool("import carol@Support@Demo " + file);
    EXPECT_EQ(newer.exitCode, 1);
    EXPECT_NE(newer.out.find("version 2"), std::string::npos) << newer.out;
    f = std::fopen(file.c_str(), "w");
    std::fputs("{\"format\": \"namedir-desktop\", \"version\": 1, \"attributes\": [", f);
    std::fclose(f);
    EXPECT_EQ(tool("import carol@Support@Demo " + file).exitCode, 1);
}
