#include "processlauncher.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "programpath.h"

namespace usraction {

namespace {

constexpr long kFirstNonSystemCode = 33;

// Writes all of an errno to the parent; async-signal-safe.
void reportErrno(int fd, int err) {
    const char* p = reinterpret_cast<const char*>(&err);
    size_t left = sizeof err;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= size_t(n);
    }
}

} // namespace

long launchCode(int errnum) {
    if (errnum > 0 && errnum < kFirstNonSystemCode) return errnum;
    if (errnum == ENAMETOOLONG || errnum == ELOOP) return ENOENT;
    return EINVAL;
}

long USRProcessLauncher::start(const LaunchRequest& request) {
    // A bare name (the opener) is looked up on $PATH, as a shell would.
    std::string program = request.program.find('/') == std::string::npos
                              ? programFile(request.program)
                              : request.program;
    if (program.empty()) return ENOENT;
    // Everything the children need is prepared here: after fork only
    // async-signal-safe calls are allowed.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : request.arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* dir = request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return launchCode(errno);
    pid_t child = fork();
    if (child < 0) {
        int err = errno;
        close(fds[0]);
        close(fds[1]);
        return launchCode(err);
    }
    if (child == 0) {
        close(fds[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild < 0) {
            reportErrno(fds[1], errno);
            _exit(1);
        }
        if (grandchild > 0) _exit(0);
        // The desktop's own descriptors (sockets, the store's files) do not
        // pass to the program; the report pipe is close-on-exec already.
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        if (dir && chdir(dir) != 0) {
            reportErrno(fds[1], errno);
            _exit(127);
        }
        execv(argv[0], argv.data());
        reportErrno(fds[1], errno);
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t got;
    while ((got = read(fds[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    close(fds[0]);
    if (got == ssize_t(sizeof err)) return launchCode(err);
    return 0;
}

} // namespace usraction
