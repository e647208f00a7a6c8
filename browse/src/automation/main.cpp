// namebrowse-service: the browser's automation object on the session bus,
// started on demand by the bus (com.halvex.namebrowse.service).
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTimer>
#include <cstdio>

#include "autobrowse.h"

namespace {

const char kUsage[] = R"(Usage: namebrowse-service [--pick NAME [--record FILE]] [--idle SECONDS]

Offers the directory browser on the session bus as com.halvex.namebrowse,
object /namebrowse, interface com.halvex.namebrowse.CAutoBrowse (properties
DialogTitle, AVDFilePath, MultipleSelections; methods Configure, RunBrowser,
Create).
The bus starts it when a program first calls it; it ends after SECONDS
without a call (default 300) once no client holds an object made by Create.

  --pick NAME     answer every RunBrowser with NAME and show no window
                  (for scripts and tests; Configure changes nothing)
  --record FILE   with --pick: append one line per request to FILE
  --idle SECONDS  end after this long without a call (0: never)
  -h, --help      show this text
)";

int usageError(const char* what, const char* arg = "") {
    std::fprintf(stderr, "namebrowse-service: %s%s\n\n%s", what, arg, kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QString pick, record;
    bool picking = false;
    long idle = 300;
    for (int i = 1; i < argc; ++i) {
        QByteArray arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        bool takesValue = arg == "--pick" || arg == "--record" || arg == "--idle";
        if (!takesValue) return usageError("unknown argument ", argv[i]);
        if (i + 1 >= argc) return usageError("a value is missing after ", argv[i]);
        QString value = QString::fromLocal8Bit(argv[++i]);
        if (arg == "--pick") {
            pick = value;
            picking = true;
        } else if (arg == "--record") {
            record = value;
        } else {
            bool ok = false;
            idle = value.toLong(&ok);
            if (!ok || idle < 0 || idle > 86400)
                return usageError("--idle takes 0 to 86400 seconds");
        }
    }
    if (!record.isEmpty() && !picking) return usageError("--record needs --pick");

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr,
                     "namebrowse-service: no session bus (%s); start it from a desktop "
                     "session or under dbus-run-session.\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    browse::AutoBrowse object(picking ? browse::pickRunner(pick, record) : browse::screenRunner());
    QTimer idleTimer;
    idleTimer.setSingleShot(true);
    // Never while a client holds an object it made: it would vanish under it.
    QObject::connect(&idleTimer, &QTimer::timeout, &app, [&] {
        if (object.heldObjects() > 0)
            idleTimer.start();
        else
            app.quit();
    });
    if (idle > 0) {
        // Counted from the last answer; never while a window is open.
        int busy = 0;
        idleTimer.start(int(idle * 1000));
        object.onBusy([&idleTimer, idle, busy](bool starts) mutable {
            busy += starts ? 1 : -1;
            if (busy > 0)
                idleTimer.stop();
            else
                idleTimer.start(int(idle * 1000));
        });
    }
    if (!bus.registerObject(browse::kObjectPath, &object,
                            QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportScriptableSlots)) {
        std::fprintf(stderr, "namebrowse-service: cannot offer %s: %s\n", browse::kObjectPath,
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    if (!bus.registerService(browse::kBusName)) {
        std::fprintf(stderr, "namebrowse-service: %s is taken (%s); another instance runs.\n",
                     browse::kBusName, qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
