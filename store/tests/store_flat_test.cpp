// The plain C entry points against a namewrightd of the test's own: actions
// created, listed, removed by name and by key on the process's directory
// object, and what a failed library update and a concurrent unload leave.
#include <atomic>
#include <set>
#include <thread>

#include "namedir.h"
#include "namedir_flat.h"
#include "store_daemon.h"

using namespace namedir;

namespace {

const char kBob[] = "bob@Sales@Demo";

// Refuses every write of an action list (category 54), as a directory that
// denies the library's holder would.
QRDSTATUS refuseActionLists(QRD_NM_SESS* sess, const char* name, uint16_t ocl, const AttrName* attr,
                            uint32_t type, uint32_t* index, uint32_t count, const void* buffer,
                            uint32_t* flags) {
    if (attr && attr->category == layout::kCatActionList) return 1033;
    return qrdDefaultClientCalls().setSNmAttr(sess, name, ocl, attr, type, index, count, buffer,
                                              flags);
}

void collect(const char* name, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(name);
}

class FlatTest : public storetest::DaemonFixture {
  protected:
    void SetUp() override {
        startDaemon();
        login(kBob, "bob-demo");
        ASSERT_TRUE(DIRLoadDirectory());
    }
    void TearDown() override {
        CQrdApi::setClientCalls(nullptr);
        DIRUnloadDirectory();
        CQrdApi::destroyAllSessions();
    }

    bool create(const char* name, long shared, long* error) {
        DIRActionDefinition d{};
        d.name = name;
        d.commandLine = "/usr/bin/true %s";
        d.shared = shared;
        d.showMode = 1;
        d.capabilities = DIR_TYPE_DOCUMENT | DIR_TYPE_WEB;
        return DIRcreateActionNode(&d, error);
    }

    std::vector<std::string> names() {
        std::vector<std::string> out;
        long error = 0;
        EXPECT_TRUE(DIRgetActionLibrary(collect, &out, &error)) << error;
        return out;
    }

    // The library's entries with their addresses, through the classes.
    std::vector<DIRRefInfo> entries() {
        DIRDirectory dir;
        std::vector<DIRRefInfo> list;
        long error = 0;
        EXPECT_TRUE(dir.getActionLibrary(list, error)) << error;
        return list;
    }

    // Numbers of the holder's ranges that hold a live object: a main record
    // that is no free marker, or type data left behind. (A free number keeps
    // an empty action list as its ticket.)
    std::set<uint32_t> liveObjects(const std::string& holder) {
        std::vector<AttrName> attrs;
        EXPECT_EQ(CQrdApi::scanAttributes(holder, {layout::kCatMain, 0},
                                          {layout::kCatContents, 0xFFFFFFFF}, attrs),
                  0);
        std::set<uint32_t> live;
        for (const AttrName& a : attrs) {
            if (!layout::kUserRange.contains(a.number) && !layout::kGroupRange.contains(a.number))
                continue;
            if (a.category == layout::kCatTypeData) live.insert(a.number);
            if (a.category != layout::kCatMain) continue;
            AttrStream s(holder, a.category, a.number);
            DIRCommonInfo main;
            if (s.read(clientAttrStore()) == 0 && decodeMainRecord(s, main) == 0 &&
                main.base.objectType != DIR_TYPE_FREE)
                live.insert(a.number);
        }
        return live;
    }
};

} // namespace

TEST_F(FlatTest, ActionsAreListedSharedFirstAndRemovedByExactName) {
    long error = -1;
    ASSERT_TRUE(create("Mine", 0, &error)) << error;
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(create("Ours", 1, &error)) << error;
    EXPECT_EQ(names(), (std::vector<std::string>{"Ours", "Mine"}));
    EXPECT_EQ(DIRGetInstalledActionCount(&error), 2);

    std::vector<DIRRefInfo> before = entries();
    EXPECT_TRUE(DIRRemoveAction("mine", &error)) << error; // not installed: nothing changes
    EXPECT_EQ(entries().size(), before.size());
    EXPECT_EQ(liveObjects(kBob).size(), 1u);

    EXPECT_TRUE(DIRRemoveAction("Mine", &error)) << error;
    EXPECT_EQ(names(), std::vector<std::string>{"Ours"});
    EXPECT_TRUE(liveObjects(kBob).empty());
    EXPECT_TRUE(DIRRemoveAction("Ours", &error)) << error;
    EXPECT_EQ(DIRGetInstalledActionCount(&error), 0);
    EXPECT_TRUE(liveObjects("Sales@Demo").empty());
}

TEST_F(FlatTest, AnActionWhoseLibraryCannotBeWrittenIsDestroyedAgain) {
    QrdClientCalls refusing = qrdDefaultClientCalls();
    refusing.setSNmAttr = refuseActionLists;
    CQrdApi::setClientCalls(&refusing);
    long error = 0;
    EXPECT_FALSE(create("Doomed", 0, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(DIRGetLastQordaError(), 1033);
    EXPECT_EQ(DIRGetLastQordaError(), 0); // read once, then reset
    CQrdApi::setClientCalls(nullptr);
    EXPECT_TRUE(liveObjects(kBob).empty());
    EXPECT_TRUE(names().empty());
}

TEST_F(FlatTest, EntriesAndObjectsByKey) {
    long error = 0;
    ASSERT_TRUE(create("Tool", 0, &error)) << error;
    std::vector<DIRRefInfo> list = entries();
    ASSERT_EQ(list.size(), 1u);
    std::string key = list[0].address->uniqueKey;

    // Added again with the same key: still one entry, at the end.
    DIRActionEntry e{key.c_str(), "Tool again", DIR_TYPE_ACTION, 2, 0, list[0].time, "", 0};
    ASSERT_TRUE(DIRaddActionToLibrary(&e, &error)) << error;
    EXPECT_EQ(names(), std::vector<std::string>{"Tool again"});

    ASSERT_TRUE(DIRremoveActionFromLibrary(key.c_str(), &error)) << error;
    EXPECT_EQ(DIRGetInstalledActionCount(&error), 0);
    EXPECT_EQ(liveObjects(kBob).size(), 1u); // the object stays until destroyed
    ASSERT_TRUE(DIRdestroyNode(key.c_str(), &error)) << error;
    EXPECT_TRUE(liveObjects(kBob).empty());

    // What is no key or no argument fails with the store's error.
    EXPECT_FALSE(DIRdestroyNode("no key at all", &error));
    EXPECT_EQ(error, DIR_INVALID_KEY);
    EXPECT_FALSE(DIRdestroyNode(nullptr, &error));
    EXPECT_EQ(error, DIR_INVALID_KEY);
    EXPECT_FALSE(DIRremoveActionFromLibrary("", nullptr));
    EXPECT_FALSE(DIRaddActionToLibrary(nullptr, &error));
    EXPECT_EQ(error, DIR_BUFFER_UNSET);
    EXPECT_FALSE(DIRcreateActionNode(nullptr, &error));
    EXPECT_EQ(error, DIR_BUFFER_UNSET);
    EXPECT_FALSE(DIRRemoveAction(nullptr, &error));
    EXPECT_EQ(error, DIR_NAME_INVALID);
    EXPECT_TRUE(DIRgetActionLibrary(nullptr, nullptr, nullptr));
}

TEST_F(FlatTest, UnloadingWhileOtherThreadsCallLeavesThemWorking) {
    long error = 0;
    ASSERT_TRUE(create("Tool", 0, &error)) << error;
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t)
        callers.emplace_back([&] {
            while (!stop) {
                long e = 0;
                if (DIRGetInstalledActionCount(&e) != 1) ++wrong;
            }
            CQrdApi::destroySession();
        });
    for (int i = 0; i < 200; ++i) {
        DIRUnloadDirectory();
        DIRLoadDirectory();
    }
    stop = true;
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(wrong, 0);
}
