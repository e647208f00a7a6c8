#include "refinedialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "qrdapi.h"
#include "texts.h"

namespace browse {

RefineDialog::RefineDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("refineSearch"));
    setWindowTitle(QString::fromLatin1(texts::kRefineTitle));
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("namePattern"));
    name_->setAccessibleName(tr("Name pattern"));
    name_->setMaxLength(NMNAMELEN - 1);
    description_ = new QLineEdit;
    description_->setObjectName(QStringLiteral("descriptionPattern"));
    description_->setAccessibleName(tr("Description pattern"));
    description_->setMaxLength(NMNAMELEN - 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QString::fromLatin1(texts::kNamePattern), name_);
    form->addRow(QString::fromLatin1(texts::kDescriptionPattern), description_);
    form->addRow(buttons);
}

void RefineDialog::setPatterns(const QString& name, const QString& description) {
    name_->setText(name);
    description_->setText(description);
}

QString RefineDialog::namePattern() const {
    return name_->text();
}

QString RefineDialog::descriptionPattern() const {
    return description_->text();
}

} // namespace browse
