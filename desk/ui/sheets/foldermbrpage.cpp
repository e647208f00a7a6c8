#include "foldermbrpage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "formrows.h"
#include "memberlookup.h"
#include "memberview.h"
#include "namebrowser.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIFolderMbrPage::UIFolderMbrPage(USRContext& context, USRPrompter& prompter, UINameBrowser& browser,
                                 const QVariantList& rights, bool editable, QWidget* parent)
    : QWidget(parent), context_(context), prompter_(prompter), browser_(browser),
      editable_(editable) {
    setObjectName(QStringLiteral("170"));
    setAccessibleName(QStringLiteral("Publish To List"));
    list_.load(rights, [&context](const UIMember& m) {
        return isDesktopUser(context, m.name.toStdString());
    });
    model_ = new UIMemberModel(list_, editable, this);
    view_ = new UIMemberView(model_, prompter, this);

    // The box's Alt key focuses its first child in the focus chain, the name
    // edit: it is made first, inside the box.
    auto* box = new QGroupBox(QStringLiteral("&New List Member"), this);
    nameEdit_ = new QLineEdit(box);
    nameControl(nameEdit_, 1089, QStringLiteral("New List Member"));
    nameEdit_->setReadOnly(!editable);
    nameEdit_->setMaxLength(63);
    add_ = makeButton(box, 3, QStringLiteral("&Add"));
    browse_ = makeButton(box, 8, QStringLiteral("&Browse..."));
    remove_ = makeButton(this, 4, QStringLiteral("&Remove"));
    card_ = makeButton(this, 5, QStringLiteral("Business &Card..."));
    auto* boxRow = new QHBoxLayout(box);
    boxRow->addWidget(nameEdit_, 1);
    boxRow->addWidget(add_);
    boxRow->addWidget(browse_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove_);
    buttons->addWidget(card_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    layout->addWidget(box);

    add_->setEnabled(false);
    remove_->setEnabled(false);
    card_->setEnabled(false);
    browse_->setEnabled(editable);
    browse_->setDefault(editable);

    connect(nameEdit_, &QLineEdit::textEdited, this, [this] {
        add_->setEnabled(editable_ && !nameEdit_->text().trimmed().isEmpty());
        add_->setDefault(add_->isEnabled());
        browse_->setDefault(!add_->isEnabled());
    });
    connect(add_, &QPushButton::clicked, this, &UIFolderMbrPage::addTyped);
    connect(browse_, &QPushButton::clicked, this, &UIFolderMbrPage::browse);
    connect(remove_, &QPushButton::clicked, this, &UIFolderMbrPage::removeSelected);
    connect(card_, &QPushButton::clicked, this, &UIFolderMbrPage::showCard);
    connect(view_, &QAbstractItemView::doubleClicked, this, &UIFolderMbrPage::showCard);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &UIFolderMbrPage::updateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &UIFolderMbrPage::updateButtons);
    nameEdit_->installEventFilter(this);
}

bool UIFolderMbrPage::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the name edit runs "&Add" when it may, otherwise "&Browse...".
    if (watched == nameEdit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (add_->isEnabled())
                addTyped();
            else if (browse_->isEnabled())
                browse();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UIFolderMbrPage::updateButtons() {
    const std::vector<int> rows = view_->selectedRows();
    remove_->setEnabled(editable_ && !rows.empty());
    card_->setEnabled(rows.size() == 1 && list_.at(rows[0]).desktopUser);
}

void UIFolderMbrPage::addName(std::string name) {
    const long kind = memberKind(context_, name);
    if (kind < 0) {
        prompter_.showMessage(sheetString(kStrNameNotValid).toStdString());
        return;
    }
    UIMember m;
    m.name = QString::fromStdString(name);
    m.kind = int(kind);
    m.mark = true;
    m.desktopUser = kind == 1 && isDesktopUser(context_, name);
    if (!list_.add(m)) {
        prompter_.beep();
        return;
    }
    model_->reload();
}

void UIFolderMbrPage::addTyped() {
    if (!editable_) return;
    addName(nameEdit_->text().trimmed().toStdString());
    nameEdit_->clear();
    add_->setEnabled(false);
    add_->setDefault(false);
    browse_->setDefault(true);
}

void UIFolderMbrPage::browse() {
    if (!editable_) return;
    std::vector<std::string> names;
    long status = 0;
    if (!browser_.pickNames(this, names, status)) {
        if (status != 0) prompter_.showError(status);
        return;
    }
    for (std::string& name : names) {
        if (list_.find(QString::fromStdString(name)) >= 0) continue;
        addName(name);
    }
}

void UIFolderMbrPage::removeSelected() {
    if (!editable_) return;
    list_.remove(view_->selectedRows(), prompter_);
    model_->reload();
}

void UIFolderMbrPage::showCard() {
    const std::vector<int> rows = view_->selectedRows();
    if (rows.size() != 1 || !list_.at(rows[0]).desktopUser) return;
    long e = 0;
    if (!showBusinessCard(context_, list_.at(rows[0]).name.toStdString(), e))
        prompter_.showMessage(sheetString(kStrNotAUser).toStdString());
}

} // namespace desk::sheets
