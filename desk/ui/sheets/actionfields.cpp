#include "actionfields.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "actioniconchooser.h"
#include "actionrules.h"
#include "formrows.h"

namespace desk::sheets {
UIActionFields::UIActionFields(bool withName, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    if (withName) name_ = addLineRow(form, this, 1024, QStringLiteral("&Name:"), 50);
    description_ = addLineRow(form, this, 1032, QStringLiteral("&Description:"), 80);
    executable_ = new QLineEdit(this);
    executable_->setObjectName(QStringLiteral("executable"));
    executable_->setAccessibleName(QStringLiteral("Executable"));
    executable_->setMaxLength(1000);
    browse_ = new QPushButton(QStringLiteral("&Browse..."), this);
    browse_->setObjectName(QStringLiteral("8"));
    browse_->setAccessibleName(QStringLiteral("Browse"));
    auto* row = new QHBoxLayout;
    row->addWidget(executable_, 1);
    row->addWidget(browse_);
    auto* label = new QLabel(QStringLiteral("&Executable:"), this);
    label->setBuddy(executable_);
    form->addRow(label, row);
    documents_ = new QCheckBox(QStringLiteral("&Document Items"), this);
    documents_->setObjectName(QStringLiteral("useDocuments"));
    webItems_ = new QCheckBox(QStringLiteral("&Web Items"), this);
    webItems_->setObjectName(QStringLiteral("useWebItems"));
    auto* uses = new QHBoxLayout;
    uses->addWidget(documents_);
    uses->addWidget(webItems_);
    form->addRow(QStringLiteral("Use with:"), uses);
    icon_ = new UIActionIconChooser(this);
    auto* iconLabel = new QLabel(QStringLiteral("&Icon:"), this);
    iconLabel->setBuddy(icon_);
    form->addRow(iconLabel, icon_);

    for (QLineEdit* e : {description_, executable_})
        connect(e, &QLineEdit::textEdited, this, &UIActionFields::edited);
    if (name_) connect(name_, &QLineEdit::textEdited, this, &UIActionFields::edited);
    for (QCheckBox* b : {documents_, webItems_})
        connect(b, &QCheckBox::clicked, this, &UIActionFields::edited);
    connect(icon_, &UIActionIconChooser::iconIndexChanged, this, &UIActionFields::edited);
    // Entry -1 shows the program being typed or chosen.
    connect(executable_, &QLineEdit::textChanged, this,
            [this](const QString& text) { icon_->setExecutable(text.trimmed()); });
    connect(browse_, &QPushButton::clicked, this, &UIActionFields::chooseExecutable);
}

void UIActionFields::show(const ActionValues& v) {
    const QSignalBlocker block(icon_);
    setEnabled(true);
    if (name_) name_->setText(v.name);
    description_->setText(v.description);
    executable_->setText(v.executable);
    documents_->setChecked(v.useWith & kUseDocuments);
    webItems_->setChecked(v.useWith & kUseWebItems);
    icon_->setIconIndex(v.iconIndex);
}

ActionValues UIActionFields::values(const ActionValues& base) const {
    ActionValues v = base;
    if (name_) v.name = name_->text().trimmed();
    v.description = description_->text();
    v.executable = executable_->text().trimmed();
    v.useWith =
        (documents_->isChecked() ? kUseDocuments : 0) | (webItems_->isChecked() ? kUseWebItems : 0);
    v.iconIndex = icon_->iconIndex();
    return v;
}

void UIActionFields::clearAndDisable() {
    show(ActionValues{});
    setEnabled(false);
}

void UIActionFields::chooseExecutable() {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), executable_->text());
    if (chosen.isEmpty()) return;
    executable_->setText(chosen);
    icon_->setIconIndex(-1);
    emit edited();
}

} // namespace desk::sheets
