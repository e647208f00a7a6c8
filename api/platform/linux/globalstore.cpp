#include "globalstore.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qrd::gv {

namespace {

// The lock block: the mutex is usable once `magic` holds kLockMagic. Whoever
// finds it unset (a fresh block, or one whose creator died half-way) sets it
// up while holding flock() on the block, so two processes starting at once
// never both initialise it.
constexpr uint32_t kLockMagic = 0x51475631; // stored layout version 1
struct SharedLock {
    std::atomic<uint32_t> magic;
    pthread_mutex_t mutex;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "the magic word is shared");

// This process's view of the store. Guarded by g_stateLock: accesses hold it
// for reading (so that the block cannot be unmapped under a copy), create,
// detach and release for writing.
struct State {
    uint8_t* block = nullptr;         // the 168 bytes in use
    pthread_mutex_t* mutex = nullptr; // the store's mutex guarding `block` and g_processWord
    SharedLock* sharedLock = nullptr; // shared mode: the mapped lock block
    bool shared = false;
    uint8_t* privateBlock = nullptr; // private mode: our own block and mutex
    pthread_mutex_t* privateMutex = nullptr;
};
constinit pthread_rwlock_t g_stateLock = PTHREAD_RWLOCK_INITIALIZER;
constinit State g_state;                 // guarded by g_stateLock
constinit bool g_released = false;       // guarded by g_stateLock: no longer made on demand
constinit uint8_t g_processWord[4] = {}; // id 20; guarded by the store's mutex
constinit std::atomic<int> g_lockWaitMs{kLockWaitMs};

class StateGuard {
  public:
    explicit StateGuard(bool write) {
        if (write)
            pthread_rwlock_wrlock(&g_stateLock);
        else
            pthread_rwlock_rdlock(&g_stateLock);
    }
    ~StateGuard() { pthread_rwlock_unlock(&g_stateLock); }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;
};

std::string suffix() {
    std::string s = "." + std::to_string(geteuid());
    const char* ws = std::getenv("QRD_WORKSTATION");
    if (ws && *ws) {
        std::string id = ws;
        if (id.size() > 200) id.resize(200);
        for (char& c : id) {
            bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
            if (!keep) c = '_';
        }
        s += "." + id;
    }
    return s;
}

void setWhy(std::string* why, const std::string& text) {
    if (why) *why = text + ": " + std::strerror(errno);
}

// A shared block must be ours and private to us: another account could
// otherwise create it first and read or forge the login state.
bool ownBlock(int fd, const std::string& name, std::string* why) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        setWhy(why, "cannot inspect " + name);
        return false;
    }
    if (st.st_uid != geteuid()) {
        errno = EPERM;
        setWhy(why, name + " belongs to another user");
        return false;
    }
    if ((st.st_mode & 0777) != 0600 && fchmod(fd, 0600) != 0) {
        setWhy(why, "cannot restrict " + name);
        return false;
    }
    return true;
}

// Opens (creating if needed) a shared block of at least `size` bytes and maps
// `size` bytes of it. A fresh or grown block reads as zeros.
void* mapBlock(const std::string& name, size_t size, int* fdOut, std::string* why) {
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        setWhy(why, "cannot open " + name);
        return nullptr;
    }
    struct stat st {};
    if (!ownBlock(fd, name, why) || fstat(fd, &st) != 0) {
        close(fd);
        return nullptr;
    }
    if (size_t(st.st_size) < size && ftruncate(fd, off_t(size)) != 0) {
        setWhy(why, "cannot size " + name);
        close(fd);
        return nullptr;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        setWhy(why, "cannot map " + name);
        close(fd);
        return nullptr;
    }
    if (fdOut)
        *fdOut = fd;
    else
        close(fd);
    return p;
}

bool initSharedMutex(pthread_mutex_t* m) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) return false;
    bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
              pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
              pthread_mutex_init(m, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return ok;
}

// Unmaps or frees whatever is in use. Caller holds g_stateLock for writing.
void dropLocked() {
    if (g_state.shared) {
        munmap(g_state.block, kBlockSize);
        munmap(g_state.sharedLock, sizeof(SharedLock));
    }
    if (g_state.privateMutex) {
        pthread_mutex_destroy(g_state.privateMutex);
        delete g_state.privateMutex;
    }
    delete[] g_state.privateBlock;
    g_state = State{};
}

// Takes the store's mutex within kLockWaitMs. A holder that died leaves the
// mutex to us; its copy may have been cut short, which the fields tolerate
// (every copy is of whole independent fields).
QRDSTATUS lockStore(pthread_mutex_t* m) {
    int waitMs = g_lockWaitMs.load();
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += waitMs / 1000;
    until.tv_nsec += long(waitMs % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    int rc = pthread_mutex_clocklock(m, CLOCK_MONOTONIC, &until);
    if (rc == EOWNERDEAD) rc = pthread_mutex_consistent(m);
    if (rc == 0) return QRD_OK;
    return rc == ETIMEDOUT ? QRDSTATUS(QRDERR_TIMEOUT) : QRDSTATUS(QRDERR_NO_DEVICE);
}

// A store that could not be made when the library was loaded is tried again
// at each access: the failure is the caller's status (31), never the end of
// the process.
void makeOnDemand() {
    {
        StateGuard guard(false);
        if (g_state.block || g_released) return;
    }
    create();
}

// Runs `copy(fieldAddress)` under the store's mutex.
template <typename Copy> QRDSTATUS withField(const Field& f, Copy copy) {
    makeOnDemand();
    StateGuard guard(false);
    if (!g_state.block) return QRDERR_NO_DEVICE;
    if (QRDSTATUS st = lockStore(g_state.mutex)) return st;
    copy(f.inBlock ? g_state.block + f.offset : g_processWord);
    pthread_mutex_unlock(g_state.mutex);
    return QRD_OK;
}

} // namespace

std::optional<Field> fieldOf(uint16_t id) {
    switch (id) {
    case QRD_GV_NM_PORT:
        return Field{0, 16, true};
    case QRD_GV_WORD2:
        return Field{16, 4, true};
    case QRD_GV_USER_NAME:
        return Field{20, 64, true};
    case QRD_GV_NAME6:
        return Field{84, 64, true};
    case QRD_GV_NONCE:
        return Field{148, 14, true};
    case QRD_GV_WORD16:
        return Field{162, 2, true};
    case QRD_GV_PROCESS:
        return Field{0, 4, false};
    case QRD_GV_NM_REVISION:
        return Field{164, 4, true};
    default:
        return std::nullopt;
    }
}

std::string blockName() {
    return "/MMFUnmGlobalVar" + suffix();
}
std::string mutexName() {
    return "/MUTEXUnmGlobalVar" + suffix();
}

bool create(std::string* why) {
    StateGuard guard(true);
    g_released = false;
    if (g_state.shared) return true;

    std::string lockName = mutexName();
    int lockFd = -1;
    auto* lock = static_cast<SharedLock*>(mapBlock(lockName, sizeof(SharedLock), &lockFd, why));
    if (!lock) return false;
    // Serialises set-up between processes; released by the kernel if we die.
    if (flock(lockFd, LOCK_EX) != 0) {
        setWhy(why, "cannot lock " + lockName);
        munmap(lock, sizeof(SharedLock));
        close(lockFd);
        return false;
    }
    bool ok = true;
    if (lock->magic.load(std::memory_order_acquire) != kLockMagic) {
        ok = initSharedMutex(&lock->mutex);
        if (ok)
            lock->magic.store(kLockMagic, std::memory_order_release);
        else if (why)
            *why = "cannot initialise the lock in " + lockName;
    }
    uint8_t* block = nullptr;
    if (ok) {
        block = static_cast<uint8_t*>(mapBlock(blockName(), kBlockSize, nullptr, why));
        ok = block != nullptr;
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
    if (!ok) {
        munmap(lock, sizeof(SharedLock));
        return false;
    }
    dropLocked();
    g_state.shared = true;
    g_state.sharedLock = lock;
    g_state.mutex = &lock->mutex;
    g_state.block = block;
    return true;
}

void release() {
    StateGuard guard(true);
    dropLocked();
    g_released = true;
}

QRDSTATUS detach() {
    StateGuard guard(true);
    if (g_state.privateBlock) return QRD_OK;
    auto* block = new (std::nothrow) uint8_t[kBlockSize];
    auto* mutex = new (std::nothrow) pthread_mutex_t;
    if (!block || !mutex || pthread_mutex_init(mutex, nullptr) != 0) {
        delete[] block;
        delete mutex;
        return QRDERR_NO_MEMORY;
    }
    dropLocked();
    g_state.privateBlock = block;
    g_state.privateMutex = mutex;
    g_state.block = block;
    g_state.mutex = mutex;
    pthread_mutex_lock(mutex);
    std::memset(block, 0, kBlockSize);
    std::memset(g_processWord, 0, sizeof g_processWord);
    pthread_mutex_unlock(mutex);
    return QRD_OK;
}

bool isShared() {
    StateGuard guard(false);
    return g_state.shared;
}

QRDSTATUS get(uint16_t id, void* buffer, uint16_t length) {
    std::optional<Field> f = fieldOf(id);
    if (!f || length < f->size) return QRDERR_GLOBALVAR;
    if (!buffer) return QRDERR_BAD_ARG;
    return withField(*f, [&](const uint8_t* src) { std::memcpy(buffer, src, f->size); });
}

QRDSTATUS set(uint16_t id, const void* buffer, uint16_t length) {
    std::optional<Field> f = fieldOf(id);
    if (!f || length > f->size) return QRDERR_GLOBALVAR;
    if (!buffer && length) return QRDERR_BAD_ARG;
    return withField(*f, [&](uint8_t* dst) {
        if (length) std::memcpy(dst, buffer, length);
    });
}

QRDSTATUS withStoreLocked(void (*fn)(uint8_t* block, void* context), void* context) {
    makeOnDemand();
    StateGuard guard(false);
    if (!g_state.block) return QRDERR_NO_DEVICE;
    if (QRDSTATUS st = lockStore(g_state.mutex)) return st;
    fn(g_state.block, context);
    pthread_mutex_unlock(g_state.mutex);
    return QRD_OK;
}

void setLockWaitMs(int ms) {
    g_lockWaitMs.store(ms < 0 ? 0 : ms);
}

} // namespace qrd::gv
