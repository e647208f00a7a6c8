// The business card sheets against a daemon: the address lines fill the
// store's slot exactly (159 + 160 characters) and no further; the display
// page shows labels only for values that are there; the company name
// fitting keeps the previous font for a word that fits no font.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <namedir/directory.h>

#include "cardbusinesspage.h"
#include "cardpages.h"
#include "cardsheet.h"
#include "people/usrpeoplenode.h"
#include "sheets_station.h"

using namespace desk::sheets;
using sheetstest::whenShown;

class CardSheetTest : public QObject {
    Q_OBJECT
  public:
    static void prepareWorkstation() {}

  private slots:
    void initTestCase() { QVERIFY(daemon_.start()); }

    // Typing runs into the edits' limits; OK stores both full lines.
    void addressLinesFillTheStoredSlot() {
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVERIFY(bob.open("Bob Baker"));
        USRPeopleNode* card = bob.desk.userCard();
        QVERIFY(card);
        const QString line1(160, QLatin1Char('a'));
        const QString line2(161, QLatin1Char('b'));
        int typed1 = -1, typed2 = -1;
        whenShown<UIBCardPropSheet>([&](UIBCardPropSheet* sheet) {
            sheet->tabs()->setCurrentIndex(1);
            auto* address1 = sheet->findChild<QLineEdit*>(QStringLiteral("1074"));
            auto* address2 = sheet->findChild<QLineEdit*>(QStringLiteral("1076"));
            QTest::keyClicks(address1, line1);
            QTest::keyClicks(address2, line2);
            typed1 = int(address1->text().size());
            typed2 = int(address2->text().size());
            sheet->accept();
        });
        QVERIFY(card->edit(true, false));
        QCOMPARE(typed1, 159);
        QCOMPARE(typed2, 160);

        DIRUserBusinessCard stored;
        DIRAddressPtr address;
        long e = 0;
        QVERIFY2(bob.dir.getBusinessCardInfo("bob@Sales@Demo", stored, address, e),
                 qPrintable(QString::number(e)));
        QCOMPARE(QString::fromStdString(stored.cardText8),
                 line1.left(159) + QLatin1Char('\n') + line2.left(160));
        QCOMPARE(QString::fromStdString(stored.cardText1), QStringLiteral("Bob Baker"));
    }

    // Cancel leaves the stored card as it was.
    void cancelStoresNothing() {
        sheetstest::Station bob("bob@Sales@Demo", "bob-demo");
        QVERIFY(bob.open("Bob Baker"));
        whenShown<UIBCardPropSheet>([](UIBCardPropSheet* sheet) {
            auto* name = sheet->findChild<QLineEdit*>(QStringLiteral("1024"));
            name->setText(QStringLiteral("Somebody Else"));
            sheet->reject();
        });
        QVERIFY(!bob.desk.userCard()->edit(true, false));
        DIRUserBusinessCard stored;
        DIRAddressPtr address;
        long e = 0;
        QVERIFY(bob.dir.getBusinessCardInfo("bob@Sales@Demo", stored, address, e));
        QCOMPARE(QString::fromStdString(stored.cardText1), QStringLiteral("Bob Baker"));
    }

    // Another user's card, shown read-only: no fax, no "Fax:" label.
    void displayShowsOnlyFilledLabels() {
        QStringList texts(13);
        texts[0] = QStringLiteral("Alice Archer");
        texts[2] = QStringLiteral("Archer & Sons");
        texts[5] = QStringLiteral("555-0100");
        texts[7] = QStringLiteral("1 Main Street\nSuite 2");
        UIBCardPropSheet sheet({{QStringLiteral("texts"), texts}}, false);
        sheet.show();
        auto label = [&](const char* id) { return sheet.findChild<QLabel*>(QLatin1String(id)); };
        QVERIFY(label("1027")->isVisible());  // "Phone:  "
        QVERIFY(!label("1029")->isVisible()); // no "Fax:  "
        QVERIFY(!label("1083")->isVisible()); // no office location
        QCOMPARE(label("1074")->text(), QStringLiteral("1 Main Street"));
        QCOMPARE(label("1076")->text(), QStringLiteral("Suite 2"));
        QVERIFY(label("1024")->font().bold());
        QVERIFY(!sheet.findChild<QLineEdit*>(QStringLiteral("1074"))); // nothing to edit
        auto* board = sheet.findChild<QPlainTextEdit*>(QStringLiteral("1084"));
        QVERIFY(board && board->isReadOnly());
    }

    // The four editing pages' tabs all show, none behind scroll arrows.
    void everyTabShows() {
        UIBCardPropSheet sheet({{QStringLiteral("texts"), QStringList(13)}}, true);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto* bar = sheet.findChild<QTabWidget*>()->tabBar();
        QCOMPARE(bar->count(), 4);
        for (int i = 0; i < bar->count(); ++i)
            QVERIFY2(bar->rect().contains(bar->tabRect(i)), qPrintable(bar->tabText(i)));
    }

    void companyFitting() {
        QFont base(QStringLiteral("Sans"));
        base.setPointSize(10);
        const QList<int> sizes{6, 7, 8, 9, 10, 11, 12};
        const QSize box(120, 48);
        // Several words wrap within the box: a font is found.
        const auto words =
            fitFont(QStringLiteral("Consolidated Northern Widgets and Gadgets"), base, sizes, box);
        QVERIFY(words.has_value());
        QFontMetrics m(*words);
        QVERIFY(m.lineSpacing() <= box.height());
        // One word wider than the box at every size: none fits, the caller
        // keeps its font.
        QVERIFY(!fitFont(QString(80, QLatin1Char('W')), base, sizes, box).has_value());
    }

    // A bitmap becomes the logo; a file that is no bitmap keeps it.
    void logoFromABitmapFile() {
        const QString dir = QString::fromStdString(qrdtest::workstation().dir);
        QImage image(8, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir + QStringLiteral("/logo.bmp"), "BMP"));
        QFile bogus(dir + QStringLiteral("/bogus.bmp"));
        QVERIFY(bogus.open(QIODevice::WriteOnly));
        bogus.write("not a bitmap");
        bogus.close();
        UIBCardEditPage page(CardPage::General, false);
        QVERIFY(page.loadLogo(dir + QStringLiteral("/logo.bmp")));
        const QByteArray logo = page.logo();
        QVERIFY(!QImage::fromData(logo, "BMP").isNull());
        QVERIFY(!page.loadLogo(dir + QStringLiteral("/bogus.bmp")));
        QVERIFY(!page.loadLogo(dir + QStringLiteral("/missing.bmp")));
        QCOMPARE(page.logo(), logo);
        QStringList texts(13);
        QByteArray out;
        page.store(texts, out);
        QCOMPARE(out, logo);
    }

  private:
    sheetstest::Daemon daemon_;
};

SHEETS_TEST_MAIN(CardSheetTest)
#include "card_sheet_test.moc"
