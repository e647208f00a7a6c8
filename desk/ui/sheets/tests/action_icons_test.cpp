// The action icon chooser: the index it is given is the index it hands
// back, entry -1 shows the program's icon as its desktop entry names it,
// and the actions toolbar's picture of an action is the chooser's.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "actionfields.h"
#include "actioniconchooser.h"
#include "actionicons.h"

using namespace desk::sheets;
using desk::ui::actionIcon;
using desk::ui::actionIconCount;

namespace {

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class ActionIconsTest : public QObject {
    Q_OBJECT
  private slots:
    void theChosenIndexComesBack() {
        UIActionFields fields(true);
        QSignalSpy edits(&fields, &UIActionFields::edited);
        const int last = actionIconCount() - 1;
        for (int index : {-1, 0, 7, last}) {
            ActionValues v;
            v.iconIndex = index;
            fields.show(v);
            QCOMPARE(fields.values(ActionValues{}).iconIndex, index);
        }
        QCOMPARE(edits.count(), 0); // showing an action is no edit
        // Stored indexes beyond the set are shown at its nearest end.
        ActionValues odd;
        odd.iconIndex = 99;
        fields.show(odd);
        QCOMPARE(fields.values(odd).iconIndex, last);
        odd.iconIndex = -7;
        fields.show(odd);
        QCOMPARE(fields.values(odd).iconIndex, -1);
        fields.icon()->setCurrentIndex(3); // the user picks built-in icon 2
        QCOMPARE(fields.values(odd).iconIndex, 2);
        QCOMPARE(edits.count(), 1);

        // The previews tell the icons apart.
        QSet<QByteArray> seen;
        for (int i = 0; i < actionIconCount(); ++i) {
            const QImage img = imageOf(desk::ui::builtInActionIcon(i));
            seen.insert(
                QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
        }
        QCOMPARE(seen.size(), actionIconCount());
    }

    void theProgramsOwnIconComesFromItsDesktopEntry() {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("apps/applications")));
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        const QString png = data.filePath(QStringLiteral("red.png"));
        QVERIFY(red.save(png));
        QFile entry(data.filePath(QStringLiteral("apps/applications/redtool.desktop")));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(
            ("[Desktop Entry]\nType=Application\nExec=/opt/red/redtool %f\nIcon=" + png + "\n")
                .toUtf8());
        entry.close();
        qputenv("XDG_DATA_HOME", data.filePath(QStringLiteral("none")).toUtf8());
        qputenv("XDG_DATA_DIRS", data.filePath(QStringLiteral("apps")).toUtf8());

        UIActionFields fields(false);
        fields.executable()->setText(QStringLiteral("/opt/red/redtool"));
        const QImage shown = imageOf(fields.icon()->itemIcon(0));
        QCOMPARE(shown.pixelColor(16, 16), QColor(Qt::red));
        QCOMPARE(shown, imageOf(actionIcon(-1, QStringLiteral("/opt/red/redtool"))));
        // A program without an entry gets the generic program picture.
        fields.executable()->setText(QStringLiteral("/opt/other/tool"));
        const QImage generic = imageOf(fields.icon()->itemIcon(0));
        QVERIFY(!generic.isNull());
        QVERIFY(generic != shown);
        QCOMPARE(generic, imageOf(actionIcon(-1, QStringLiteral("/opt/other/tool"))));
        // The toolbar takes the program from the stored command line.
        QCOMPARE(desk::ui::programOfCommand("\"/opt/red/redtool\" --new %%"),
                 QStringLiteral("/opt/red/redtool"));
    }
};

QTEST_MAIN(ActionIconsTest)
#include "action_icons_test.moc"
