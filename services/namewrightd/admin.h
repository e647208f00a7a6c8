// Administration of the directory from the command line, and seed files.
//
//   namewrightd admin --db FILE <noun> <verb> [arguments] [options]
//
// The commands are rows of one table (admin.cpp): name, usage, help, the
// number of arguments and the options each takes, and the function that
// runs it; the usage texts and the help of each command come from it.
//
// A seed file holds the same commands, one per line, without the program
// name: "org add Demo", "user add alice@Sales@Demo --password secret". Blank
// lines and lines starting with '#' are skipped; arguments are separated by
// blanks and may be quoted with double quotes (\" and \\ inside quotes).
// A seed file is loaded in one transaction: all of it or nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "storage.h"

namespace nwd {

class SqliteStorage;

// A command that failed, with a message for the user. Usage errors (an
// unknown command or option, a wrong number of arguments) end the program
// with status 2, the others with 1.
class AdminError : public std::runtime_error {
  public:
    enum Kind { Failed, Usage };
    explicit AdminError(const std::string& what, Kind kind = Failed)
        : std::runtime_error(what), kind_(kind) {}
    bool usage() const { return kind_ == Usage; }

  private:
    Kind kind_;
};

struct AdminContext {
    Storage& storage;
    std::ostream& out;
    // Asks for a new password (UTF-8); false when none could be read.
    std::function<bool(const std::string& forWhom, std::string& password)> readPassword;
    uint32_t iterations = kDefaultIterations; // work factor of new password hashes
    bool seedMode = false;                    // seed files may give passwords with --password
};

// Runs one command; throws AdminError with a message for the user.
void runAdmin(AdminContext& ctx, const std::vector<std::string>& args);

// Loads a seed file; errors name the source and the line.
void loadSeed(AdminContext& ctx, std::istream& in, const std::string& sourceName);

// Splits a seed line into arguments; throws AdminError on an open quote.
std::vector<std::string> tokenize(const std::string& line);

// The administration commands, for --help: the usage line of
// `namewrightd admin` and every command.
std::string adminUsage();
// The text for `--help` among the arguments of a command line: the usage
// and help of the command they name ("user add --help"), the commands of
// a noun ("user --help"), or adminUsage().
std::string adminHelp(const std::vector<std::string>& args);

// Opens the database a command line works on. Only a command that makes a
// directory (init) may create the file; for the others a missing file is
// an error that says what to do. Throws AdminError (usage errors included).
std::unique_ptr<SqliteStorage> openAdminDatabase(const std::string& path,
                                                 const std::vector<std::string>& args);

} // namespace nwd
