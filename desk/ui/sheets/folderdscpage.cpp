#include "folderdscpage.h"
#include "formatbutton.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "colormenu.h"
#include "formatart.h"
#include "formrows.h"
#include "notestext.h"
#include "sheetstrings.h"

namespace desk::sheets {
namespace {

using desk::ui::loadNotes;
using desk::ui::notesRtf;

constexpr int kAlignIds[] = {1063, 1064, 1065};
constexpr Qt::Alignment kAligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

} // namespace

QString usableFace(const QString& face) {
    QString f = face;
    const qsizetype paren = f.indexOf(QLatin1Char('('));
    if (f.size() > 32 && paren > 0) f = f.left(paren - 1);
    return f.left(31);
}

UIFolderDscPage::UIFolderDscPage(const QString& name, const QString& description,
                                 const QString& notes, bool shared, bool editable, QWidget* parent)
    : QWidget(parent), name_(name), description_(description), notesText_(notes) {
    setObjectName(QStringLiteral("171"));
    setAccessibleName(QStringLiteral("Folder Description"));
    auto* form = new QFormLayout;
    nameEdit_ = addLineRow(form, this, 1005, QStringLiteral("&Folder Name:"), 50);
    descriptionEdit_ = addLineRow(form, this, 1032, QStringLiteral("&Brief description:"), 80);
    nameEdit_->setText(name);
    descriptionEdit_->setText(description);
    nameEdit_->setReadOnly(!editable);
    descriptionEdit_->setReadOnly(!editable);

    auto* top = new QHBoxLayout;
    top->addLayout(form, 1);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("1043"));
    if (shared) {
        icon->setPixmap(QIcon::fromTheme(QStringLiteral("folder-publicshare")).pixmap(32, 32));
        icon->setAccessibleName(QStringLiteral("Shared folder"));
    }
    top->addWidget(icon, 0, Qt::AlignTop);

    // The box's Alt key focuses the editor (the format bar takes no tab focus).
    auto* box = new QGroupBox(QStringLiteral("&Notes"), this);
    auto* boxLayout = new QVBoxLayout(box);
    auto* bar = new QWidget(box);
    bar->setObjectName(QStringLiteral("formatBar"));
    notes_ = new QTextEdit(box);
    nameControl(notes_, 1053, QStringLiteral("Notes"));
    notes_->setLineWrapMode(QTextEdit::WidgetWidth);
    notes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    notes_->setReadOnly(!editable);
    notes_->setTabChangesFocus(true);
    QFont base(sheetString(kStrDefaultFont));
    base.setPointSize(10);
    notes_->document()->setDefaultFont(base);
    loadNotes(*notes_->document(), notes);
    notes_->document()->setModified(false);
    connect(notes_->document(), &QTextDocument::contentsChanged, this,
            [this] { notesEdited_ = true; });
    buildFormatBar(bar);
    bar->setEnabled(editable);
    boxLayout->addWidget(bar);
    boxLayout->addWidget(notes_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box, 1);

    sync_.setInterval(500);
    connect(&sync_, &QTimer::timeout, this, &UIFolderDscPage::syncFormatBar);
    connect(notes_, &QTextEdit::selectionChanged, this, &UIFolderDscPage::syncFormatBar);
    notes_->installEventFilter(this);
    syncFormatBar(); // the boxes show the default face and size from the start
}

QToolButton* UIFolderDscPage::formatButton(int id, const QString& tip, int image, bool checkable) {
    return dressButton(new QToolButton(this), id, tip, image, checkable);
}

UIFormatButton* UIFolderDscPage::toggleButton(int id, const QString& tip, int image) {
    return dressButton(new UIFormatButton(this), id, tip, image, true);
}

template <class Button>
Button* UIFolderDscPage::dressButton(Button* b, int id, const QString& tip, int image,
                                     bool checkable) {
    nameControl(b, id, plainLabel(tip.section(QLatin1Char(' '), 0, 0)));
    b->setToolTip(tip);
    b->setIcon(desk::ui::formatBarImage(image));
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(22, 22);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

void UIFolderDscPage::buildFormatBar(QWidget* bar) {
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    cut_ = formatButton(1055, QStringLiteral("Cut (Ctrl+X)"), 0, false);
    copy_ = formatButton(1056, QStringLiteral("Copy (Ctrl+C)"), 1, false);
    paste_ = formatButton(1057, QStringLiteral("Paste (Ctrl+V)"), 2, false);
    fontBox_ = new QFontComboBox(bar);
    nameControl(fontBox_, 1058, sheetString(kStrFontBox));
    fontBox_->setToolTip(sheetString(kStrFontBox));
    fontBox_->setFocusPolicy(Qt::ClickFocus);
    sizeBox_ = new QComboBox(bar);
    nameControl(sizeBox_, 1059, sheetString(kStrFontSizeBox));
    sizeBox_->setToolTip(sheetString(kStrFontSizeBox));
    sizeBox_->setEditable(true);
    sizeBox_->addItems({QStringLiteral("8"), QStringLiteral("10")});
    sizeBox_->setFocusPolicy(Qt::ClickFocus);
    auto* color = formatButton(1067, QStringLiteral("Text Color"), 6, false);
    bold_ = toggleButton(1060, QStringLiteral("Bold"), 3);
    italic_ = toggleButton(1061, QStringLiteral("Italic"), 4);
    underline_ = toggleButton(1062, QStringLiteral("Underline"), 5);
    const char* alignTips[] = {"Align Left", "Align Center", "Align Right"};
    auto* aligns = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        align_[i] = formatButton(kAlignIds[i], QString::fromUtf8(alignTips[i]), 7 + i, true);
        aligns->addButton(align_[i], i);
    }
    for (QWidget* w : {static_cast<QWidget*>(cut_), static_cast<QWidget*>(copy_),
                       static_cast<QWidget*>(paste_), static_cast<QWidget*>(fontBox_),
                       static_cast<QWidget*>(sizeBox_), static_cast<QWidget*>(color),
                       static_cast<QWidget*>(bold_), static_cast<QWidget*>(italic_),
                       static_cast<QWidget*>(underline_), static_cast<QWidget*>(align_[0]),
                       static_cast<QWidget*>(align_[1]), static_cast<QWidget*>(align_[2])})
        row->addWidget(w);
    row->addStretch(1);
    fontBox_->setCurrentFont(QFont(sheetString(kStrDefaultFont)));

    auto back = [this] { notes_->setFocus(); };
    connect(cut_, &QToolButton::clicked, this, [this, back] { notes_->cut(), back(); });
    connect(copy_, &QToolButton::clicked, this, [this, back] { notes_->copy(), back(); });
    connect(paste_, &QToolButton::clicked, this, [this, back] { notes_->paste(), back(); });
    connect(bold_, &QToolButton::clicked, this, [this, back](bool on) {
        notes_->setFontWeight(on ? QFont::Bold : QFont::Normal);
        back();
    });
    connect(italic_, &QToolButton::clicked, this, [this, back](bool on) {
        notes_->setFontItalic(on);
        back();
    });
    connect(underline_, &QToolButton::clicked, this, [this, back](bool on) {
        notes_->setFontUnderline(on);
        back();
    });
    connect(aligns, &QButtonGroup::idClicked, this, [this, back](int i) {
        notes_->setAlignment(kAligns[i]);
        back();
    });
    connect(fontBox_, &QFontComboBox::textActivated, this, &UIFolderDscPage::applyFont);
    connect(sizeBox_, &QComboBox::textActivated, this, [this, back](const QString& size) {
        const double points = size.toDouble();
        if (points > 0) notes_->setFontPointSize(points);
        back();
    });
    colorMenu_ = new UIColorMenu(this);
    connect(colorMenu_, &UIColorMenu::chosen, this, &UIFolderDscPage::applyColor);
    connect(color, &QToolButton::clicked, this, &UIFolderDscPage::chooseColor);
}

void UIFolderDscPage::applyFont(const QString& face) {
    const QString used = usableFace(face);
    notes_->setFontFamily(used);
    const QList<int> sizes = QFontDatabase::pointSizes(used);
    sizeBox_->clear();
    for (int s : sizes.isEmpty() ? QFontDatabase::standardSizes() : sizes)
        sizeBox_->addItem(QString::number(s));
    notes_->setFocus();
}

void UIFolderDscPage::chooseColor() {
    auto* button = findChild<QToolButton*>(QStringLiteral("1067"));
    colorMenu_->exec(button->mapToGlobal(QPoint(0, button->height())));
    notes_->setFocus();
}

void UIFolderDscPage::applyColor(const QColor& color) {
    if (color.isValid()) {
        QTextCharFormat f;
        f.setForeground(color);
        notes_->mergeCurrentCharFormat(f);
        return;
    }
    // The automatic colour takes the colour off each stretch of the
    // selection, keeping the rest of its format.
    QTextCursor cur = notes_->textCursor();
    if (!cur.hasSelection()) {
        QTextCharFormat f = notes_->currentCharFormat();
        f.clearForeground();
        notes_->setCurrentCharFormat(f);
        return;
    }
    const int from = cur.selectionStart(), to = cur.selectionEnd();
    cur.beginEditBlock();
    for (QTextBlock b = notes_->document()->findBlock(from); b.isValid() && b.position() < to;
         b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const int start = qMax(from, frag.position());
            const int end = qMin(to, frag.position() + frag.length());
            if (start >= end) continue;
            QTextCharFormat f = frag.charFormat();
            f.clearForeground();
            QTextCursor part(notes_->document());
            part.setPosition(start);
            part.setPosition(end, QTextCursor::KeepAnchor);
            part.setCharFormat(f);
        }
    cur.endEditBlock();
}

void UIFolderDscPage::syncFormatBar() {
    const QTextCursor c = notes_->textCursor();
    const bool selected = c.hasSelection();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    paste_->setEnabled(!notes_->isReadOnly() && clip && clip->hasText());
    cut_->setEnabled(!notes_->isReadOnly() && selected);
    copy_->setEnabled(selected);
    const QTextCharFormat f = c.charFormat();
    bold_->setState(
        selectionState(c, [](const QTextCharFormat& g) { return g.fontWeight() >= QFont::Bold; }));
    italic_->setState(selectionState(c, [](const QTextCharFormat& g) { return g.fontItalic(); }));
    underline_->setState(
        selectionState(c, [](const QTextCharFormat& g) { return g.fontUnderline(); }));
    // Text without a face or size of its own shows in the editor's default.
    const QFont fallback = notes_->document()->defaultFont();
    const QStringList families = f.fontFamilies().toStringList();
    fontBox_->setCurrentFont(QFont(families.isEmpty() ? fallback.family() : families.first()));
    const qreal size = f.fontPointSize() > 0 ? f.fontPointSize() : fallback.pointSizeF();
    sizeBox_->setEditText(QString::number(size));
    const Qt::Alignment a = c.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    for (int i = 0; i < 3; ++i)
        align_[i]->setChecked(a & kAligns[i] || (i == 0 && a == Qt::AlignLeading));
}

bool UIFolderDscPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == notes_) {
        if (event->type() == QEvent::FocusIn) sync_.start();
        if (event->type() == QEvent::FocusOut) sync_.stop();
    }
    return QWidget::eventFilter(watched, event);
}

QString UIFolderDscPage::name() const {
    return nameEdit_->text();
}
QString UIFolderDscPage::description() const {
    return descriptionEdit_->text();
}
QString UIFolderDscPage::notes() const {
    return notesEdited_ ? notesRtf(*notes_->document()) : notesText_;
}
bool UIFolderDscPage::nameChanged() const {
    return nameEdit_->text() != name_;
}
bool UIFolderDscPage::descriptionChanged() const {
    return descriptionEdit_->text() != description_;
}
bool UIFolderDscPage::notesChanged() const {
    return notesEdited_;
}

} // namespace desk::sheets
