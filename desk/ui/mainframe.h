// UIDesktopFrame, the desktop's one top-level window: the splitter with the
// folder tree on the left and the contents list on the right, the desktop
// toolbar, the actions toolbar, the status bar with its date and time panes,
// and the menus, all built from the command table. It remembers its last
// normal rectangle and the folder column's width between runs.
//
// Commands: a command runs the handler attached to its id, and is enabled
// when the table's rule holds on the state snapshot and a handler exists.
// The state is re-read once a second (with the clock) and whenever
// updateCommands() is called after a document change.
#pragma once

#include "commands.h"
#include "placement.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace desk::ui {

class UIDesktopFrame : public QMainWindow {
    Q_OBJECT
  public:
    // One button of the actions bar (ids 1000..2999).
    struct ActionButton {
        int id = 0;
        QString name;
        QString description;
        QIcon icon;
        int useWithMask = 0;
    };
    using Handler = std::function<void()>;
    using StateSource = std::function<CommandState()>;
    // Fills the actions bar's buttons; false when the action list cannot be read.
    using ActionLoader = std::function<bool(std::vector<ActionButton>&)>;

    UIDesktopFrame(QWidget* folderPane, QWidget* contentsPane, QWidget* parent = nullptr);
    ~UIDesktopFrame() override;

    // Commands.
    void setHandler(int id, Handler handler);
    void setActionHandler(std::function<void(int)> handler);
    void setStateSource(StateSource source);
    void runCommand(int id);
    void updateCommands();
    QAction* commandAction(int id) const;
    CommandState commandState() const;

    // Places the frame from the saved placement (fitted to the screen) and
    // shows it.
    void placeAndShow();
    QRect normalRect() const { return normal_; }
    // A frame that is only rendered (a screenshot) leaves the profile alone.
    void setKeepsPlacement(bool keep) { keepsPlacement_ = keep; }

    // The actions bar.
    void setActionLoader(ActionLoader loader);
    void setActionsBarShown(bool shown);
    void refreshActionsBar();
    bool actionsBarShown() const { return actionsShown_; }
    // The name of an action button as its tool tip shows it (at most 79
    // characters); empty for an id without a button.
    QString actionTip(int id) const;

    // A pop-up menu at a global position; its commands come back to the frame.
    void showPopup(PopupId id, const QPoint& globalPos);
    QMenu* popup(PopupId id);

    QSplitter* splitter() const { return splitter_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildCommands();
    void buildMenus();
    void buildToolbars();
    void buildStatusBar();
    void attachFrameHandlers();
    void tick();
    void trackNormal();
    void cyclePane(int step);
    QMenu* menuAt(QMenu* root, const QString& path, std::map<QString, QMenu*>& made);

    QSplitter* splitter_ = nullptr;
    QToolBar* desktopBar_ = nullptr;
    QToolBar* actionsBar_ = nullptr;
    QLabel* datePane_ = nullptr;
    QLabel* timePane_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, Handler> handlers_;
    std::map<PopupId, QMenu*> popups_;
    std::vector<ActionButton> buttons_;
    std::function<void(int)> actionHandler_;
    StateSource state_;
    ActionLoader loader_;
    bool actionsShown_ = false;
    bool placed_ = false;
    bool keepsPlacement_ = true;
    QRect normal_;
    Placement placement_;
};

} // namespace desk::ui
