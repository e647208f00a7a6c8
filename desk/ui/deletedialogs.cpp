#include "deletedialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace desk::ui {
namespace {

constexpr int kNameWidth = 320;

} // namespace

UIDeleteConfirmDialog::UIDeleteConfirmDialog(const QString& name, bool several, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("256"));
    setWindowTitle(QStringLiteral("Delete"));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    auto* question = new QLabel(QStringLiteral("Do you really want to delete:"), this);
    auto* nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("name"));
    nameLabel->setTextFormat(Qt::PlainText);
    nameLabel->setText(nameLabel->fontMetrics().elidedText(name, Qt::ElideRight, kNameWidth));
    nameLabel->setToolTip(name);
    nameLabel->setMinimumWidth(kNameWidth);

    struct Answer {
        const char* id;
        const char* text;
        USRReply reply;
    };
    const Answer answers[] = {
        {"6", "&Yes", USR_REPLY_YES},
        {"yesToAll", "Yes to &All", USR_REPLY_YES_TO_ALL},
        {"7", "&No", USR_REPLY_NO},
        {"2", "&Cancel", USR_REPLY_CANCEL},
    };
    auto* buttons = new QHBoxLayout;
    for (const Answer& a : answers) {
        auto* b = new QPushButton(QString::fromUtf8(a.text), this);
        b->setObjectName(QLatin1String(a.id));
        const USRReply reply = a.reply;
        connect(b, &QPushButton::clicked, this, [this, reply] {
            reply_ = reply;
            reply == USR_REPLY_CANCEL ? reject() : accept();
        });
        if (reply == USR_REPLY_YES) b->setDefault(true);
        if (reply == USR_REPLY_YES_TO_ALL) b->setEnabled(several);
        buttons->addWidget(b);
    }
    auto* text = new QVBoxLayout;
    text->addWidget(question);
    text->addWidget(nameLabel);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

UIFolderDeleteDialog::UIFolderDeleteDialog(const QString& name, bool moderator, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("280"));
    setWindowTitle(QStringLiteral("Delete"));
    auto* nameLabel = new QLabel(name, this);
    nameLabel->setTextFormat(Qt::PlainText);
    auto* group = new QGroupBox(QStringLiteral("Delete From"), this);
    thisFolder_ = new QRadioButton(QStringLiteral("This &Folder"), group);
    thisFolder_->setObjectName(QStringLiteral("thisFolder"));
    everyone_ = new QRadioButton(QStringLiteral("All &Subscribers"), group);
    everyone_->setObjectName(QStringLiteral("allSubscribers"));
    everyone_->setEnabled(moderator);
    thisFolder_->setChecked(true);
    subfolders_ = new QCheckBox(QStringLiteral("Delete &All Subfolders"), this);
    subfolders_->setObjectName(QStringLiteral("allSubfolders"));
    subfolders_->setEnabled(false);
    connect(everyone_, &QRadioButton::toggled, this, [this](bool on) {
        subfolders_->setEnabled(on);
        if (!on) subfolders_->setChecked(false);
    });
    auto* inGroup = new QVBoxLayout(group);
    inGroup->addWidget(thisFolder_);
    inGroup->addWidget(everyone_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nameLabel);
    layout->addWidget(group);
    layout->addWidget(subfolders_);
    layout->addWidget(buttons);
}

bool UIFolderDeleteDialog::allSubscribers() const {
    return everyone_->isChecked();
}
bool UIFolderDeleteDialog::allSubfolders() const {
    return subfolders_->isChecked();
}

} // namespace desk::ui
