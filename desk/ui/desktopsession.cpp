#include "desktopsession.h"

#include "actionicons.h"
#include "clipboard.h"
#include "contentsmodel.h"
#include "contentsview.h"
#include "errortext.h"
#include "folderview.h"
#include "mainframe.h"
#include "nodeinfo.h"
#include "publishwindow.h"
#include "uistrings.h"

#include "actions/usractions.h"
#include "core/context.h"
#include "core/notifier.h"
#include "document/uidesktop.h"
#include "folders/usrfoldernode.h"
#include "items/itemcommands.h"
#include "items/usrdocnode.h"
#include "nodes/usritemnode.h"
#include "people/usrpeoplenode.h"

#include <QApplication>
#include <QTimer>

namespace desk::ui {
namespace {

constexpr int kIdlePollMs = 500; // how soon a finished inbox update is shown

} // namespace

UIDesktopSession::UIDesktopSession(USRContext& context, QObject* parent)
    : QObject(parent), context_(context) {
    doc_ = std::make_unique<UIDesktop>(context);
    tree_ = new UIFolderView(*doc_);
    contents_ = new UIContentsView(*doc_);
    frame_ = std::make_unique<UIDesktopFrame>(tree_, contents_);
    clipboard_ = std::make_unique<UIClipboard>(*doc_, frame_.get());
    actions_ = std::make_unique<USRActions>(context);

    auto popup = [this](PopupId id, const QPoint& at) { frame_->showPopup(id, at); };
    tree_->setPopupHandler(popup);
    contents_->setPopupHandler(popup);
    auto drop = [this](const QMimeData* data, Qt::DropAction effect, USRFolderNode* target) {
        clipboard_->drop(data, effect, target);
    };
    tree_->setDropHandler(drop);
    contents_->setDropHandler(drop);
    tree_->setDragHandler([this](USRFolderNode* source) { clipboard_->startDrag(source, tree_); });
    contents_->setDragHandler(
        [this](USRFolderNode* source) { clipboard_->startDrag(source, contents_); });
    connect(contents_, &UIContentsView::folderOpened, tree_, &UIFolderView::openChild);
    connect(doc_.get(), &UIDesktop::exitRequested, frame_.get(), &QWidget::close,
            Qt::QueuedConnection);
    connect(doc_.get(), &UIDesktop::closeRequested, frame_.get(), &QWidget::close,
            Qt::QueuedConnection);
    connect(doc_.get(), &UIDesktop::publishRequested, this, &UIDesktopSession::openPublishWindow,
            Qt::QueuedConnection);
    connect(&doc_->notifier(), &USRNotifier::hint, this, [this](int code) {
        // The desktop is loaded (also by the tree's retry): the title names its user.
        if (code == USR_HINT_REBUILD_TREE && doc_->isLoggedIn())
            frame_->setWindowTitle(QString::fromStdString(doc_->title()) + QStringLiteral(" - ") +
                                   uiString(kStrAppTitle));
        frame_->updateCommands();
    });

    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, [this] { doc_->pollInboxUpdate(); });
    idle->start(kIdlePollMs);

    frame_->setStateSource([this] { return commandState(); });
    frame_->setActionLoader([this](std::vector<UIDesktopFrame::ActionButton>& out) {
        long e = 0;
        if (!doc_->isLoggedIn() || !actions_->loadToolbar(e)) return false;
        for (USRActionNode* a : actions_->toolbar())
            out.push_back({a->commandId(), QString::fromStdString(a->name()),
                           QString::fromStdString(a->data().description),
                           actionIcon(int(a->iconIndex()), programOfCommand(a->commandLine())),
                           int(a->capabilities())});
        return true;
    });
    frame_->setActionHandler([this](int id) {
        USRActionNode* action = actions_->findByCommandId(id);
        const std::vector<USRNode*>& sel = doc_->selection();
        long e = 0;
        if (action && !actions_->run(action, sel.empty() ? nullptr : sel.front(), e) &&
            actions_->reportRunFailure(e))
            frame_->refreshActionsBar();
    });
    attachCommands();
}

UIDesktopSession::~UIDesktopSession() {
    for (UIPublishWindow* w : publishWindows_) {
        disconnect(w, nullptr, this, nullptr);
        w->close();
    }
    actions_->clear();
    frame_.reset();
    doc_->shutdown();
}

void UIDesktopSession::start() {
    frame_->placeAndShow();
    tree_->start();
    frame_->refreshActionsBar();
    frame_->updateCommands();
}

CommandState UIDesktopSession::commandState() const {
    CommandState s;
    UIDesktop& d = *doc_;
    s.loggedIn = d.isLoggedIn();
    USRFolderNode* current = d.currentFolder();
    s.folderCurrent = current != nullptr;
    s.inboxCurrent = d.showingOffer();
    s.offerPending = d.showingOffer() && d.offeredFolder();
    s.currentIsRoot = current && current == d.rootFolder();
    s.currentShared = current && current->isShared() && !s.currentIsRoot;
    s.mayChangeCurrent = d.mayChangeCurrent();
    s.moderatesCurrent = d.moderatorOfCurrent();
    s.mayChangeParent = d.mayChangeParent();
    const std::vector<USRNode*>& sel = d.selection();
    s.selectionCount = int(sel.size());
    if (!sel.empty()) {
        USRNode* first = sel.front();
        s.firstSelectedIsRoot = first == d.rootFolder();
        s.firstSelectedIsInbox = d.showingOffer() && first == d.offeredFolder();
        s.firstSelectedIsCurrent = first == current;
        s.firstSelectedLocked = first->isBusy();
    }
    if (sel.size() == 1) {
        s.singleSelectedKind = kindOf(sel.front());
        if (USRFolderNode* f = asFolder(sel.front()))
            s.singleSelectedAccessible = !f->isShared() || f->isDefaultFolder() || f->mayRead();
    }
    s.clipboardHasData = clipboard_->hasData();
    s.viewMode = contents_->mode();
    return s;
}

void UIDesktopSession::setMode(int mode) {
    contents_->setMode(mode);
    frame_->updateCommands();
}

void UIDesktopSession::properties() {
    USRNode* node = doc_->singleSelected();
    if (!node) return;
    bool changed = false;
    if (auto* doc = dynamic_cast<USRDocNode*>(node)) {
        USREditDocumentProperties(context_, *doc, &doc_->notifier());
        return;
    }
    changed = node->edit(true, false);
    if (!changed) return;
    long e = 0;
    if (!node->write(e)) return showError(frame_.get(), e, displayName(node));
    doc_->notifier().send(USR_HINT_PROPERTIES_SAVED, node);
}

void UIDesktopSession::openPublishWindow(USRFolderNode* folder, bool atOnce) {
    if (!folder) return;
    UIPublishWindow* w = UIPublishWindow::open(*folder, atOnce, frame_.get());
    if (!w) return;
    publishWindows_.insert(w);
    connect(w, &UIPublishWindow::windowClosed, this,
            [this](UIPublishWindow* closed) { publishWindows_.erase(closed); });
    w->show();
}

void UIDesktopSession::attachCommands() {
    UIDesktop& d = *doc_;
    UIDesktopFrame& f = *frame_;
    struct Row {
        int id;
        std::function<void()> run;
    };
    const Row rows[] = {
        {kCmdNewPersonalFolder, [&d] { d.newFolder(false); }},
        {kCmdNewSharedFolder, [&d] { d.newFolder(true); }},
        {kCmdNewDocument,
         [this] { USRNewDocumentItem(context_, *doc_->currentFolder(), {}, &doc_->notifier()); }},
        {kCmdNewWebItem,
         [this] { USRNewWebItem(context_, *doc_->currentFolder(), &doc_->notifier()); }},
        {kCmdUpdateInbox, [&d] { d.startInboxUpdate(); }},
        {kCmdPublish, [this] { openPublishWindow(doc_->currentFolder(), false); }},
        {kCmdActivate,
         [this] {
             if (auto* item = dynamic_cast<USRItemNode*>(doc_->singleSelected()))
                 actions_->doAction(*item);
         }},
        {kCmdEditCard,
         [this] {
             if (USRPeopleNode* card = doc_->userCard()) card->edit(true, false);
         }},
        {kCmdDelete, [&d] { d.deleteSelection(false); }},
        {kCmdCut, [this] { clipboard_->cut(); }},
        {kCmdCopy, [this] { clipboard_->copy(); }},
        {kCmdPaste, [this] { clipboard_->paste(); }},
        {kCmdProperties, [this] { properties(); }},
        {kCmdLargeIcons, [this] { setMode(kModeLargeIcons); }},
        {kCmdSmallIcons, [this] { setMode(kModeSmallIcons); }},
        {kCmdList, [this] { setMode(kModeList); }},
        {kCmdDetails, [this] { setMode(kModeDetails); }},
        {kCmdDescription, [this] { setMode(kModeDescription); }},
        {kCmdSortName, [this] { contents_->sortBy(0); }},
        {kCmdSortType, [this] { contents_->sortBy(1); }},
        {kCmdSortDescription, [this] { contents_->sortBy(2); }},
        {kCmdRefresh,
         [this] {
             doc_->refreshCurrent();
             frame_->refreshActionsBar();
         }},
        {kCmdPreferences, [&d] { d.preferences(); }},
        {kCmdSubscribe, [&d] { d.subscribeOffered(); }},
        {kCmdDontSubscribe, [&d] { d.declineOffered(); }},
        {kCmdInstallStandardActions,
         [this] {
             long e = 0;
             if (actions_->installStandard(e) > 0) frame_->refreshActionsBar();
             if (e != 0) showError(frame_.get(), e);
         }},
        {kCmdAbout, [this] { emit aboutRequested(); }},
    };
    for (const Row& r : rows)
        f.setHandler(r.id, r.run);
}

} // namespace desk::ui
