// Many workstations creating shared objects in one group at the same moment:
// eight creator processes, each its own workstation and login, start
// together; afterwards every object each reported is there, under its own
// number, with its own name, and `namedir check` of the group finds nothing.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

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

} // namespace

TEST_F(ConcurrencyTest, EightWorkstationsCreatingSharedObjectsNeverShareANumber) {
    const std::string go = qrdtest::workstation().dir + "/go";
    const std::string ws = std::getenv("QRD_WORKSTATION");
    std::vector<Creator> creators(kCreators);
    for (int i = 0; i < kCreators; ++i) {
        std::string cmd = "QRD_WORKSTATION=" + ws + "-c" + std::to_string(i) + " " +
                          qrdtest::binaryDir() + "/store/store_creator maker" + std::to_string(i) +
                          "@Sales@Demo maker-pw " + std::to_string(kEach) + " " + go;
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
    DIRDirectory dir;
    for (const auto& [key, name] : names) {
        DIRAddressPtr address;
        long type = 0, error = 0;
        ASSERT_TRUE(dir.getDirectoryAddress(key, address, type, error)) << key << " " << error;
        EXPECT_TRUE(numbers.insert(address.nm()->attrNumber).second) << key;
        DIRWebItem w;
        w.address = std::move(address);
        w.base.objectType = DIR_TYPE_WEB;
        ASSERT_TRUE(dir.getFullNode(w, error)) << key << " " << error;
        EXPECT_EQ(w.name, name) << key;
        EXPECT_EQ(w.base.created, w.address.nm()->nmTime) << key << ": overwritten";
    }
    storetest::ToolRun check = storetest::namedirTool("check Sales@Demo");
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find("0 problems found"), std::string::npos) << check.out;
}
