#include "actionssheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "actcustpalpage.h"
#include "actdefinitionpage.h"
#include "actions/usractions.h"
#include "core/prompter.h"
#include "formrows.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIActionsPropSheet::UIActionsPropSheet(USRActions& actions, USRPrompter& prompter,
                                       std::function<void()> refresh, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("UIActionsPropSheet"));
    setWindowTitle(sheetString(kStrActions));
    tabs_ = new QTabWidget(this);
    definitions_ = new UIActDefinitionPage(actions, prompter, tabs_);
    toolbar_ = new UIActCustPalPage(actions, prompter, tabs_);
    definitions_->setRefresh(refresh);
    toolbar_->setRefresh(refresh);
    tabs_->addTab(definitions_, QStringLiteral("Definitions"));
    tabs_->addTab(toolbar_, QStringLiteral("Toolbar"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (tabs_->widget(index) == toolbar_) toolbar_->activate();
    });
    auto* buttons = okCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void UIActionsPropSheet::accept() {
    // A save that fails keeps the sheet open.
    if (!definitions_->save() || !toolbar_->apply()) return;
    QDialog::accept();
}

bool runActionsSheet(USRActions& actions, USRPrompter& prompter, std::function<void()> refresh,
                     QWidget* parent) {
    long e = 0;
    if (!actions.loadLibrary(e) || !actions.loadToolbar(e)) {
        prompter.showError(e, sheetString(kStrGettingActionInfo).toStdString());
        return false;
    }
    UIActionsPropSheet sheet(actions, prompter, std::move(refresh), parent);
    return sheet.exec() == QDialog::Accepted;
}

} // namespace desk::sheets
