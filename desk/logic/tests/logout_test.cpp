// The logout listener hears the workstation's broadcast on a private bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include "qrd/loginsignal.h"
#include "session/logoutlistener.h"

namespace {

// A session bus of the test's own, so that no real desktop hears it.
class PrivateBus {
  public:
    PrivateBus() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    QString address;

  private:
    QProcess daemon_;
};

void announce(QDBusConnection& bus, int loggedIn) {
    QDBusMessage signal = QDBusMessage::createSignal(
        qrd::kLoginSignalPath, qrd::kLoginSignalInterface, qrd::kLoginSignalName);
    signal << loggedIn;
    bus.send(signal);
}

TEST(LogoutListener, ALogoutAsksTheFrameToCloseALoginDoesNot) {
    int argc = 1;
    char name[] = "logout_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    {
        QDBusConnection listenerBus = QDBusConnection::connectToBus(bus.address, "listener");
        QDBusConnection senderBus = QDBusConnection::connectToBus(bus.address, "sender");
        ASSERT_TRUE(listenerBus.isConnected());
        USRLogoutListener listener(listenerBus);
        ASSERT_TRUE(listener.isListening());
        // The listener's match rule travels to the bus on its own; a round
        // trip on the same connection makes sure the bus has it.
        listenerBus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));

        std::vector<int> heard;
        int logouts = 0;
        QEventLoop loop;
        QObject::connect(&listener, &USRLogoutListener::loginChanged,
                         [&](int v) { heard.push_back(v); });
        QObject::connect(&listener, &USRLogoutListener::loggedOut, [&] {
            ++logouts;
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        announce(senderBus, 1);
        announce(senderBus, 0);
        loop.exec();
        EXPECT_EQ(heard, (std::vector<int>{1, 0}));
        EXPECT_EQ(logouts, 1);
    }
    QDBusConnection::disconnectFromBus("listener");
    QDBusConnection::disconnectFromBus("sender");
}

TEST(LogoutListener, WithoutABusItSimplyDoesNotListen) {
    int argc = 1;
    char name[] = "logout_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QDBusConnection none =
        QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "none");
    USRLogoutListener listener(none);
    EXPECT_FALSE(listener.isListening());
    QDBusConnection::disconnectFromBus("none");
}

} // namespace
