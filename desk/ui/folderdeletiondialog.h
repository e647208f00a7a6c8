// The folder deletion dialog (265): builds the deletion list on its first
// timer tick, then processes one entry per tick with the entry's path, the
// percentage in the caption and a bar, so the window stays responsive. Cancel
// (enabled once the list stands) stops between two entries.
#pragma once

#include <QDialog>

#include "core/prompter.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class USRFolderDeletion;

namespace desk::ui {

class UIFolderDeletionDialog : public QDialog {
    Q_OBJECT
  public:
    UIFolderDeletionDialog(USRFolderDeletion& deletion, QWidget* parent = nullptr);

    // Runs modally: OK when every entry was processed.
    USRReply run();

  protected:
    void reject() override;

  private:
    void tick();
    bool prepare();
    void end(bool finished);

    USRFolderDeletion& deletion_;
    bool prepared_ = false;
    size_t total_ = 0;
    QTimer* timer_;
    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

} // namespace desk::ui
