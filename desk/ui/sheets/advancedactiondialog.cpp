#include "advancedactiondialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "actionrules.h"
#include "core/prompter.h"
#include "files/usrfile.h"
#include "formrows.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIAdvancedActionDialog::UIAdvancedActionDialog(USRPrompter& prompter, const ActionValues& values,
                                               QWidget* parent)
    : QDialog(parent), prompter_(prompter), values_(values) {
    setObjectName(QStringLiteral("278"));
    setWindowTitle(QStringLiteral("Advanced Action"));
    auto* form = new QFormLayout;
    parameters_ = addLineRow(form, this, 1090, QStringLiteral("Command &line parameters:"), 1000);
    parameters_->setText(values.parameters);
    start_ = new QLineEdit(values.startDirectory, this);
    nameControl(start_, 1091, QStringLiteral("Start in"));
    auto* browse = makeButton(this, 8, QStringLiteral("&Browse..."));
    auto* row = new QHBoxLayout;
    row->addWidget(start_, 1);
    row->addWidget(browse);
    auto* startLabel = new QLabel(QStringLiteral("&Start in:"), this);
    startLabel->setBuddy(start_);
    form->addRow(startLabel, row);
    run_ = new QComboBox(this);
    nameControl(run_, 1092, QStringLiteral("Run"));
    run_->addItems(
        {QStringLiteral("Normal"), QStringLiteral("Minimized"), QStringLiteral("Maximized")});
    run_->setCurrentIndex(runIndexOfShowMode(values.showMode));
    auto* runLabel = new QLabel(QStringLiteral("&Run:"), this);
    runLabel->setBuddy(run_);
    form->addRow(runLabel, run_);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, sheetString(kStrSelectDirectory), start_->text());
        if (dir.isEmpty()) return;
        start_->setText(dir);
        startDirectoryShared();
    });
    auto* buttons = okCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool UIAdvancedActionDialog::startDirectoryShared() {
    const std::string dir = start_->text().trimmed().toStdString();
    if (!values_.shared || dir.empty() || USRFile::isOnSharedArea(dir)) return true;
    prompter_.showMessage(sheetString(kStrStartDirNotShared).toStdString());
    start_->setFocus();
    start_->selectAll();
    return false;
}

void UIAdvancedActionDialog::accept() {
    if (!startDirectoryShared()) return;
    QDialog::accept();
}

ActionValues UIAdvancedActionDialog::values() const {
    ActionValues v = values_;
    v.parameters = parameters_->text().trimmed();
    v.startDirectory = start_->text().trimmed();
    v.showMode = showModeOfRunIndex(run_->currentIndex());
    return v;
}

} // namespace desk::sheets
