// The store's settings in the registry stand-in, and the pause between
// retries.
//
// HKEY_LOCAL_MACHINE is $QRD_SYSCONF_DIR/registry.ini; the key is a section
// named by its path. Retries and RetryDelay are written back when missing so
// that an administrator finds them. LogFile is not: its default lies in the
// user's own state folder, which must not become the machine-wide setting.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "qrd/config.h"
#include "qrd/ini.h"
#include "qrdapi/internal.h"

namespace namedir {

namespace {
const char kKey[] = "Software\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright";
constexpr unsigned long kDefaultRetries = 1;
constexpr unsigned long kDefaultRetryDelayMs = 500;

struct State {
    std::mutex lock; // guards both members
    std::optional<CQrdApi::Settings> settings;
    std::function<void(unsigned long)> sleep;
};

State& state() {
    static State* s = new State;
    return *s;
}

std::string defaultLogFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string dir;
    if (state && *state) {
        dir = state;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : "/tmp") + "/.local/state";
    }
    return dir + "/namewright/namedir.log";
}

// A REG_DWORD: a whole number from 0 to 2^32-1, else missing.
std::optional<unsigned long> readDword(const qrd::IniFile& ini, const char* name) {
    if (!ini.get(kKey, name)) return std::nullopt;
    long v = ini.getLong(kKey, name, -1);
    if (v < 0 || v > 0xFFFFFFFFL) return std::nullopt;
    return static_cast<unsigned long>(v);
}

CQrdApi::Settings load() {
    std::string path = qrd::systemConfigDir() + "/registry.ini";
    qrd::IniFile ini = qrd::IniFile::load(path);
    bool missing = false;
    auto dword = [&](const char* name, unsigned long fallback) {
        if (auto v = readDword(ini, name)) return *v;
        if (!ini.get(kKey, name)) {
            ini.set(kKey, name, std::to_string(fallback));
            missing = true;
        }
        return fallback;
    };
    CQrdApi::Settings s;
    s.retries = dword("Retries", kDefaultRetries);
    s.retryDelayMs = dword("RetryDelay", kDefaultRetryDelayMs);
    s.logFile = ini.getString(kKey, "LogFile", "");
    if (s.logFile.empty()) s.logFile = defaultLogFile();
    // A machine whose configuration folder is not writable keeps the defaults
    // in memory only.
    if (missing) {
        std::error_code ec;
        std::filesystem::create_directories(qrd::systemConfigDir(), ec);
        ini.save(path);
    }
    return s;
}
} // namespace

CQrdApi::Settings currentSettings() {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    if (!st.settings) st.settings = load();
    return *st.settings;
}

void retryPause(unsigned long ms) {
    std::function<void(unsigned long)> sleep;
    {
        State& st = state();
        std::lock_guard<std::mutex> g(st.lock);
        sleep = st.sleep;
    }
    if (sleep)
        sleep(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace namedir

using namespace namedir;

CQrdApi::Settings CQrdApi::reloadSettings() {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.settings = load();
    return *st.settings;
}

CQrdApi::Settings CQrdApi::settings() {
    return currentSettings();
}

void CQrdApi::setSleepFunction(std::function<void(unsigned long ms)> sleep) {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.sleep = std::move(sleep);
}
