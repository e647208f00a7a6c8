// namewrightd: the directory service stand-in. Commands: serve, admin, seed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "admin.h"
#include "log.h"
#include "qrd/config.h"
#include "server.h"
#include "sqlite_storage.h"
#include "startcheck.h"

namespace nwd {
extern const char* const kDemoSeed;
}

namespace {

const char kMainUsage[] = R"(usage: namewrightd <command> [options]

The Namewright directory service for the desktop's network: serves the
Namewright and message services on the native road and the Internet road,
and keeps its directory in one SQLite file.

Commands:
  serve   run the service                     (namewrightd serve --help)
  admin   change or list the directory        (namewrightd admin --help)
  seed    load a seed file, or the demo seed  (namewrightd seed --help)
  help    show this text
)";

const char kServeUsage[] = R"(usage: namewrightd serve --db FILE --server-name NAME [options]

  --db FILE            the directory database (created when missing)
  --server-name NAME   this server's full name (server@group@organisation);
                       the first word of every nonce it issues is derived from it
  --config FILE        the workstation configuration QORDA.INI (else $QORDA_INI,
                       else the usual places); [CommStack] gives the native
                       road's address and port base, [Internet] SearchPort the
                       default Internet port
  --revision N         the revision announced (default 71000)
  --ip-port N          UDP port of the Internet road (default [Internet]
                       SearchPort; 0 switches the Internet road off)
  --ip-message-port N  UDP port of the message service on the Internet road
                       (default: any free port; the searches announce it)
  --ip-nmda-port N     UDP port of the directory-assistance service on the
                       Internet road (default: any free port; the searches
                       announce it as service 35)
  --nmda-name NAME     the directory-assistance service's full name (default
                       NMDA-<server name>)
  --ip-address A       the address announced for the Internet road (default
                       [CommStack] ServerAddress)
  --ip-bind A          the address the Internet road listens on (default: the
                       announced address; 0.0.0.0 for every local address, e.g.
                       when [Internet] SearchAddress is a broadcast address)
  --no-native          do not serve the native road
  --nonce-days N       how long an issued nonce is honoured (default 30)
  --verbose            log every request

Prints one "namewrightd ready: ..." line on standard output when serving.
Stops on SIGTERM or SIGINT.
)";

const char kSeedUsage[] = R"(usage: namewrightd seed --db FILE [--kdf-iterations N] [SEEDFILE]

Loads a seed file (see namewrightd admin --help for its commands) into the
database, all of it or nothing. Without SEEDFILE the built-in demo seed is
loaded; "-" reads standard input.

  --kdf-iterations N   PBKDF2 work factor of the passwords set (default 100000)
)";

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

bool parseNumber(const std::string& s, long min, long max, long& out) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 9)
        return false;
    out = std::stol(s);
    return out >= min && out <= max;
}

int usageError(const std::string& msg, const char* usage) {
    std::fprintf(stderr, "namewrightd: %s\n\n%s", msg.c_str(), usage);
    return 2;
}

// Reads a password: twice with echo off on a terminal, else one line.
bool readPassword(const std::string& forWhom, std::string& out) {
    auto readLine = [](std::string& line) {
        if (!std::getline(std::cin, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    };
    if (!isatty(STDIN_FILENO)) return readLine(out);
    termios old{};
    tcgetattr(STDIN_FILENO, &old);
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string again;
    std::fprintf(stderr, "Password for %s: ", forWhom.c_str());
    bool ok = readLine(out);
    std::fprintf(stderr, "\nAgain: ");
    ok = ok && readLine(again);
    std::fprintf(stderr, "\n");
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    if (ok && out != again) {
        std::fprintf(stderr, "namewrightd: the passwords differ\n");
        return false;
    }
    return ok;
}

// Options shared by admin and seed, taken from the front of the arguments.
struct DbOptions {
    std::string db;
    uint32_t iterations = nwd::kDefaultIterations;
};

bool takeDbOptions(std::vector<std::string>& args, DbOptions& o, std::string& error) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--db" || args[i] == "--kdf-iterations") {
            if (i + 1 >= args.size()) {
                error = args[i] + " needs a value";
                return false;
            }
            if (args[i] == "--db") {
                o.db = args[++i];
            } else {
                long n;
                if (!parseNumber(args[++i], nwd::kMinIterations, nwd::kMaxIterations, n)) {
                    error = "--kdf-iterations takes a number from " +
                            std::to_string(nwd::kMinIterations) + " to " +
                            std::to_string(nwd::kMaxIterations);
                    return false;
                }
                o.iterations = uint32_t(n);
            }
        } else {
            rest.push_back(args[i]);
        }
    }
    args = std::move(rest);
    if (o.db.empty()) {
        error = "--db FILE is required";
        return false;
    }
    return true;
}

int cmdAdmin(std::vector<std::string> args) {
    const std::string usage = nwd::adminUsage();
    if (args.empty()) return std::fputs(usage.c_str(), stderr), 2;
    DbOptions o;
    std::string error;
    const bool dbGiven = takeDbOptions(args, o, error);
    if (wantsHelp(args)) return std::fputs(nwd::adminHelp(args).c_str(), stdout), 0;
    if (!dbGiven) return usageError(error, usage.c_str());
    try {
        std::unique_ptr<nwd::SqliteStorage> storage = nwd::openAdminDatabase(o.db, args);
        nwd::AdminContext ctx{*storage, std::cout, readPassword, o.iterations};
        nwd::runAdmin(ctx, args);
    } catch (const nwd::AdminError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return e.usage() ? 2 : 1;
    } catch (const nwd::StorageError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return 1;
    }
    return 0;
}

int cmdSeed(std::vector<std::string> args) {
    if (wantsHelp(args)) {
        std::fputs(kSeedUsage, stdout);
        return 0;
    }
    DbOptions o;
    std::string error;
    if (!takeDbOptions(args, o, error)) return usageError(error, kSeedUsage);
    if (args.size() > 1) return usageError("one seed file at most", kSeedUsage);
    try {
        nwd::SqliteStorage storage(o.db);
        nwd::AdminContext ctx{storage, std::cout, nullptr, o.iterations};
        if (args.empty()) {
            std::istringstream in(nwd::kDemoSeed);
            nwd::loadSeed(ctx, in, "demo seed");
        } else if (args[0] == "-") {
            nwd::loadSeed(ctx, std::cin, "standard input");
        } else {
            std::ifstream in(args[0]);
            if (!in) {
                std::fprintf(stderr, "namewrightd: cannot read %s: %s\n", args[0].c_str(),
                             std::strerror(errno));
                return 1;
            }
            nwd::loadSeed(ctx, in, args[0]);
        }
    } catch (const nwd::AdminError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return 1;
    } catch (const nwd::StorageError& e) {
        std::fprintf(stderr, "namewrightd: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Refuses, saying why, what would fail later with a bare status or disturb
// a daemon that serves already: a bad QORDA.INI, a database or ports in use.
int startServing(const nwd::ServeOptions& o) {
    qrd::QordaIniCheck config = qrd::checkQordaIni();
    if (!qrd::reportQordaIniProblems(config, "namewrightd")) return 1;
    std::string error;
    if (!nwd::lockDatabase(o.db, error) ||
        !nwd::portsFree(o, qrd::loadCommStackConfig(config.ini), config.ini.name(), error)) {
        std::fprintf(stderr, "namewrightd: %s\n", error.c_str());
        return 1;
    }
    return nwd::serve(o);
}

int cmdServe(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kServeUsage, stdout);
        return 0;
    }
    nwd::ServeOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto number = [&](long min, long max, long& out) {
            std::string v;
            return value(v) && parseNumber(v, min, max, out);
        };
        long n;
        std::string v;
        if (a == "--db") {
            if (!value(o.db)) return usageError("--db needs a file", kServeUsage);
        } else if (a == "--server-name") {
            if (!value(o.serverName)) return usageError("--server-name needs a name", kServeUsage);
        } else if (a == "--config") {
            if (!value(v)) return usageError("--config needs a file", kServeUsage);
            // The library reads QORDA.INI from $QORDA_INI when it first opens
            // its devices, which happens after this.
            setenv("QORDA_INI", v.c_str(), 1);
        } else if (a == "--revision") {
            if (!number(1, 999999999, n))
                return usageError("--revision needs a number", kServeUsage);
            o.revision = uint32_t(n);
        } else if (a == "--ip-port") {
            if (!number(0, 65535, n)) return usageError("--ip-port needs a UDP port", kServeUsage);
            o.ipPort = int(n);
            o.internet = n != 0;
        } else if (a == "--ip-message-port") {
            if (!number(0, 65535, n))
                return usageError("--ip-message-port needs a UDP port", kServeUsage);
            o.ipMessagePort = int(n);
        } else if (a == "--ip-nmda-port") {
            if (!number(0, 65535, n))
                return usageError("--ip-nmda-port needs a UDP port", kServeUsage);
            o.ipNmdaPort = int(n);
        } else if (a == "--nmda-name") {
            if (!value(o.nmdaName)) return usageError("--nmda-name needs a name", kServeUsage);
        } else if (a == "--ip-address") {
            if (!value(o.ipAddress))
                return usageError("--ip-address needs an address", kServeUsage);
        } else if (a == "--ip-bind") {
            if (!value(o.ipBind)) return usageError("--ip-bind needs an address", kServeUsage);
        } else if (a == "--no-native") {
            o.native = false;
        } else if (a == "--nonce-days") {
            if (!number(1, 3650, n)) return usageError("--nonce-days takes 1 to 3650", kServeUsage);
            o.nonceLifetimeDays = uint32_t(n);
        } else if (a == "--verbose") {
            o.verbose = true;
        } else {
            return usageError("unknown option " + a, kServeUsage);
        }
    }
    if (o.db.empty()) return usageError("--db FILE is required", kServeUsage);
    if (o.serverName.empty()) return usageError("--server-name NAME is required", kServeUsage);
    return startServing(o);
}

} // namespace

int main(int argc, char** argv) {
    // The database holds password verifiers and nonces, the lock file our
    // process id: whatever the caller's umask, nothing we create is for
    // other accounts (sqlite_storage.cpp also mends files made earlier).
    umask(077);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kMainUsage, stderr);
        return 2;
    }
    std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "help" || cmd == "--help" || cmd == "-h") {
        if (!args.empty() && args[0] == "serve") return std::fputs(kServeUsage, stdout), 0;
        if (!args.empty() && args[0] == "seed") return std::fputs(kSeedUsage, stdout), 0;
        if (!args.empty() && args[0] == "admin")
            return std::fputs(nwd::adminUsage().c_str(), stdout), 0;
        std::fputs(kMainUsage, stdout);
        return 0;
    }
    if (cmd == "serve") return cmdServe(args);
    if (cmd == "admin") return cmdAdmin(args);
    if (cmd == "seed") return cmdSeed(args);
    std::fprintf(stderr, "namewrightd: unknown command \"%s\"\n\n%s", cmd.c_str(), kMainUsage);
    return 2;
}
