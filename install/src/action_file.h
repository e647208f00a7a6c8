// Action definition files: what a setup program hands the installer.
//
//   [Name of the action]           a section: one action; its body runs to the
//   Command = ~/bin/tool %s        next line that begins with "["
//   WinMode = SW_SHOWMAXIMIZED
//   Capabilities = Doc Web
//
// Keys are matched without regard to case, spaces and tabs around keys and
// values are removed, lines without "=" and unknown keys are passed over. The
// file may come from anywhere: every line that is passed over for a fault is
// listed with its number, and nothing in a line can reach another line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace deskinstall {

// The longest line read, in bytes before the line end. A longer line is
// passed over whole (never cut, never split into two lines).
constexpr size_t kMaxLineLength = 255;
// Biggest file read: definition files are a few lines per action.
constexpr size_t kMaxFileSize = 1 << 20;

// Show commands (the values stored in an action's showMode).
constexpr long kShowNormal = 1; // the default, and what an unknown name gives

// One action as the file describes it; defaults are those of a section that
// names nothing else.
struct ActionDefinition {
    std::string name;
    std::string commandLine;
    std::string description;
    std::string startDirectory;
    long shared = 0;
    long initial = 0;
    long showMode = kShowNormal;
    long capabilities = 0;
    long iconIndex = 0;
};

struct ActionFile {
    std::vector<ActionDefinition> actions; // in file order, one per good section
    // "line N: ..." for every line or value that was passed over.
    std::vector<std::string> problems;
};

// Parses a whole file's text.
ActionFile parseActionFile(std::string_view text);

// Reads and parses `path`; false with the reason in `error` when the file
// cannot be read or is larger than kMaxFileSize.
bool readActionFile(const std::string& path, ActionFile& file, std::string& error);

// Values, as the file and the installer's exports take them.
// True for YES, 1, ONE, TRUE, ON, OUI, JA, SI, OKYAH, KYCHNIJZ (any case).
bool parseBoolean(std::string_view value);
// A show command by name (any case); false for an unknown name.
bool parseShowMode(std::string_view name, long& mode);
// The type mask of a list of type names separated by spaces, tabs or line
// ends; unknown names add nothing and are appended to `unknown` when given.
long parseCapabilities(std::string_view text, std::vector<std::string>* unknown = nullptr);

// `command` with a leading "~" replaced by `installDirectory`, with "/"
// between them unless one of them already has a separator there. Unchanged
// when the directory is empty or the command does not begin with "~".
std::string applyInstallDirectory(const std::string& command, const std::string& installDirectory);

} // namespace deskinstall
