#include "logoutlistener.h"

#include "qrd/loginsignal.h"

USRLogoutListener::USRLogoutListener(QObject* parent)
    : USRLogoutListener(QDBusConnection::sessionBus(), parent) {}

USRLogoutListener::USRLogoutListener(const QDBusConnection& bus, QObject* parent)
    : QObject(parent) {
    QDBusConnection connection(bus);
    listening_ = connection.isConnected() &&
                 connection.connect(QString(), qrd::kLoginSignalPath, qrd::kLoginSignalInterface,
                                    qrd::kLoginSignalName, this, SLOT(onLoginLogout(int)));
}

void USRLogoutListener::onLoginLogout(int loggedIn) {
    emit loginChanged(loggedIn);
    if (loggedIn == 0) emit loggedOut();
}
