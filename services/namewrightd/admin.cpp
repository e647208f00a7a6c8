#include "admin.h"

#include <cstdio>
#include <ctime>
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "directory.h"
#include "names.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrd/nmproto.h"

namespace nwd {

namespace {

constexpr size_t kMaxProfileKey = 63;
constexpr size_t kMaxProfileValue = 1023;

const char kUsage[] =
    R"(Administration commands (NAME is item@group@organisation, GROUP is group@organisation):
  org add ORG | org remove ORG | org list
  group add GROUP [--server SERVER] | group remove GROUP | group list [ORG]
  group set-server GROUP SERVER|-          the server that holds the group (- = this one)
  user add NAME [--description TEXT] [--admin]     asks for the password
  user password NAME | user remove NAME | user list [ORG|GROUP]
  user set NAME [--description TEXT] [--admin | --no-admin]
  user logout NAME                          forgets every nonce issued to the user
  list add NAME | list remove NAME | list list [ORG|GROUP]
  member add LIST MEMBER | member remove LIST MEMBER | member list LIST
                                            (a member is a user, list or group)
  service add NAME [--class file|print|other] [--manager USER]
  service set NAME [--class C] [--manager USER|-] | service remove NAME
  service set-port NAME rpc|spp PORT|-      PORT: 32 hex digits, or ADDRESS:N (native)
  service list [ORG|GROUP]
  server add NAME ADDRESS | server remove NAME | server list [ORG|GROUP]
  nickname add NICKNAME TARGET | nickname remove NICKNAME | nickname list [ORG|GROUP]
  profile set OWNER KEY VALUE | profile remove OWNER KEY | profile list OWNER
                                            (OWNER is an organisation, group or name)
  messages USER [--clear]                   the messages sent to a user
Passwords are read from standard input (asked twice on a terminal), never
from the command line.
)";

// Arguments of one command: positionals and --options.
struct Args {
    std::vector<std::string> pos;
    std::map<std::string, std::string> opts; // "--x" -> value ("" for flags)
};

Args parseArgs(const std::vector<std::string>& in, size_t from,
               const std::set<std::string>& withValue, const std::set<std::string>& flags) {
    Args a;
    for (size_t i = from; i < in.size(); ++i) {
        const std::string& s = in[i];
        if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            if (withValue.count(s)) {
                if (i + 1 >= in.size()) throw AdminError(s + " needs a value");
                a.opts[s] = in[++i];
            } else if (flags.count(s)) {
                a.opts[s] = "";
            } else {
                throw AdminError("unknown option " + s);
            }
        } else {
            a.pos.push_back(s);
        }
    }
    return a;
}

void expect(const Args& a, size_t minPos, size_t maxPos, const std::string& usage) {
    if (a.pos.size() < minPos || a.pos.size() > maxPos) throw AdminError("usage: " + usage);
}

std::string toLatin1(const std::string& utf8, const char* what) {
    std::string l;
    if (!utf8ToLatin1(utf8, l))
        throw AdminError(std::string(what) + " \"" + utf8 +
                         "\" has characters that names cannot hold (Latin-1 only)");
    return l;
}

// Splits a name given on the command line, checking its syntax.
std::vector<std::string> nameParts(const std::string& utf8, size_t wanted, const char* what) {
    std::string latin1 = toLatin1(utf8, what);
    std::vector<std::string> parts;
    if (!splitName(latin1, parts) || (wanted && parts.size() != wanted)) {
        const char* form = wanted == 1   ? "an organisation name"
                           : wanted == 2 ? "group@organisation"
                                         : "item@group@organisation";
        throw AdminError(std::string(what) + " \"" + utf8 + "\" is not a valid name; expected " +
                         (wanted ? form : "a name"));
    }
    for (const std::string& p : parts)
        if (p.front() == ' ' || p.back() == ' ')
            throw AdminError(std::string(what) + " \"" + utf8 +
                             "\": name parts may not begin or end with a blank");
    return parts;
}

class Admin {
  public:
    explicit Admin(AdminContext& c) : c_(c), s_(c.storage), dir_(c.storage) {}

    void run(const std::vector<std::string>& args) {
        if (args.empty()) throw AdminError("no command given\n" + std::string(kUsage));
        const std::string& noun = args[0];
        if (noun == "messages") return messages(args);
        static const std::set<std::string> kNouns = {
            "org", "group", "user", "list", "member", "service", "server", "nickname", "profile"};
        if (!kNouns.count(noun)) throw AdminError("unknown command \"" + noun + "\"\n" + kUsage);
        if (args.size() < 2) throw AdminError("usage: " + noun + " <verb> ...");
        const std::string& verb = args[1];
        if (noun == "org") return org(verb, args);
        if (noun == "group") return group(verb, args);
        if (noun == "user") return user(verb, args);
        if (noun == "list") return simpleObject(Kind::List, verb, args);
        if (noun == "member") return member(verb, args);
        if (noun == "service") return service(verb, args);
        if (noun == "server") return server(verb, args);
        if (noun == "nickname") return nickname(verb, args);
        return profile(verb, args);
    }

  private:
    [[noreturn]] void unknownVerb(const std::string& noun, const std::string& verb) {
        throw AdminError("unknown command \"" + noun + " " + verb + "\"");
    }

    // Resolution of existing names; errors read like the service's statuses.
    Entry resolve(const std::string& utf8, uint16_t kind, bool followNicknames = true) {
        std::string latin1 = toLatin1(utf8, "name");
        Resolved r = dir_.resolve(latin1, kind, followNicknames);
        switch (r.status) {
        case 0:
            return r.entry;
        case qrd::nm::kNotOrganisation:
            throw AdminError("no organisation of the name \"" + utf8 + "\"");
        case qrd::nm::kNotGroup:
            throw AdminError("no group of the name \"" + utf8 + "\"");
        case qrd::nm::kNoSuchObject:
            throw AdminError("no object \"" + utf8 + "\"");
        default:
            throw AdminError("\"" + utf8 + "\" is not a valid name");
        }
    }
    Entry resolveKind(const std::string& utf8, Kind kind, bool followNicknames = true) {
        Entry e = resolve(utf8, kNameKindObject, followNicknames);
        if (e.kind != kind)
            throw AdminError("\"" + utf8 + "\" is a " + kindName(e.kind) + ", not a " +
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
                throw AdminError("\"" + whole + "\" already exists");
            throw;
        }
    }
    int64_t addObject(const std::string& utf8, Kind kind) {
        std::vector<std::string> parts = nameParts(utf8, 3, "name");
        Entry g = resolve(latin1ToUtf8(parts[1] + "@" + parts[2]), kNameKindGroup);
        return add(g.id, kind, parts[0], utf8);
    }

    // Entries of a kind below an optional organisation or group.
    std::vector<Entry> scoped(const std::vector<std::string>& pos, size_t at, Kind kind) {
        std::vector<Entry> groups;
        if (pos.size() > at) {
            Entry scope = resolveAny(pos[at]);
            if (scope.kind == Kind::Group)
                groups.push_back(scope);
            else if (scope.kind == Kind::Org)
                groups = s_.children(scope.id, int(Kind::Group));
            else
                throw AdminError("\"" + pos[at] + "\" is neither an organisation nor a group");
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

    void removeOf(Kind kind, const std::string& name) {
        Entry e = resolveKind(name, kind, false);
        s_.removeEntry(e.id);
    }

    void org(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "add") {
            expect(a, 1, 1, "org add ORG");
            std::vector<std::string> parts = nameParts(a.pos[0], 1, "organisation");
            add(0, Kind::Org, parts[0], a.pos[0]);
        } else if (verb == "remove") {
            expect(a, 1, 1, "org remove ORG");
            s_.removeEntry(resolve(a.pos[0], kNameKindOrg).id);
        } else if (verb == "list") {
            expect(a, 0, 0, "org list");
            for (const Entry& o : s_.children(0, int(Kind::Org)))
                c_.out << o.name << "\n";
        } else {
            unknownVerb("org", verb);
        }
    }

    std::string serverArg(const std::string& utf8) {
        if (utf8 == "-") return "";
        std::vector<std::string> parts = nameParts(utf8, 3, "server");
        return latin1ToUtf8(joinName(parts));
    }

    void group(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {"--server"}, {});
        if (verb == "add") {
            expect(a, 1, 1, "group add GROUP [--server SERVER]");
            std::vector<std::string> parts = nameParts(a.pos[0], 2, "group");
            Entry o = resolve(latin1ToUtf8(parts[1]), kNameKindOrg);
            int64_t id = add(o.id, Kind::Group, parts[0], a.pos[0]);
            s_.setGroupServer(id, a.opts.count("--server") ? serverArg(a.opts["--server"]) : "");
        } else if (verb == "set-server") {
            expect(a, 2, 2, "group set-server GROUP SERVER|-");
            s_.setGroupServer(resolve(a.pos[0], kNameKindGroup).id, serverArg(a.pos[1]));
        } else if (verb == "remove") {
            expect(a, 1, 1, "group remove GROUP");
            s_.removeEntry(resolve(a.pos[0], kNameKindGroup).id);
        } else if (verb == "list") {
            expect(a, 0, 1, "group list [ORG]");
            std::vector<Entry> orgs;
            if (a.pos.empty())
                orgs = s_.children(0, int(Kind::Org));
            else
                orgs.push_back(resolve(a.pos[0], kNameKindOrg));
            for (const Entry& o : orgs) {
                for (const Entry& g : s_.children(o.id, int(Kind::Group))) {
                    std::string server = s_.groupServer(g.id);
                    c_.out << full(g.id) << "\t" << (server.empty() ? "(this server)" : server)
                           << "\n";
                }
            }
        } else {
            unknownVerb("group", verb);
        }
    }

    PasswordHash newPassword(const std::string& who, const Args& a) {
        std::string pw;
        if (a.opts.count("--password")) {
            if (!c_.seedMode)
                throw AdminError("--password is only accepted in seed files; the password is "
                                 "read from standard input");
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

    void user(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {"--description", "--password"}, {"--admin", "--no-admin"});
        if (verb == "add") {
            expect(a, 1, 1, "user add NAME [--description TEXT] [--admin]");
            UserRecord u;
            u.description = description(a);
            u.admin = a.opts.count("--admin") > 0;
            // Ask for the password only once the name is known to be free.
            std::vector<std::string> parts = nameParts(a.pos[0], 3, "user");
            resolve(latin1ToUtf8(parts[1] + "@" + parts[2]), kNameKindGroup);
            if (dir_.resolve(joinName(parts), kNameKindObject, false).status == 0)
                throw AdminError("\"" + a.pos[0] + "\" already exists");
            u.password = newPassword(a.pos[0], a);
            Transaction t(s_);
            int64_t id = addObject(a.pos[0], Kind::User);
            s_.setUser(id, u);
            t.commit();
        } else if (verb == "password") {
            expect(a, 1, 1, "user password NAME");
            Entry e = resolveKind(a.pos[0], Kind::User);
            std::optional<UserRecord> u = s_.user(e.id);
            if (!u) throw AdminError("the user record of \"" + a.pos[0] + "\" is missing");
            u->password = newPassword(a.pos[0], a);
            s_.setUser(e.id, *u);
        } else if (verb == "set") {
            expect(a, 1, 1, "user set NAME [--description TEXT] [--admin | --no-admin]");
            Entry e = resolveKind(a.pos[0], Kind::User);
            std::optional<UserRecord> u = s_.user(e.id);
            if (!u) throw AdminError("the user record of \"" + a.pos[0] + "\" is missing");
            if (a.opts.count("--description")) u->description = description(a);
            if (a.opts.count("--admin")) u->admin = true;
            if (a.opts.count("--no-admin")) u->admin = false;
            s_.setUser(e.id, *u);
        } else if (verb == "logout") {
            expect(a, 1, 1, "user logout NAME");
            size_t n = s_.removeNonces(resolveKind(a.pos[0], Kind::User).id);
            c_.out << n << " nonce(s) removed\n";
        } else if (verb == "remove") {
            expect(a, 1, 1, "user remove NAME");
            removeOf(Kind::User, a.pos[0]);
        } else if (verb == "list") {
            expect(a, 0, 1, "user list [ORG|GROUP]");
            for (const Entry& e : scoped(a.pos, 0, Kind::User)) {
                std::optional<UserRecord> u = s_.user(e.id);
                c_.out << full(e.id) << "\t" << (u && u->admin ? "admin" : "-") << "\t"
                       << (u ? u->description : "") << "\n";
            }
        } else {
            unknownVerb("user", verb);
        }
    }

    std::string description(const Args& a) {
        auto it = a.opts.find("--description");
        if (it == a.opts.end()) return "";
        std::string latin1 = toLatin1(it->second, "the description");
        if (latin1.size() > qrd::nm::kDescriptionCap - 1)
            throw AdminError("the description is longer than 127 characters");
        return it->second;
    }

    void simpleObject(Kind kind, const std::string& verb, const std::vector<std::string>& args) {
        std::string noun = kindName(kind);
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "add") {
            expect(a, 1, 1, noun + " add NAME");
            addObject(a.pos[0], kind);
        } else if (verb == "remove") {
            expect(a, 1, 1, noun + " remove NAME");
            removeOf(kind, a.pos[0]);
        } else if (verb == "list") {
            expect(a, 0, 1, noun + " list [ORG|GROUP]");
            for (const Entry& e : scoped(a.pos, 0, kind))
                c_.out << full(e.id) << "\n";
        } else {
            unknownVerb(noun, verb);
        }
    }

    void member(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "add" || verb == "remove") {
            expect(a, 2, 2, "member " + verb + " LIST MEMBER");
            Entry list = resolveKind(a.pos[0], Kind::List);
            Entry m = resolveAny(a.pos[1]);
            if (m.kind != Kind::User && m.kind != Kind::List && m.kind != Kind::Group)
                throw AdminError("\"" + a.pos[1] + "\" is a " + kindName(m.kind) +
                                 "; members are users, lists and groups");
            if (m.id == list.id) throw AdminError("a list cannot be a member of itself");
            bool changed =
                verb == "add" ? s_.addMember(list.id, m.id) : s_.removeMember(list.id, m.id);
            if (!changed)
                throw AdminError("\"" + a.pos[1] + "\" is " + (verb == "add" ? "already" : "not") +
                                 " a member of \"" + a.pos[0] + "\"");
        } else if (verb == "list") {
            expect(a, 1, 1, "member list LIST");
            Entry list = resolveKind(a.pos[0], Kind::List);
            for (int64_t id : s_.members(list.id)) {
                std::optional<Entry> e = s_.entry(id);
                if (e) c_.out << full(id) << "\t" << kindName(e->kind) << "\n";
            }
        } else {
            unknownVerb("member", verb);
        }
    }

    static ServiceClass serviceClass(const std::string& s) {
        if (s == "file") return ServiceClass::File;
        if (s == "print") return ServiceClass::Print;
        if (s == "other") return ServiceClass::Other;
        throw AdminError("unknown service class \"" + s + "\" (file, print or other)");
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
        throw AdminError("\"" + s + "\" is not a port (32 hex digits, or ADDRESS:NUMBER)");
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

    void service(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {"--class", "--manager"}, {});
        if (verb == "add" || verb == "set") {
            expect(a, 1, 1,
                   "service " + verb + " NAME [--class file|print|other] [--manager USER]");
            Transaction t(s_);
            ServiceRecord rec;
            int64_t id;
            if (verb == "add") {
                id = addObject(a.pos[0], Kind::Service);
            } else {
                id = resolveKind(a.pos[0], Kind::Service).id;
                rec = s_.service(id).value_or(ServiceRecord{});
            }
            if (a.opts.count("--class")) rec.serviceClass = serviceClass(a.opts["--class"]);
            if (a.opts.count("--manager")) {
                const std::string& m = a.opts["--manager"];
                rec.managerId = m == "-" ? 0 : resolveKind(m, Kind::User).id;
            }
            s_.setService(id, rec);
            t.commit();
        } else if (verb == "set-port") {
            expect(a, 3, 3, "service set-port NAME rpc|spp PORT|-");
            Entry e = resolveKind(a.pos[0], Kind::Service);
            ServiceRecord rec = s_.service(e.id).value_or(ServiceRecord{});
            if (a.pos[1] != "rpc" && a.pos[1] != "spp")
                throw AdminError("which port: rpc or spp, not \"" + a.pos[1] + "\"");
            std::optional<PortRecord>& slot = a.pos[1] == "rpc" ? rec.rpcPort : rec.sppPort;
            if (a.pos[2] == "-")
                slot.reset();
            else
                slot = parsePort(a.pos[2]);
            s_.setService(e.id, rec);
        } else if (verb == "remove") {
            expect(a, 1, 1, "service remove NAME");
            removeOf(Kind::Service, a.pos[0]);
        } else if (verb == "list") {
            expect(a, 0, 1, "service list [ORG|GROUP]");
            for (const Entry& e : scoped(a.pos, 0, Kind::Service)) {
                ServiceRecord rec = s_.service(e.id).value_or(ServiceRecord{});
                c_.out << full(e.id) << "\t" << className(rec.serviceClass)
                       << "\trpc=" << portText(rec.rpcPort) << "\tspp=" << portText(rec.sppPort)
                       << "\tmanager=" << (rec.managerId ? full(rec.managerId) : "-") << "\n";
            }
        } else {
            unknownVerb("service", verb);
        }
    }

    void server(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "add") {
            expect(a, 2, 2, "server add NAME ADDRESS");
            uint32_t ip;
            if (!qrd::parseIpv4(a.pos[1], ip))
                throw AdminError("\"" + a.pos[1] + "\" is not an IPv4 address");
            std::vector<std::string> parts = nameParts(a.pos[0], 3, "server");
            ServerRecord rec{ip, serverIdOf(joinName(parts))};
            if (std::optional<Entry> clash = s_.findServerById(rec.serverId))
                throw AdminError("the nonce word of \"" + a.pos[0] + "\" equals that of \"" +
                                 full(clash->id) + "\"; choose another name");
            Transaction t(s_);
            int64_t id = addObject(a.pos[0], Kind::Server);
            s_.setServer(id, rec);
            t.commit();
        } else if (verb == "remove") {
            expect(a, 1, 1, "server remove NAME");
            removeOf(Kind::Server, a.pos[0]);
        } else if (verb == "list") {
            expect(a, 0, 1, "server list [ORG|GROUP]");
            for (const Entry& e : scoped(a.pos, 0, Kind::Server)) {
                std::optional<ServerRecord> rec = s_.server(e.id);
                char ip[16] = "-";
                if (rec)
                    std::snprintf(ip, sizeof ip, "%u.%u.%u.%u", rec->address >> 24,
                                  (rec->address >> 16) & 255, (rec->address >> 8) & 255,
                                  rec->address & 255);
                c_.out << full(e.id) << "\t" << ip << "\n";
            }
        } else {
            unknownVerb("server", verb);
        }
    }

    void nickname(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "add") {
            expect(a, 2, 2, "nickname add NICKNAME TARGET");
            Entry target = resolve(a.pos[1], kNameKindObject, false);
            if (target.kind == Kind::Nickname)
                throw AdminError("a nickname cannot stand for another nickname");
            Transaction t(s_);
            int64_t id = addObject(a.pos[0], Kind::Nickname);
            s_.setNickname(id, target.id);
            t.commit();
        } else if (verb == "remove") {
            expect(a, 1, 1, "nickname remove NICKNAME");
            removeOf(Kind::Nickname, a.pos[0]);
        } else if (verb == "list") {
            expect(a, 0, 1, "nickname list [ORG|GROUP]");
            for (const Entry& e : scoped(a.pos, 0, Kind::Nickname)) {
                std::optional<int64_t> t = s_.nicknameTarget(e.id);
                c_.out << full(e.id) << "\t" << (t ? full(*t) : "-") << "\n";
            }
        } else {
            unknownVerb("nickname", verb);
        }
    }

    void profile(const std::string& verb, const std::vector<std::string>& args) {
        Args a = parseArgs(args, 2, {}, {});
        if (verb == "set") {
            expect(a, 3, 3, "profile set OWNER KEY VALUE");
            Entry owner = resolveAny(a.pos[0]);
            if (a.pos[1].empty() || a.pos[1].size() > kMaxProfileKey)
                throw AdminError("a profile key has 1 to 63 characters");
            if (a.pos[2].size() > kMaxProfileValue)
                throw AdminError("a profile value has at most 1023 characters");
            s_.setProfile(owner.id, a.pos[1], a.pos[2]);
        } else if (verb == "remove") {
            expect(a, 2, 2, "profile remove OWNER KEY");
            if (!s_.removeProfile(resolveAny(a.pos[0]).id, a.pos[1]))
                throw AdminError("\"" + a.pos[0] + "\" has no profile entry \"" + a.pos[1] + "\"");
        } else if (verb == "list") {
            expect(a, 1, 1, "profile list OWNER");
            for (const ProfileEntry& p : s_.profile(resolveAny(a.pos[0]).id))
                c_.out << p.key << "\t" << p.value << "\n";
        } else {
            unknownVerb("profile", verb);
        }
    }

    // Message texts come from the network: control characters are shown
    // escaped so that they cannot drive the administrator's terminal.
    static std::string printable(const std::string& s) {
        std::string out;
        for (unsigned char c : s) {
            if (c < 0x20 || c == 0x7F) {
                char esc[5];
                std::snprintf(esc, sizeof esc, "\\x%02x", c);
                out += esc;
            } else {
                out.push_back(char(c));
            }
        }
        return out;
    }

    void messages(const std::vector<std::string>& args) {
        Args a = parseArgs(args, 1, {}, {"--clear"});
        expect(a, 1, 1, "messages USER [--clear]");
        Entry u = resolveKind(a.pos[0], Kind::User);
        for (const MessageRecord& m : s_.messages(u.id)) {
            char when[32];
            std::time_t t = std::time_t(m.received);
            std::tm tm{};
            localtime_r(&t, &tm);
            std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
            c_.out << when << "\t" << printable(m.sender) << "\t" << printable(m.text) << "\n";
        }
        if (a.opts.count("--clear")) s_.clearMessages(u.id);
    }

    AdminContext& c_;
    Storage& s_;
    Directory dir_;
};

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

const char* adminUsage() {
    return kUsage;
}

} // namespace nwd
