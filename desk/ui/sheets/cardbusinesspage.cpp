#include "cardbusinesspage.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>

#include "cardfields.h"

namespace desk::sheets {
namespace {

// Whether the words fit `box` when wrapped at word boundaries.
bool wrapsWithin(const QStringList& words, const QFontMetrics& m, QSize box) {
    const int space = m.horizontalAdvance(QLatin1Char(' '));
    int lines = 1;
    int x = 0;
    for (const QString& w : words) {
        const int width = m.horizontalAdvance(w);
        if (width > box.width()) return false;
        if (x > 0 && x + space + width > box.width()) {
            ++lines;
            x = width;
        } else {
            x += (x > 0 ? space : 0) + width;
        }
    }
    return lines * m.lineSpacing() <= box.height();
}

struct Shown {
    int id;
    int text; // card text index, -1 for a label
    const char* label;
    int labelFor; // the value whose presence shows the label
};

constexpr Shown kShown[] = {
    {1024, kCardName, nullptr, -1},   {1025, kCardJob, nullptr, -1},
    {1026, kCardEmail, nullptr, -1},  {1027, -1, "Phone:  ", kCardPhone},
    {1028, kCardPhone, nullptr, -1},  {1029, -1, "Fax:  ", kCardFax},
    {1031, kCardFax, nullptr, -1},    {1083, -1, "Office loc:", kCardOffice},
    {1075, kCardOffice, nullptr, -1}, {1074, -2, nullptr, -1}, // address line 1
    {1076, -3, nullptr, -1},                                   // address line 2
    {1082, -4, nullptr, -1},                                   // the city line
    {1079, kCardPostal, nullptr, -1},
};

} // namespace

std::optional<QFont> fitFont(const QString& text, const QFont& base, QList<int> sizes, QSize box) {
    const QStringList words =
        text.split(QRegularExpression(QStringLiteral("[\\t \\n]+")), Qt::SkipEmptyParts);
    if (wrapsWithin(words, QFontMetrics(base), box)) return base;
    std::sort(sizes.begin(), sizes.end(), std::greater<int>());
    for (int size : sizes) {
        QFont f = base;
        f.setPointSize(size);
        if (wrapsWithin(words, QFontMetrics(f), box)) return f;
    }
    return std::nullopt;
}

UIBCardBusinessPage::UIBCardBusinessPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("234"));
    setAccessibleName(QStringLiteral("General"));
    auto* grid = new QGridLayout(this);
    logoFrame_ = new QWidget(this);
    logoFrame_->setObjectName(QStringLiteral("1022"));
    logoFrame_->setFixedSize(96, 64);
    grid->addWidget(logoFrame_, 0, 0, 2, 1);
    auto* company = new QLabel(this);
    company->setObjectName(QStringLiteral("1021"));
    company->setWordWrap(true);
    company->setFixedSize(220, 48);
    company->setAccessibleName(QStringLiteral("Company"));
    grid->addWidget(company, 0, 1, 2, 2);
    int row = 2;
    for (const Shown& s : kShown) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::number(s.id));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A label stands left of the value that follows it in the table.
        if (s.label)
            grid->addWidget(l, row, 0);
        else
            grid->addWidget(l, row++, 1, 1, 2);
    }
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(10);
    field(1024)->setFont(bold);
    grid->setRowStretch(row, 1);
}

QLabel* UIBCardBusinessPage::field(int id) const {
    return findChild<QLabel*>(QString::number(id));
}

void UIBCardBusinessPage::load(const QStringList& in) {
    const QStringList texts = cardTexts(in);
    const QString address = texts[kCardAddressText];
    const qsizetype cut = address.indexOf(QLatin1Char('\n'));
    const QString line1 = cut < 0 ? address : address.left(cut);
    const QString line2 = cut < 0 ? QString() : address.mid(cut + 1);
    QStringList city;
    for (int i : {int(kCardCity), int(kCardState), int(kCardCountry)})
        if (!texts[i].isEmpty()) city << texts[i];
    for (const Shown& s : kShown) {
        QLabel* l = field(s.id);
        QString value;
        switch (s.text) {
        case -1:
            value = texts[s.labelFor].isEmpty() ? QString() : QString::fromUtf8(s.label);
            break;
        case -2:
            value = line1;
            break;
        case -3:
            value = line2;
            break;
        case -4:
            value = city.join(QStringLiteral(", "));
            break;
        default:
            value = texts[s.text];
            break;
        }
        l->setText(value);
        l->setVisible(!value.isEmpty());
    }
    if (company_.isEmpty()) company_ = texts[kCardCompany];
    field(1021)->setText(company_.trimmed());
    fitCompany();
}

void UIBCardBusinessPage::fitCompany() {
    QLabel* company = field(1021);
    QList<int> sizes = QFontDatabase::pointSizes(font().family());
    if (sizes.isEmpty()) sizes = QFontDatabase::standardSizes();
    const std::optional<QFont> fitted = fitFont(company->text(), font(), sizes, company->size());
    if (fitted) company->setFont(*fitted);
}

void UIBCardBusinessPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitCompany();
}

void UIBCardBusinessPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (logo_.isEmpty()) return;
    const QImage image = QImage::fromData(logo_, "BMP");
    if (image.isNull()) return; // bytes that are no bitmap show no logo
    QPainter p(this);
    const QRect box = logoFrame_->geometry();
    p.drawImage(QRect(box.topLeft(), image.size().scaled(box.size(), Qt::KeepAspectRatio)), image);
}

} // namespace desk::sheets
