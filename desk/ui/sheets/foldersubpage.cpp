#include "foldersubpage.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/prompter.h"
#include "formrows.h"
#include "memberlookup.h"

namespace desk::sheets {

UIFolderSubPage::UIFolderSubPage(USRContext& context, USRPrompter& prompter,
                                 const QStringList& subscribers, QWidget* parent)
    : QWidget(parent), context_(context), prompter_(prompter) {
    setObjectName(QStringLiteral("238"));
    setAccessibleName(QStringLiteral("Subscribers"));
    list_ = new QListWidget(this);
    nameControl(list_, 1008, QStringLiteral("Subscribers"));
    list_->addItems(subscribers);
    card_ = makeButton(this, 5, QStringLiteral("Business &Card..."));
    card_->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(card_, 0, Qt::AlignLeft);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { card_->setEnabled(list_->selectedItems().size() == 1); });
    connect(card_, &QPushButton::clicked, this, &UIFolderSubPage::showCard);
    connect(list_, &QListWidget::itemDoubleClicked, this, &UIFolderSubPage::showCard);
}

void UIFolderSubPage::showCard() {
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    if (chosen.size() != 1) return;
    long e = 0;
    if (!showBusinessCard(context_, chosen.first()->text().toStdString(), e))
        prompter_.showError(e);
}

} // namespace desk::sheets
