// The browser window on the offscreen platform: paging under keys and the
// scroll bar, typed positions, kinds, selections kept across pages, the mode
// bits and the attribute pages.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "attributedialog.h"
#include "browserwindow.h"
#include "fakebackend.h"

using browsetest::FakeBackend;
using browsetest::FakeDirectory;
using browsetest::ScriptedMessages;

class BrowserWindowTest : public QObject {
    Q_OBJECT

    template <class W> static W* find(QWidget* w, const char* name) {
        auto* found = w->findChild<W*>(QString::fromLatin1(name));
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    static QStringList rows(QWidget* w) {
        QStringList out;
        auto* list = find<QListWidget>(w, "nameList");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text().section('@', 0, 0);
        return out;
    }
    static QString goldenFile() {
        return qEnvironmentVariable("QRD_AVD_GOLDEN_DIR") + "/sample-le.avd";
    }

  private slots:
    void keysPageThroughTheAnswer() {
        FakeBackend backend(FakeDirectory::numbered(100));
        ScriptedMessages messages;
        browse::BrowserWindow w({}, backend, messages);
        QCOMPARE(w.start(), QRD_OK);
        w.show();
        auto* list = find<QListWidget>(&w, "nameList");
        auto* scroll = find<QScrollBar>(&w, "nameScroll");
        QCOMPARE(rows(&w).size(), 7);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(find<QLabel>(&w, "description")->text(), QString("Person 0"));
        QCOMPARE(find<QLabel>(&w, "connectedTo")->text(),
                 QString("Currently connected to NMDA on server: NW1@Sales@Demo"));

        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(rows(&w).front(), QString("USER007"));
        QCOMPARE(scroll->value(), 13);
        QCOMPARE(scroll->pageStep(), 6);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(rows(&w).back(), QString("USER099"));
        QCOMPARE(list->currentRow(), 6);
        QCOMPARE(scroll->value(), 100);
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(rows(&w).front(), QString("USER086"));
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(rows(&w).front(), QString("USER000"));
        QCOMPARE(scroll->value(), 0);
        for (int i = 0; i < 7; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(rows(&w).front(), QString("USER007"));
        QCOMPARE(list->currentRow(), 0);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(rows(&w).back(), QString("USER006"));
        QCOMPARE(list->currentRow(), 6);
        QCOMPARE(find<QLabel>(&w, "description")->text(), QString("Person 6"));
    }

    void theScrollBarAsksForPagesAndTheThumbStaysWhereThePageIs() {
        FakeBackend backend(FakeDirectory::numbered(100));
        ScriptedMessages messages;
        browse::BrowserWindow w({}, backend, messages);
        QCOMPARE(w.start(), QRD_OK);
        auto* scroll = find<QScrollBar>(&w, "nameScroll");
        scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(rows(&w).front(), QString("USER007"));
        QCOMPARE(scroll->value(), 13); // the page's position, not value + page step
        scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(find<QListWidget>(&w, "nameList")->currentRow(), 1);
        scroll->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(scroll->value(), 100);
        QCOMPARE(rows(&w).back(), QString("USER099"));
        scroll->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(rows(&w).front(), QString("USER086"));
        scroll->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(rows(&w).front(), QString("USER000"));

        int queries = backend.directory.queries;
        scroll->setSliderPosition(50); // dragging asks nothing ...
        QCOMPARE(backend.directory.queries, queries);
        emit scroll->sliderReleased(); // ... the release does
        QCOMPARE(backend.directory.queries, queries + 1);
        QCOMPARE(+backend.directory.lastContext.forward, 50);
        QCOMPARE(rows(&w).front(), QString("USER049"));
    }

    void typingPositionsTheListAndItsClearingSendsNoQuery() {
        FakeBackend backend(FakeDirectory::numbered(100));
        ScriptedMessages messages;
        browse::BrowserWindow w({}, backend, messages);
        QCOMPARE(w.start(), QRD_OK);
        auto* search = find<QLineEdit>(&w, "searchFor");
        QTest::keyClicks(search, "user05");
        QCOMPARE(rows(&w).front(), QString("USER050"));
        QCOMPARE(+backend.directory.lastContext.operation, QRD_NMDA_OP_AT_TEXT);
        int queries = backend.directory.queries;
        QTest::keyClick(find<QListWidget>(&w, "nameList"), Qt::Key_PageDown);
        QVERIFY(search->text().isEmpty());
        QCOMPARE(backend.directory.queries, queries + 1);
        QCOMPARE(rows(&w).front(), QString("USER057"));
    }

    void lookInOffersTheKindsAskedForAndANewKindStartsAgain() {
        FakeBackend backend(FakeDirectory::numbered(20));
        ScriptedMessages messages;
        browse::BrowserWindow w({0x23, 3, false, {}, {}}, backend, messages);
        QCOMPARE(w.start(), QRD_OK);
        auto* lookIn = find<QComboBox>(&w, "lookIn");
        QCOMPARE(lookIn->count(), 3);
        QCOMPARE(lookIn->itemText(2), QString("Nicknames"));
        QCOMPARE(lookIn->itemData(2).toInt(), QRD_NMDA_KIND_NICKNAMES);
        QTest::keyClick(find<QListWidget>(&w, "nameList"), Qt::Key_PageDown);
        lookIn->setCurrentIndex(2);
        QCOMPARE(+backend.directory.lastContext.kind, QRD_NMDA_KIND_NICKNAMES);
        QCOMPARE(+backend.directory.lastContext.operation, QRD_NMDA_OP_FIRST);
        QCOMPARE(rows(&w).front(), QString("USER000"));
    }

    void modeBitsWithholdTheAttributeButtons_data() {
        QTest::addColumn<long>("mode");
        QTest::addColumn<bool>("view");
        QTest::addColumn<bool>("find");
        QTest::newRow("0: both") << 0L << true << true;
        QTest::newRow("1: no view") << 1L << false << true;
        QTest::newRow("2: no find") << 2L << true << false;
        QTest::newRow("3: neither (namedesk)") << 3L << false << false;
    }
    void modeBitsWithholdTheAttributeButtons() {
        QFETCH(long, mode);
        QFETCH(bool, view);
        QFETCH(bool, find);
        FakeBackend backend(FakeDirectory::numbered(3));
        ScriptedMessages messages;
        browse::BrowserWindow w({0, mode, false, {}, {}}, backend, messages);
        QCOMPARE(BrowserWindowTest::find<QPushButton>(&w, "viewAttributesButton")->isEnabled(),
                 view);
        QCOMPARE(BrowserWindowTest::find<QPushButton>(&w, "findByAttributeButton")->isEnabled(),
                 find);
        QCOMPARE(BrowserWindowTest::find<QComboBox>(&w, "lookIn")->count(), 6);
        QCOMPARE(w.windowTitle(), QString("Namewright Browser"));
    }

    void chosenNamesStaySelectedAcrossPages() {
        FakeBackend backend(FakeDirectory::numbered(30));
        ScriptedMessages messages;
        browse::BrowserWindow w({0, 0, true, "Choose members", {}}, backend, messages);
        QCOMPARE(w.windowTitle(), QString("Choose members"));
        QCOMPARE(w.start(), QRD_OK);
        w.show();
        auto* list = find<QListWidget>(&w, "nameList");
        auto click = [&](int row) {
            QRect r = list->visualItemRect(list->item(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        };
        click(2);
        QVERIFY(list->item(2)->isSelected());
        QVERIFY(!list->item(3)->isSelected());
        QTest::keyClick(list, Qt::Key_PageDown);
        QVERIFY(!list->item(2)->isSelected());
        click(4);
        QTest::keyClick(list, Qt::Key_PageUp);
        QVERIFY(list->item(2)->isSelected());
        QTest::keyClick(list, Qt::Key_PageDown);
        QVERIFY(list->item(4)->isSelected());
        QCOMPARE(w.result(), QStringList({"USER002@Sales@Demo", "USER011@Sales@Demo"}));
        click(4); // again: no longer chosen
        QVERIFY(!list->item(4)->isSelected());
        QCOMPARE(w.result(), QStringList({"USER002@Sales@Demo"}));
    }

    void aRefinementThatMatchesNothingAndIsCancelledLeavesTheFirstPage() {
        FakeBackend backend(FakeDirectory::numbered(20));
        ScriptedMessages messages; // Cancel on "No names match criteria"
        browse::BrowserWindow w({}, backend, messages);
        QCOMPARE(w.start(), QRD_OK);
        w.show();
        browsetest::whenModal(
            [](QWidget* dialog) {
                find<QLineEdit>(dialog, "descriptionPattern")->setText("Nobody");
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            },
            &w);
        find<QPushButton>(&w, "refineButton")->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].startsWith("No names match criteria: The subset specified"));
        QCOMPARE(rows(&w).size(), 7);
        QVERIFY(backend.directory.lastCriteria.empty());
        QCOMPARE(w.pager().criteriaCount(), size_t(0));
    }

    void aSixthAttributeCriterionIsRefused() {
        FakeBackend backend(FakeDirectory::numbered(3));
        ScriptedMessages messages;
        browse::AttributeDialog d(browse::AttributeDialog::Find, goldenFile(), backend, messages);
        QCOMPARE(d.fileStatus(), uint16_t(0));
        auto* tree = find<QTreeWidget>(&d, "attributeTree");
        QCOMPARE(tree->topLevelItemCount(), 3); // two categories and one without its own entry
        tree->setCurrentItem(tree->topLevelItem(0)->child(2)); // Job title
        auto* pattern = find<QLineEdit>(&d, "attributePattern");
        for (int i = 0; i < 6; ++i) {
            pattern->setText(QString("E%1*").arg(i));
            find<QPushButton>(&d, "addCriterion")->click();
        }
        QCOMPARE(d.criteria().size(), size_t(5));
        QCOMPARE(d.criteria()[4].attr.number, 3u);
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(messages.shown[0],
                 QString("Too many: No more than 5 attribute search criteria can be specified."));
        QVERIFY(
            find<QLabel>(&d, "avdHistory")->text().contains("last updated by ADMIN@Sales@Demo"));
    }

    void viewingAttributesNamesValuesAndScans() {
        FakeBackend backend(FakeDirectory::numbered(3));
        backend.attributes[{1, 3}] = {NMDA_ATTR_STAT_NORMAL, ATTR_INTEGERS, "2"};
        backend.attributes[{1, 1}] = {NMDA_ATTR_STAT_TRUNC, ATTR_TEXT, "Alice Ar"};
        ScriptedMessages messages;
        browse::AttributeDialog d(browse::AttributeDialog::View, goldenFile(), backend, messages);
        d.setSubject("USER001@Sales@Demo");
        find<QPushButton>(&d, "scanButton")->click();
        auto* withData = find<QListWidget>(&d, "attributesWithData");
        QCOMPARE(withData->count(), 2);
        QCOMPARE(withData->item(1)->text(), QString("Job title"));
        withData->setCurrentRow(1);
        auto* value = find<QPlainTextEdit>(&d, "attributeValue");
        QCOMPARE(value->toPlainText(), QString("2 (Manager)"));
        withData->setCurrentRow(0);
        QCOMPARE(value->toPlainText(), QString("Alice Ar\nNMDA_ATTR_STAT_TRUNC"));
        auto* tree = find<QTreeWidget>(&d, "attributeTree");
        tree->setCurrentItem(tree->topLevelItem(0)->child(1)); // Telephone: nothing stored
        QCOMPARE(value->toPlainText(), QString("NMDA_ATTR_STAT_NOEXIST"));

        backend.scanStatus = QRDERR_TIMEOUT;
        find<QPushButton>(&d, "scanButton")->click();
        QCOMPARE(messages.shown.back(),
                 QString("Error scanning for attributes: Unable to scan for "
                         "attributes with data due to the following error: 163"));
    }

    void aMissingDefinitionFileIsReportedWithItsPathAndStatus() {
        FakeBackend backend(FakeDirectory::numbered(3));
        ScriptedMessages messages;
        browse::AttributeDialog d(browse::AttributeDialog::View, "/nonexistent/x.avd", backend,
                                  messages);
        QCOMPARE(d.fileStatus(), uint16_t(1206));
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(
            messages.shown[0].contains("the attribute definition file (/nonexistent/x.avd), due "
                                       "to the following error: 1206"));
    }
};

QTEST_MAIN(BrowserWindowTest)
#include "browserwindow_test.moc"
