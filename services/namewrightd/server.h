// The network side of the daemon: the sockets of both roads, each read by
// several threads that run the Handler on what they receive, so that
// requests are served side by side; logins go to a worker of their own.
//
// Native road: the Namewright (15), message (19) and directory-assistance
// (22) well-known ports, opened through the client library's transport.
// Internet road: a plain UDP socket on the configured port for the
// Namewright service and the service searches, a second one for the message
// service and a third for directory assistance (both announced by the
// searches). Every socket waits at most a second per receive, so that a stop
// request is seen within a second.
#pragma once

#include <cstdint>
#include <string>

namespace nwd {

struct ServeOptions {
    std::string db;
    std::string serverName; // UTF-8 as given
    uint32_t revision = 71000;
    bool native = true;
    bool internet = true;
    int ipPort = -1;       // -1: [Internet] SearchPort of QORDA.INI
    int ipMessagePort = 0; // 0: any free port
    int ipNmdaPort = 0;    // 0: any free port
    std::string nmdaName;  // UTF-8; "": NMDA-<server name>
    std::string ipAddress; // announced Internet address; "": [CommStack] ServerAddress
    std::string ipBind;    // address the Internet sockets bind; "": the announced one
    uint32_t nonceLifetimeDays = 30;
    bool verbose = false;
};

// Runs until SIGTERM or SIGINT; returns the process exit code.
int serve(const ServeOptions& opt);

} // namespace nwd
