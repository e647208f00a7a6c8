// Many workstations creating shared objects in one group at the same moment:
// eight creator processes, each its own workstation and login, start
// together; afterwards every object each reported is there, under its own
// number, with its own name, and `namedir check` of the group finds nothing.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "forwarding_store.h"
#include "namedir.h"
#include "store_daemon.h"
#include "tool_run.h"

using namespace namedir;

namespace {

constexpr int kCreators = 8;
constexpr int kEach = 12;

std::string seedText() {
    std::string s;
    for (int i = 0; i < kCreators; ++i)
        s += "user add maker" + std::to_string(i) + "@Sales@Demo --password \"maker-pw\"\n";
    return s;
}

class ConcurrencyTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon({}, seedText());
        login("bob@Sales@Demo", "bob-demo");
    }
    void TearDown() override { CQrdApi::destroySession(); }
};

struct Creator {
    FILE* out = nullptr;
    std::string text;
};

// One workstation's store: just before its first conditional write of one
// attribute, another workstation runs `between`.
class Interleaved : public ForwardingStore {
  public:
    uint32_t category = 0, number = 0;
    std::function<void()> between;

    QRDSTATUS writeIf(const std::string& h, uint32_t c, uint32_t n, const std::vector<uint8_t>& b,
                      const std::vector<AttrCondition>& conditions) override {
        if (c == category && n == number && between) std::exchange(between, nullptr)();
        return ForwardingStore::writeIf(h, c, n, b, conditions);
    }
};

DIRWebItem sharedItem(DIRDirectory& dir, const std::string& name) {
    DIRWebItem w;
    w.base.objectType = DIR_TYPE_WEB;
    w.base.shared = 1;
    w.name = name;
    long error = 0;
    EXPECT_TRUE(dir.createNode(w, error)) << error;
    return w;
}

stNewItemRefEntry entryOf(const DIRWebItem& w) {
    stNewItemRefEntry e;
    e.address = w.address;
    e.name = w.name;
    e.objectType = DIR_TYPE_WEB;
    e.shared = 1;
    return e;
}

} // namespace

TEST_F(ConcurrencyTest, EightWorkstationsCreatingSharedObjectsNeverShareANumberNorAnEntry) {
    const std::string go = qrdtest::workstation().dir + "/go";
    const std::string ws = std::getenv("QRD_WORKSTATION");
    // Every creator also files every object in this one shared folder.
    DIRDirectory dir;
    long error = 0;
    DIRFolder team, mine; // the shared one, and where the test's user keeps it
    ASSERT_TRUE(storetest::createFolder(dir, team, "Team", true, error)) << error;
    ASSERT_TRUE(storetest::createFolder(dir, mine, "Mine", false, error)) << error;
    stNewItemRefEntry entry;
    entry.address = team.address;
    entry.objectType = DIR_TYPE_FOLDER;
    entry.shared = 1;
    stNewParentListEntry parent;
    parent.address = mine.address;
    std::unique_ptr<DIRCommonInfo> current;
    ASSERT_TRUE(dir.addNodeToFolder(entry, parent, current, error, true, false)) << error;
    std::vector<Creator> creators(kCreators);
    for (int i = 0; i < kCreators; ++i) {
        std::string cmd = "QRD_WORKSTATION=" + ws + "-c" + std::to_string(i) + " " +
                          qrdtest::binaryDir() + "/store/store_creator maker" + std::to_string(i) +
                          "@Sales@Demo maker-pw " + std::to_string(kEach) + " " + go + " '" +
                          team.address->uniqueKey + "'";
        creators[i].out = popen(cmd.c_str(), "r");
        ASSERT_NE(creators[i].out, nullptr);
    }
    // Every creator has logged in and made its folder when its first line
    // is there; then all start at once.
    for (Creator& c : creators) {
        char line[512];
        ASSERT_NE(fgets(line, sizeof line, c.out), nullptr);
    }
    std::ofstream(go) << "go\n";
    std::map<std::string, std::string> names; // key -> name
    for (Creator& c : creators) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, c.out)) > 0)
            c.text.append(buf, n);
        int status = pclose(c.out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.text;
        std::istringstream lines(c.text);
        std::string line;
        while (std::getline(lines, line)) {
            size_t tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos) << line;
            EXPECT_TRUE(names.emplace(line.substr(0, tab), line.substr(tab + 1)).second)
                << "a key handed out twice: " << line;
        }
    }
    ASSERT_EQ(names.size(), size_t(kCreators * kEach));
    std::set<long> numbers;
    for (const auto& [key, name] : names) {
        DIRAddressPtr address;
        long type = 0;
        ASSERT_TRUE(dir.getDirectoryAddress(key, address, type, error)) << key << " " << error;
        EXPECT_TRUE(numbers.insert(address.nm()->attrNumber).second) << key;
        DIRWebItem w;
        w.address = std::move(address);
        w.base.objectType = DIR_TYPE_WEB;
        ASSERT_TRUE(dir.getFullNode(w, error)) << key << " " << error;
        EXPECT_EQ(w.name, name) << key;
        EXPECT_EQ(w.base.created, w.address.nm()->nmTime) << key << ": overwritten";
    }
    DIRFolder back;
    back.address = team.address;
    back.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(dir.getFullNode(back, error)) << error;
    std::set<std::string> filed;
    for (const DIRRefInfo& r : back.contents)
        filed.insert(r.address->uniqueKey);
    EXPECT_EQ(filed.size(), back.contents.size());
    for (const auto& [key, name] : names)
        EXPECT_TRUE(filed.count(key)) << key << " (" << name << ") lost from the shared folder";
    storetest::ToolRun check = storetest::namedirTool("check Sales@Demo");
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find("0 problems found"), std::string::npos) << check.out;
}

// Two users on two workstations, one shared folder: the test's user has read
// the folder; another workstation adds to it; the test's add is 119 with
// the folder as it now is, and the retry on that keeps both entries.
TEST_F(ConcurrencyTest, ASecondWorkstationsAddIs119ForTheFirstWhichMergesAndRetries) {
    DIRDirectory dir;
    long error = 0;
    DIRFolder shared;
    ASSERT_TRUE(storetest::createFolder(dir, shared, "Team", true, error)) << error;
    DIRWebItem mine;
    mine.base.objectType = DIR_TYPE_WEB;
    mine.base.shared = 1;
    ASSERT_TRUE(dir.createNode(mine, error)) << error;

    const std::string go = qrdtest::workstation().dir + "/go";
    std::ofstream(go) << "go\n";
    std::string cmd = "QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-other " +
                      qrdtest::binaryDir() + "/store/store_creator maker1@Sales@Demo maker-pw 1 " +
                      go + " '" + shared.address->uniqueKey + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ASSERT_EQ(pclose(p), 0) << out;

    stNewItemRefEntry item;
    item.address = mine.address;
    item.objectType = DIR_TYPE_WEB;
    item.shared = 1;
    stNewParentListEntry parent;
    parent.address = shared.address;
    parent.modified = shared.base.modified; // as read before the other's add
    std::unique_ptr<DIRCommonInfo> current;
    EXPECT_FALSE(dir.addNodeToFolder(item, parent, current, error, false, true));
    ASSERT_EQ(error, DIR_PARENT_CHANGED);
    auto* now = dynamic_cast<DIRFolder*>(current.get());
    ASSERT_NE(now, nullptr);
    ASSERT_EQ(now->contents.size(), 1u);
    EXPECT_NE(now->contents[0].name.find("maker1"), std::string::npos);
    parent.modified = now->base.modified;
    ASSERT_TRUE(dir.addNodeToFolder(item, parent, current, error, false, true)) << error;
    DIRFolder back;
    back.address = shared.address;
    back.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(dir.getFullNode(back, error)) << error;
    EXPECT_EQ(back.contents.size(), 2u);
}

// A workstation that has read a list and is about to write it back while
// another adds to it: the group's library (a fixed object, no claim), and a
// shared folder whose claim the other takes over after the first stood
// still with it. Either way the first's write is refused, it reads again,
// and both entries stay.
TEST_F(ConcurrencyTest, AWriterOvertakenBetweenItsReadAndItsWriteLosesNoEntry) {
    Interleaved store;
    DIRDirectory first(store), other;
    long error = 0;
    stNewItemRefEntry one = entryOf(sharedItem(other, "one")),
                      two = entryOf(sharedItem(other, "two"));

    store.category = 54;
    store.number = 200001; // the group's library
    store.between = [&] { EXPECT_TRUE(other.addActionToLibrary(two, error)) << error; };
    ASSERT_TRUE(first.addActionToLibrary(one, error)) << error;
    std::vector<DIRRefInfo> library;
    ASSERT_TRUE(other.getActionLibrary(library, error)) << error;
    std::set<std::string> keys;
    for (const DIRRefInfo& r : library)
        keys.insert(r.address->uniqueKey);
    EXPECT_EQ(keys, (std::set<std::string>{one.address->uniqueKey, two.address->uniqueKey}));

    DIRFolder team;
    ASSERT_TRUE(storetest::createFolder(other, team, "Team", true, error)) << error;
    store.category = 57;
    store.number = uint32_t(team.address.nm()->attrNumber);
    stNewParentListEntry parent;
    parent.address = team.address;
    store.between = [&] {
        stNewParentListEntry p;
        p.address = team.address;
        std::unique_ptr<DIRCommonInfo> current;
        EXPECT_TRUE(other.addNodeToFolder(two, p, current, error, false, false)) << error;
    };
    std::unique_ptr<DIRCommonInfo> current;
    ASSERT_TRUE(first.addNodeToFolder(one, parent, current, error, false, false)) << error;
    DIRFolder back;
    back.address = team.address;
    back.base.objectType = DIR_TYPE_FOLDER;
    ASSERT_TRUE(other.getFullNode(back, error)) << error;
    keys.clear();
    for (const DIRRefInfo& r : back.contents)
        keys.insert(r.address->uniqueKey);
    EXPECT_EQ(keys, (std::set<std::string>{one.address->uniqueKey, two.address->uniqueKey}));
}
