#include "cardpages.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "formrows.h"

namespace desk::sheets {

QString cardPageTitle(CardPage page) {
    switch (page) {
    case CardPage::General:
        return QStringLiteral("General");
    case CardPage::Address:
        return QStringLiteral("Address");
    case CardPage::MailPhone:
        return QStringLiteral("Mail and Phone");
    case CardPage::MessageBoard:
        return QStringLiteral("Message Board");
    }
    return {};
}

namespace {
constexpr int kTemplates[] = {233, 232, 231, 235};
constexpr int kBoardReadOnlyTemplate = 236;
} // namespace

UIBCardEditPage::UIBCardEditPage(CardPage page, bool readOnly, QWidget* parent)
    : QWidget(parent), page_(page) {
    const int templ =
        page == CardPage::MessageBoard && readOnly ? kBoardReadOnlyTemplate : kTemplates[int(page)];
    setObjectName(QString::number(templ));
    setAccessibleName(cardPageTitle(page));
    auto* outer = new QVBoxLayout(this);
    if (page == CardPage::MessageBoard) {
        board_ = new QPlainTextEdit(this);
        nameControl(board_, 1084, QStringLiteral("Message board"));
        board_->setReadOnly(readOnly);
        board_->setTabChangesFocus(true);
        // The editor refuses input beyond what the card can store.
        const int limit = cardFields().back().limit;
        connect(board_, &QPlainTextEdit::textChanged, this, [this, limit] {
            const QString text = board_->toPlainText();
            if (text.size() <= limit) return;
            QTextCursor c = board_->textCursor();
            const int at = c.position();
            board_->setPlainText(text.left(limit));
            c.setPosition(std::min(at, limit));
            board_->setTextCursor(c);
        });
        outer->addWidget(board_);
        return;
    }
    auto* form = new QFormLayout;
    outer->addLayout(form);
    for (const CardField& f : cardFields()) {
        if (f.page != page) continue;
        QLineEdit* e = addLineRow(form, this, f.id, QString::fromUtf8(f.label), f.limit);
        e->setReadOnly(readOnly);
        edits_.emplace_back(&f, e);
    }
    if (page == CardPage::General) {
        auto* row = new QHBoxLayout;
        QPushButton* pick = makeButton(this, 3, QStringLiteral("&Logo..."));
        pick->setEnabled(!readOnly);
        connect(pick, &QPushButton::clicked, this, &UIBCardEditPage::chooseLogo);
        logoFrame_ = new QWidget(this);
        logoFrame_->setObjectName(QStringLiteral("1022"));
        logoFrame_->setMinimumSize(96, 64);
        row->addWidget(pick, 0, Qt::AlignTop);
        row->addWidget(logoFrame_, 1);
        outer->addLayout(row);
    }
    outer->addStretch(1);
}

void UIBCardEditPage::load(const QStringList& texts, const QByteArray& logo) {
    for (auto& [field, edit] : edits_)
        edit->setText(cardValue(texts, *field).left(field->limit));
    if (board_) board_->setPlainText(texts.value(kCardBoardText));
    logo_ = logo;
    update();
}

void UIBCardEditPage::store(QStringList& texts, QByteArray& logo) const {
    for (const auto& [field, edit] : edits_)
        setCardValue(texts, *field, edit->text());
    if (board_) setCardValue(texts, cardFields().back(), board_->toPlainText());
    if (page_ == CardPage::General) logo = logo_;
}

bool UIBCardEditPage::loadLogo(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QByteArray bytes = file.readAll();
    const bool bitmap = !QImage::fromData(bytes, "BMP").isNull();
    QApplication::restoreOverrideCursor();
    if (!bitmap) return false;
    logo_ = bytes;
    update();
    return true;
}

void UIBCardEditPage::chooseLogo() {
    QFileDialog dialog(this, QString(), QString(), QStringLiteral("Bitmaps (*.bmp)"));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    loadLogo(dialog.selectedFiles().first());
}

void UIBCardEditPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!logoFrame_ || logo_.isEmpty()) return;
    const QImage image = QImage::fromData(logo_, "BMP");
    if (image.isNull()) return;
    QPainter p(this);
    const QRect box = logoFrame_->geometry();
    const QSize fitted = image.size().scaled(box.size(), Qt::KeepAspectRatio);
    p.drawImage(QRect(box.topLeft(), fitted), image);
}

} // namespace desk::sheets
