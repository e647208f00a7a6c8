#include "log.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace nwd {

namespace {
std::atomic<bool> g_verbose{false};
std::atomic<bool> g_quiet{false};
std::mutex g_logMutex; // keeps lines of different threads whole
} // namespace

void setLogVerbose(bool verbose) {
    g_verbose = verbose;
}
void setLogQuiet(bool quiet) {
    g_quiet = quiet;
}

std::string printable(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    auto escape = [&out](unsigned char c) {
        char esc[5];
        std::snprintf(esc, sizeof esc, "\\x%02x", c);
        out += esc;
    };
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = uint8_t(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && uint8_t(utf8[i + 1]) >= 0x80 &&
                        uint8_t(utf8[i + 1]) <= 0x9F;
        if (c1) {
            escape(c);
            escape(uint8_t(utf8[++i]));
        } else if (c < 0x20 || c == 0x7F) {
            escape(c);
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}

void logLine(LogLevel level, const char* fmt, ...) {
    if (g_quiet || (level == LogLevel::Debug && !g_verbose)) return;
    // The whole line is escaped, so that no field (whatever its format)
    // carries a line end into the log.
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    std::string text(buf, n < 0 ? 0 : std::min(size_t(n), sizeof buf - 1));
    if (n >= int(sizeof buf)) text += "...";
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::lock_guard<std::mutex> l(g_logMutex);
    std::fprintf(stderr, "%s namewrightd: %s%s\n", stamp, level == LogLevel::Error ? "error: " : "",
                 printable(text).c_str());
}

} // namespace nwd
