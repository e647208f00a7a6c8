// Window tests against a real directory: a namewrightd of the test's own,
// seeded with the demo directory, logins on the test's workstation, and one
// desktop session per simulated user (its own store object and context).
#pragma once

#include "desktopsession.h"
#include "errortext.h"
#include "mainframe.h"

#include "core/context.h"
#include "document/uidesktop.h"
#include "nwd_process.h"
#include "qrdapi.h"
#include "script_prompter.h"
#include "testenv.h"

#include <QStringList>
#include <namedir/directory.h>
#include <namedir/qrdapi_wrapper.h>

namespace desktest {

// Messages the windows showed (instead of message boxes).
inline QStringList& shownMessages() {
    static QStringList messages;
    return messages;
}
inline void recordMessage(const QString& text) {
    shownMessages() << text;
}

class TestDirectory {
  public:
    // False with the reason in `why`. `seed` (seed file lines) is loaded
    // after the demo directory.
    bool start(std::string& why, const std::string& seed = {}) {
        const qrdtest::Workstation& ws = qrdtest::workstation();
        const std::string db = ws.dir + "/store.db";
        nwdtest::Outcome seeded =
            nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"});
        if (seeded.exitCode != 0) {
            why = seeded.err;
            return false;
        }
        if (!seed.empty()) {
            seeded = nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000", "-"}, seed);
            if (seeded.exitCode != 0) {
                why = seeded.err;
                return false;
            }
        }
        const std::string env =
            "QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd";
        if (!daemon_.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                           ws.dir + "/daemon.log", {env})) {
            why = "the daemon did not start; see " + ws.dir + "/daemon.log";
            return false;
        }
        return true;
    }

    // Logs `user` in on this workstation (this thread's session starts anew).
    static bool login(const char* user, const char* password) {
        CQrdApi::destroySession();
        QRD_PORT port;
        QrdSetPortNull(&port);
        QRD_NONCE nonce{};
        char canonical[NMNAMELEN] = {};
        return QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &port) == 0 &&
               QrdNmLogin(&port, user, password, &nonce, canonical) == 0 &&
               QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN) == 0 &&
               QrdSetNonce(&nonce) == 0;
    }

  private:
    nwdtest::Daemon daemon_;
};

// One user's desktop: store object, context, scripted prompter, session.
struct Desk {
    Desk() {
        ctx.setPrompter(&prompter);
        session = std::make_unique<desk::ui::UIDesktopSession>(ctx);
        session->frame().setKeepsPlacement(false);
    }
    ~Desk() {
        session.reset();
        ctx.setPrompter(nullptr);
    }
    UIDesktop& doc() { return session->document(); }

    DIRDirectory dir;
    USRContext ctx{dir};
    ScriptPrompter prompter;
    std::unique_ptr<desk::ui::UIDesktopSession> session;
};

// The card sheet of a first run answered with `name`.
inline ScriptPrompter::Step cardNamed(const QString& name) {
    return [=](USRDialog, QVariantMap& v) {
        QStringList texts = v["texts"].toStringList();
        while (texts.size() < 13)
            texts << QString();
        texts[0] = name;
        v["texts"] = texts;
        return USR_REPLY_OK;
    };
}

} // namespace desktest
