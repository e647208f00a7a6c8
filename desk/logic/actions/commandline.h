// An action's command line: expanding it, and splitting it into the
// program and its arguments.
//
// Expansion: "%%" stands for the item the action runs on, "%NAME%" for the
// environment variable NAME (nothing when it is not set). The expanded line
// never exceeds kExpandedMax bytes and is cut between characters, never
// inside one.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace usraction {

constexpr size_t kExpandedMax = 260;    // bytes of the expanded line
constexpr size_t kVariableNameMax = 32; // bytes of a variable's name; longer names are cut

using Environment = std::function<std::optional<std::string>(const std::string& name)>;
// The process environment.
std::optional<std::string> processEnvironment(const std::string& name);

std::string expandCommandLine(std::string_view line, std::string_view item,
                              const Environment& env = processEnvironment);

struct CommandParts {
    std::string program;
    std::string parameters;
};

// Splits an expanded line. A line in double quotes at its start names the
// program up to the closing quote. Otherwise, a line that names an existing
// file as a whole is all program; the program ends at the first blank,
// comma, tab or newline after the first "." when that names an existing
// file (a program path with blanks), else at the first such separator.
// `exists` tells whether a program text names an existing file.
CommandParts splitCommandLine(std::string_view line,
                              const std::function<bool(const std::string&)>& exists);

// The parameter string as arguments: blanks and tabs separate them, double
// quotes group blanks into one (and "" is an empty argument). Backslashes
// are ordinary characters, as in paths.
std::vector<std::string> splitParameters(std::string_view parameters);

} // namespace usraction
