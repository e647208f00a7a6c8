// namedir: looks at the desktop objects that the store keeps in a holder's
// Namewright attributes, on a workstation where somebody is logged in.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "dump.h"
#include "namedir.h"
#include "qrd/usage.h"
#include "transfer.h"

namespace {

const char kUsage[] =
    "Usage: namedir COMMAND ARGS...\n"
    "\n"
    "Shows what the directory object store keeps in the Namewright attributes of a\n"
    "user or a group, through the session of the user logged in on this workstation\n"
    "(qrdlogin login NAME).\n"
    "\n"
    "Commands:\n"
    "%s"
    "\n"
    "Options:\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 done, 1 the directory refused or failed, 2 wrong usage,\n"
    "3 check found problems that remain.\n";

int usageError(const char* what) {
    std::fprintf(stderr, "namedir: %s\nTry 'namedir --help'.\n", what);
    return 2;
}

// A status of the client API as words, for messages.
std::string statusText(QRDSTATUS status) {
    char text[QRD_ERRTEXT_LEN] = {};
    std::string words;
    if (QrdGetErrorText(nullptr, status, text) == 0 && text[0])
        words = text;
    else if (status == QRDERR_NM_NOT_LOGGED_IN)
        words = "the workstation's login is not valid; log in again";
    else if (status == 1033)
        words = "access denied";
    return words.empty() ? "status " + std::to_string(status)
                         : words + " (status " + std::to_string(status) + ")";
}

// The canonical name of a user or a group; false with a message otherwise.
bool resolveHolder(std::string& name, bool& group) {
    std::string canonical = name;
    if (QRDSTATUS s = CQrdApi::formatName(canonical)) {
        std::fprintf(stderr, "namedir: '%s' is not a user or group the directory knows: %s\n",
                     name.c_str(), statusText(s).c_str());
        return false;
    }
    name = canonical;
    std::string copy = canonical;
    group = CQrdApi::isGroupName(copy);
    return true;
}

bool parseNumber(const char* text, uint32_t& value) {
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 0);
    if (errno || !*text || *end || text[0] == '-' || v > UINT32_MAX) return false;
    value = uint32_t(v);
    return true;
}

int dump(const std::vector<std::string>& args) {
    std::string holder = args[0];
    bool group = false;
    if (!resolveHolder(holder, group)) return 1;
    std::vector<AttrName> attrs;
    if (QRDSTATUS s = CQrdApi::scanAttributes(holder, {0, 0}, {0xFFFFFFFF, 0xFFFFFFFF}, attrs)) {
        std::fprintf(stderr, "namedir: cannot list the attributes of %s: %s\n", holder.c_str(),
                     statusText(s).c_str());
        return 1;
    }
    std::string json;
    namedirtool::dumpHolder(namedir::clientAttrStore(), holder, group, attrs, json);
    std::fputs(json.c_str(), stdout);
    return 0;
}

// The holder's attribute names, or false with a message.
bool scanHolder(const std::string& holder, std::vector<AttrName>& attrs) {
    if (QRDSTATUS s = CQrdApi::scanAttributes(holder, {0, 0}, {0xFFFFFFFF, 0xFFFFFFFF}, attrs)) {
        std::fprintf(stderr, "namedir: cannot list the attributes of %s: %s\n", holder.c_str(),
                     statusText(s).c_str());
        return false;
    }
    return true;
}

int check(const std::vector<std::string>& args) {
    bool repair = false;
    std::vector<std::string> names;
    for (const std::string& a : args) {
        if (a == "--repair")
            repair = true;
        else
            names.push_back(a);
    }
    if (names.size() != 1) return usageError("check takes NAME and optionally --repair");
    std::string holder = names[0];
    bool group = false;
    std::vector<AttrName> attrs;
    if (!resolveHolder(holder, group) || !scanHolder(holder, attrs)) return 1;
    namedirtool::CheckResult r =
        namedirtool::checkHolder(namedir::clientAttrStore(), holder, group, attrs, repair, stdout);
    if (r.failed) return 1;
    std::printf("%s: %d problem%s found%s\n", holder.c_str(), r.found, r.found == 1 ? "" : "s",
                repair ? (", " + std::to_string(r.repaired) + " repaired").c_str() : "");
    return r.found > r.repaired ? 3 : 0;
}

// Export or import: NAME resolved and scanned, then `transfer`.
int transfer(const std::vector<std::string>& args,
             bool (*transfer)(namedir::AttrStore&, const std::string&, bool,
                              const std::vector<AttrName>&, const std::string&, std::string&)) {
    std::string holder = args[0];
    bool group = false;
    std::vector<AttrName> attrs;
    if (!resolveHolder(holder, group) || !scanHolder(holder, attrs)) return 1;
    std::string error;
    if (!transfer(namedir::clientAttrStore(), holder, group, attrs, args[1], error)) {
        std::fprintf(stderr, "namedir: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int exportDesktop(const std::vector<std::string>& args) {
    return transfer(args, namedirtool::exportHolder);
}

int importDesktop(const std::vector<std::string>& args) {
    return transfer(args, namedirtool::importHolder);
}

int raw(const std::vector<std::string>& args) {
    bool plain = args.size() == 4;
    if (plain && args[0] != "--plain" && args[3] != "--plain")
        return usageError("raw takes NAME CATEGORY NUMBER and optionally --plain");
    std::vector<std::string> rest;
    for (const std::string& a : args)
        if (a != "--plain") rest.push_back(a);
    uint32_t category = 0, number = 0;
    if (rest.size() != 3 || !parseNumber(rest[1].c_str(), category) ||
        !parseNumber(rest[2].c_str(), number))
        return usageError("CATEGORY and NUMBER must be numbers from 0 to 4294967295");
    std::string holder = rest[0];
    bool group = false;
    if (!resolveHolder(holder, group)) return 1;
    std::vector<uint8_t> bytes;
    if (QRDSTATUS s = CQrdApi::readAttribute(holder, category, number, bytes)) {
        if (s == QRDERR_NM_NO_ATTR)
            std::fprintf(stderr, "namedir: %s has no attribute %u,%u\n", holder.c_str(), category,
                         number);
        else
            std::fprintf(stderr, "namedir: cannot read attribute %u,%u of %s: %s\n", category,
                         number, holder.c_str(), statusText(s).c_str());
        return 1;
    }
    // Offsets in decimal, as the layouts give them.
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!plain && i % 16 == 0) std::printf("%s%6zu ", i ? "\n" : "", i);
        std::printf(plain ? "%02x" : " %02x", bytes[i]);
    }
    if (!bytes.empty() || plain) std::printf("\n");
    return 0;
}

struct Command {
    const char* name;
    const char* args;
    size_t minArgs, maxArgs;
    int (*run)(const std::vector<std::string>& args);
    const char* help;
};

const Command kCommands[] = {
    {"dump", "NAME", 1, 1, dump,
     "print every object kept in NAME's attributes as JSON: records decoded,\n"
     "addresses, the free list, and attributes the store does not know"},
    {"raw", "NAME CATEGORY NUMBER [--plain]", 3, 4, raw,
     "print the bytes of one attribute in hexadecimal, 16 to a line after\n"
     "their decimal offset (--plain: one line of hexadecimal)"},
    {"check", "NAME [--repair]", 1, 2, check,
     "report what is inconsistent among NAME's objects: list entries naming\n"
     "missing objects, parent lists that do not match the folders, free-list\n"
     "entries in use, objects nothing names; --repair fixes all but the last\n"
     "(exit status 3 when problems remain)"},
    {"export", "NAME FILE", 2, 2, exportDesktop,
     "write NAME's whole desktop (objects, lists, actions, card, preferences,\n"
     "free list) to FILE as versioned JSON"},
    {"import", "NAME FILE", 2, 2, importDesktop,
     "write a desktop exported to FILE into NAME, which must hold none yet;\n"
     "references to the exported holder are renamed to NAME"},
};

std::string commandList() {
    std::string out;
    for (const Command& c : kCommands)
        out += qrd::commandHelp(std::string(c.name) + " " + c.args, c.help);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a == "-h" || a == "--help") {
            std::printf(kUsage, commandList().c_str());
            return 0;
        }
    if (args.empty()) return usageError("no command given");
    for (const Command& c : kCommands) {
        if (args[0] != c.name) continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() < c.minArgs || rest.size() > c.maxArgs)
            return usageError((std::string("usage: namedir ") + c.name + " " + c.args).c_str());
        std::string user;
        if (CQrdApi::getUserName(user) != 0 || user.empty()) {
            std::fprintf(stderr, "namedir: nobody is logged in on this workstation; log in "
                                 "first with 'qrdlogin login NAME'\n");
            return 1;
        }
        int rc = c.run(rest);
        CQrdApi::destroyAllSessions();
        return rc;
    }
    return usageError(("unknown command '" + args[0] + "'").c_str());
}
