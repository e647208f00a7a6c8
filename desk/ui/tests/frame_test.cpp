// The frame: where it opens, what it remembers, its bars and panes.
#include "commandids.h"
#include "mainframe.h"
#include "placement.h"

#include "testmain.h"
#include <QAction>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>

#include <QtTest>

using namespace desk::ui;

class FrameTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;

    std::unique_ptr<UIDesktopFrame> makeFrame() {
        return std::make_unique<UIDesktopFrame>(new QLabel, new QLabel);
    }
    QRect screenArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    void writeSettings(int left, int top, int width, int height) {
        QSettings s(QStringLiteral("Halvex Applications"), QStringLiteral("Namewright Desktop"));
        s.beginGroup(QStringLiteral("Settings"));
        s.setValue(QStringLiteral("FrameLeft"), left);
        s.setValue(QStringLiteral("FrameTop"), top);
        s.setValue(QStringLiteral("FrameWidth"), width);
        s.setValue(QStringLiteral("FrameHeight"), height);
    }

  private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
    }
    void init() {
        QSettings s(QStringLiteral("Halvex Applications"), QStringLiteral("Namewright Desktop"));
        s.clear();
    }

    void fittingKeepsTheFrameOnTheScreen_data() {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 1000, 700);
        QTest::newRow("too wide, left near the right edge")
            << QRect(900, 10, 1500, 300) << QRect(0, 10, 1000, 300);
        QTest::newRow("near the right edge")
            << QRect(900, 10, 400, 300) << QRect(600, 10, 400, 300);
        QTest::newRow("off to the top left") << QRect(-500, -80, 400, 300) << QRect(0, 0, 400, 300);
        QTest::newRow("below the bottom") << QRect(10, 2000, 400, 300) << QRect(10, 400, 400, 300);
        QTest::newRow("fits") << QRect(50, 60, 400, 300) << QRect(50, 60, 400, 300);
        QTest::newRow("first run is centred") << QRect(0, 0, 0, 0) << QRect(200, 150, 600, 400);
        QTest::newRow("zero height is a first run")
            << QRect(30, 30, 500, 0) << QRect(200, 150, 600, 400);
    }
    void fittingKeepsTheFrameOnTheScreen() {
        QFETCH(QRect, saved);
        QFETCH(QRect, expected);
        QCOMPARE(fitToScreen(saved, QRect(0, 0, 1000, 700), QSize(600, 400)), expected);
    }

    void aScreenWithAnOffsetKeepsItsPanelFree() {
        // A panel of 30 pixels at the top: the frame starts below it.
        QCOMPARE(fitToScreen(QRect(0, 0, 400, 300), QRect(0, 30, 1000, 670), QSize()),
                 QRect(0, 30, 400, 300));
    }

    void firstRunIsCentredWithAFolderColumnOf200() {
        auto frame = makeFrame();
        frame->placeAndShow();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        const QRect area = screenArea();
        QVERIFY(area.contains(frame->frameGeometry()));
        QVERIFY(qAbs(frame->frameGeometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(frame->frameGeometry().center().y() - area.center().y()) <= 1);
        QCOMPARE(frame->splitter()->sizes().value(0), 200);
    }

    void anOffScreenPositionIsPulledBack() {
        const QRect area = screenArea();
        writeSettings(area.right() + 300, -400, 300, 200);
        auto frame = makeFrame();
        frame->placeAndShow();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QCOMPARE(frame->frameGeometry(), QRect(area.right() + 1 - 300, area.top(), 300, 200));
    }

    void closingMaximisedKeepsTheRestoredRectangle() {
        const QRect restored(40, 30, 420, 310);
        writeSettings(restored.left(), restored.top(), restored.width(), restored.height());
        {
            auto frame = makeFrame();
            frame->placeAndShow();
            QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
            frame->splitter()->setSizes({150, 270});
            frame->showMaximized();
            QTRY_VERIFY(frame->isMaximized());
            QTRY_VERIFY(frame->geometry().width() > restored.width());
            frame->close();
        }
        const Placement p = loadPlacement();
        QCOMPARE(p.frame, restored);
        QCOMPARE(p.folderViewWidth, 150);
    }

    void aMovedFrameIsRememberedWhereItWasLeft() {
        {
            auto frame = makeFrame();
            frame->placeAndShow();
            QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
            frame->move(12, 14);
            frame->resize(500, 350);
            QTRY_COMPARE(frame->normalRect(), frame->frameGeometry());
            QCOMPARE(frame->normalRect().topLeft(), QPoint(12, 14));
            frame->close();
        }
        QCOMPARE(loadPlacement().frame.topLeft(), QPoint(12, 14));
        QVERIFY(loadPlacement().frame.width() >= 500);
    }

    void absurdStoredValuesReadAsDefaults() {
        QSettings s(QStringLiteral("Halvex Applications"), QStringLiteral("Namewright Desktop"));
        s.beginGroup(QStringLiteral("Settings"));
        s.setValue(QStringLiteral("FolderViewWidth"), QStringLiteral("wide"));
        s.setValue(QStringLiteral("FrameWidth"), -40);
        s.sync();
        const Placement p = loadPlacement();
        QCOMPARE(p.folderViewWidth, 200);
        QCOMPARE(p.frame.width(), 0);
    }

    void theBarsAndPanesCarryTheirIds() {
        auto frame = makeFrame();
        frame->placeAndShow();
        QVERIFY(frame->findChild<QToolBar*>(QStringLiteral("59392")));
        QVERIFY(frame->findChild<QToolBar*>(QStringLiteral("155")));
        auto* date = frame->findChild<QLabel*>(QStringLiteral("103"));
        auto* time = frame->findChild<QLabel*>(QStringLiteral("104"));
        QVERIFY(date && time);
        QVERIFY(!date->text().isEmpty());
        QVERIFY(!time->text().isEmpty());
        QVERIFY(!date->accessibleName().isEmpty());
    }

    void anEmptyActionsBarIsHiddenAndItsMenuItemDisabled() {
        auto frame = makeFrame();
        frame->placeAndShow();
        frame->setActionLoader([](std::vector<UIDesktopFrame::ActionButton>&) { return true; });
        auto* bar = frame->findChild<QToolBar*>(QStringLiteral("155"));
        QVERIFY(bar->isHidden());
        frame->updateCommands();
        QVERIFY(!frame->commandAction(kCmdActionsBar)->isEnabled());
    }

    void actionButtonsShowTheirNameCutTo79Characters() {
        auto frame = makeFrame();
        frame->placeAndShow();
        const QString longName(120, QLatin1Char('n'));
        frame->setActionLoader([&](std::vector<UIDesktopFrame::ActionButton>& out) {
            out.push_back({1000, longName, QStringLiteral("runs it"), QIcon(), 0});
            out.push_back(
                {1001, QStringLiteral("Edit"), QStringLiteral("edits"), QIcon(), kKindDocument});
            return true;
        });
        auto* bar = frame->findChild<QToolBar*>(QStringLiteral("155"));
        QVERIFY(!bar->isHidden());
        QCOMPARE(frame->actionTip(1000), longName.left(79));
        QCOMPARE(frame->commandAction(1000)->statusTip(), QStringLiteral("runs it"));
        // The View > Actions Bar item toggles the bar and shows its state.
        frame->setHandler(kCmdAbout, [] {}); // any handler: the frame's own are attached
        frame->updateCommands();
        QAction* toggle = frame->commandAction(kCmdActionsBar);
        QVERIFY(toggle->isEnabled());
        QVERIFY(toggle->isChecked());
        frame->runCommand(kCmdActionsBar);
        QVERIFY(bar->isHidden());
        QVERIFY(!toggle->isChecked());
        QVERIFY(!frame->actionsBarShown());
    }

    void theMenusOfferEveryCommandWithItsKeys() {
        auto frame = makeFrame();
        QCOMPARE(frame->commandAction(kCmdDelete)->shortcut(), QKeySequence(Qt::Key_Delete));
        const QList<QKeySequence> cut = frame->commandAction(kCmdCut)->shortcuts();
        QCOMPARE(cut.size(), 2);
        QCOMPARE(cut.value(1), QKeySequence(QStringLiteral("Shift+Del")));
        QCOMPARE(frame->commandAction(kCmdRefresh)->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(frame->commandAction(kCmdNewPersonalFolder)->statusTip(),
                 QStringLiteral("Add a Personal folder"));
        // Every command of the table is reachable: a menu item, a toolbar
        // button or an accelerator.
        for (const CommandSpec& spec : commandTable()) {
            QAction* a = frame->commandAction(spec.id);
            QVERIFY2(a, qPrintable(QString::number(spec.id)));
            QVERIFY2(spec.menu || !a->shortcuts().isEmpty() || spec.id == kCmdSubscribe ||
                         spec.id == kCmdDontSubscribe || spec.id == kCmdNewActionFromPath,
                     qPrintable(QString::number(spec.id)));
        }
    }
};

DESK_TEST_MAIN(FrameTest)
#include "frame_test.moc"
