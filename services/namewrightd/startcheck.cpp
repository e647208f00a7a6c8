#include "startcheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include "qrd/nmproto.h"

namespace nwd {

namespace {

// 0 when the port can be bound, else the errno of the bind.
int tryBind(uint32_t ip, uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip);
    int err = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : errno;
    close(fd);
    return err;
}

} // namespace

bool lockDatabase(const std::string& db, std::string& error) {
    const std::string path = db + ".lock";
    // Kept open (and locked) until the process ends.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char pid[32] = {};
        ssize_t n = pread(fd, pid, sizeof pid - 1, 0);
        std::string who = n > 0 ? std::string(pid, size_t(n)) : std::string();
        while (!who.empty() && (who.back() == '\n' || who.back() == ' '))
            who.pop_back();
        close(fd);
        bool known = !who.empty() && who.find_first_not_of("0123456789") == std::string::npos;
        error = "another namewrightd" + (known ? " (process " + who + ")" : std::string()) +
                " already serves " + db + "; stop it first" +
                (known ? " (kill " + who + ")" : std::string()) +
                ", or give this one a database of its own";
        return false;
    }
    std::string text = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) < 0) {
        // The lock holds all the same; only the message of a second daemon lacks the id.
    }
    return true;
}

bool portsFree(const ServeOptions& opt, const qrd::CommStackConfig& comm,
               const std::string& configPath, std::string& error) {
    if (opt.native) {
        for (uint16_t wellKnown : {qrd::nm::kServiceNamewright, qrd::nm::kServiceMessage}) {
            const uint16_t udp = uint16_t(comm.portBase + wellKnown);
            int err = tryBind(comm.serverAddress, udp);
            if (err == 0) continue;
            error = "UDP port " + std::to_string(udp) + " on " +
                    qrd::formatIpv4(comm.serverAddress) + " (the native road's port " +
                    std::to_string(wellKnown) + " at port base " + std::to_string(comm.portBase) +
                    " of " + configPath + ") cannot be opened: " + std::strerror(err);
            if (err == EADDRINUSE)
                error += "; another namewrightd probably serves this port base: stop it first, "
                         "or give this one a QORDA.INI with another [CommStack] PortBase "
                         "(--config FILE)";
            return false;
        }
    }
    int ipPort = opt.ipPort >= 0 ? opt.ipPort : comm.searchPort;
    uint32_t bind = comm.serverAddress;
    const std::string& bindText = !opt.ipBind.empty() ? opt.ipBind : opt.ipAddress;
    // An address that does not parse is reported when the road opens.
    if (opt.internet && ipPort > 0 && (bindText.empty() || qrd::parseIpv4(bindText, bind))) {
        int err = tryBind(bind, uint16_t(ipPort));
        if (err == EADDRINUSE) {
            error = "UDP port " + std::to_string(ipPort) + " on " + qrd::formatIpv4(bind) +
                    " (the Internet road: --ip-port, else [Internet] SearchPort of " + configPath +
                    ") is in use; another namewrightd probably serves it: stop it first, or "
                    "choose another port";
            return false;
        }
    }
    return true;
}

} // namespace nwd
