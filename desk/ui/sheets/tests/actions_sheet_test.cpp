// The actions windows against a daemon: actions made through the create
// dialog, the toolbar order arranged on the Toolbar page and stored as
// shown, and an action another user deleted gone from the toolbar after a
// reload; the show-mode and placeholder rules.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "actcustpalpage.h"
#include "actdefinitionpage.h"
#include "actiondrops.h"
#include "actionrules.h"
#include "actions/usractions.h"
#include "actionssheet.h"
#include "createactiondialog.h"
#include "sheets_station.h"

using namespace desk::sheets;
using sheetstest::whenShown;
namespace fs = std::filesystem;

namespace {
using sheetstest::mount;
const std::string kService = "\\\\Namewright\\FILES@Sales@Demo\\docs";

std::vector<std::string> names(const std::vector<USRActionNode*>& list) {
    std::vector<std::string> out;
    for (const USRActionNode* a : list)
        out.push_back(a->name());
    return out;
}

// Creates a shared action for `program` through the dialog, on the toolbar.
USRActionNode* create(sheetstest::Station& s, USRActions& actions, const QString& name,
                      bool documents) {
    whenShown<UICreateActionDialog>([&](UICreateActionDialog* d) {
        d->fields()->name()->setText(name);
        d->fields()->documents()->setChecked(documents);
        d->addToToolbar()->setChecked(true);
        d->accept();
    });
    return runCreateAction(actions, s.sheets, true, false,
                           QString::fromStdString(mount() + "/tools/edit.sh"), nullptr);
}
} // namespace

class ActionsSheetTest : public QObject {
    Q_OBJECT
  public:
    static void prepareWorkstation() { sheetstest::mountFileService(); }

  private slots:
    void initTestCase() {
        QVERIFY(daemon_.start());
        fs::create_directories(mount() + "/tools");
        std::ofstream(mount() + "/tools/edit.sh") << "#!/bin/sh\n";
        fs::permissions(mount() + "/tools/edit.sh", fs::perms::owner_all);
    }

    void rules() {
        QCOMPARE(runIndexOfShowMode(2), 0);                      // shown as Normal ...
        QCOMPARE(showModeOfRunIndex(runIndexOfShowMode(2)), 1L); // ... and saved as 1
        QCOMPARE(runIndexOfShowMode(6), 1);
        QCOMPARE(showModeOfRunIndex(2), 3L);
        QCOMPARE(storedParameters(QString(), kUseDocuments), QStringLiteral("\"%%\""));
        QCOMPARE(storedParameters(QStringLiteral("  -x "), kUseDocuments), QStringLiteral("-x"));
        QCOMPARE(storedParameters(QString(), 0), QString());
    }

    void createReorderAndLoseToAnotherUser() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        QVERIFY(alice.open("Alice Archer"));
        USRActions actions(alice.ctx);
        USRActionNode* edit = create(alice, actions, QStringLiteral("Edit"), false);
        QVERIFY(edit);
        USRActionNode* view = create(alice, actions, QStringLiteral("View"), true);
        QVERIFY(view);
        QCOMPARE(QString::fromStdString(edit->commandLine()),
                 QString::fromStdString(kService + "\\tools\\edit.sh"));
        // A use-with box without parameters gives the placeholder.
        QCOMPARE(QString::fromStdString(view->commandLine()),
                 QString::fromStdString(kService + "\\tools\\edit.sh \"%%\""));
        QCOMPARE(names(actions.toolbar()), (std::vector<std::string>{"Edit", "View"}));

        // The Toolbar page: Up is off on the first entry; Down swaps.
        int refreshed = 0;
        bool upOnFirst = true;
        QStringList shown;
        whenShown<UIActionsPropSheet>([&](UIActionsPropSheet* sheet) {
            sheet->tabs()->setCurrentWidget(sheet->toolbar());
            UIActCustPalPage* page = sheet->toolbar();
            page->orderList()->setCurrentRow(0);
            upOnFirst = page->findChild<QPushButton*>(QStringLiteral("up"))->isEnabled();
            QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("down")),
                              Qt::LeftButton);
            for (int i = 0; i < page->orderList()->count(); ++i)
                shown << page->orderList()->item(i)->text();
            sheet->accept();
        });
        QVERIFY(runActionsSheet(
            actions, alice.sheets, [&] { ++refreshed; }, nullptr));
        QVERIFY(!upOnFirst);
        QCOMPARE(shown, (QStringList{QStringLiteral("View"), QStringLiteral("Edit")}));
        QCOMPARE(refreshed, 1);
        {
            USRActions fresh(alice.ctx);
            long e = 0;
            QVERIFY(fresh.loadToolbar(e));
            QCOMPARE(names(fresh.toolbar()), (std::vector<std::string>{"View", "Edit"}));
            QCOMPARE(long(fresh.toolbar()[0]->commandId()), USRActions::kFirstCommandId);
        }

        // bob, of the same group, deletes the shared "Edit".
        {
            sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
            QVERIFY(bob.open("Bob Baker"));
            USRActions bobs(bob.ctx);
            long e = 0;
            QVERIFY(bobs.loadLibrary(e));
            USRActionNode* gone = nullptr;
            for (USRActionNode* a : bobs.library())
                if (a->name() == "Edit") gone = a;
            QVERIFY(gone);
            QVERIFY2(bobs.remove(gone, e), qPrintable(QString::number(e)));
        }

        // Back on alice's workstation: the page drops the entry when shown,
        // and the toolbar no longer lists it after a reload.
        QVERIFY(alice.act());
        long e = 0;
        QVERIFY(actions.loadLibrary(e));
        UIActCustPalPage page(actions, alice.sheets);
        QCOMPARE(page.orderList()->count(), 2); // the toolbar as loaded before
        page.activate();
        QCOMPARE(page.orderList()->count(), 1);
        QCOMPARE(page.orderList()->item(0)->text(), QStringLiteral("View"));
        QVERIFY(page.modified());
        QVERIFY(page.apply());
        USRActions reloaded(alice.ctx);
        QVERIFY(reloaded.loadToolbar(e));
        QCOMPARE(names(reloaded.toolbar()), std::vector<std::string>{"View"});

        // The Definitions page: an edit is saved when another action is
        // chosen; deleting a shared action asks, and No keeps it.
        UIActDefinitionPage definitions(actions, alice.sheets);
        QCOMPARE(QString::fromStdString(definitions.current()->name()), QStringLiteral("View"));
        QTest::keyClicks(definitions.fields()->description(), QStringLiteral("Shows a file"));
        QVERIFY(definitions.modified());
        QVERIFY(definitions.save());
        USRActions again(alice.ctx);
        QVERIFY(again.loadLibrary(e));
        QCOMPARE(again.library().size(), size_t(1));
        alice.script.answers = {false};
        definitions.deleteCurrent();
        QCOMPARE(
            alice.script.questions.back(),
            std::string("This action may be used by others.\nDo you really want to delete it?"));
        QCOMPARE(actions.library().size(), size_t(1));
        USRActionNode stored(alice.ctx);
        QVERIFY(stored.setAddress(view->address(), e));
        QVERIFY(stored.read(e));
        QCOMPARE(stored.data().description, std::string("Shows a file"));
    }

    // Three program files dropped: one create dialog, for the first.
    void aDropOfSeveralProgramsCreatesForTheFirst() {
        QToolBar bar;
        QStringList asked;
        int runs = 0;
        new UIActionDrops(
            &bar, [&](const QString& program) { asked << program; }, [&](int) { ++runs; });
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/opt/a/one")),
                      QUrl::fromLocalFile(QStringLiteral("/opt/a/two")),
                      QUrl::fromLocalFile(QStringLiteral("/opt/a/three"))});
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&bar, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&bar, &drop);
        QCOMPARE(asked, QStringList{QStringLiteral("/opt/a/one")});
        QCOMPARE(runs, 0);
    }

  private:
    sheetstest::Daemon daemon_;
};

SHEETS_TEST_MAIN(ActionsSheetTest)
#include "actions_sheet_test.moc"
