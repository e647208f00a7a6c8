// The document item dialog against a daemon: a file chosen on a mounted
// file service is stored in the network form; a local file for a shared
// folder leads to the save-to-shared question, and No cancels without an
// item; a read-only item shows its author with every field disabled.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include <namedir/directory.h>

#include "docitemdialog.h"
#include "files/usrfile.h"
#include "folders/usrfoldernode.h"
#include "foldersheet.h"
#include "items/itemcommands.h"
#include "items/usrdocnode.h"
#include "sheets_station.h"

using namespace desk::sheets;
using sheetstest::whenShown;
namespace fs = std::filesystem;

namespace {
const QString kService = QStringLiteral("\\\\Namewright\\FILES@Sales@Demo\\docs");
std::string ws() {
    return qrdtest::workstation().dir;
}
using sheetstest::mount;
void writeFile(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "x";
}
} // namespace

class DocItemDialogTest : public QObject {
    Q_OBJECT
  public:
    static void prepareWorkstation() { sheetstest::mountFileService(); }

  private slots:
    void initTestCase() {
        QVERIFY(daemon_.start());
        writeFile(mount() + "/reports/a b.doc");
        writeFile(ws() + "/home/local.doc");
    }

    void aFileOnAMountedServiceIsStoredInNetworkForm() {
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVERIFY(bob.open("Bob Baker"));
        QString startedIn = QStringLiteral("unset");
        bob.sheets.setFileChooser([&](QWidget*, const QString& start) {
            startedIn = start;
            return QString::fromStdString(mount() + "/reports/a b.doc");
        });
        QString shown;
        whenShown<UIDocItemDialog>([&](UIDocItemDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("1024"))->setText(QStringLiteral("Report"));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("8")), Qt::LeftButton);
            shown = d->findChild<QLineEdit*>(QStringLiteral("1102"))->text();
            d->accept();
        });
        USRDocNode* doc = USRNewDocumentItem(bob.ctx, *bob.desk.currentFolder(), {}, nullptr);
        QVERIFY(doc);
        const QString expected = kService + QStringLiteral("\\reports\\a b.doc");
        QCOMPARE(shown, expected);
        QVERIFY(startedIn.isEmpty()); // a personal folder: no share directory
        USRDocNode stored(bob.ctx);
        long e = 0;
        QVERIFY(stored.setAddress(doc->address(), e));
        QVERIFY2(stored.read(e), qPrintable(QString::number(e)));
        QCOMPARE(QString::fromStdString(stored.filePath()), expected);
        QCOMPARE(QString::fromStdString(stored.name()), QStringLiteral("Report"));
    }

    void aLocalFileInASharedFolderLeadsToTheQuestion() {
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVERIFY(bob.open("Bob Baker"));
        DIRPreferencesInfo prefs;
        prefs.value = 15;
        prefs.text = (kService + QStringLiteral("\\incoming")).toStdString();
        long e = 0;
        QVERIFY(bob.dir.setPreferencesInfo(prefs, e));
        whenShown<UIFolderPropSheet>([](UIFolderPropSheet* sheet) {
            sheet->findChild<QLineEdit*>(QStringLiteral("1005"))->setText(QStringLiteral("Team"));
            sheet->accept();
        });
        USRFolderNode* team = bob.desk.newFolder(true);
        QVERIFY(team && team->isShared());

        const std::string local = ws() + "/home/local.doc";
        bool stillOpen = false;
        whenShown<UIDocItemDialog>([&](UIDocItemDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("1024"))->setText(QStringLiteral("Local"));
            // An empty file keeps the dialog open with a message.
            d->accept();
            stillOpen = d->isVisible();
            d->findChild<QLineEdit*>(QStringLiteral("1102"))
                ->setText(QString::fromStdString(local));
            d->accept(); // asks to save to a shared directory: No
        });
        bob.script.answers = {false};
        QVERIFY(!USRNewDocumentItem(bob.ctx, *team, {}, nullptr));
        QVERIFY(stillOpen);
        QCOMPARE(bob.script.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(bob.script.messages[0]),
                 QStringLiteral("A filename is required."));
        QCOMPARE(bob.script.questions.size(), size_t(1));
        QVERIFY(QString::fromStdString(bob.script.questions[0])
                    .contains(QStringLiteral("is on a local drive")));
        QVERIFY(team->children().empty());
    }

    void aReadOnlyItemShowsItsAuthor() {
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVariantMap values{{QStringLiteral("name"), QStringLiteral("Plan")},
                           {QStringLiteral("path"), kService + QStringLiteral("\\plan.doc")},
                           {QStringLiteral("text2"), QStringLiteral("alice@Sales@Demo")},
                           {QStringLiteral("editable"), false}};
        UIDocItemDialog d(bob.ctx, values);
        for (const char* id : {"1024", "1032", "1102"})
            QVERIFY(!d.findChild<QWidget*>(QLatin1String(id))->isEnabled());
        QVERIFY(!d.findChild<QPushButton*>(QStringLiteral("8"))->isEnabled());
        auto* author = d.findChild<QLineEdit*>(QStringLiteral("1033"));
        QVERIFY(author->isEnabled());
        QCOMPARE(author->text(), QStringLiteral("alice@Sales@Demo"));
        // A path in network form shows whole, not scrolled to its end.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* file = d.findChild<QLineEdit*>(QStringLiteral("1102"));
        QVERIFY(file->fontMetrics().horizontalAdvance(file->text()) < file->contentsRect().width());
    }

  private:
    sheetstest::Daemon daemon_;
};

SHEETS_TEST_MAIN(DocItemDialogTest)
#include "docitem_dialog_test.moc"
