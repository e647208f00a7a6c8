#include "items/urlforms.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "actions/processlauncher.h"
#include "files/pathtext.h"

namespace {

// Checked in this order; the first that begins the URL accepts it.
constexpr std::array<std::string_view, 16> kUrlForms = {
    "http://", "https://",  "www.",      "ftp://", "news:",  "file:",  "mailto://",   "nntp://",
    "wais://", "gopher://", "telnet://", "cid://", "mid://", "afs://", "prospero://", "x-exec://"};

constexpr std::string_view kFileForm = "file:";
constexpr const char* kShortcutName = "TmpUrl.Url";

std::mutex g_shortcutLock;
bool g_shortcutWritten = false; // guarded by g_shortcutLock

// A folder only this user can write: its own, not a link, mode 0700.
bool isPrivateFolder(const std::string& dir) {
    struct stat st {};
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string shortcutFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        if (isPrivateFolder(runtime)) return runtime;
    std::error_code ec;
    std::string tmp = std::filesystem::temp_directory_path(ec).string();
    if (ec || tmp.empty()) tmp = ".";
    std::string own = tmp + "/namewright-" + std::to_string(geteuid());
    mkdir(own.c_str(), 0700);
    return isPrivateFolder(own) ? own : "";
}

} // namespace

bool USRIsKnownUrlForm(std::string_view url) {
    for (std::string_view form : kUrlForms)
        if (usrfile::startsWithNoCase(url, form)) return true;
    return false;
}

std::string USRShortcutUrl(std::string_view url) {
    if (!usrfile::startsWithNoCase(url, kFileForm)) return std::string(url);
    std::string rest(url.substr(kFileForm.size()));
    size_t firstKept = rest.find_first_not_of('/');
    if (firstKept == std::string::npos || rest.size() - firstKept < 2) return std::string(url);
    rest.erase(0, firstKept);
    if (rest[1] == '|') rest[1] = ':';
    return std::string(kFileForm) + rest;
}

std::string USRShortcutText(std::string_view url) {
    return "[InternetShortcut]\r\nURL=" + std::string(url);
}

const std::string& USRTemporaryShortcutPath() {
    static const std::string path = [] {
        std::string dir = shortcutFolder();
        return dir.empty() ? std::string() : dir + "/" + kShortcutName;
    }();
    return path;
}

bool USRWriteTemporaryShortcut(const std::string& url, long& error) {
    const std::string& path = USRTemporaryShortcutPath();
    if (path.empty()) {
        error = EACCES;
        return false;
    }
    std::string text = USRShortcutText(url);
    std::lock_guard lock(g_shortcutLock);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = usraction::launchCode(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = usraction::launchCode(n < 0 ? errno : EIO);
            close(fd);
            return false;
        }
        done += size_t(n);
    }
    if (close(fd) != 0) {
        error = usraction::launchCode(errno);
        return false;
    }
    g_shortcutWritten = true;
    error = 0;
    return true;
}

void USRRemoveTemporaryShortcut() {
    std::lock_guard lock(g_shortcutLock);
    if (!g_shortcutWritten) return;
    unlink(USRTemporaryShortcutPath().c_str());
    g_shortcutWritten = false;
}
