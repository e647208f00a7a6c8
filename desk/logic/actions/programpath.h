// Finding the file a program text names.
#pragma once

#include <string>

namespace usraction {

// A regular file this user may execute.
bool isExecutableFile(const std::string& path);
// The file a program text names: a mounted network path's local form, a
// path (relative ones below `startDirectory` when given), or a bare name
// searched on $PATH. "" when no such file exists.
std::string programFile(const std::string& text, const std::string& startDirectory = "");

} // namespace usraction
