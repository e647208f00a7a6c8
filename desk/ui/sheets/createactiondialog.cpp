#include "createactiondialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "actionedits.h"
#include "actionrules.h"
#include "core/prompter.h"
#include "formrows.h"
#include "sheetstrings.h"

namespace desk::sheets {

UICreateActionDialog::UICreateActionDialog(USRActions& actions, USRPrompter& prompter, bool shared,
                                           const QString& program, QWidget* parent)
    : QDialog(parent), actions_(actions), prompter_(prompter) {
    setObjectName(QStringLiteral("277"));
    setWindowTitle(shared ? sheetString(kStrCreateSharedAction)
                          : QStringLiteral("Create Personal Action"));
    values_.shared = shared;
    fields_ = new UIActionFields(true, this);
    toolbar_ = new QCheckBox(QStringLiteral("&Add to Toolbar"), this);
    toolbar_->setObjectName(QStringLiteral("addToToolbar"));
    if (!program.isEmpty()) {
        // A program already known as an action lends its name and texts.
        const USRActionNode* known = nullptr;
        for (const USRActionNode* a : actions.library())
            if (splitActionCommand(QString::fromStdString(a->commandLine())).executable == program)
                known = a;
        if (known) {
            values_ = actionValues(*known);
            values_.shared = shared;
        } else {
            values_.name = program.mid(std::max(program.lastIndexOf(QLatin1Char('\\')),
                                                program.lastIndexOf(QLatin1Char('/'))) +
                                       1);
        }
        values_.executable = program;
        values_.iconIndex = -1;
    }
    fields_->show(values_);
    auto* buttons = okCancel(this);
    connect(fields_->executable(), &QLineEdit::textEdited, this,
            [buttons] { buttons->button(QDialogButtonBox::Ok)->setDefault(true); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fields_);
    layout->addWidget(toolbar_);
    layout->addWidget(buttons);
}

void UICreateActionDialog::accept() {
    ActionValues v = fields_->values(values_);
    if (checkAction(actions_, prompter_, v) != ActionCheck::Ok) {
        fields_->show(v);
        return;
    }
    v.startDirectory = folderOf(v.executable);
    v.showMode = 1;
    long e = 0;
    USRActionNode* made = actions_.create(actionDefinition(v), e);
    if (!made) {
        prompter_.showError(e);
        return;
    }
    if (toolbar_->isChecked() && !actions_.addToToolbar(made, e)) prompter_.showError(e);
    created_ = made;
    QDialog::accept();
}

USRActionNode* runCreateAction(USRActions& actions, USRPrompter& prompter, bool shared,
                               bool askShared, const QString& program, QWidget* parent) {
    if (askShared) shared = prompter.askYesNo(sheetString(kStrShareActionQuestion).toStdString());
    long e = 0;
    if (!actions.loadLibrary(e)) {
        prompter.showError(e, sheetString(kStrGettingActionInfo).toStdString());
        return nullptr;
    }
    UICreateActionDialog dialog(actions, prompter, shared, program, parent);
    dialog.raise();
    dialog.activateWindow();
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return dialog.created();
}

} // namespace desk::sheets
