// Reading desktop entries.
#pragma once

#include <string>
#include <vector>

namespace usrfile {

// The XDG data directories, most important first: $XDG_DATA_HOME (or
// ~/.local/share), then $XDG_DATA_DIRS (or /usr/local/share:/usr/share).
std::vector<std::string> dataDirs();

// The command of a desktop entry's Exec line without its field codes
// (%f, %U, ...), so that a file can be appended to it.
std::string programOfExec(const std::string& exec);

// The Icon value of the first installed application entry (below each data
// directory's applications/) whose TryExec or Exec program is `executable`:
// the same path, or the same file name when either is a bare name. "" when
// no entry names it.
std::string programIconName(const std::string& executable);

} // namespace usrfile
