// The folder notes editor: notes saved as RTF load back with their format,
// notes from earlier builds still load, and the colour menu paints and
// applies its entries.
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include "colormenu.h"
#include "folderdscpage.h"
#include "formatart.h"
#include "formatbutton.h"
#include "notestext.h"

using namespace desk::sheets;
using namespace desk::ui;

namespace {

QTextCharFormat formatAt(QTextEdit* edit, int position) {
    QTextCursor c(edit->document());
    c.setPosition(position + 1); // the format of the character before the cursor
    return c.charFormat();
}

void select(QTextEdit* edit, int from, int to) {
    QTextCursor c(edit->document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
}

void chooseColor(UIFolderDscPage& page, int id) {
    auto* menu = page.findChild<UIColorMenu*>(QStringLiteral("colorMenu"));
    QVERIFY(menu);
    auto* entry = menu->findChild<QAction*>(QString::number(id));
    QVERIFY(entry);
    entry->trigger();
}

} // namespace

class NotesEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void editedNotesComeBackWithTheirFormat() {
        UIFolderDscPage page(QStringLiteral("F"), QString(), QString(), false, true);
        QTextEdit* edit = page.editor();
        QTextCursor c(edit->document());
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        bold.setFontFamilies({QStringLiteral("Courier New")});
        bold.setFontPointSize(14);
        c.insertText(QStringLiteral("Bold"), bold);
        QTextCharFormat italic;
        italic.setFontItalic(true);
        italic.setFontUnderline(true);
        c.insertText(QStringLiteral(" tilted\tand"), italic);
        c.insertText(QString(QChar::LineSeparator) + QStringLiteral("red"), QTextCharFormat());
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        c.setBlockFormat(centred);
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        c.insertBlock(right);
        c.insertText(QStringLiteral("Grüße 5 € 中文 {x} \\"), QTextCharFormat());
        select(edit, 16, 19); // "red"
        chooseColor(page, 32801);

        const QString stored = page.notes();
        QVERIFY2(stored.startsWith(QStringLiteral("{\\rtf")), qPrintable(stored));
        UIFolderDscPage again(QStringLiteral("F"), QString(), stored, false, true);
        QTextEdit* back = again.editor();
        QCOMPARE(back->toPlainText(), edit->toPlainText());
        QVERIFY(notesModel(*back->document()) == notesModel(*edit->document()));

        // What the model kept is what the editor shows.
        QTextCharFormat f = formatAt(back, 0);
        QCOMPARE(f.fontWeight(), int(QFont::Bold));
        QCOMPARE(f.fontFamilies().toStringList().value(0), QStringLiteral("Courier New"));
        QCOMPARE(f.fontPointSize(), 14.0);
        f = formatAt(back, 6);
        QVERIFY(f.fontItalic() && f.fontUnderline() && f.fontWeight() < QFont::Bold);
        f = formatAt(back, 17);
        QCOMPARE(f.foreground().color(), QColor(255, 0, 0));
        QCOMPARE(f.fontPointSize(), 10.0); // the editor's default size, written out
        QVERIFY(!formatAt(back, 6).hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(back->document()->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        QCOMPARE(back->document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QVERIFY(!again.notesChanged());
        QCOMPARE(again.notes(), stored);
    }

    void notesOfEveryEarlierFormLoad() {
        QTextDocument doc;
        loadNotes(doc, QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">"
                                      "<html><body><p><b>old</b> notes</p></body></html>"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("old notes"));
        QTextCursor c(&doc);
        c.setPosition(1);
        QCOMPARE(c.charFormat().fontWeight(), int(QFont::Bold));
        // Plain notes are plain, markup and all; RTF the reader refuses is
        // shown as it is rather than lost.
        loadNotes(doc, QStringLiteral("a <b>b</b>\nc"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("a <b>b</b>\nc"));
        const QString broken = QStringLiteral("{\\rtf1") + QString(100, QLatin1Char('{'));
        loadNotes(doc, broken);
        QCOMPARE(doc.toPlainText(), broken);
        // Places without format (the description pane, the plain form) show
        // the text of rich notes, not their markup.
        QCOMPARE(notesPlainText(QStringLiteral("{\\rtf1 {\\b Caf\\'e9}\\par two}")),
                 QStringLiteral("Café\ntwo"));
    }

    void theColourMenuPaintsAndAppliesItsEntries() {
        UIFolderDscPage page(QStringLiteral("F"), QString(), QStringLiteral("one two"), false,
                             true);
        auto* menu = page.findChild<UIColorMenu*>(QStringLiteral("colorMenu"));
        QVERIFY(menu);
        const QList<QAction*> entries = menu->actions();
        QCOMPARE(entries.size(), 17);
        for (int i = 0; i < entries.size(); ++i)
            QCOMPARE(entries[i]->data().toInt(), 32792 + i);
        QCOMPARE(UIColorMenu::colorOf(32799), QColor(128, 128, 128)); // dark grey before light
        QCOMPARE(UIColorMenu::colorOf(32800), QColor(192, 192, 192));
        QVERIFY(!UIColorMenu::colorOf(32808).isValid());

        // Each swatch is painted in its colour; the entry under the pointer
        // on the highlight.
        menu->adjustSize();
        menu->setActiveAction(entries[9]);
        const QImage shot = menu->grab().toImage();
        const QRect red = menu->actionGeometry(entries[9]);
        QCOMPARE(QColor(shot.pixel(red.center())), QColor(255, 0, 0));
        QCOMPARE(QColor(shot.pixel(red.topLeft() + QPoint(1, 1))),
                 menu->palette().color(QPalette::Highlight));
        const QRect olive = menu->actionGeometry(entries[3]);
        QCOMPARE(QColor(shot.pixel(olive.center())), QColor(128, 128, 0));

        // A swatch colours the selection; the automatic entry takes the
        // colour off a mixed selection and keeps the bold.
        QTextEdit* edit = page.editor();
        select(edit, 0, 3);
        chooseColor(page, 32801);
        QCOMPARE(formatAt(edit, 1).foreground().color(), QColor(255, 0, 0));
        page.findChild<QToolButton*>(QStringLiteral("1060"))->click(); // bold "one"
        select(edit, 0, 7);
        chooseColor(page, 32800);
        QCOMPARE(formatAt(edit, 5).foreground().color(), QColor(192, 192, 192));
        select(edit, 2, 5);
        chooseColor(page, 32808);
        QCOMPARE(formatAt(edit, 0).foreground().color(), QColor(192, 192, 192));
        QVERIFY(!formatAt(edit, 2).hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(formatAt(edit, 2).fontWeight(), int(QFont::Bold));
        QVERIFY(!formatAt(edit, 4).hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(formatAt(edit, 4).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(edit, 6).foreground().color(), QColor(192, 192, 192));
    }

    // The size box shows the editor's default size until the text under the
    // cursor has one of its own, then follows it.
    void theSizeBoxFollowsTheCursor() {
        UIFolderDscPage page(QStringLiteral("F"), QString(), QString(), false, true);
        auto* size = page.findChild<QComboBox*>(QStringLiteral("1059"));
        QVERIFY(size);
        QCOMPARE(size->currentText(), QStringLiteral("10"));
        QTextEdit* edit = page.editor();
        QTextCharFormat big;
        big.setFontPointSize(14);
        QTextCursor(edit->document()).insertText(QStringLiteral("Big"), big);
        select(edit, 1, 2);
        QCOMPARE(size->currentText(), QStringLiteral("14"));
    }

    // A selection that is partly bold shows Bold as mixed; a click makes
    // all of it bold.
    void aMixedSelectionShowsAsMixed() {
        UIFolderDscPage page(QStringLiteral("F"), QString(), QString(), false, true);
        QTextEdit* edit = page.editor();
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCursor c(edit->document());
        c.insertText(QStringLiteral("Bold"), bold);
        c.insertText(QStringLiteral(" plain"), QTextCharFormat());
        auto* button = page.findChild<UIFormatButton*>(QStringLiteral("1060"));
        QVERIFY(button);
        select(edit, 0, 4);
        QCOMPARE(button->state(), Qt::Checked);
        select(edit, 5, 10);
        QCOMPARE(button->state(), Qt::Unchecked);
        select(edit, 2, 8);
        QCOMPARE(button->state(), Qt::PartiallyChecked);
        QVERIFY(!button->isChecked());
        button->click();
        page.syncFormatBar();
        QCOMPARE(button->state(), Qt::Checked);
        QCOMPARE(formatAt(edit, 7).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(edit, 9).fontWeight(), int(QFont::Normal)); // outside the selection
    }

    // The format bar shows our own images, whatever the theme, each as sharp
    // at 2x as at 1x.
    void theFormatBarShowsItsOwnImages() {
        QIcon::setThemeName(QStringLiteral("hicolor"));
        UIFolderDscPage page(QStringLiteral("F"), QString(), QString(), false, true);
        const int ids[] = {1055, 1056, 1057, 1060, 1061, 1062, 1067, 1063, 1064, 1065};
        QSet<QByteArray> seen;
        for (int image = 0; image < desk::ui::kFormatImages; ++image) {
            auto* b = page.findChild<QToolButton*>(QString::number(ids[image]));
            QVERIFY(b);
            QCOMPARE(b->size(), QSize(22, 22));
            const QImage shown = b->icon().pixmap(QSize(16, 16), 1.0).toImage();
            QCOMPARE(shown, desk::ui::formatBarImage(image).pixmap(QSize(16, 16), 1.0).toImage());
            const QPixmap twice = b->icon().pixmap(QSize(16, 16), 2.0);
            QCOMPARE(twice.size(), QSize(32, 32));
            // At 2x the picture is drawn anew, not the 1x one blown up.
            QVERIFY(twice.toImage() !=
                    shown.scaled(32, 32).convertToFormat(twice.toImage().format()));
            seen.insert(
                QByteArray(reinterpret_cast<const char*>(shown.constBits()), shown.sizeInBytes()));
        }
        QCOMPARE(seen.size(), desk::ui::kFormatImages);
    }
};

QTEST_MAIN(NotesEditorTest)
#include "notes_editor_test.moc"
