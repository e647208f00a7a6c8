#include "admin.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <istream>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <sys/stat.h>

#include "directory.h"
#include "log.h"
#include "names.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrd/nmproto.h"
#include "sqlite_storage.h"

namespace nwd {

namespace {

constexpr size_t kMaxProfileKey = 63;
constexpr size_t kMaxProfileValue = 1023;
// Characters of an argument that a message repeats; the rest is cut.
constexpr size_t kShownChars = 40;

const char kUsageHead[] =
    "usage: namewrightd admin --db FILE [--kdf-iterations N] <command> [arguments]\n\n"
    "NAME is item@group@organisation, GROUP is group@organisation. Names hold letters,\n"
    "digits, blanks and the characters !#%()+,-.;^_{|}~' (Latin-1), at most 63 of them.\n"
    "\"namewrightd admin COMMAND --help\" explains a command.\n\n";
const char kUsageFoot[] =
    "\nPasswords are read from standard input (asked twice on a terminal), never\n"
    "from the command line.\n";

// An argument as a message repeats it: quoted, printable, and cut after
// kShownChars characters (UTF-8 sequences are kept whole).
std::string shown(const std::string& utf8) {
    size_t at = 0, chars = 0;
    while (at < utf8.size() && chars < kShownChars) {
        ++at;
        while (at < utf8.size() && (uint8_t(utf8[at]) & 0xC0) == 0x80)
            ++at;
        ++chars;
    }
    if (at >= utf8.size()) return "\"" + printable(utf8) + "\"";
    return "\"" + printable(utf8.substr(0, at)) + "...\" (" + std::to_string(utf8.size()) +
           " bytes)";
}

// Arguments of one command: positionals and --options.
struct Args {
    std::vector<std::string> pos;
    std::map<std::string, std::string> opts; // "--x" -> value ("" for flags)
    bool has(const char* o) const { return opts.count(o) > 0; }
};

std::string toLatin1(const std::string& utf8, const char* what) {
    std::string l;
    if (!utf8ToLatin1(utf8, l))
        throw AdminError(std::string(what) + " " + shown(utf8) +
                         " has characters that names cannot hold (Latin-1 only)");
    return l;
}

// A whole number from 1 to 1000000.
bool parseCount(const std::string& text, long& out) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::stol(text);
    return out >= 1 && out <= 1000000;
}

const char* nameForm(size_t parts) {
    switch (parts) {
    case 1:
        return "an organisation name";
    case 2:
        return "group@organisation";
    case 3:
        return "item@group@organisation";
    default:
        return "organisation, group@organisation or item@group@organisation";
    }
}

// Splits a name given on the command line (`wanted` parts, 0: any number),
// checking it as the service does; the error says what is wrong with it.
std::vector<std::string> nameParts(const std::string& utf8, size_t wanted, const char* what) {
    const std::string latin1 = toLatin1(utf8, what);
    const std::string named = std::string(what) + " " + shown(utf8);
    if (latin1.size() > kMaxNameBytes)
        throw AdminError(named + " is too long: a name has at most " +
                         std::to_string(kMaxNameBytes) + " characters, this one " +
                         std::to_string(latin1.size()));
    for (unsigned char c : latin1) {
        if (c == '@' || validNameChar(c)) continue;
        std::string ch = latin1ToUtf8(std::string(1, char(c)));
        throw AdminError(named + " holds " + shown(ch) +
                         ", which names cannot hold; a name part has letters, digits, blanks and " +
                         (kNamePunctuation + 1));
    }
    std::vector<std::string> parts;
    if (!splitName(latin1, parts) || (wanted && parts.size() != wanted))
        throw AdminError(named + " is not a valid name; expected " + nameForm(wanted) +
                         " (parts separated by one @, none of them empty)");
    for (const std::string& p : parts)
        if (p.front() == ' ' || p.back() == ' ')
            throw AdminError(named + ": name parts may not begin or end with a blank");
    return parts;
}

size_t partsOf(uint16_t nameKind) {
    return nameKind == kNameKindOrg ? 1 : nameKind == kNameKindGroup ? 2 : 3;
}

class Admin;

// One administration command: a row of kCommands.
struct Command {
    const char* noun;
    const char* verb; // "" for commands of one word
    const char* arguments;
    const char* help;
    size_t minArgs, maxArgs;
    std::set<std::string> valueOptions; // options followed by a value
    std::set<std::string> flags;
    void (Admin::*run)(const Command&, Args&);
    Kind kind = Kind::User; // the kind of the entries that generic commands handle
    bool createsDirectory = false;

    std::string name() const { return *verb ? std::string(noun) + " " + verb : noun; }
    std::string usage() const { return name() + (*arguments ? " " : "") + arguments; }
};

extern const Command kCommands[];
extern const size_t kCommandCount;

const Command* findCommand(const std::string& noun, const std::string& verb) {
    for (size_t i = 0; i < kCommandCount; ++i)
        if (noun == kCommands[i].noun && (!*kCommands[i].verb || verb == kCommands[i].verb))
            return &kCommands[i];
    return nullptr;
}

bool knownNoun(const std::string& noun) {
    for (size_t i = 0; i < kCommandCount; ++i)
        if (noun == kCommands[i].noun) return true;
    return false;
}

// The commands of a noun, or all of them: one line each.
std::string commandList(const std::string& noun) {
    std::string out;
    for (size_t i = 0; i < kCommandCount; ++i) {
        const Command& c = kCommands[i];
        if (!noun.empty() && noun != c.noun) continue;
        // The first sentence of the help, beside the usage or below it.
        constexpr size_t kColumn = 40;
        std::string line = "  " + c.usage();
        line += line.size() + 2 > kColumn ? "\n" + std::string(kColumn, ' ')
                                          : std::string(kColumn - line.size(), ' ');
        out += line + std::string(c.help, std::strcspn(c.help, ".")) + "\n";
    }
    return out;
}

// The command a command line names; an unknown one is a usage error.
const Command& commandOf(const std::vector<std::string>& args) {
    if (args.empty())
        throw AdminError("no command given; \"namewrightd admin --help\" lists the commands",
                         AdminError::Usage);
    const std::string verb = args.size() > 1 ? args[1] : "";
    if (const Command* c = findCommand(args[0], verb)) return *c;
    if (!knownNoun(args[0]))
        throw AdminError("unknown command " + shown(args[0]) +
                             "; \"namewrightd admin --help\" lists the commands",
                         AdminError::Usage);
    throw AdminError((verb.empty() ? "\"" + args[0] + "\" needs a verb"
                                   : "unknown command " + shown(args[0] + " " + verb)) +
                         "; the " + args[0] + " commands are:\n" + commandList(args[0]),
                     AdminError::Usage);
}

Args parseArgs(const Command& c, const std::vector<std::string>& in) {
    const std::string usage = "usage: " + c.usage();
    Args a;
    for (size_t i = *c.verb ? 2 : 1; i < in.size(); ++i) {
        const std::string& s = in[i];
        if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            if (c.valueOptions.count(s)) {
                if (i + 1 >= in.size())
                    throw AdminError(s + " needs a value; " + usage, AdminError::Usage);
                a.opts[s] = in[++i];
            } else if (c.flags.count(s)) {
                a.opts[s] = "";
            } else {
                throw AdminError("unknown option " + shown(s) + " of " + c.name() + "; " + usage,
                                 AdminError::Usage);
            }
        } else {
            a.pos.push_back(s);
        }
    }
    if (a.pos.size() < c.minArgs || a.pos.size() > c.maxArgs)
        throw AdminError(std::string(a.pos.size() < c.minArgs ? "too few" : "too many") +
                             " arguments; " + usage,
                         AdminError::Usage);
    return a;
}

class Admin {
  public:
    explicit Admin(AdminContext& c) : c_(c), s_(c.storage), dir_(c.storage) {}

    void run(const std::vector<std::string>& args) {
        const Command& c = commandOf(args);
        Args a = parseArgs(c, args);
        (this->*c.run)(c, a);
    }

    // The commands (rows of kCommands).
    void init(const Command&, Args&);
    void orgAdd(const Command&, Args&);
    void orgRemove(const Command&, Args&);
    void orgList(const Command&, Args&);
    void groupAdd(const Command&, Args&);
    void groupSetServer(const Command&, Args&);
    void groupRemove(const Command&, Args&);
    void groupList(const Command&, Args&);
    void userAdd(const Command&, Args&);
    void userPassword(const Command&, Args&);
    void userSet(const Command&, Args&);
    void userLogout(const Command&, Args&);
    void userBulk(const Command&, Args&);
    void userList(const Command&, Args&);
    void addObject(const Command&, Args&);
    void removeObject(const Command&, Args&);
    void listObjects(const Command&, Args&);
    void memberChange(const Command&, Args&);
    void memberList(const Command&, Args&);
    void serviceAddOrSet(const Command&, Args&);
    void serviceSetPort(const Command&, Args&);
    void serviceList(const Command&, Args&);
    void serverAdd(const Command&, Args&);
    void serverList(const Command&, Args&);
    void nicknameAdd(const Command&, Args&);
    void nicknameList(const Command&, Args&);
    void profileSet(const Command&, Args&);
    void profileRemove(const Command&, Args&);
    void profileList(const Command&, Args&);
    void messages(const Command&, Args&);

  private:
    // Resolution of existing names; errors read like the service's statuses.
    Entry resolve(const std::string& utf8, uint16_t kind, bool followNicknames = true) {
        nameParts(utf8, partsOf(kind), "name");
        Resolved r = dir_.resolve(toLatin1(utf8, "name"), kind, followNicknames);
        switch (r.status) {
        case 0:
            return r.entry;
        case qrd::nm::kNotOrganisation:
            throw AdminError("no organisation of the name " + shown(utf8));
        case qrd::nm::kNotGroup:
            throw AdminError("no group of the name " + shown(utf8));
        default:
            throw AdminError("no object " + shown(utf8));
        }
    }
    Entry resolveKind(const std::string& utf8, Kind kind, bool followNicknames = true) {
        Entry e = resolve(utf8, kNameKindObject, followNicknames);
        if (e.kind != kind)
            throw AdminError(shown(utf8) + " is a " + kindName(e.kind) + ", not a " +
                             kindName(kind));
        return e;
    }
    // A name of any level: organisation, group or object.
    Entry resolveAny(const std::string& utf8) {
        std::vector<std::string> parts = nameParts(utf8, 0, "name");
        return resolve(utf8, parts.size() == 1   ? kNameKindOrg
                             : parts.size() == 2 ? kNameKindGroup
                                                 : kNameKindObject);
    }
    std::string full(int64_t id) { return latin1ToUtf8(dir_.fullName(id)); }

    int64_t add(int64_t parent, Kind kind, const std::string& latin1Part,
                const std::string& whole) {
        try {
            return s_.addEntry(parent, kind, latin1ToUtf8(latin1Part), nameKey(latin1Part));
        } catch (const StorageError& e) {
            if (e.code == StorageError::Duplicate)
                throw AdminError(shown(whole) + " already exists");
            throw;
        }
    }
    int64_t addObjectNamed(const std::string& utf8, Kind kind) {
        std::vector<std::string> parts = nameParts(utf8, 3, "name");
        Entry g = resolve(latin1ToUtf8(parts[1] + "@" + parts[2]), kNameKindGroup);
        return add(g.id, kind, parts[0], utf8);
    }

    // Entries of a kind below an optional organisation or group.
    std::vector<Entry> scoped(const std::vector<std::string>& pos, Kind kind) {
        std::vector<Entry> groups;
        if (!pos.empty()) {
            Entry scope = resolveAny(pos[0]);
            if (scope.kind == Kind::Group)
                groups.push_back(scope);
            else if (scope.kind == Kind::Org)
                groups = s_.children(scope.id, int(Kind::Group));
            else
                throw AdminError(shown(pos[0]) + " is neither an organisation nor a group");
        } else {
            for (const Entry& o : s_.children(0, int(Kind::Org))) {
                std::vector<Entry> g = s_.children(o.id, int(Kind::Group));
                groups.insert(groups.end(), g.begin(), g.end());
            }
        }
        std::vector<Entry> out;
        for (const Entry& g : groups) {
            std::vector<Entry> c = s_.children(g.id, int(kind));
            out.insert(out.end(), c.begin(), c.end());
        }
        return out;
    }

    std::string serverArg(const std::string& utf8) {
        if (utf8 == "-") return "";
        std::vector<std::string> parts = nameParts(utf8, 3, "server");
        return latin1ToUtf8(joinName(parts));
    }

    PasswordHash newPassword(const std::string& who, const Args& a) {
        std::string pw;
        if (a.has("--password")) {
            if (!c_.seedMode)
                throw AdminError("--password is only accepted in seed files; the password is "
                                 "read from standard input",
                                 AdminError::Usage);
            pw = a.opts.at("--password");
        } else if (!c_.readPassword || !c_.readPassword(who, pw)) {
            throw AdminError("no password given for " + who);
        }
        if (pw.empty()) throw AdminError("the password of " + who + " may not be empty");
        std::string latin1 = toLatin1(pw, "the password");
        if (latin1.size() > qrd::nm::kPasswordCap - 1)
            throw AdminError("the password of " + who + " is longer than 127 characters");
        PasswordHash h;
        if (!makePasswordHash(latin1, c_.iterations, h))
            throw AdminError("no random bytes available for the password's salt");
        return h;
    }

    UserRecord userRecord(const std::string& name, int64_t& id) {
        id = resolveKind(name, Kind::User).id;
        std::optional<UserRecord> u = s_.user(id);
        if (!u) throw AdminError("the user record of " + shown(name) + " is missing");
        return *u;
    }

    std::string description(const Args& a) {
        auto it = a.opts.find("--description");
        if (it == a.opts.end()) return "";
        std::string latin1 = toLatin1(it->second, "the description");
        if (latin1.size() > qrd::nm::kDescriptionCap - 1)
            throw AdminError("the description is longer than 127 characters");
        return it->second;
    }

    static ServiceClass serviceClass(const std::string& s) {
        if (s == "file") return ServiceClass::File;
        if (s == "print") return ServiceClass::Print;
        if (s == "other") return ServiceClass::Other;
        throw AdminError("unknown service class " + shown(s) + " (file, print or other)");
    }
    static const char* className(ServiceClass c) {
        return c == ServiceClass::File ? "file" : c == ServiceClass::Print ? "print" : "other";
    }

    static PortRecord parsePort(const std::string& s) {
        PortRecord p{};
        if (s.size() == 32 && s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            for (size_t i = 0; i < 16; ++i)
                p[i] = uint8_t(std::stoul(s.substr(i * 2, 2), nullptr, 16));
            return p;
        }
        size_t colon = s.rfind(':');
        uint32_t ip;
        if (colon != std::string::npos && qrd::parseIpv4(s.substr(0, colon), ip)) {
            std::string n = s.substr(colon + 1);
            if (!n.empty() && n.size() <= 5 &&
                n.find_first_not_of("0123456789") == std::string::npos && std::stoul(n) <= 65535) {
                return qrd::port::native(ip, qrd::port::kSubnetServer, uint16_t(std::stoul(n)));
            }
        }
        throw AdminError(shown(s) + " is not a port (32 hex digits, or ADDRESS:NUMBER)");
    }
    static std::string portText(const std::optional<PortRecord>& p) {
        if (!p) return "-";
        std::string out;
        char hex[3];
        for (uint8_t b : *p) {
            std::snprintf(hex, sizeof hex, "%02x", b);
            out += hex;
        }
        return out;
    }

    AdminContext& c_;
    Storage& s_;
    Directory dir_;
};

void Admin::init(const Command&, Args&) {
    // The file was made when it was opened (openAdminDatabase).
    if (c_.seedMode) throw AdminError("init makes a database; it has no place in a seed file");
}

void Admin::orgAdd(const Command&, Args& a) {
    std::vector<std::string> parts = nameParts(a.pos[0], 1, "organisation");
    add(0, Kind::Org, parts[0], a.pos[0]);
}

void Admin::orgRemove(const Command&, Args& a) {
    s_.removeEntry(resolve(a.pos[0], kNameKindOrg).id);
}

void Admin::orgList(const Command&, Args&) {
    for (const Entry& o : s_.children(0, int(Kind::Org)))
        c_.out << o.name << "\n";
}

void Admin::groupAdd(const Command&, Args& a) {
    std::vector<std::string> parts = nameParts(a.pos[0], 2, "group");
    Entry o = resolve(latin1ToUtf8(parts[1]), kNameKindOrg);
    int64_t id = add(o.id, Kind::Group, parts[0], a.pos[0]);
    s_.setGroupServer(id, a.has("--server") ? serverArg(a.opts["--server"]) : "");
}

void Admin::groupSetServer(const Command&, Args& a) {
    s_.setGroupServer(resolve(a.pos[0], kNameKindGroup).id, serverArg(a.pos[1]));
}

void Admin::groupRemove(const Command&, Args& a) {
    s_.removeEntry(resolve(a.pos[0], kNameKindGroup).id);
}

void Admin::groupList(const Command&, Args& a) {
    std::vector<Entry> orgs;
    if (a.pos.empty())
        orgs = s_.children(0, int(Kind::Org));
    else
        orgs.push_back(resolve(a.pos[0], kNameKindOrg));
    for (const Entry& o : orgs) {
        for (const Entry& g : s_.children(o.id, int(Kind::Group))) {
            std::string server = s_.groupServer(g.id);
            c_.out << full(g.id) << "\t" << (server.empty() ? "(this server)" : server) << "\n";
        }
    }
}

void Admin::userAdd(const Command&, Args& a) {
    UserRecord u;
    u.description = description(a);
    u.admin = a.has("--admin");
    // Ask for the password only once the name is known to be free.
    std::vector<std::string> parts = nameParts(a.pos[0], 3, "user");
    resolve(latin1ToUtf8(parts[1] + "@" + parts[2]), kNameKindGroup);
    if (dir_.resolve(joinName(parts), kNameKindObject, false).status == 0)
        throw AdminError(shown(a.pos[0]) + " already exists");
    u.password = newPassword(a.pos[0], a);
    Transaction t(s_);
    int64_t id = addObjectNamed(a.pos[0], Kind::User);
    s_.setUser(id, u);
    t.commit();
}

// A new password ends what the old one opened: the user's nonces and,
// through the epoch, the sessions running (the service ends them at their
// next request).
void Admin::userPassword(const Command&, Args& a) {
    int64_t id;
    UserRecord u = userRecord(a.pos[0], id);
    u.password = newPassword(a.pos[0], a);
    ++u.epoch;
    Transaction t(s_);
    s_.setUser(id, u);
    s_.removeNonces(id);
    t.commit();
}

void Admin::userSet(const Command&, Args& a) {
    if (a.has("--admin") && a.has("--no-admin"))
        throw AdminError("--admin or --no-admin, not both", AdminError::Usage);
    int64_t id;
    UserRecord u = userRecord(a.pos[0], id);
    if (a.has("--description")) u.description = description(a);
    if (a.has("--admin")) u.admin = true;
    if (a.has("--no-admin")) u.admin = false;
    s_.setUser(id, u);
}

// The user's nonces go, and the sessions they opened end at their next
// request (the epoch moves), here and in a running service.
void Admin::userBulk(const Command&, Args& a) {
    const Entry group = resolve(a.pos[0], kNameKindGroup);
    long count = 0;
    if (!parseCount(a.pos[1], count))
        throw AdminError("COUNT " + shown(a.pos[1]) + " is not a number from 1 to 1000000",
                         AdminError::Usage);
    const std::string prefix = a.has("--prefix") ? a.opts["--prefix"] : "user";
    for (unsigned char c : prefix)
        if (c >= 0x80 || !validNameChar(c))
            throw AdminError("--prefix " + shown(prefix) +
                                 " must be letters, digits or the "
                                 "punctuation names allow (ASCII)",
                             AdminError::Usage);
    if (prefix.empty() || prefix.size() > 40)
        throw AdminError("--prefix must hold 1 to 40 characters", AdminError::Usage);
    long first = 1;
    if (a.has("--first") && !parseCount(a.opts["--first"], first))
        throw AdminError("--first " + shown(a.opts["--first"]) +
                             " is not a number from 1 to 1000000",
                         AdminError::Usage);
    if (first + count - 1 > 999999)
        throw AdminError("the numbers must stay below 1000000 (six digits)", AdminError::Usage);
    size_t added = 0;
    try {
        added = s_.addBulkUsers(group.id, prefix, size_t(first), size_t(count));
    } catch (const StorageError& e) {
        if (e.code != StorageError::Duplicate) throw;
        throw AdminError("some of the names " + prefix + "nnnnnn are taken in " + full(group.id) +
                         "; choose another --prefix");
    }
    c_.out << added << " user(s) added to " << full(group.id) << "\n";
}

void Admin::userLogout(const Command&, Args& a) {
    int64_t id;
    UserRecord u = userRecord(a.pos[0], id);
    ++u.epoch;
    Transaction t(s_);
    s_.setUser(id, u);
    size_t n = s_.removeNonces(id);
    t.commit();
    c_.out << n << " nonce(s) removed, sessions ended\n";
}

void Admin::userList(const Command&, Args& a) {
    for (const Entry& e : scoped(a.pos, Kind::User)) {
        std::optional<UserRecord> u = s_.user(e.id);
        c_.out << full(e.id) << "\t" << (u && u->admin ? "admin" : "-") << "\t"
               << (u ? u->description : "") << "\n";
    }
}

void Admin::addObject(const Command& c, Args& a) {
    addObjectNamed(a.pos[0], c.kind);
}

void Admin::removeObject(const Command& c, Args& a) {
    s_.removeEntry(resolveKind(a.pos[0], c.kind, false).id);
}

void Admin::listObjects(const Command& c, Args& a) {
    for (const Entry& e : scoped(a.pos, c.kind))
        c_.out << full(e.id) << "\n";
}

void Admin::memberChange(const Command& c, Args& a) {
    const bool adding = std::strcmp(c.verb, "add") == 0;
    Entry list = resolveKind(a.pos[0], Kind::List);
    Entry m = resolveAny(a.pos[1]);
    if (m.kind != Kind::User && m.kind != Kind::List && m.kind != Kind::Group)
        throw AdminError(shown(a.pos[1]) + " is a " + kindName(m.kind) +
                         "; members are users, lists and groups");
    if (m.id == list.id) throw AdminError("a list cannot be a member of itself");
    bool changed = adding ? s_.addMember(list.id, m.id) : s_.removeMember(list.id, m.id);
    if (!changed)
        throw AdminError(shown(a.pos[1]) + " is " + (adding ? "already" : "not") + " a member of " +
                         shown(a.pos[0]));
}

void Admin::memberList(const Command&, Args& a) {
    Entry list = resolveKind(a.pos[0], Kind::List);
    for (int64_t id : s_.members(list.id)) {
        std::optional<Entry> e = s_.entry(id);
        if (e) c_.out << full(id) << "\t" << kindName(e->kind) << "\n";
    }
}

void Admin::serviceAddOrSet(const Command& c, Args& a) {
    Transaction t(s_);
    ServiceRecord rec;
    int64_t id;
    if (std::strcmp(c.verb, "add") == 0) {
        id = addObjectNamed(a.pos[0], Kind::Service);
    } else {
        id = resolveKind(a.pos[0], Kind::Service).id;
        rec = s_.service(id).value_or(ServiceRecord{});
    }
    if (a.has("--class")) rec.serviceClass = serviceClass(a.opts["--class"]);
    if (a.has("--manager")) {
        const std::string& m = a.opts["--manager"];
        rec.managerId = m == "-" ? 0 : resolveKind(m, Kind::User).id;
    }
    s_.setService(id, rec);
    t.commit();
}

void Admin::serviceSetPort(const Command&, Args& a) {
    Entry e = resolveKind(a.pos[0], Kind::Service);
    ServiceRecord rec = s_.service(e.id).value_or(ServiceRecord{});
    if (a.pos[1] != "rpc" && a.pos[1] != "spp")
        throw AdminError("which port: rpc or spp, not " + shown(a.pos[1]));
    std::optional<PortRecord>& slot = a.pos[1] == "rpc" ? rec.rpcPort : rec.sppPort;
    if (a.pos[2] == "-")
        slot.reset();
    else
        slot = parsePort(a.pos[2]);
    s_.setService(e.id, rec);
}

void Admin::serviceList(const Command&, Args& a) {
    for (const Entry& e : scoped(a.pos, Kind::Service)) {
        ServiceRecord rec = s_.service(e.id).value_or(ServiceRecord{});
        c_.out << full(e.id) << "\t" << className(rec.serviceClass)
               << "\trpc=" << portText(rec.rpcPort) << "\tspp=" << portText(rec.sppPort)
               << "\tmanager=" << (rec.managerId ? full(rec.managerId) : "-") << "\n";
    }
}

void Admin::serverAdd(const Command&, Args& a) {
    uint32_t ip;
    if (!qrd::parseIpv4(a.pos[1], ip))
        throw AdminError(shown(a.pos[1]) + " is not an IPv4 address");
    std::vector<std::string> parts = nameParts(a.pos[0], 3, "server");
    ServerRecord rec{ip, serverIdOf(joinName(parts))};
    if (std::optional<Entry> clash = s_.findServerById(rec.serverId))
        throw AdminError("the nonce word of " + shown(a.pos[0]) + " equals that of \"" +
                         full(clash->id) + "\"; choose another name");
    Transaction t(s_);
    int64_t id = addObjectNamed(a.pos[0], Kind::Server);
    s_.setServer(id, rec);
    t.commit();
}

void Admin::serverList(const Command&, Args& a) {
    for (const Entry& e : scoped(a.pos, Kind::Server)) {
        std::optional<ServerRecord> rec = s_.server(e.id);
        char ip[16] = "-";
        if (rec)
            std::snprintf(ip, sizeof ip, "%u.%u.%u.%u", rec->address >> 24,
                          (rec->address >> 16) & 255, (rec->address >> 8) & 255,
                          rec->address & 255);
        c_.out << full(e.id) << "\t" << ip << "\n";
    }
}

void Admin::nicknameAdd(const Command&, Args& a) {
    Entry target = resolve(a.pos[1], kNameKindObject, false);
    if (target.kind == Kind::Nickname)
        throw AdminError("a nickname cannot stand for another nickname");
    Transaction t(s_);
    int64_t id = addObjectNamed(a.pos[0], Kind::Nickname);
    s_.setNickname(id, target.id);
    t.commit();
}

void Admin::nicknameList(const Command&, Args& a) {
    for (const Entry& e : scoped(a.pos, Kind::Nickname)) {
        std::optional<int64_t> t = s_.nicknameTarget(e.id);
        c_.out << full(e.id) << "\t" << (t ? full(*t) : "-") << "\n";
    }
}

void Admin::profileSet(const Command&, Args& a) {
    Entry owner = resolveAny(a.pos[0]);
    if (a.pos[1].empty() || a.pos[1].size() > kMaxProfileKey)
        throw AdminError("a profile key has 1 to 63 characters");
    if (a.pos[2].size() > kMaxProfileValue)
        throw AdminError("a profile value has at most 1023 characters");
    s_.setProfile(owner.id, a.pos[1], a.pos[2]);
}

void Admin::profileRemove(const Command&, Args& a) {
    if (!s_.removeProfile(resolveAny(a.pos[0]).id, a.pos[1]))
        throw AdminError(shown(a.pos[0]) + " has no profile entry " + shown(a.pos[1]));
}

void Admin::profileList(const Command&, Args& a) {
    for (const ProfileEntry& p : s_.profile(resolveAny(a.pos[0]).id))
        c_.out << p.key << "\t" << p.value << "\n";
}

// Message texts come from the network: shown printable.
void Admin::messages(const Command&, Args& a) {
    Entry u = resolveKind(a.pos[0], Kind::User);
    for (const MessageRecord& m : s_.messages(u.id)) {
        char when[32];
        std::time_t t = std::time_t(m.received);
        std::tm tm{};
        localtime_r(&t, &tm);
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
        c_.out << when << "\t" << printable(m.sender) << "\t" << printable(m.text) << "\n";
    }
    if (a.has("--clear")) s_.clearMessages(u.id);
}

using A = Admin;
const std::set<std::string> kNone;

// clang-format off
const Command kCommands[] = {
    {"init", "", "",
     "Makes an empty directory in the --db file. The only admin command that creates the file; "
     "\"namewrightd seed\" makes one with the demo directory.",
     0, 0, kNone, kNone, &A::init, Kind::User, true},
    {"org", "add", "ORG", "Adds an organisation.", 1, 1, kNone, kNone, &A::orgAdd},
    {"org", "remove", "ORG",
     "Removes an organisation with everything in it.", 1, 1, kNone, kNone, &A::orgRemove},
    {"org", "list", "", "Lists the organisations.", 0, 0, kNone, kNone, &A::orgList},
    {"group", "add", "GROUP [--server SERVER]",
     "Adds a group. --server names the server that holds it (default: this one).",
     1, 1, {"--server"}, kNone, &A::groupAdd},
    {"group", "set-server", "GROUP SERVER|-",
     "Sets the server that holds a group. - stands for this server.",
     2, 2, kNone, kNone, &A::groupSetServer},
    {"group", "remove", "GROUP",
     "Removes a group with everything in it.", 1, 1, kNone, kNone, &A::groupRemove},
    {"group", "list", "[ORG]",
     "Lists the groups (of one organisation) and their servers.",
     0, 1, kNone, kNone, &A::groupList},
    {"user", "add", "NAME [--description TEXT] [--admin]",
     "Adds a user; asks for the password. --admin lets the user change every object. In seed "
     "files, and only there, --password TEXT gives the password.",
     1, 1, {"--description", "--password"}, {"--admin"}, &A::userAdd},
    {"user", "password", "NAME",
     "Sets a user's password; asks for it. In seed files, and only there, --password TEXT "
     "gives it.", 1, 1, {"--password"}, kNone, &A::userPassword},
    {"user", "set", "NAME [--description TEXT] [--admin | --no-admin]",
     "Changes a user's description or administrator right.",
     1, 1, {"--description"}, {"--admin", "--no-admin"}, &A::userSet},
    {"user", "logout", "NAME",
     "Forgets every nonce issued to the user. Its programs must log in again.",
     1, 1, kNone, kNone, &A::userLogout},
    {"user", "bulk", "GROUP COUNT [--prefix TEXT] [--first N]",
     "Adds COUNT users TEXT000001, TEXT000002, ... (default prefix \"user\"; numbered from N, "
     "default 1) to a group in one batch, without passwords: nobody can log in as them. For "
     "benchmarks of large directories.",
     2, 2, {"--prefix", "--first"}, kNone, &A::userBulk},
    {"user", "remove", "NAME", "Removes a user.", 1, 1, kNone, kNone, &A::removeObject,
     Kind::User},
    {"user", "list", "[ORG|GROUP]",
     "Lists the users with their administrator right and description.",
     0, 1, kNone, kNone, &A::userList},
    {"list", "add", "NAME", "Adds a list.", 1, 1, kNone, kNone, &A::addObject, Kind::List},
    {"list", "remove", "NAME", "Removes a list.", 1, 1, kNone, kNone, &A::removeObject,
     Kind::List},
    {"list", "list", "[ORG|GROUP]", "Lists the lists.", 0, 1, kNone, kNone, &A::listObjects,
     Kind::List},
    {"member", "add", "LIST MEMBER",
     "Adds a member to a list. A member is a user, a list or a group.",
     2, 2, kNone, kNone, &A::memberChange},
    {"member", "remove", "LIST MEMBER",
     "Removes a member from a list.", 2, 2, kNone, kNone, &A::memberChange},
    {"member", "list", "LIST", "Lists the members of a list.", 1, 1, kNone, kNone,
     &A::memberList},
    {"service", "add", "NAME [--class file|print|other] [--manager USER]",
     "Adds a service. Its manager may set its ports from a client.",
     1, 1, {"--class", "--manager"}, kNone, &A::serviceAddOrSet},
    {"service", "set", "NAME [--class file|print|other] [--manager USER|-]",
     "Changes a service's class or manager. - stands for no manager.",
     1, 1, {"--class", "--manager"}, kNone, &A::serviceAddOrSet},
    {"service", "set-port", "NAME rpc|spp PORT|-",
     "Sets a service's RPC or SPP port. PORT is 32 hex digits, or ADDRESS:N for a native "
     "port; - removes it.",
     3, 3, kNone, kNone, &A::serviceSetPort},
    {"service", "remove", "NAME", "Removes a service.", 1, 1, kNone, kNone, &A::removeObject,
     Kind::Service},
    {"service", "list", "[ORG|GROUP]",
     "Lists the services with their class, ports and manager.",
     0, 1, kNone, kNone, &A::serviceList},
    {"server", "add", "NAME ADDRESS",
     "Adds a server with its IPv4 address. Other servers' nonces are checked with it.",
     2, 2, kNone, kNone, &A::serverAdd},
    {"server", "remove", "NAME", "Removes a server.", 1, 1, kNone, kNone, &A::removeObject,
     Kind::Server},
    {"server", "list", "[ORG|GROUP]", "Lists the servers and their addresses.",
     0, 1, kNone, kNone, &A::serverList},
    {"nickname", "add", "NICKNAME TARGET",
     "Adds a second name for an object. The nickname stands for its target.",
     2, 2, kNone, kNone, &A::nicknameAdd},
    {"nickname", "remove", "NICKNAME", "Removes a nickname (not its target).",
     1, 1, kNone, kNone, &A::removeObject, Kind::Nickname},
    {"nickname", "list", "[ORG|GROUP]", "Lists the nicknames and their targets.",
     0, 1, kNone, kNone, &A::nicknameList},
    {"profile", "set", "OWNER KEY VALUE",
     "Sets a profile entry. OWNER is an organisation, a group or a name.",
     3, 3, kNone, kNone, &A::profileSet},
    {"profile", "remove", "OWNER KEY", "Removes a profile entry.", 2, 2, kNone, kNone,
     &A::profileRemove},
    {"profile", "list", "OWNER", "Lists the profile entries of an owner.", 1, 1, kNone, kNone,
     &A::profileList},
    {"messages", "", "USER [--clear]",
     "Shows the messages sent to a user (control characters escaped). --clear removes them "
     "after showing them.",
     1, 1, kNone, {"--clear"}, &A::messages},
};
// clang-format on
const size_t kCommandCount = std::size(kCommands);

} // namespace

void runAdmin(AdminContext& ctx, const std::vector<std::string>& args) {
    try {
        Admin(ctx).run(args);
    } catch (const StorageError& e) {
        throw AdminError(e.what());
    }
}

std::vector<std::string> tokenize(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string tok;
        bool quoted = false;
        while (i < line.size() &&
               (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r'))) {
            char ch = line[i++];
            if (ch == '"') {
                quoted = !quoted;
            } else if (quoted && ch == '\\' && i < line.size() &&
                       (line[i] == '"' || line[i] == '\\')) {
                tok.push_back(line[i++]);
            } else {
                tok.push_back(ch);
            }
        }
        if (quoted) throw AdminError("unterminated quote");
        out.push_back(std::move(tok));
    }
    return out;
}

void loadSeed(AdminContext& ctx, std::istream& in, const std::string& sourceName) {
    AdminContext seedCtx = ctx;
    seedCtx.seedMode = true;
    Transaction t(ctx.storage);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        try {
            runAdmin(seedCtx, tokenize(line));
        } catch (const AdminError& e) {
            throw AdminError(sourceName + ":" + std::to_string(number) + ": " + e.what());
        }
    }
    if (in.bad()) throw AdminError(sourceName + ": read error");
    t.commit();
}

std::string adminUsage() {
    return kUsageHead + commandList("") + kUsageFoot;
}

std::string adminHelp(const std::vector<std::string>& args) {
    std::vector<std::string> words;
    for (const std::string& a : args)
        if (a.empty() || a[0] != '-') words.push_back(a);
    if (words.empty() || !knownNoun(words[0])) return adminUsage();
    const Command* c = findCommand(words[0], words.size() > 1 ? words[1] : "");
    if (!c || (*c->verb && words.size() < 2))
        return "usage: namewrightd admin --db FILE " + words[0] + " <verb> ...\n\n" +
               commandList(words[0]);
    return "usage: namewrightd admin --db FILE " + c->usage() + "\n\n" + c->help + "\n";
}

std::unique_ptr<SqliteStorage> openAdminDatabase(const std::string& path,
                                                 const std::vector<std::string>& args) {
    const Command& c = commandOf(args);
    struct stat st;
    const bool exists = path == ":memory:" || ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        throw AdminError("cannot reach the database " + shown(path) + ": " + std::strerror(errno));
    if (c.createsDirectory && exists)
        throw AdminError("the database " + shown(path) +
                         " already exists; init only makes a new one");
    if (!c.createsDirectory && !exists)
        throw AdminError("the database " + shown(path) +
                         " does not exist. Check --db; to start a directory there, run "
                         "\"namewrightd admin --db " +
                         path + " init\" (empty) or \"namewrightd seed --db " + path +
                         "\" (the demo directory)");
    try {
        return std::make_unique<SqliteStorage>(path);
    } catch (const StorageError& e) {
        throw AdminError(e.what());
    }
}

} // namespace nwd
