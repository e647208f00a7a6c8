// The two questions of a deletion: the confirmation asked for each node
// (256: Yes, Yes to All, No, Cancel) and, for a shared folder, whether it
// goes from this folder only or from every subscriber (280).
#pragma once

#include "core/prompter.h"

#include <QDialog>

class QCheckBox;
class QRadioButton;

namespace desk::ui {

class UIDeleteConfirmDialog : public QDialog {
    Q_OBJECT
  public:
    // `several`: more than one node is being deleted (Yes to All offered).
    UIDeleteConfirmDialog(const QString& name, bool several, QWidget* parent = nullptr);
    USRReply reply() const { return reply_; }

  private:
    USRReply reply_ = USR_REPLY_CANCEL;
};

class UIFolderDeleteDialog : public QDialog {
    Q_OBJECT
  public:
    // `moderator`: the user may delete the folder for every subscriber.
    UIFolderDeleteDialog(const QString& name, bool moderator, QWidget* parent = nullptr);
    bool allSubscribers() const;
    bool allSubfolders() const;

  private:
    QRadioButton* thisFolder_;
    QRadioButton* everyone_;
    QCheckBox* subfolders_;
};

} // namespace desk::ui
