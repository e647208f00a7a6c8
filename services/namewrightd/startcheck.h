// Checks made before serving, so that a daemon started beside a running one
// refuses with a message that says what to do, and leaves the running one
// alone.
#pragma once

#include <string>

#include "qrd/config.h"
#include "server.h"

namespace nwd {

// Takes "<db>.lock" (an flock, released when the process ends) and writes
// this process's id into it. False, with a message, when another process
// serves the database already.
bool lockDatabase(const std::string& db, std::string& error);

// False, with a message, when a UDP port the daemon is about to open is
// bound already (most likely by another daemon on the same port base).
bool portsFree(const ServeOptions& opt, const qrd::CommStackConfig& comm,
               const std::string& configPath, std::string& error);

} // namespace nwd
