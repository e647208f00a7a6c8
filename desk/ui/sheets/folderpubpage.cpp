#include "folderpubpage.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "formrows.h"

namespace desk::sheets {

UIFolderPubPage::UIFolderPubPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("601"));
    setAccessibleName(QStringLiteral("Publish"));
    auto* box = new QGroupBox(QStringLiteral("Publish To"), this);
    auto* inner = new QVBoxLayout(box);
    group_ = new QButtonGroup(this);
    struct Choice {
        int id;
        const char* text;
        int value;
    };
    constexpr Choice kChoices[] = {
        {1067, "&All members", 1}, {1068, "&Selected members", 2}, {1069, "&Don't Publish", 0}};
    for (const Choice& c : kChoices) {
        auto* r = new QRadioButton(QString::fromUtf8(c.text), box);
        nameControl(r, c.id, plainLabel(r->text()));
        group_->addButton(r, c.value);
        inner->addWidget(r);
    }
    group_->button(1)->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch(1);
}

int UIFolderPubPage::choice() const {
    return group_->checkedId() < 0 ? 0 : group_->checkedId();
}

void UIFolderPubPage::setChoice(int choice) {
    if (QAbstractButton* b = group_->button(choice)) b->setChecked(true);
}

} // namespace desk::sheets
