// The daemon's log: one line per event on standard error.
//
// Lines carry names and texts that came from the network; every control
// character in a line is escaped (\xNN), so that no field can end a line
// early, forge another one or drive the reader's terminal.
#pragma once

#include <string>

namespace nwd {

enum class LogLevel { Error, Info, Debug };

// Debug lines (each request) are written only when verbose.
void setLogVerbose(bool verbose);
void setLogQuiet(bool quiet); // tests silence everything
void logLine(LogLevel level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// UTF-8 text for people: C0 and C1 control characters and DEL as \xNN
// (C1 as the bytes of their UTF-8 form), everything else unchanged.
std::string printable(const std::string& utf8);

} // namespace nwd
