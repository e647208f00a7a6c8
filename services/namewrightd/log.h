// The daemon's log: one line per event on standard error.
#pragma once

namespace nwd {

enum class LogLevel { Error, Info, Debug };

// Debug lines (each request) are written only when verbose.
void setLogVerbose(bool verbose);
void setLogQuiet(bool quiet); // tests silence everything
void logLine(LogLevel level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

} // namespace nwd
