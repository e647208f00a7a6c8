// UIFolderPubPage ("Publish"): whether a new shared folder is published at
// once, to all members (1), to the selected ones (2), or not (0).
#pragma once

#include <QWidget>

class QButtonGroup;

namespace desk::sheets {

class UIFolderPubPage : public QWidget {
    Q_OBJECT
  public:
    explicit UIFolderPubPage(QWidget* parent = nullptr);
    int choice() const;
    void setChoice(int choice);

  private:
    QButtonGroup* group_;
};

} // namespace desk::sheets
