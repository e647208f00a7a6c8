#include "testenv.h"

#include "portslot.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qrdtest {

namespace {
Workstation g_ws;

// The slot's lock stays open (and locked) across exec and until the process ends.
uint16_t reservePortBase() {
    PortSlot slot = reservePortSlot();
    if (slot.base) return slot.base;
    std::fprintf(stderr, "no free port base for the test\n");
    std::abort();
}

void removeWorkstation() {
    if (g_ws.dir.empty()) return;
    std::filesystem::remove_all(g_ws.dir);
    // Global-variable stores of this workstation live in /dev/shm.
    const char* id = std::getenv("QRD_WORKSTATION");
    if (!id) return;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
        // Names end in ".<workstation>" (or ".<workstation>-<child>" for the
        // workstations of programs a test starts); a bare substring match
        // would also take those of a process whose id merely starts with ours.
        std::string name = e.path().filename().string();
        std::string tail = std::string(".") + id;
        bool ours = name.size() > tail.size() &&
                    name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
        if (ours || name.find(tail + "-") != std::string::npos)
            std::filesystem::remove(e.path(), ec);
    }
}
} // namespace

bool prepareAndReexec(int argc, char** argv) {
    (void)argc;
    if (std::getenv("QRD_TEST_WS_DIR")) return false; // already the prepared run
    char tmpl[] = "/tmp/qrdtest-XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    std::string dir = tmpl;
    uint16_t base = reservePortBase();
    {
        std::ofstream ini(dir + "/QORDA.INI");
        ini << "[CommStack]\nServerAddress=127.0.0.1\nBroadcastAddress=127.255.255.255\n"
            << "PortBase=" << base << "\n\n[Internet]\nSearchAddress=127.0.0.1\n"
            << "SearchPort=" << base + 511 << "\n\n";
    }
    setenv("QRD_TEST_WS_DIR", dir.c_str(), 1);
    setenv("QRD_TEST_PORTBASE", std::to_string(base).c_str(), 1);
    setenv("QORDA_INI", (dir + "/QORDA.INI").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("QRD_SYSCONF_DIR", (dir + "/etc").c_str(), 1);
    setenv("QRD_WORKSTATION", ("qrdtest" + std::to_string(getpid())).c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    execv("/proc/self/exe", argv);
    std::perror("execv");
    return false;
}

void adoptWorkstation() {
    const char* dir = std::getenv("QRD_TEST_WS_DIR");
    if (!dir) return;
    g_ws.dir = dir;
    g_ws.qordaIni = g_ws.dir + "/QORDA.INI";
    g_ws.portBase = uint16_t(std::atoi(std::getenv("QRD_TEST_PORTBASE")));
    g_ws.ipPort = uint16_t(g_ws.portBase + 511);
    std::filesystem::create_directories(g_ws.dir + "/config/namewright");
    std::filesystem::create_directories(g_ws.dir + "/state");
    // Child processes started by a test inherit the variables and share the
    // workstation; only the process that owns it removes it.
    if (std::to_string(getpid()) ==
        std::string(std::getenv("QRD_WORKSTATION")).substr(std::string("qrdtest").size())) {
        std::atexit(removeWorkstation);
    }
}

const Workstation& workstation() {
    return g_ws;
}

void appendQordaIni(const std::string& text) {
    std::ofstream ini(g_ws.qordaIni, std::ios::app);
    ini << text << "\n";
}

std::string binaryDir() {
    const char* d = std::getenv("QRD_TEST_BINARY_DIR");
    return d ? d : ".";
}

} // namespace qrdtest
