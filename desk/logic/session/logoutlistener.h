// Hears the workstation's login/logout broadcast (VM_LOGINLOGOUT on the
// D-Bus session bus, emitted by the login command) for the document, which
// asks the frame to close when the user logged out. This is the only part
// of the desktop's logic that uses QtDBus.
#pragma once

#include <QDBusConnection>
#include <QObject>

class USRLogoutListener : public QObject {
    Q_OBJECT

  public:
    // Listens on the session bus.
    explicit USRLogoutListener(QObject* parent = nullptr);
    // Listens on `bus` (tests bring a private bus).
    explicit USRLogoutListener(const QDBusConnection& bus, QObject* parent = nullptr);

    // False when there is no bus to listen on; the desktop then simply
    // never hears a logout.
    bool isListening() const { return listening_; }

  signals:
    // Every broadcast, with its argument (1 login, 0 logout).
    void loginChanged(int loggedIn);
    // The user logged out: the frame should close.
    void loggedOut();

  private slots:
    void onLoginLogout(int loggedIn);

  private:
    bool listening_ = false;
};
