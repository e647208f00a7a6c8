#include "report.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace deskinstall {

namespace {

int askNo(void*, const char*, const char*) {
    return 0;
}

void errorToStderr(void*, const char* caption, const char* text, const char* detail) {
    std::fprintf(stderr, "deskinstall: %s %s%s%s\n", caption, text, *detail ? " " : "", detail);
}

const QrdNmdReporter kDefault = {askNo, errorToStderr, nullptr};

struct State {
    std::mutex lock; // guards `reporter`
    QrdNmdReporter reporter = kDefault;
};

State& state() {
    static State s;
    return s;
}

// A copy: the reporter is called without the lock, so it may set another.
QrdNmdReporter current() {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.reporter;
}

} // namespace

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(size_t(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, again);
        out.assign(buf.data(), size_t(n));
    }
    va_end(again);
    return out;
}

void reportError(const char* caption, const std::string& text, const std::string& detail) {
    QrdNmdReporter r = current();
    if (r.error) r.error(r.context, caption, text.c_str(), detail.c_str());
}

bool ask(const char* caption, const std::string& text) {
    QrdNmdReporter r = current();
    return r.ask && r.ask(r.context, caption, text.c_str()) != 0;
}

void setReporter(const QrdNmdReporter* reporter) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.reporter = reporter ? *reporter : kDefault;
}

} // namespace deskinstall
