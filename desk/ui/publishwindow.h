// UIPublishWindow (239): publishes a shared folder to the people its access
// rights list names. The "Publish to" list offers the list's entries; the
// results list shows, per recipient, whether the folder was sent, while the
// publication runs on its own worker (publish/usrpublication.h) and a
// 300 ms timer brings the results in. Modeless; closing it while it runs
// cancels and waits for the recipient in progress.
#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class USRFolderNode;
class USRPublication;

namespace desk::ui {

class UIPublishWindow : public QDialog {
    Q_OBJECT
  public:
    // Null (and a message shown) when the folder is locked by another
    // publication or a deletion.
    static UIPublishWindow* open(USRFolderNode& folder, bool atOnce, QWidget* parent);
    ~UIPublishWindow() override;

    USRPublication& publication() const { return *publication_; }

  signals:
    void windowClosed(UIPublishWindow* window);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    UIPublishWindow(std::unique_ptr<USRPublication> publication, bool atOnce, QWidget* parent);
    void fillEntries();
    void publishPressed();
    void tick();
    void finish();
    void showCounters();
    void showCard();
    void modifyList();

    std::unique_ptr<USRPublication> publication_;
    bool atOnce_;
    bool waitCursor_ = false;
    int frame_ = 0;
    QListWidget* entries_;
    QTreeWidget* results_;
    QProgressBar* progress_;
    QLabel* total_;
    QLabel* errors_;
    QLabel* notUsers_;
    QLabel* animation_;
    QPushButton* publish_;
    QPushButton* card_;
    QPushButton* modify_;
    QPushButton* close_;
    QTimer* timer_;
};

} // namespace desk::ui
