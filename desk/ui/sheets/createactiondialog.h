// The "Create Personal Action" dialog (Actions > New, and a program dropped
// on the actions toolbar): on OK the action joins the library and, with
// "&Add to Toolbar", the toolbar.
#pragma once

#include <QDialog>

#include "actionfields.h"

class QCheckBox;
class USRActionNode;
class USRActions;
class USRPrompter;

namespace desk::sheets {

class UICreateActionDialog : public QDialog {
    Q_OBJECT
  public:
    // `program`: a dropped program's path (may be empty).
    UICreateActionDialog(USRActions& actions, USRPrompter& prompter, bool shared,
                         const QString& program, QWidget* parent = nullptr);
    UIActionFields* fields() const { return fields_; }
    QCheckBox* addToToolbar() const { return toolbar_; }
    // The action made on OK.
    USRActionNode* created() const { return created_; }
    void accept() override;

  private:
    USRActions& actions_;
    USRPrompter& prompter_;
    ActionValues values_;
    UIActionFields* fields_;
    QCheckBox* toolbar_;
    USRActionNode* created_ = nullptr;
};

// Actions > New (and a dropped program): asks whether to share when
// `askShared`, then runs the dialog. The action made, or null.
USRActionNode* runCreateAction(USRActions& actions, USRPrompter& prompter, bool shared,
                               bool askShared, const QString& program, QWidget* parent);

} // namespace desk::sheets
