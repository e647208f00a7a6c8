#include "secretkey.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kdf.h"

namespace nwd {

namespace {

bool readAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = write(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

} // namespace

std::vector<uint8_t> freshSecretKey() {
    std::vector<uint8_t> key(kSecretKeyBytes);
    if (!randomBytes(key.data(), key.size())) return {};
    return key;
}

bool loadSecretKey(const std::string& dbPath, std::vector<uint8_t>& key, std::string& error) {
    if (dbPath == ":memory:") {
        key = freshSecretKey();
        if (key.empty()) error = "no random bytes for the directory's key";
        return !key.empty();
    }
    const std::string path = dbPath + ".key";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        struct stat st {};
        key.assign(kSecretKeyBytes, 0);
        bool ok = fstat(fd, &st) == 0 && st.st_size == off_t(kSecretKeyBytes) &&
                  readAll(fd, key.data(), key.size());
        if (ok && (st.st_mode & 077) != 0) fchmod(fd, 0600); // never readable by others
        close(fd);
        if (!ok)
            error = path + " is not a key of " + std::to_string(kSecretKeyBytes) +
                    " bytes; remove it to make a new one (everybody then logs in again)";
        return ok;
    }
    if (errno != ENOENT) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    key = freshSecretKey();
    if (key.empty()) {
        error = "no random bytes for the directory's key";
        return false;
    }
    // Made under a temporary name and linked in whole: a reader never sees
    // half a key, and two makers agree on one.
    const std::string temp = path + ".new" + std::to_string(getpid());
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, key.data(), key.size()) && fsync(fd) == 0;
    close(fd);
    if (ok && link(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        unlink(temp.c_str());
        if (e == EEXIST) return loadSecretKey(dbPath, key, error); // another maker won
        error = path + ": " + std::strerror(e);
        return false;
    }
    unlink(temp.c_str());
    if (!ok) error = temp + ": cannot write the key";
    return ok;
}

} // namespace nwd
