// The fields an action is edited with, shared by the Definitions page and
// the create dialog: description, executable with "&Browse...", the
// use-with boxes and the icon chooser. The advanced values (parameters,
// start directory, show mode) ride along.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QPushButton;

namespace desk::sheets {

class UIActionIconChooser;

struct ActionValues {
    QString name;
    QString description;
    QString executable;
    QString parameters;
    QString startDirectory;
    long showMode = 1;
    int iconIndex = -1;
    int useWith = 0;
    bool shared = false;
};

class UIActionFields : public QWidget {
    Q_OBJECT
  public:
    explicit UIActionFields(bool withName, QWidget* parent = nullptr);

    void show(const ActionValues& v);
    // The values shown, on top of `base` (which keeps the advanced values).
    ActionValues values(const ActionValues& base) const;
    void clearAndDisable();

    QLineEdit* name() const { return name_; }
    QLineEdit* description() const { return description_; }
    QLineEdit* executable() const { return executable_; }
    QPushButton* browse() const { return browse_; }
    QCheckBox* documents() const { return documents_; }
    QCheckBox* webItems() const { return webItems_; }
    UIActionIconChooser* icon() const { return icon_; }

  signals:
    void edited();

  private:
    void chooseExecutable();

    QLineEdit* name_ = nullptr;
    QLineEdit* description_;
    QLineEdit* executable_;
    QPushButton* browse_;
    QCheckBox* documents_;
    QCheckBox* webItems_;
    UIActionIconChooser* icon_;
};

} // namespace desk::sheets
