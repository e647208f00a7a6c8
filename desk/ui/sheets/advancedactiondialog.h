// The "Advanced Action" dialog: command-line parameters, start directory and
// how the program shows ("&Run:"). A shared action's start directory must
// lie on a shared area.
#pragma once

#include <QDialog>

#include "actionfields.h"

class QComboBox;
class QLineEdit;
class USRPrompter;

namespace desk::sheets {

class UIAdvancedActionDialog : public QDialog {
    Q_OBJECT
  public:
    UIAdvancedActionDialog(USRPrompter& prompter, const ActionValues& values,
                           QWidget* parent = nullptr);
    ActionValues values() const;
    void accept() override;

  private:
    bool startDirectoryShared();

    USRPrompter& prompter_;
    ActionValues values_;
    QLineEdit* parameters_;
    QLineEdit* start_;
    QComboBox* run_;
};

} // namespace desk::sheets
