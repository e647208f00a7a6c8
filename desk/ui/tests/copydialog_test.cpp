// The file-copy progress dialog: whole copies, refusals, cancel.
#include "copydialog.h"
#include "errortext.h"

#include "testmain.h"
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <QtTest>

using namespace desk::ui;

namespace {

QStringList gMessages;
void record(const QString& text) {
    gMessages << text;
}

QByteArray pattern(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i * 7 + i / 4096);
    return b;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class CopyDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  private slots:
    void initTestCase() { setMessageSink(record); }
    void init() { gMessages.clear(); }

    void copiesWholeFilesOfEverySize_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("one short block") << 100;
        QTest::newRow("exactly one block") << 4096;
        QTest::newRow("blocks and a rest") << 3 * 4096 + 17;
    }
    void copiesWholeFilesOfEverySize() {
        QFETCH(int, size);
        const QString src = path("src.bin"), dst = path("dst.bin");
        QFile::remove(dst);
        QVERIFY(writeFile(src, pattern(size)));
        UICopyDialog dialog(src, dst, false);
        QCOMPARE(dialog.run(), 0L);
        QCOMPARE(readFile(dst), pattern(size));
        QVERIFY(gMessages.isEmpty());
    }

    void copiesEveryFileOfAList() {
        QVERIFY(writeFile(path("a"), pattern(5000)));
        QVERIFY(writeFile(path("b"), pattern(10)));
        UICopyDialog dialog({path("a"), path("b")}, {path("a2"), path("b2")}, false);
        QCOMPARE(dialog.run(), 0L);
        QCOMPARE(readFile(path("a2")), pattern(5000));
        QCOMPARE(readFile(path("b2")), pattern(10));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("fileOf"))->text(),
                 QStringLiteral("File 2 of 2"));
    }

    void anExistingDestinationIsLeftAlone() {
        QVERIFY(writeFile(path("s"), pattern(50)));
        QVERIFY(writeFile(path("d"), "keep me"));
        UICopyDialog dialog(path("s"), path("d"), false);
        QCOMPARE(dialog.run(), 58L);
        QCOMPARE(readFile(path("d")), QByteArray("keep me"));
        UICopyDialog overwriting(path("s"), path("d"), true);
        QCOMPARE(overwriting.run(), 0L);
        QCOMPARE(readFile(path("d")), pattern(50));
    }

    void aMissingSourceIsReportedWithItsReason() {
        UICopyDialog dialog(path("nothing-here"), path("out"), false);
        QCOMPARE(dialog.run(), 57L);
        QCOMPARE(gMessages.size(), 1);
        QVERIFY(gMessages[0].startsWith(QStringLiteral("Unable to open source file for copy.\n")));
        QVERIFY(!QFile::exists(path("out")));
    }

    void anUncreatableDestinationIsReported() {
        QVERIFY(writeFile(path("s2"), pattern(10)));
        UICopyDialog dialog(path("s2"), path("no-such-dir/out"), false);
        QCOMPARE(dialog.run(), 59L);
        QCOMPARE(gMessages.size(), 1);
    }

    void cancellingMidwayRemovesThePartialCopy() {
        const QByteArray big = pattern(4096 * 2000);
        QVERIFY(writeFile(path("big"), big));
        UICopyDialog dialog(path("big"), path("big.copy"), false);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        dialog.start();
        QTRY_VERIFY(QFileInfo(path("big.copy")).size() > 0);
        dialog.findChild<QPushButton*>(QStringLiteral("2"))->click();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(dialog.resultCode(), 61L);
        QVERIFY(!QFile::exists(path("big.copy")));
        QVERIFY(gMessages.isEmpty());
    }
};

DESK_TEST_MAIN(CopyDialogTest)
#include "copydialog_test.moc"
