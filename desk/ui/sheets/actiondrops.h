// Drops on the actions toolbar: program files from other programs open the
// create-action dialog for the first file (a personal action); desktop nodes
// dropped on a button run that button's action on them.
#pragma once

#include <QObject>
#include <functional>

class QToolBar;

namespace desk::sheets {

class UIActionDrops : public QObject {
    Q_OBJECT
  public:
    // `createFor` opens the create dialog for a program path; `runOn` runs
    // the action of a button's command id on the dragged nodes.
    UIActionDrops(QToolBar* bar, std::function<void(const QString&)> createFor,
                  std::function<void(int)> runOn);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int commandAt(const QPoint& at) const; // 0: no enabled button

    QToolBar* bar_;
    std::function<void(const QString&)> createFor_;
    std::function<void(int)> runOn_;
};

} // namespace desk::sheets
