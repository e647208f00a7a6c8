// UIDesktopSession: one running desktop put together: the document over a
// context, the folder tree and contents views, the frame with its command
// handlers, the clipboard, the actions bar and the publish windows. The
// program makes one; tests make one against a daemon of their own.
#pragma once

#include "commandstate.h"

#include <QObject>
#include <memory>
#include <set>

class UIDesktop;
class USRActions;
class USRContext;
class USRFolderNode;

namespace desk::ui {

class UIClipboard;
class UIContentsView;
class UIDesktopFrame;
class UIFolderView;
class UIPublishWindow;

class UIDesktopSession : public QObject {
    Q_OBJECT
  public:
    explicit UIDesktopSession(USRContext& context, QObject* parent = nullptr);
    ~UIDesktopSession() override;

    // Shows the frame and loads the desktop (the tree view's first update).
    void start();

    UIDesktop& document() { return *doc_; }
    UIDesktopFrame& frame() { return *frame_; }
    UIFolderView& folderView() { return *tree_; }
    UIContentsView& contentsView() { return *contents_; }
    UIClipboard& clipboard() { return *clipboard_; }
    USRActions& actions() { return *actions_; }
    CommandState commandState() const;

    // The Publish command's window for `folder`.
    void openPublishWindow(USRFolderNode* folder, bool atOnce);

  signals:
    // The about box (the program answers it).
    void aboutRequested();

  private:
    void attachCommands();
    void properties();
    void setMode(int mode);

    USRContext& context_;
    std::unique_ptr<UIDesktop> doc_;
    std::unique_ptr<UIDesktopFrame> frame_;
    UIFolderView* tree_;
    UIContentsView* contents_;
    std::unique_ptr<UIClipboard> clipboard_;
    std::unique_ptr<USRActions> actions_;
    std::set<UIPublishWindow*> publishWindows_;
};

} // namespace desk::ui
