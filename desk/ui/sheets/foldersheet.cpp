#include "foldersheet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/prompter.h"
#include "folderdscpage.h"
#include "foldermbrpage.h"
#include "folderpubpage.h"
#include "foldersubpage.h"
#include "formrows.h"
#include "sheetstrings.h"

namespace desk::sheets {
namespace {
QString key(const char* k) {
    return QString::fromLatin1(k);
}
} // namespace

UIFolderPropSheet::UIFolderPropSheet(USRContext& context, USRPrompter& prompter,
                                     UINameBrowser& browser, const QVariantMap& values,
                                     QWidget* parent)
    : QDialog(parent), prompter_(prompter), values_(values) {
    const bool creating = values.value(key("creating")).toBool();
    const bool shared = values.value(key("shared")).toBool();
    const bool editable = creating || values.value(key("editable")).toBool();
    const bool membersOnly = values.value(key("membersOnly")).toBool();
    const bool moderator = values.value(key("moderator"), editable).toBool();
    setObjectName(QStringLiteral("UIFolderPropSheet"));
    const QString caption = sheetString(creating ? kStrNewFolder : kStrFolderProperties);
    const QString name = values.value(key("name")).toString();
    setWindowTitle(name.isEmpty() ? caption : caption + QStringLiteral(" - ") + name);
    setAccessibleName(caption);

    if (!membersOnly) {
        description_ =
            new UIFolderDscPage(name, values.value(key("description")).toString(),
                                values.value(key("notes")).toString(), shared, editable, this);
        pages_.push_back(description_);
    }
    if (shared || membersOnly) {
        QVariantList rights = values.value(key("rights")).toList();
        members_ = new UIFolderMbrPage(context, prompter, browser, rights, editable, this);
        // A new folder lists its creator as moderator from the start.
        if (creating) members_->members().setChanged();
        pages_.push_back(members_);
    }
    if (!creating && shared && moderator && !membersOnly) {
        subscribers_ = new UIFolderSubPage(context, prompter,
                                           values.value(key("subscribers")).toStringList(), this);
        pages_.push_back(subscribers_);
    }
    if (creating && shared) {
        publish_ = new UIFolderPubPage(this);
        pages_.push_back(publish_);
    }

    auto* layout = new QVBoxLayout(this);
    if (creating) {
        stack_ = new QStackedWidget(this);
        for (QWidget* p : pages_)
            stack_->addWidget(p);
        layout->addWidget(stack_, 1);
        auto* row = new QHBoxLayout;
        back_ = new QPushButton(QStringLiteral("< &Back"), this);
        next_ = new QPushButton(QStringLiteral("&Next >"), this);
        finish_ = new QPushButton(QStringLiteral("Finish"), this);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
        for (QPushButton* b : {back_, next_, finish_, cancel})
            b->setAutoDefault(false);
        back_->setObjectName(QStringLiteral("back"));
        next_->setObjectName(QStringLiteral("next"));
        finish_->setObjectName(QStringLiteral("finish"));
        row->addStretch(1);
        row->addWidget(back_);
        row->addWidget(next_);
        row->addWidget(finish_);
        row->addWidget(cancel);
        layout->addLayout(row);
        connect(back_, &QPushButton::clicked, this, &UIFolderPropSheet::back);
        connect(next_, &QPushButton::clicked, this, &UIFolderPropSheet::next);
        connect(finish_, &QPushButton::clicked, this, &UIFolderPropSheet::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        updateWizardButtons();
    } else {
        tabs_ = new QTabWidget(this);
        for (QWidget* p : pages_)
            tabs_->addTab(p, p->accessibleName());
        layout->addWidget(tabs_, 1);
        auto* buttons = okCancel(this);
        layout->addWidget(buttons);
    }
    resize(480, 420);
}

int UIFolderPropSheet::currentPage() const {
    return stack_ ? stack_->currentIndex() : tabs_->currentIndex();
}

void UIFolderPropSheet::showPage(QWidget* page) {
    if (tabs_) tabs_->setCurrentWidget(page);
    if (stack_) {
        stack_->setCurrentWidget(page);
        updateWizardButtons();
    }
}

void UIFolderPropSheet::updateWizardButtons() {
    const int at = stack_->currentIndex();
    const bool last = at + 1 >= stack_->count();
    back_->setEnabled(at > 0);
    next_->setVisible(!last);
    finish_->setVisible(last);
    (last ? finish_ : next_)->setDefault(true);
}

bool UIFolderPropSheet::validate() {
    if (description_ && description_->name().trimmed().isEmpty()) {
        prompter_.showMessage(sheetString(kStrNameRequired).toStdString(), USRIcon::Exclamation);
        showPage(description_);
        return false;
    }
    return true;
}

void UIFolderPropSheet::next() {
    if (!stack_) return;
    if (stack_->currentWidget() == description_ && !validate()) return;
    stack_->setCurrentIndex(std::min(stack_->currentIndex() + 1, stack_->count() - 1));
    updateWizardButtons();
}

void UIFolderPropSheet::back() {
    if (!stack_) return;
    stack_->setCurrentIndex(std::max(stack_->currentIndex() - 1, 0));
    updateWizardButtons();
}

void UIFolderPropSheet::accept() {
    if (!validate()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (description_) {
        values_[key("name")] = description_->name().trimmed();
        values_[key("description")] = description_->description();
        values_[key("notes")] = description_->notes();
    }
    if (publish_) values_[key("publish")] = publish_->choice();
    if (members_ && members_->changed()) values_[key("rights")] = members_->members().rights();
    QApplication::restoreOverrideCursor();
    QDialog::accept();
}

} // namespace desk::sheets
