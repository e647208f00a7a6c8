// UIFolderView, the left pane: the user's folders under "My Desktop" and,
// behind a second tab, the folders on offer under "My Inbox". Only folders
// appear here; selecting one makes it the document's current folder, which
// the contents view shows.
//
// Follows the document's hints 2-5 and 7-14 (see onHint). Starts the inbox
// update on its polling timer (999) and retries loading the desktop on a
// one-shot timer (998) when the first load fails.
#pragma once

#include "commands.h"

#include <QWidget>
#include <functional>

class QMimeData;
class QStackedWidget;
class QTabBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class UIDesktop;
class USRFolderNode;
class USRNode;

namespace desk::ui {

class DeskTree;

class UIFolderView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kNodeRole = Qt::UserRole + 1;  // USRNode*, as quintptr
    static constexpr int kImageRole = Qt::UserRole + 2; // the item's picture slot

    using PopupHandler = std::function<void(PopupId, const QPoint&)>;
    using DropHandler = std::function<void(const QMimeData*, Qt::DropAction, USRFolderNode*)>;
    using DragHandler = std::function<void(USRFolderNode* source)>;

    explicit UIFolderView(UIDesktop& doc, QWidget* parent = nullptr);

    // The first update: the tabs, the inbox root, the timers, the desktop.
    void start();
    void setPopupHandler(PopupHandler handler) { popup_ = std::move(handler); }
    void setDropHandler(DropHandler handler) { drop_ = std::move(handler); }
    void setDragHandler(DragHandler handler) { drag_ = std::move(handler); }

    // Selects the child of the selected desktop item that shows `node` (a
    // folder opened in the contents view).
    void openChild(USRNode* node);

    QTreeWidget* desktopTree() const;
    QTreeWidget* inboxTree() const;
    QTabBar* tabs() const { return tabs_; }
    int inboxTabImage() const { return inboxTabImage_; }
    // The item showing `node`, searched from the desktop root.
    QTreeWidgetItem* itemOf(const USRNode* node) const;

  public slots:
    void onHint(int code, USRNode* node);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void processSelection(QTreeWidgetItem* item);
    void fillChildren(QTreeWidgetItem* item);
    QTreeWidgetItem* insertFolder(QTreeWidgetItem* parent, USRNode* node);
    void setImage(QTreeWidgetItem* item, int image);
    void userToggled(QTreeWidgetItem* item);
    void rebuildInbox();
    void removeInboxEntry(const USRNode* node);
    void refreshAll();
    bool pruneGone(QTreeWidgetItem* item);
    void setInboxTabImage();
    void switchTab(int index);
    void selectItem(QTreeWidgetItem* item);
    QTreeWidgetItem* childShowing(QTreeWidgetItem* parent, const USRNode* node) const;
    void contextMenu(QTreeWidget* tree, const QPoint& at);
    void restartPolling();
    void fitTabLabels();

    UIDesktop& doc_;
    QTabBar* tabs_;
    QStackedWidget* stack_;
    DeskTree* desktop_;
    DeskTree* inbox_;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* inboxRoot_ = nullptr;
    QTimer* retry_;
    QTimer* poll_;
    bool refreshing_ = false;
    bool fromCode_ = false; // expanding from code is no user toggle
    int inboxTabImage_ = 1;
    PopupHandler popup_;
    DropHandler drop_;
    DragHandler drag_;
};

} // namespace desk::ui
