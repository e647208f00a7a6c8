#include "log.h"

#include <atomic>
#include <cstdarg>
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

void logLine(LogLevel level, const char* fmt, ...) {
    if (g_quiet || (level == LogLevel::Debug && !g_verbose)) return;
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::lock_guard<std::mutex> l(g_logMutex);
    std::fprintf(stderr, "%s namewrightd: %s", stamp, level == LogLevel::Error ? "error: " : "");
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

} // namespace nwd
