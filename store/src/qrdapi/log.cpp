// The store's log file: one time-stamped line per message, moved aside to
// "<file>.bak" when it has grown to 32767 bytes.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "qrdapi/internal.h"

namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kRotateAt = 0x7fff;

std::mutex& logLock() {
    static std::mutex* m = new std::mutex; // serialises the lines of this process
    return *m;
}

std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    if (std::strftime(text, sizeof text, "%d-%b-%Y %H:%M:%S", &local) == 0) return "?";
    return text;
}

void rotateIfFull(const fs::path& file) {
    std::error_code ec;
    std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size < kRotateAt) return;
    fs::path backup = file;
    backup += ".bak";
    fs::remove(backup, ec);
    fs::rename(file, backup, ec);
}
} // namespace

void CQrdApi::logMessage(const std::string& text) {
    namedir::noThrow(0, [&] {
        const fs::path file = namedir::currentSettings().logFile;
        std::lock_guard<std::mutex> g(logLock());
        std::error_code ec;
        if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
        rotateIfFull(file);
        // Logging never fails the caller: a file that cannot be written is
        // passed over.
        if (std::FILE* f = std::fopen(file.c_str(), "a")) {
            std::fprintf(f, "%s : %s\n", timeStamp().c_str(), text.c_str());
            std::fclose(f);
        }
        return 0;
    });
}
