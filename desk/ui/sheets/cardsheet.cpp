#include "cardsheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cardbusinesspage.h"
#include "cardpages.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIBCardPropSheet::UIBCardPropSheet(const QVariantMap& values, bool editable, QWidget* parent)
    : QDialog(parent), values_(values) {
    setObjectName(QStringLiteral("BusinessCard"));
    setWindowTitle(sheetString(kStrBusinessCard));
    setAccessibleName(windowTitle());
    const QStringList texts = cardTexts(values.value(QStringLiteral("texts")));
    const QByteArray logo = values.value(QStringLiteral("logo")).toByteArray();
    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(false); // the sheet widens until every page's tab shows
    if (editable) {
        for (CardPage p :
             {CardPage::General, CardPage::Address, CardPage::MailPhone, CardPage::MessageBoard}) {
            auto* page = new UIBCardEditPage(p, false, tabs_);
            page->load(texts, logo);
            pages_.push_back(page);
            tabs_->addTab(page, cardPageTitle(p));
        }
    } else {
        auto* card = new UIBCardBusinessPage(tabs_);
        card->setLogo(logo);
        card->setCompany(texts[kCardCompany]);
        card->load(texts);
        tabs_->addTab(card, cardPageTitle(CardPage::General));
        auto* board = new UIBCardEditPage(CardPage::MessageBoard, true, tabs_);
        board->load(texts, logo);
        tabs_->addTab(board, cardPageTitle(CardPage::MessageBoard));
    }
    auto* buttons = new QDialogButtonBox(
        editable ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

QVariantMap UIBCardPropSheet::values() const {
    QVariantMap out = values_;
    if (pages_.empty()) return out;
    QStringList texts = cardTexts(values_.value(QStringLiteral("texts")));
    QByteArray logo = values_.value(QStringLiteral("logo")).toByteArray();
    for (UIBCardEditPage* page : pages_)
        page->store(texts, logo);
    out[QStringLiteral("texts")] = texts;
    out[QStringLiteral("logo")] = logo;
    return out;
}

} // namespace desk::sheets
