// deskinstall: the action installer for setup scripts. Installs the actions
// of an action definition file, tests for, removes and counts actions,
// through libdeskinstall, for the user logged in on this workstation.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <qrdapi.h>

#include "action_file.h"
#include "deskinstall.h"
#include "qrd/usage.h"

namespace {

const char kUsage[] =
    "Usage: deskinstall [--replace] COMMAND ARGS...\n"
    "\n"
    "Adds programs to the desktop action library of the user logged in on this\n"
    "workstation (qrdlogin login NAME), tests for, removes and counts actions.\n"
    "The directory object store is found through the machine's registry file\n"
    "($QRD_SYSCONF_DIR/registry.ini, by default /etc/namewright/registry.ini;\n"
    "see docs/install.md).\n"
    "\n"
    "Commands:\n"
    "%s"
    "\n"
    "Options:\n"
    "  --replace    reinstall an action that is installed already (without it,\n"
    "               installed actions are kept and their sections not installed)\n"
    "  --           ends the options (for a NAME that begins with \"-\")\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 done (test: the action is installed), 1 the installer or the\n"
    "directory failed (the message says why), 2 wrong usage, 3 not everything\n"
    "asked for holds (test: not installed; install: some sections were not\n"
    "installed, e.g. kept without --replace).\n";

enum Exit { kDone = 0, kFailed = 1, kUsageError = 2, kNotAll = 3 };

// What the library reported during one command.
struct Reports {
    bool replace = false;
    bool errors = false;
};

int askOnStderr(void* context, const char*, const char* text) {
    auto* r = static_cast<Reports*>(context);
    std::fprintf(stderr, "deskinstall: %s %s\n", text,
                 r->replace ? "Yes (--replace)." : "No; give --replace to reinstall it.");
    return r->replace;
}

void errorOnStderr(void* context, const char*, const char* text, const char* detail) {
    static_cast<Reports*>(context)->errors = true;
    std::fprintf(stderr, "deskinstall: %s\n", text);
    if (*detail) std::fprintf(stderr, "deskinstall: (%s)\n", detail);
}

int usageError(const std::string& what) {
    std::fprintf(stderr, "deskinstall: %s\nTry 'deskinstall --help'.\n", what.c_str());
    return kUsageError;
}

int install(const std::vector<std::string>& args, Reports& reports) {
    const std::string& path = args[0];
    deskinstall::ActionFile file;
    std::string why;
    if (!deskinstall::readActionFile(path, file, why)) {
        std::fprintf(stderr, "deskinstall: cannot read %s: %s\n", path.c_str(), why.c_str());
        return kFailed;
    }
    for (const std::string& p : file.problems)
        std::fprintf(stderr, "deskinstall: %s: %s\n", path.c_str(), p.c_str());
    if (file.actions.empty()) {
        std::fprintf(stderr, "deskinstall: %s defines no action; each begins with [Name]\n",
                     path.c_str());
        return kFailed;
    }
    // The commands are kept for later launches, from any working directory.
    std::string dir;
    if (args.size() > 1) {
        std::error_code ec;
        dir = std::filesystem::absolute(args[1], ec).lexically_normal().string();
        if (ec || args[1].empty()) return usageError("DIRECTORY '" + args[1] + "' is no path");
    }
    int created = QrdNmdCreateActions(path.c_str(), dir.empty() ? nullptr : dir.c_str());
    std::printf("Installed %d of %zu actions from %s.\n", created, file.actions.size(),
                path.c_str());
    if (reports.errors) return kFailed;
    return size_t(created) == file.actions.size() ? kDone : kNotAll;
}

int test(const std::vector<std::string>& args, Reports& reports) {
    int installed = QrdNmdIsActionInstalled(args[0].c_str());
    if (reports.errors) return kFailed;
    std::printf("%s is %sinstalled.\n", args[0].c_str(), installed ? "" : "not ");
    return installed ? kDone : kNotAll;
}

int remove(const std::vector<std::string>& args, Reports&) {
    return QrdNmdRemoveAction(args[0].c_str()) == 1 ? kDone : kFailed;
}

int count(const std::vector<std::string>&, Reports&) {
    long n = QrdNmdGetInstalledActionCount();
    if (n < 0) return kFailed;
    std::printf("%ld\n", n);
    return kDone;
}

struct Command {
    const char* name;
    const char* args;
    size_t minArgs, maxArgs;
    int (*run)(const std::vector<std::string>& args, Reports& reports);
    const char* help;
};

const Command kCommands[] = {
    {"install", "FILE [DIRECTORY]", 1, 2, install,
     "create one action per section of the action definition file FILE; a\n"
     "command that begins with \"~\" gets DIRECTORY in place of the \"~\""},
    {"test", "NAME", 1, 1, test, "whether an action named NAME is installed"},
    {"remove", "NAME", 1, 1, remove,
     "remove every action named NAME (none installed: nothing to do)"},
    {"count", "", 0, 0, count, "print the number of entries in the action library"},
};

std::string commandList() {
    std::string out;
    for (const Command& c : kCommands)
        out += qrd::commandHelp(std::string(c.name) + (*c.args ? " " : "") + c.args, c.help);
    return out;
}

bool loggedIn() {
    char user[NMNAMELEN] = {};
    return QrdGetUserName(user) == 0 && user[0];
}

} // namespace

int main(int argc, char** argv) {
    Reports reports;
    std::vector<std::string> args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (options && (a == "-h" || a == "--help")) {
            std::printf(kUsage, commandList().c_str());
            return kDone;
        }
        if (options && a == "--") {
            options = false;
        } else if (options && a == "--replace") {
            reports.replace = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            return usageError("unknown option '" + a + "'");
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) return usageError("no command given");
    for (const Command& c : kCommands) {
        if (args[0] != c.name) continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() < c.minArgs || rest.size() > c.maxArgs)
            return usageError(std::string("usage: deskinstall ") + c.name + (*c.args ? " " : "") +
                              c.args);
        if (!loggedIn()) {
            std::fprintf(stderr, "deskinstall: nobody is logged in on this workstation; log in "
                                 "first with 'qrdlogin login NAME'\n");
            return kFailed;
        }
        QrdNmdReporter reporter{askOnStderr, errorOnStderr, &reports};
        QrdNmdSetReporter(&reporter);
        int rc = c.run(rest, reports);
        QrdNmdSetReporter(nullptr);
        return rc;
    }
    return usageError("unknown command '" + args[0] + "'");
}
