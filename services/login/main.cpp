// qrdlogin: logs a user in to the workstation and out again.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "loginclient.h"
#include "qrd/config.h"
#include "qrd/loginsignal.h"
#include "qrd/nmproto.h"

namespace {

const char kUsage[] = "Usage: qrdlogin COMMAND\n"
                      "\n"
                      "Logs a user of the Namewright directory in to this workstation, and out.\n"
                      "\n"
                      "Commands:\n"
                      "  login NAME   log NAME in (the password is read from a prompt, or from\n"
                      "               standard input when it is not a terminal)\n"
                      "  logout       log the current user out\n"
                      "  status       show who is logged in, and where the settings come from\n"
                      "\n"
                      "Options:\n"
                      "  -h, --help   show this text\n"
                      "\n"
                      "The workstation's settings come from QORDA.INI ($QORDA_INI, else\n"
                      "$XDG_CONFIG_HOME/namewright/QORDA.INI, else /etc/namewright/QORDA.INI;\n"
                      "without any of them the defaults serve a service on this machine).\n"
                      "A login holds for every program of the same Unix user on this\n"
                      "workstation ($QRD_WORKSTATION, when set, names a simulated one).\n"
                      "On login and logout the D-Bus session signal VM_LOGINLOGOUT is emitted.\n";

// The login/logout broadcast of the workstation, for programs that follow it.
void announce(int loggedIn) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return; // no session bus: nobody to tell
    QDBusMessage signal = QDBusMessage::createSignal(
        qrd::kLoginSignalPath, qrd::kLoginSignalInterface, qrd::kLoginSignalName);
    signal << loggedIn;
    bus.send(signal);
    // A short-lived program must not exit with the signal still queued: a
    // round trip to the bus delivers everything sent before it.
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
}

std::string readPassword() {
    std::string password;
    if (isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "Password: ");
        termios old{};
        tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        std::getline(std::cin, password);
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fprintf(stderr, "\n");
    } else {
        std::getline(std::cin, password);
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

int doLogin(const std::string& name) {
    std::string password = readPassword();
    qrdlogin::LoginResult r = qrdlogin::login(name, password);
    std::fill(password.begin(), password.end(), '\0');
    if (!r.problem.empty()) {
        std::fprintf(stderr, "qrdlogin: cannot log in: %s\n", r.problem.c_str());
        return 1;
    }
    if (r.status != QRD_OK) {
        std::fprintf(stderr, "qrdlogin: cannot log %s in: %s (status %u)\n", name.c_str(),
                     qrdlogin::statusText(r.status).c_str(), r.status);
        return 1;
    }
    announce(1);
    std::printf("Logged in as %s\n", r.canonicalName.c_str());
    return 0;
}

int doLogout() {
    std::string user = qrdlogin::currentUser();
    qrdlogin::LogoutResult r = qrdlogin::logout();
    if (r.status != QRD_OK) {
        std::fprintf(stderr, "qrdlogin: cannot log out: %s (status %u)\n",
                     qrdlogin::statusText(r.status).c_str(), r.status);
        return 1;
    }
    announce(0);
    if (user.empty())
        std::printf("Nobody was logged in\n");
    else
        std::printf("Logged out %s\n", user.c_str());
    // A credential the service already forgot needs no revoking.
    if (r.revoked != QRD_OK && r.revoked != qrd::nm::kNonceInvalid) {
        std::fprintf(stderr,
                     "qrdlogin: the directory service was not told (%s, status %u): the old "
                     "credential stays valid until it expires; an administrator can end it with "
                     "`namewrightd admin user logout NAME`\n",
                     qrdlogin::statusText(r.revoked).c_str(), r.revoked);
        return 1;
    }
    return 0;
}

// Where this workstation's settings come from, for `status`.
std::string g_settings;

int doStatus() {
    std::string user = qrdlogin::currentUser();
    if (user.empty())
        std::printf("Nobody is logged in\n");
    else
        std::printf("Logged in as %s\n", user.c_str());
    std::printf("Settings: %s\n", g_settings.c_str());
    return user.empty() ? 1 : 0;
}

// A bad QORDA.INI would send the login somewhere the user did not mean:
// every fault is reported with its place, and nothing is done.
bool settingsUsable() {
    qrd::QordaIniCheck c = qrd::checkQordaIni();
    if (!qrd::reportQordaIniProblems(c, "qrdlogin")) return false;
    g_settings = c.source;
    return true;
}

// Commands: name, the number of arguments after it, and what runs it.
struct Command {
    const char* name;
    int operands;
    const char* operandText; // for the message when the count is wrong
    int (*run)(char** operands);
};

const Command kCommands[] = {
    {"login", 1, "one NAME", [](char** a) { return doLogin(a[0]); }},
    {"logout", 0, "no arguments", [](char**) { return doLogout(); }},
    {"status", 0, "no arguments", [](char**) { return doStatus(); }},
};

int usageError(const std::string& what) {
    std::fprintf(stderr, "qrdlogin: %s\n\n%s", what.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (argc < 2) return usageError("no command given");
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        if (argc - 2 != c.operands)
            return usageError(std::string(c.name) + " takes " + c.operandText);
        if (!settingsUsable()) return 1;
        QCoreApplication app(argc, argv);
        return c.run(argv + 2);
    }
    if (argv[1][0] == '-') return usageError(std::string("unknown option ") + argv[1]);
    return usageError(std::string("unknown command \"") + argv[1] + "\"");
}
