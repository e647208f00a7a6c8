// The help texts of command-line programs whose commands stand in a table.
#pragma once

#include <string>

namespace qrd {

// One command's entry in a program's --help: "  HEAD" on a line, then each
// line of `help` ("\n" between lines) indented by six spaces.
std::string commandHelp(const std::string& head, const std::string& help);

} // namespace qrd
