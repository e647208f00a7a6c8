// The folder property sheet against a daemon: the new-shared-folder wizard
// with its creator as moderator, members added through the browse seam and
// typed with blanks, and the member rules (the last moderator stays, only
// desktop users moderate, demoting a moderator is asked and No keeps it).
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include "folderdscpage.h"
#include "foldermbrpage.h"
#include "folderpubpage.h"
#include "folders/usrfoldernode.h"
#include "foldersheet.h"
#include "memberview.h"
#include "namebrowser.h"
#include "sheets_station.h"

using namespace desk::sheets;
using sheetstest::whenShown;

namespace {

// The browse seam: hands over the names the test chose.
class ListedNames : public UINameBrowser {
  public:
    std::vector<std::string> names;
    int asked = 0;
    bool pickNames(QWidget*, std::vector<std::string>& out, long& status) override {
        ++asked;
        out = names;
        status = 0;
        return true;
    }
};

void typeMember(UIFolderMbrPage* page, const QString& text) {
    auto* edit = page->findChild<QLineEdit*>(QStringLiteral("1089"));
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return); // "&Add" is the default while a name is typed
}

int roleOf(UIFolderMbrPage* page, const char* name) {
    const int row = page->members().find(QLatin1String(name));
    return row < 0 ? -1 : page->members().at(row).role;
}

// The folder's access rights as stored: name -> role.
std::map<std::string, long> storedRights(USRContext& ctx, USRFolderNode& folder) {
    USRFolderNode stored(ctx);
    long e = 0;
    std::map<std::string, long> out;
    if (!stored.setAddress(folder.address(), e) || !stored.read(e)) return out;
    for (const USRAccessEntry& r : stored.data().accessRights)
        out[r.name] = r.role;
    return out;
}

} // namespace

class FolderSheetTest : public QObject {
    Q_OBJECT
  public:
    static void prepareWorkstation() {}

  private slots:
    void initTestCase() {
        QVERIFY(daemon_.start());
        // bob uses the desktop; carol does not.
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVERIFY(bob.open("Bob Baker"));
    }

    void aNewSharedFolderStartsWithItsCreatorAsModerator() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        QVERIFY(alice.open("Alice Archer"));
        ListedNames browser;
        browser.names = {"bob@Sales@Demo"};
        alice.sheets.setBrowser(&browser);
        std::vector<QString> pages;
        QStringList firstMembers;
        int pageAfterEmptyNext = -1;
        whenShown<UIFolderPropSheet>([&](UIFolderPropSheet* sheet) {
            for (QWidget* p : sheet->pages())
                pages.push_back(p->objectName());
            sheet->next(); // no name yet: stays
            pageAfterEmptyNext = sheet->currentPage();
            sheet->findChild<QLineEdit*>(QStringLiteral("1005"))
                ->setText(QStringLiteral("Sales plans"));
            QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("next")),
                              Qt::LeftButton);
            UIFolderMbrPage* members = sheet->membersPage();
            for (int i = 0; i < members->members().size(); ++i)
                firstMembers << members->members().at(i).name;
            QTest::mouseClick(members->findChild<QPushButton*>(QStringLiteral("8")),
                              Qt::LeftButton);
            typeMember(members, QStringLiteral("  Team@Sales@Demo  "));
            typeMember(members, QStringLiteral("nobody@Sales@Demo"));
            typeMember(members, QStringLiteral("bob@Sales@Demo"));
            sheet->next();
            sheet->publishPage()->findChild<QRadioButton*>(QStringLiteral("1069"))->click();
            QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("finish")),
                              Qt::LeftButton);
        });
        USRFolderNode* folder = alice.desk.newFolder(true);
        QVERIFY(folder);
        QCOMPARE(pages, (std::vector<QString>{QStringLiteral("171"), QStringLiteral("170"),
                                              QStringLiteral("601")}));
        QCOMPARE(pageAfterEmptyNext, 0);
        QCOMPARE(firstMembers, QStringList{QStringLiteral("alice@Sales@Demo")});
        QCOMPARE(browser.asked, 1);
        // "A name is required.", then the unknown name; the duplicate beeps.
        QCOMPARE(alice.script.messages.size(), size_t(2));
        QCOMPARE(QString::fromStdString(alice.script.messages[0]),
                 QStringLiteral("A name is required."));
        QCOMPARE(QString::fromStdString(alice.script.messages[1]),
                 QStringLiteral("Name is not valid."));
        QCOMPARE(alice.script.beeps, 1);

        const auto rights = storedRights(alice.ctx, *folder);
        QCOMPARE(rights.size(), size_t(3));
        QCOMPARE(rights.at("alice@Sales@Demo"), 3L);
        QCOMPARE(rights.at("bob@Sales@Demo"), 1L);
        QCOMPARE(rights.at("Team@Sales@Demo"), 1L);
        QCOMPARE(QString::fromStdString(folder->name()), QStringLiteral("Sales plans"));
    }

    void theMemberRulesHold() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        QVERIFY(alice.open("Alice Archer"));
        whenShown<UIFolderPropSheet>([](UIFolderPropSheet* sheet) {
            sheet->findChild<QLineEdit*>(QStringLiteral("1005"))->setText(QStringLiteral("Rules"));
            sheet->next();
            typeMember(sheet->membersPage(), QStringLiteral("bob@Sales@Demo"));
            typeMember(sheet->membersPage(), QStringLiteral("carol@Support@Demo"));
            sheet->next();
            sheet->publishPage()->setChoice(0);
            sheet->accept();
        });
        USRFolderNode* folder = alice.desk.newFolder(true);
        QVERIFY(folder);

        struct Seen {
            MemberEdit lastModerator, carolModerator, bobModerator, bobKept, bobDemoted;
            int aliceRole, carolRole, bobRole, clickedRole;
            bool carolDesktopUser;
        } seen{};
        whenShown<UIFolderPropSheet>([&](UIFolderPropSheet* sheet) {
            UIFolderMbrPage* page = sheet->membersPage();
            sheet->showPage(page);
            UIMemberView* view = page->view();
            const auto row = [&](const char* n) { return page->members().find(QLatin1String(n)); };
            // Alice is the only moderator: her Reader column is refused.
            seen.lastModerator = view->clickRole(row("alice@Sales@Demo"), 3);
            seen.aliceRole = roleOf(page, "alice@Sales@Demo");
            // carol has no business card: no moderator.
            seen.carolDesktopUser = page->members().at(row("carol@Support@Demo")).desktopUser;
            seen.carolModerator = view->clickRole(row("carol@Support@Demo"), 1);
            seen.carolRole = roleOf(page, "carol@Support@Demo");
            seen.bobModerator = view->clickRole(row("bob@Sales@Demo"), 1);
            // Demoting bob is asked: No keeps him, Yes makes him contributor.
            alice.script.answers = {false, true};
            seen.bobKept = view->clickRole(row("bob@Sales@Demo"), 2);
            seen.bobDemoted = view->clickRole(row("bob@Sales@Demo"), 2);
            seen.bobRole = roleOf(page, "bob@Sales@Demo");
            // A real click on carol's Contributor cell takes effect after the
            // double-click time.
            const QModelIndex cell = view->model()->index(row("carol@Support@Demo"), 2);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(cell).center());
            QTRY_COMPARE_WITH_TIMEOUT(roleOf(page, "carol@Support@Demo"), 2, 5000);
            seen.clickedRole = roleOf(page, "carol@Support@Demo");
            sheet->accept();
        });
        QVERIFY(folder->edit(true, false));
        long e = 0;
        QVERIFY2(folder->write(e), qPrintable(QString::number(e)));

        QCOMPARE(seen.lastModerator, MemberEdit::LastModerator);
        QCOMPARE(seen.aliceRole, 3);
        QVERIFY(!seen.carolDesktopUser);
        QCOMPARE(seen.carolModerator, MemberEdit::Unchanged);
        QCOMPARE(seen.carolRole, 1);
        QCOMPARE(seen.bobModerator, MemberEdit::Done);
        QCOMPARE(seen.bobKept, MemberEdit::Declined);
        QCOMPARE(seen.bobDemoted, MemberEdit::Done);
        QCOMPARE(seen.bobRole, 2);
        QCOMPARE(seen.clickedRole, 2);
        QVERIFY(!alice.script.messages.empty());
        QCOMPARE(QString::fromStdString(alice.script.messages.back()),
                 QStringLiteral("At least one moderator is required."));
        QCOMPARE(alice.script.questions.size(), size_t(2));
        QCOMPARE(QString::fromStdString(alice.script.questions[0]),
                 QStringLiteral("Do you really want to remove bob@Sales@Demo as moderator?"));

        const auto rights = storedRights(alice.ctx, *folder);
        QCOMPARE(rights.at("alice@Sales@Demo"), 3L);
        QCOMPARE(rights.at("bob@Sales@Demo"), 2L);
        QCOMPARE(rights.at("carol@Support@Demo"), 2L);
    }

    // Another workstation changes the folder while the sheet is open: the
    // write meets 118 and merges, so both changes stay.
    void aConcurrentChangeIsMerged() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        QVERIFY(alice.open("Alice Archer"));
        whenShown<UIFolderPropSheet>([](UIFolderPropSheet* sheet) {
            sheet->findChild<QLineEdit*>(QStringLiteral("1005"))->setText(QStringLiteral("Merged"));
            sheet->next();
            typeMember(sheet->membersPage(), QStringLiteral("bob@Sales@Demo"));
            sheet->next();
            sheet->publishPage()->setChoice(0);
            sheet->accept();
        });
        USRFolderNode* folder = alice.desk.newFolder(true);
        QVERIFY(folder);
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        bool bobWrote = false;
        whenShown<UIFolderPropSheet>([&](UIFolderPropSheet* sheet) {
            QVERIFY(bob.act());
            USRFolderNode theirs(bob.ctx);
            long e = 0;
            QVERIFY(theirs.setAddress(folder->address(), e));
            QVERIFY(theirs.read(e));
            theirs.setDescription("Bob's words");
            bobWrote = theirs.write(e);
            QVERIFY(alice.act());
            UIFolderMbrPage* page = sheet->membersPage();
            page->view()->clickRole(page->members().find(QStringLiteral("bob@Sales@Demo")), 2);
            sheet->accept();
        });
        QVERIFY(folder->edit(true, false));
        QVERIFY(bobWrote);
        long e = 0;
        QVERIFY2(folder->write(e), qPrintable(QString::number(e)));
        USRFolderNode stored(alice.ctx);
        QVERIFY(stored.setAddress(folder->address(), e));
        QVERIFY(stored.read(e));
        QCOMPARE(QString::fromStdString(stored.data().description), QStringLiteral("Bob's words"));
        QCOMPARE(storedRights(alice.ctx, *folder).at("bob@Sales@Demo"), 2L);
    }

    // Removing the only moderator is refused like demoting; a reader goes.
    void removingKeepsAModerator() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        UIMemberList list;
        list.load(QVariantList{QVariantMap{{"name", "alice@Sales@Demo"}, {"role", 3}},
                               QVariantMap{{"name", "bob@Sales@Demo"}, {"role", 1}}},
                  [](const UIMember&) { return true; });
        list.remove({0, 1}, alice.script);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.at(0).name, QStringLiteral("alice@Sales@Demo"));
        QVERIFY(list.changed());
    }

    // The members page's Alt keys reach its controls.
    void keyboardPaths() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        ListedNames browser;
        QVariantMap values{
            {"shared", true},
            {"editable", true},
            {"moderator", true},
            {"name", "Plans"},
            {"rights", QVariantList{QVariantMap{{"name", "alice@Sales@Demo"}, {"role", 3}}}}};
        UIFolderPropSheet sheet(alice.ctx, alice.script, browser, values);
        QCOMPARE(sheet.pages().size(), size_t(3)); // description, members, subscribers
        sheet.showPage(sheet.membersPage());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QTest::keyClick(&sheet, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), sheet.findChild<QWidget*>(QStringLiteral("1089")));
        QTest::keyClick(&sheet, Qt::Key_B, Qt::AltModifier); // "&Browse...", an animated click
        QTRY_COMPARE(browser.asked, 1);
        sheet.showPage(sheet.descriptionPage());
        QTest::keyClick(&sheet, Qt::Key_F, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), sheet.findChild<QWidget*>(QStringLiteral("1005")));
    }

    void sortingAndFonts() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        UIMemberList list;
        list.load(QVariantList{QVariantMap{{"name", "carol@Support@Demo"}, {"role", 1}},
                               QVariantMap{{"name", "alice@Sales@Demo"}, {"role", 3}},
                               QVariantMap{{"name", "bob@Sales@Demo"}, {"role", 2}}},
                  [](const UIMember&) { return true; });
        list.sort(2, false); // contributors first
        QCOMPARE(list.at(0).name, QStringLiteral("bob@Sales@Demo"));
        list.sort(0, false);
        QCOMPARE(list.at(0).name, QStringLiteral("alice@Sales@Demo"));
        list.sort(0, true);
        QCOMPARE(list.at(0).name, QStringLiteral("carol@Support@Demo"));
        QVERIFY(!list.changed()); // sorting is no edit

        QCOMPARE(usableFace(QStringLiteral("Family Name Long Enough (OpenType Variant)")),
                 QStringLiteral("Family Name Long Enough"));
        QCOMPARE(usableFace(QStringLiteral("Short (x)")), QStringLiteral("Short (x)"));
        QCOMPARE(usableFace(QString(40, QLatin1Char('a'))).size(), 31);

        // Untouched notes come back as they were; edited ones as rich text.
        UIFolderDscPage page(QStringLiteral("F"), QString(), QStringLiteral("plain words"), true,
                             true);
        QCOMPARE(page.notes(), QStringLiteral("plain words"));
        QVERIFY(!page.notesChanged());
        page.editor()->selectAll();
        page.findChild<QToolButton*>(QStringLiteral("1060"))->click(); // Bold
        QVERIFY(page.notesChanged());
        QVERIFY(page.notes().startsWith(QStringLiteral("{\\rtf")));
        QVERIFY(page.notes().contains(QStringLiteral("plain words")));
    }

    // A reader sees the pages read-only: no editing buttons, no role clicks.
    void aReaderCannotEdit() {
        sheetstest::Station alice("alice@Sales@Demo", "alice-demo");
        ListedNames browser;
        QVariantMap values{
            {"shared", true},
            {"editable", false},
            {"moderator", false},
            {"name", "Plans"},
            {"rights", QVariantList{QVariantMap{{"name", "bob@Sales@Demo"}, {"role", 3}}}}};
        UIFolderPropSheet sheet(alice.ctx, alice.script, browser, values);
        QCOMPARE(sheet.pages().size(), size_t(2)); // no subscribers page
        QVERIFY(sheet.findChild<QLineEdit*>(QStringLiteral("1005"))->isReadOnly());
        QVERIFY(!sheet.membersPage()->findChild<QPushButton*>(QStringLiteral("8"))->isEnabled());
        QCOMPARE(sheet.membersPage()->view()->clickRole(0, 3), MemberEdit::Unchanged);
    }

  private:
    sheetstest::Daemon daemon_;
};

SHEETS_TEST_MAIN(FolderSheetTest)
#include "folder_sheet_test.moc"
