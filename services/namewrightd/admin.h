// Administration of the directory from the command line, and seed files.
//
//   namewrightd admin --db FILE <noun> <verb> [arguments] [options]
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
#include <stdexcept>
#include <string>
#include <vector>

#include "storage.h"

namespace nwd {

class AdminError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
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

// The administration commands, for --help.
const char* adminUsage();

} // namespace nwd
