// What the sheets' tests share: a namewrightd of the test's own with the
// demo directory, desktop users on simulated workstations that take turns
// on the test's one workstation, and a way to act on a modal sheet once it
// shows.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include <namedir/directory.h>
#include <namedir/qrdapi_wrapper.h>

#include "core/context.h"
#include "document/uidesktop.h"
#include "nwd_process.h"
#include "qrdapi.h"
#include "script_prompter.h"
#include "sheetprompter.h"
#include "testenv.h"

namespace sheetstest {

// The daemon, seeded with the demo directory.
class Daemon {
  public:
    bool start() {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        db_ = ws.dir + "/store.db";
        nwdtest::Outcome seeded =
            nwdtest::runTool({"seed", "--db", db_, "--kdf-iterations", "1000"});
        if (seeded.exitCode != 0) return false;
        std::string env = "QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd";
        return daemon_.start(
            {"--db", db_, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
            ws.dir + "/daemon.log", {env});
    }

  private:
    std::string db_;
    nwdtest::Daemon daemon_;
};

// The directory that stands for the file service FILES@Sales@Demo, share
// "docs", whose network form is \\Namewright\FILES@Sales@Demo\docs.
inline std::string mount() {
    return qrdtest::workstation().dir + "/mnt/files";
}
// Maps the service in this workstation's QORDA.INI (before the library
// reads it).
inline void mountFileService() {
    qrdtest::appendQordaIni("[Client]\nVersion=70651\n[DriveMappings]\nF=FILES@Sales@Demo,docs," +
                            mount() + "\n");
}

// Logs `user` in on this workstation, as the login command does.
inline bool login(const std::string& user, const std::string& password) {
    CQrdApi::destroySession();
    QRD_PORT port;
    QrdSetPortNull(&port);
    if (QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &port) != 0) return false;
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    if (QrdNmLogin(&port, user.c_str(), password.c_str(), &nonce, canonical) != 0) return false;
    return QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN) == 0 && QrdSetNonce(&nonce) == 0;
}

// One desktop user's workstation: store, context, the sheets in front of a
// scripted prompter, and the document.
struct Station {
    Station(std::string u, std::string p) : user(std::move(u)), password(std::move(p)) {
        ctx.setPrompter(&sheets);
    }
    ~Station() { desk.waitInboxUpdate(30000); }
    // This workstation now runs this user's desktop.
    bool act() { return login(user, password); }
    // Logs in, makes the user a desktop user with a card named `cardName`
    // unless it is one already, and loads the desktop.
    bool open(const std::string& cardName) {
        if (!act()) return false;
        long e = 0;
        if (!dir.isPathwendUser(user, e)) {
            DIRUserBusinessCard card;
            card.cardText1 = cardName;
            DIRAddressPtr address;
            if (!dir.createPathwendEnvironment(cardName + "'s desk", card, address, e))
                return false;
        }
        return desk.loadDesktop(false);
    }

    std::string user, password;
    DIRDirectory dir;
    USRContext ctx{dir};
    ScriptPrompter script;
    desk::sheets::UISheetPrompter sheets{ctx, script};
    UIDesktop desk{ctx};
};

// Calls `act` with the first visible top-level widget of type T as soon as
// one shows (the sheets run modal); gives up after ten seconds.
template <class T> void whenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* t = qobject_cast<T*>(w);
            if (!t || !t->isVisible()) continue;
            timer->stop();
            timer->deleteLater();
            delete clock;
            act(t);
            // A check that failed inside `act` leaves the sheet open.
            if (t->isVisible()) t->close();
            return;
        }
        if (clock->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        }
    });
    timer->start();
}

// The test program's start: a workstation of its own, then the tests.
#define SHEETS_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        qrdtest::prepareAndReexec(argc, argv);                                                     \
        qrdtest::adoptWorkstation();                                                               \
        TestClass::prepareWorkstation();                                                           \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

} // namespace sheetstest
