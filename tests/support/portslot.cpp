#include "portslot.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qrdtest {

namespace {
constexpr int kFirstBase = 10240;
constexpr int kSlots = 40;
constexpr int kSlotSize = 512;

bool udpPortFree(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}
} // namespace

PortSlot reservePortSlot() {
    int start = int(getpid() % kSlots);
    for (int i = 0; i < kSlots; ++i) {
        int slot = (start + i) % kSlots;
        std::string lock = "/tmp/qrd-test-portbase-" + std::to_string(slot) + ".lock";
        int fd = open(lock.c_str(), O_CREAT | O_RDWR, 0666);
        if (fd < 0) continue;
        uint16_t base = uint16_t(kFirstBase + slot * kSlotSize);
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && udpPortFree(base + 15) && udpPortFree(base + 19) &&
            udpPortFree(base + 22) && udpPortFree(base + 511))
            return PortSlot{base, fd};
        close(fd);
    }
    return PortSlot{};
}

} // namespace qrdtest
