// The automation object through a private session bus: the bus starts the
// service on the first call; the service runs in pick mode, so the browser
// answers with a fixed name and records how it was asked.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QTest>

class AutoBrowseTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QDBusInterface> browser;

    static QStringList lastRequest() {
        QFile file(NAMEBROWSE_TEST_RECORD);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        return lines.isEmpty() ? QStringList() : lines.back().split('\t');
    }
    QString runBrowser() {
        QDBusReply<QString> reply = browser->call("RunBrowser");
        if (!reply.isValid()) qWarning() << reply.error().message();
        return reply.value();
    }

  private slots:
    void initTestCase() {
        QFile::remove(NAMEBROWSE_TEST_RECORD);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        QDBusReply<void> started = bus.interface()->startService("com.halvex.namebrowse");
        QVERIFY2(started.isValid(), qPrintable(started.error().message()));
        browser = std::make_unique<QDBusInterface>("com.halvex.namebrowse", "/namebrowse",
                                                   "com.halvex.namebrowse.CAutoBrowse", bus);
        QVERIFY(browser->isValid());
    }

    void aNewObjectOffersSingleSelectionAndDefaults() {
        QCOMPARE(browser->property("MultipleSelections").toBool(), false);
        QCOMPARE(browser->property("DialogTitle").toString(), QString());
        QCOMPARE(browser->property("AVDFilePath").toString(), QString());
    }

    void runBrowserIsASingleSelectionWithTheDefaultTitle() {
        QVERIFY(browser->setProperty("MultipleSelections", true));
        QCOMPARE(browser->property("MultipleSelections").toBool(), true);
        QCOMPARE(runBrowser(), QString("alice@Sales@Demo"));
        QCOMPARE(lastRequest(),
                 QStringList({"run-browser", "Tnamebrowse: Browse Namewright", "", "single"}));
    }

    void titleAndFileGoToTheBrowserAndAnEmptyTitleRestoresTheDefault() {
        QVERIFY(browser->setProperty("DialogTitle", "Choose the owner"));
        QVERIFY(browser->setProperty("AVDFilePath", "z:\\messages\\other.avd"));
        QCOMPARE(runBrowser(), QString("alice@Sales@Demo"));
        QCOMPARE(lastRequest(), QStringList({"run-browser", "Choose the owner",
                                             "z:\\messages\\other.avd", "single"}));
        QVERIFY(browser->setProperty("DialogTitle", ""));
        runBrowser();
        QCOMPARE(lastRequest().value(1), QString("Tnamebrowse: Browse Namewright"));
    }

    void configureAnswersAndACancelledOneKeepsTheSettings() {
        QDBusReply<void> reply = browser->call("Configure");
        QVERIFY2(reply.isValid(), qPrintable(reply.error().message()));
        QCOMPARE(lastRequest(), QStringList({"configure"}));
        QCOMPARE(browser->property("AVDFilePath").toString(), QString("z:\\messages\\other.avd"));
        QCOMPARE(browser->property("MultipleSelections").toBool(), true);
    }

    void createdObjectsKeepSettingsOfTheirOwn() {
        QDBusReply<QDBusObjectPath> made = browser->call("Create");
        QVERIFY2(made.isValid(), qPrintable(made.error().message()));
        QDBusInterface own("com.halvex.namebrowse", made.value().path(),
                           "com.halvex.namebrowse.CAutoBrowse", QDBusConnection::sessionBus());
        QVERIFY(own.isValid());
        QCOMPARE(own.property("MultipleSelections").toBool(), false);
        QVERIFY(own.setProperty("DialogTitle", "Mine"));
        QDBusReply<QString> reply = own.call("RunBrowser");
        QCOMPARE(reply.value(), QString("alice@Sales@Demo"));
        QCOMPARE(lastRequest().value(1), QString("Mine"));
        QCOMPARE(browser->property("DialogTitle").toString(), QString());
        QDBusReply<QDBusObjectPath> second = browser->call("Create");
        QVERIFY(second.value().path() != made.value().path());
    }

    // An object goes when its maker releases it or leaves the bus; nobody
    // else may release it.
    void createdObjectsGoWithTheirMaker() {
        auto alive = [](QDBusConnection bus, const QString& path) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                "com.halvex.namebrowse", path, "org.freedesktop.DBus.Properties", "Get");
            call << QString("com.halvex.namebrowse.CAutoBrowse") << QString("DialogTitle");
            return bus.call(call).type() == QDBusMessage::ReplyMessage;
        };
        QDBusConnection mine = QDBusConnection::sessionBus();
        QDBusReply<QDBusObjectPath> theirs;
        {
            // The connection closes when its last handle goes.
            QDBusConnection other =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other-script");
            QVERIFY(other.isConnected());
            QDBusInterface root("com.halvex.namebrowse", "/namebrowse",
                                "com.halvex.namebrowse.CAutoBrowse", other);
            theirs = root.call("Create");
        }
        QDBusReply<QDBusObjectPath> ours = browser->call("Create");
        QVERIFY(theirs.isValid() && ours.isValid());
        QVERIFY(alive(mine, theirs.value().path()));

        QDBusMessage refused = browser->call("Release", QVariant::fromValue(theirs.value()));
        QCOMPARE(refused.errorName(), QString("org.freedesktop.DBus.Error.AccessDenied"));
        QDBusConnection::disconnectFromBus("other-script");
        QTRY_VERIFY_WITH_TIMEOUT(!alive(mine, theirs.value().path()), 10000);

        QVERIFY(alive(mine, ours.value().path()));
        QDBusReply<void> released = browser->call("Release", QVariant::fromValue(ours.value()));
        QVERIFY2(released.isValid(), qPrintable(released.error().message()));
        QVERIFY(!alive(mine, ours.value().path()));
        QDBusMessage again = browser->call("Release", QVariant::fromValue(ours.value()));
        QCOMPARE(again.errorName(), QString("org.freedesktop.DBus.Error.UnknownObject"));
    }

    void unknownMethodsAreRefused() {
        QDBusMessage reply = browser->call("Frobnicate");
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    }
};

QTEST_GUILESS_MAIN(AutoBrowseTest)
#include "autobrowse_test.moc"
