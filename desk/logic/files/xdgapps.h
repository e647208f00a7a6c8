// Reading desktop entries.
#pragma once

#include <string>

namespace usrfile {

// The command of a desktop entry's Exec line without its field codes
// (%f, %U, ...), so that a file can be appended to it.
std::string programOfExec(const std::string& exec);

} // namespace usrfile
