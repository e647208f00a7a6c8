// The three exported dialog functions: their statuses for missing or small
// buffers, what they give back on OK and on Cancel, and a connection that
// fails. The window is answered from a timer, as a person would.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <thread>

#include "browserwindow.h"
#include "fakebackend.h"
#include "namebrowse.h"

using browsetest::FakeBackend;
using browsetest::FakeDirectory;

class ExportsTest : public QObject {
    Q_OBJECT

    FakeDirectory directory = FakeDirectory::numbered(30);

    void useDirectory(FakeDirectory d) {
        browse::backendFactory() = [d](std::unique_ptr<browse::DirectoryBackend>& out) {
            out = std::make_unique<FakeBackend>(d);
            return QRDSTATUS(QRD_OK);
        };
    }
    // Clicks each row in turn, paging down between them when asked, then OK.
    static void choose(std::vector<std::pair<bool, int>> steps, bool ok = true) {
        browsetest::whenModal([steps, ok](QWidget* w) {
            auto* list = w->findChild<QListWidget*>("nameList");
            for (auto [pageDown, row] : steps) {
                if (pageDown) QTest::keyClick(list, Qt::Key_PageDown);
                QRect r = list->visualItemRect(list->item(row));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            }
            w->findChild<QPushButton*>(ok ? "okButton" : "cancelButton")->click();
        });
    }

  private slots:
    void init() { useDirectory(directory); }

    void missingOrSmallBuffersAreRefusedBeforeAnyWindow() {
        char name[64];
        unsigned length = 64;
        int result = -1;
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, nullptr, &length, nullptr),
                 QRDSTATUS(57));
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, name, nullptr, nullptr),
                 QRDSTATUS(1080));
        length = 63;
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, name, &length, nullptr),
                 QRDSTATUS(1080));
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect(0, nullptr, &result, name, nullptr, nullptr),
                 QRDSTATUS(1080));
        QCOMPARE(QrdDlgBrowseNmdaMultiSelect1(0x3F, 3, nullptr, &result, nullptr, nullptr),
                 QRDSTATUS(57));
        QCOMPARE(result, -1); // nothing ran
    }

    void singleSelectionGivesTheChosenNameOnOk() {
        char name[64] = "junk";
        unsigned length = 64;
        int result = 0;
        choose({{false, 1}});
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, name, &length, nullptr),
                 QRDSTATUS(0));
        QCOMPARE(result, 1);
        QCOMPARE(QString(name), QString("USER001@Sales@Demo"));
        QCOMPARE(length, 18u);

        choose({{true, 3}}); // another page, through the form without kinds
        length = 64;         // the buffer's size again, not the last name's length
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect(0, "Pick one", &result, name, &length, ""),
                 QRDSTATUS(0));
        QCOMPARE(QString(name), QString("USER010@Sales@Demo"));
    }

    void cancelEmptiesTheName() {
        char name[64] = "junk";
        unsigned length = 64;
        int result = 0;
        choose({{false, 1}}, false);
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(0, 0, nullptr, &result, name, &length, nullptr),
                 QRDSTATUS(0));
        QCOMPARE(result, 2);
        QCOMPARE(name[0], '\0');
        QCOMPARE(length, 0u);
    }

    void aLongNameIsCutAt64BytesOnACharacterBoundary() {
        FakeDirectory d;
        d.names.push_back({std::string(63, '\xE9'), ""}); // 63 Latin-1 letters: 126 UTF-8 bytes
        useDirectory(d);
        char name[80];
        std::memset(name, 'x', sizeof name);
        unsigned length = 64;
        int result = 0;
        choose({{false, 0}});
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(0, 0, nullptr, &result, name, &length, nullptr),
                 QRDSTATUS(0));
        QCOMPARE(length, 62u);
        QCOMPARE(name[62], '\0');
        QCOMPARE(name[63], 'x'); // nothing beyond the 64 bytes
        QCOMPARE(QString::fromUtf8(name), QString(31, QChar(0xE9)));
    }

    void multipleSelectionGivesEveryChosenNameFromEveryPage() {
        std::vector<std::string> names = {"left over"};
        int result = 0;
        choose({{false, 2}, {true, 0}, {false, 5}});
        QCOMPARE(QrdDlgBrowseNmdaMultiSelect1(0x23, 3, nullptr, &result, &names, nullptr),
                 QRDSTATUS(0));
        QCOMPARE(result, 1);
        QCOMPARE(names, (std::vector<std::string>{"USER002@Sales@Demo", "USER007@Sales@Demo",
                                                  "USER012@Sales@Demo"}));
        choose({{false, 2}}, false);
        QCOMPARE(QrdDlgBrowseNmdaMultiSelect1(0x23, 3, nullptr, &result, &names, nullptr),
                 QRDSTATUS(0));
        QCOMPARE(result, 2);
        QVERIFY(names.empty());
    }

    void aCallFromAnotherThreadIsRefusedWithoutAWindow() {
        char name[64] = "junk";
        unsigned length = 64;
        int result = 0;
        QRDSTATUS status = 0;
        std::thread other([&] {
            status = QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, name, &length, nullptr);
        });
        other.join();
        QCOMPARE(status, QRDSTATUS(QRDERR_BAD_ARG));
        QCOMPARE(result, 2);
        QCOMPARE(length, 0u);
    }

    void aServiceThatCannotBeReachedIsReportedAndReturned() {
        browse::backendFactory() = [](std::unique_ptr<browse::DirectoryBackend>&) {
            return QRDSTATUS(QRDERR_TIMEOUT);
        };
        QString shown;
        browsetest::whenModal([&shown](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box) shown = box->text();
            if (box) box->accept();
        });
        char name[64] = "junk";
        unsigned length = 64;
        int result = 0;
        QCOMPARE(QrdDlgBrowseNmdaSingleSelect1(1, 3, nullptr, &result, name, &length, nullptr),
                 QRDSTATUS(QRDERR_TIMEOUT));
        QCOMPARE(result, 2);
        QCOMPARE(length, 0u);
        QCOMPARE(shown, QString("Unable to connect to a NMDA service.  Please contact your "
                                "network administrator."));
    }
};

QTEST_MAIN(ExportsTest)
#include "exports_test.moc"
