#include "actcustpalpage.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "actions/usractions.h"
#include "core/prompter.h"

namespace desk::sheets {
namespace {

QListWidgetItem* itemFor(QListWidget* list, USRActionNode* a) {
    auto* item = new QListWidgetItem(QString::fromStdString(a->name()), list);
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(a)));
    item->setIcon(QIcon::fromTheme(a->isShared() ? QStringLiteral("folder-publicshare")
                                                 : QStringLiteral("user-home")));
    return item;
}

USRActionNode* actionOf(const QListWidgetItem* item) {
    return item ? static_cast<USRActionNode*>(item->data(Qt::UserRole).value<void*>()) : nullptr;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const char* icon) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    if (icon) b->setIcon(QIcon::fromTheme(QLatin1String(icon)));
    b->setAutoDefault(false);
    return b;
}

} // namespace

UIActCustPalPage::UIActCustPalPage(USRActions& actions, USRPrompter& prompter, QWidget* parent)
    : QWidget(parent), actions_(actions), prompter_(prompter), order_(actions.toolbar()) {
    setObjectName(QStringLiteral("257"));
    setAccessibleName(QStringLiteral("Toolbar"));
    actionList_ = new QListWidget(this);
    actionList_->setObjectName(QStringLiteral("action"));
    actionList_->setAccessibleName(QStringLiteral("Action"));
    actionList_->setSortingEnabled(true);
    orderList_ = new QListWidget(this);
    orderList_->setObjectName(QStringLiteral("order"));
    orderList_->setAccessibleName(QStringLiteral("Order in toolbar"));
    add_ = button(this, "add", QStringLiteral("&Add"), nullptr);
    remove_ = button(this, "remove", QStringLiteral("&Remove"), nullptr);
    up_ = button(this, "up", QStringLiteral("Up"), "go-up");
    down_ = button(this, "down", QStringLiteral("Down"), "go-down");
    moveLabel_ = new QLabel(QStringLiteral("&Move"), this);
    moveLabel_->setBuddy(up_);
    auto* actionLabel = new QLabel(QStringLiteral("A&ction:"), this);
    actionLabel->setBuddy(actionList_);
    auto* orderLabel = new QLabel(QStringLiteral("&Order in toolbar:"), this);
    orderLabel->setBuddy(orderList_);
    auto* grid = new QGridLayout(this);
    grid->addWidget(actionLabel, 0, 0);
    grid->addWidget(actionList_, 1, 0, 4, 1);
    grid->addWidget(add_, 1, 1);
    grid->addWidget(remove_, 2, 1);
    grid->addWidget(orderLabel, 0, 2);
    grid->addWidget(orderList_, 1, 2, 4, 1);
    grid->addWidget(moveLabel_, 1, 3);
    grid->addWidget(up_, 2, 3);
    grid->addWidget(down_, 3, 3);
    connect(add_, &QPushButton::clicked, this, &UIActCustPalPage::add);
    connect(remove_, &QPushButton::clicked, this, &UIActCustPalPage::remove);
    connect(up_, &QPushButton::clicked, this, &UIActCustPalPage::moveUp);
    connect(down_, &QPushButton::clicked, this, &UIActCustPalPage::moveDown);
    connect(orderList_, &QListWidget::currentRowChanged, this, &UIActCustPalPage::updateButtons);
    connect(actionList_, &QListWidget::currentRowChanged, this, &UIActCustPalPage::updateButtons);
    fill(order_.empty() ? -1 : 0, nullptr);
}

void UIActCustPalPage::fill(int selectOrder, USRActionNode* chosen) {
    const QSignalBlocker a(actionList_), o(orderList_);
    actionList_->clear();
    orderList_->clear();
    for (USRActionNode* action : actions_.library())
        if (std::find(order_.begin(), order_.end(), action) == order_.end())
            itemFor(actionList_, action);
    for (USRActionNode* action : order_)
        itemFor(orderList_, action);
    actionList_->setCurrentRow(actionList_->count() > 0 ? 0 : -1);
    for (int i = 0; chosen && i < actionList_->count(); ++i)
        if (actionOf(actionList_->item(i)) == chosen) actionList_->setCurrentRow(i);
    orderList_->setCurrentRow(std::min(selectOrder, int(orderList_->count()) - 1));
    updateButtons();
}

void UIActCustPalPage::updateButtons() {
    const int at = orderList_->currentRow();
    const int n = orderList_->count();
    add_->setEnabled(actionOf(actionList_->currentItem()) != nullptr);
    remove_->setEnabled(at >= 0);
    up_->setEnabled(at > 0);
    down_->setEnabled(at >= 0 && at + 1 < n);
    moveLabel_->setEnabled(at >= 0 && n >= 2);
}

void UIActCustPalPage::activate() {
    const auto& library = actions_.library();
    const size_t before = order_.size();
    std::erase_if(order_, [&](USRActionNode* a) {
        return std::find(library.begin(), library.end(), a) == library.end();
    });
    if (order_.size() != before) modified_ = true;
    fill(order_.empty() ? -1 : 0, nullptr);
}

void UIActCustPalPage::add() {
    USRActionNode* a = actionOf(actionList_->currentItem());
    if (!a || std::find(order_.begin(), order_.end(), a) != order_.end()) return;
    order_.push_back(a);
    modified_ = true;
    fill(int(order_.size()) - 1, nullptr);
}

void UIActCustPalPage::remove() {
    const int at = orderList_->currentRow();
    if (at < 0 || at >= int(order_.size())) return;
    USRActionNode* a = order_[size_t(at)];
    order_.erase(order_.begin() + at);
    modified_ = true;
    fill(0, a);
}

void UIActCustPalPage::move(int by) {
    const int at = orderList_->currentRow();
    const int to = at + by;
    if (at < 0 || to < 0 || to >= int(order_.size())) return;
    std::swap(order_[size_t(at)], order_[size_t(to)]);
    modified_ = true;
    fill(to, nullptr);
}

bool UIActCustPalPage::apply() {
    if (!modified_) return true;
    long e = 0;
    if (!actions_.setToolbarOrder(order_, e)) {
        prompter_.showError(e);
        return false;
    }
    modified_ = false;
    if (refresh_) refresh_();
    return true;
}

} // namespace desk::sheets
