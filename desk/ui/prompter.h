// UIPrompter: the windows' answer to the logic's questions and dialogs
// (core/prompter.h). Questions and messages are message boxes; the delete
// confirmation, the folder deletion choice and progress, and the copy progress are the
// desktop's own dialogs; the property sheets are forms made from one table
// of fields per dialog.
#pragma once

#include "core/prompter.h"

class QWidget;

namespace desk::ui {

class UIPrompter : public USRPrompter {
  public:
    explicit UIPrompter(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }

    bool askYesNo(const std::string& text, USRIcon icon) override;
    void showMessage(const std::string& text, USRIcon icon) override;
    USRReply runDialog(USRDialog dialog, QVariantMap& values) override;
    void beep() override;
    USRReply runFolderDeletion(USRFolderDeletion& deletion) override;

  private:
    QWidget* window_;
};

} // namespace desk::ui
