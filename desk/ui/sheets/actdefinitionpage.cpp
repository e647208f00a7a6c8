#include "actdefinitionpage.h"

#include <QApplication>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "actionedits.h"
#include "actions/usractions.h"
#include "advancedactiondialog.h"
#include "core/prompter.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIActDefinitionPage::UIActDefinitionPage(USRActions& actions, USRPrompter& prompter,
                                         QWidget* parent)
    : QWidget(parent), actions_(actions), prompter_(prompter) {
    setObjectName(QStringLiteral("263"));
    setAccessibleName(QStringLiteral("Definitions"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("action"));
    list_->setAccessibleName(QStringLiteral("Action"));
    auto* listLabel = new QLabel(QStringLiteral("&Action:"), this);
    listLabel->setBuddy(list_);
    fields_ = new UIActionFields(false, this);
    kind_ = new QLabel(this);
    kind_->setObjectName(QStringLiteral("kind"));
    delete_ = new QPushButton(QStringLiteral("&Delete"), this);
    delete_->setObjectName(QStringLiteral("delete"));
    advanced_ = new QPushButton(QStringLiteral("Ad&vanced..."), this);
    advanced_->setObjectName(QStringLiteral("advanced"));
    for (QPushButton* b : {delete_, advanced_})
        b->setAutoDefault(false);
    auto* grid = new QGridLayout(this);
    grid->addWidget(listLabel, 0, 0);
    grid->addWidget(list_, 1, 0, 3, 1);
    grid->addWidget(kind_, 0, 1);
    grid->addWidget(fields_, 1, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(advanced_);
    row->addWidget(delete_);
    row->addStretch(1);
    grid->addLayout(row, 2, 1);
    connect(fields_, &UIActionFields::edited, this, [this] { modified_ = true; });
    connect(list_, &QListWidget::currentRowChanged, this, &UIActDefinitionPage::choose);
    connect(delete_, &QPushButton::clicked, this, &UIActDefinitionPage::deleteCurrent);
    connect(advanced_, &QPushButton::clicked, this, &UIActDefinitionPage::advanced);
    fill();
}

void UIActDefinitionPage::fill() {
    const QSignalBlocker block(list_);
    list_->clear();
    for (USRActionNode* a : actions_.library()) {
        auto* item = new QListWidgetItem(QString::fromStdString(a->name()), list_);
        item->setIcon(QIcon::fromTheme(a->isShared() ? QStringLiteral("folder-publicshare")
                                                     : QStringLiteral("user-home")));
    }
    const auto& lib = actions_.library();
    auto at = std::find(lib.begin(), lib.end(), current_);
    const int row = at == lib.end() ? (lib.empty() ? -1 : 0) : int(at - lib.begin());
    list_->setCurrentRow(row);
    showAction(row < 0 ? nullptr : lib[size_t(row)]);
}

void UIActDefinitionPage::showAction(USRActionNode* a) {
    current_ = a;
    delete_->setEnabled(a != nullptr);
    advanced_->setEnabled(a != nullptr);
    if (!a) {
        fields_->clearAndDisable();
        kind_->clear();
        values_ = {};
    } else {
        values_ = actionValues(*a);
        fields_->show(values_);
        kind_->setText(sheetString(a->isShared() ? kStrShared : kStrPersonal));
    }
    modified_ = false;
}

void UIActDefinitionPage::choose(int row) {
    const auto& lib = actions_.library();
    if (modified_ && !save()) {
        // The list returns to the action that could not be saved.
        const QSignalBlocker block(list_);
        auto at = std::find(lib.begin(), lib.end(), current_);
        if (at != lib.end()) list_->setCurrentRow(int(at - lib.begin()));
        return;
    }
    showAction(row >= 0 && row < int(lib.size()) ? lib[size_t(row)] : nullptr);
}

bool UIActDefinitionPage::save() {
    if (!modified_ || !current_) return true;
    ActionValues v = fields_->values(values_);
    if (checkAction(actions_, prompter_, v) != ActionCheck::Ok) {
        fields_->show(v);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    long e = 0;
    const bool ok = saveAction(*current_, v, e);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        prompter_.showError(e);
        return false;
    }
    values_ = v;
    modified_ = false;
    const auto& bar = actions_.toolbar();
    if (refresh_ && std::find(bar.begin(), bar.end(), current_) != bar.end()) refresh_();
    return true;
}

void UIActDefinitionPage::deleteCurrent() {
    USRActionNode* a = current_;
    if (!a) return;
    const long question = a->isShared() ? kStrDeleteSharedAction : kStrDeletePersonalAction;
    if (!prompter_.askYesNo(sheetString(question).toStdString())) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto& lib = actions_.library();
    auto at = std::find(lib.begin(), lib.end(), a);
    const int before = at == lib.end() ? 0 : std::max(0, int(at - lib.begin()) - 1);
    const bool onToolbar = std::find(actions_.toolbar().begin(), actions_.toolbar().end(), a) !=
                           actions_.toolbar().end();
    long e = 0;
    const bool ok = actions_.remove(a, e);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        prompter_.showError(e, sheetString(kStrDeletingAction).toStdString());
        return;
    }
    if (onToolbar && refresh_) refresh_();
    current_ = lib.empty() ? nullptr : lib[size_t(std::min(before, int(lib.size()) - 1))];
    fill();
}

void UIActDefinitionPage::advanced() {
    UIAdvancedActionDialog dialog(prompter_, fields_->values(values_), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const ActionValues v = dialog.values();
    if (v.parameters != values_.parameters || v.startDirectory != values_.startDirectory ||
        v.showMode != values_.showMode) {
        values_.parameters = v.parameters;
        values_.startDirectory = v.startDirectory;
        values_.showMode = v.showMode;
        modified_ = true;
    }
}

} // namespace desk::sheets
