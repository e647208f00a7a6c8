#include "folderview.h"

#include "dragdrop.h"
#include "errortext.h"
#include "nodeinfo.h"
#include "treeimages.h"
#include "uistrings.h"

#include "core/notifier.h"
#include "document/uidesktop.h"
#include "folders/usrfoldernode.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <namedir/errors.h>
#include <set>

namespace desk::ui {
namespace {

constexpr int kRetryMs = 3000;
constexpr int kDesktopTab = 0;
constexpr int kInboxTab = 1;

USRNode* nodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<USRNode*>(
                      item->data(0, UIFolderView::kNodeRole).value<quintptr>())
                : nullptr;
}

// A wait cursor for the length of a directory call.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

// A tree with the desktop's drag and drop: it highlights the folder under a
// drag and hands drops and drag starts to the view.
class DeskTree : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;
    std::function<void(const QMimeData*, Qt::DropAction, QTreeWidgetItem*)> onDrop;
    std::function<void(QTreeWidgetItem*)> onDragStart;
    bool acceptsDrops = false;

  protected:
    Qt::DropAction effectAt(QDropEvent* e) {
        QTreeWidgetItem* item = itemAt(e->position().toPoint());
        const bool ctrl = e->modifiers() & Qt::ControlModifier;
        return item ? dropEffect(e->mimeData(), asFolder(nodeOf(item)), ctrl) : Qt::IgnoreAction;
    }
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (!acceptsDrops) return e->ignore();
        e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        const Qt::DropAction effect = effectAt(e);
        setHighlight(effect == Qt::IgnoreAction ? nullptr : itemAt(e->position().toPoint()));
        if (effect == Qt::IgnoreAction) return e->ignore();
        e->setDropAction(effect);
        e->accept();
    }
    void dragLeaveEvent(QDragLeaveEvent* e) override {
        setHighlight(nullptr);
        e->accept();
    }
    void dropEvent(QDropEvent* e) override {
        const Qt::DropAction effect = effectAt(e);
        QTreeWidgetItem* item = itemAt(e->position().toPoint());
        setHighlight(nullptr);
        if (effect == Qt::IgnoreAction || !item) return e->ignore();
        e->setDropAction(effect);
        e->accept();
        if (onDrop) onDrop(e->mimeData(), effect, item);
    }
    void startDrag(Qt::DropActions) override {
        if (onDragStart) onDragStart(currentItem());
    }

  private:
    void setHighlight(QTreeWidgetItem* item) {
        if (highlight_ == item) return;
        if (highlight_) highlight_->setBackground(0, QBrush());
        highlight_ = item;
        if (item) item->setBackground(0, palette().brush(QPalette::Highlight).color().lighter(160));
    }
    QTreeWidgetItem* highlight_ = nullptr;
};

UIFolderView::UIFolderView(UIDesktop& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("148"));
    setAccessibleName(QStringLiteral("Folders"));
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("1038"));
    tabs_->setAccessibleName(QStringLiteral("Desktop or inbox"));
    tabs_->setExpanding(false);
    tabs_->setDrawBase(false);
    tabs_->setUsesScrollButtons(false);
    tabs_->setAcceptDrops(true);
    tabs_->setChangeCurrentOnDrag(true); // a drag reaches the other tree
    stack_ = new QStackedWidget(this);
    auto makeTree = [this](const char* id, const char* name) {
        auto* tree = new DeskTree(this);
        tree->setObjectName(QLatin1String(id));
        tree->setAccessibleName(QLatin1String(name));
        tree->setHeaderHidden(true);
        tree->setRootIsDecorated(true);
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        tree->setIconSize(QSize(16, 16));
        connect(tree, &QWidget::customContextMenuRequested, this,
                [this, tree](const QPoint& at) { contextMenu(tree, at); });
        stack_->addWidget(tree);
        return tree;
    };
    desktop_ = makeTree("1000", "My Desktop folders");
    inbox_ = makeTree("1001", "Folders on offer");
    desktop_->acceptsDrops = true;
    desktop_->setAcceptDrops(true);
    desktop_->setDragEnabled(true);
    desktop_->setDragDropMode(QAbstractItemView::DragDrop);
    desktop_->onDrop = [this](const QMimeData* data, Qt::DropAction effect, QTreeWidgetItem* item) {
        selectItem(item);
        if (drop_) drop_(data, effect, asFolder(nodeOf(item)));
    };
    desktop_->onDragStart = [this](QTreeWidgetItem* item) {
        if (!item || item == root_) return;
        selectItem(item);
        if (drag_) drag_(asFolder(nodeOf(item->parent())));
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 3, 3);
    layout->setSpacing(0);
    layout->addWidget(tabs_);
    layout->addWidget(stack_, 1);

    connect(desktop_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* now) { processSelection(now); });
    connect(inbox_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* now) { processSelection(now); });
    for (QTreeWidget* tree :
         {static_cast<QTreeWidget*>(desktop_), static_cast<QTreeWidget*>(inbox_)}) {
        connect(tree, &QTreeWidget::itemExpanded, this, &UIFolderView::userToggled);
        connect(tree, &QTreeWidget::itemCollapsed, this, &UIFolderView::userToggled);
    }
    connect(tabs_, &QTabBar::currentChanged, this, &UIFolderView::switchTab);

    retry_ = new QTimer(this);
    retry_->setObjectName(QStringLiteral("998"));
    retry_->setSingleShot(true);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, [this] {
        WaitCursor wait;
        doc_.loadDesktop(false);
    });
    poll_ = new QTimer(this);
    poll_->setObjectName(QStringLiteral("999"));
    connect(poll_, &QTimer::timeout, this, [this] { doc_.startInboxUpdate(); });
    connect(&doc_.notifier(), &USRNotifier::hint, this, &UIFolderView::onHint);
}

QTreeWidget* UIFolderView::desktopTree() const {
    return desktop_;
}
QTreeWidget* UIFolderView::inboxTree() const {
    return inbox_;
}

void UIFolderView::start() {
    const QSignalBlocker block(tabs_);
    tabs_->addTab(tabIcon(kTabDesktop), uiString(kStrTabDesktop));
    tabs_->addTab(tabIcon(kTabInboxEmpty), uiString(kStrTabInbox));
    restartPolling();
    inboxRoot_ = new QTreeWidgetItem(inbox_, {uiString(kStrInboxRoot)});
    setImage(inboxRoot_, kTreeInbox + 2);
    inbox_->addTopLevelItem(inboxRoot_);
    rebuildInbox();
    if (!doc_.loadDesktop(true)) retry_->start();
}

void UIFolderView::restartPolling() {
    poll_->start(int(std::clamp<long>(doc_.updateInterval(), 1000, 24L * 3600 * 1000)));
}

void UIFolderView::setImage(QTreeWidgetItem* item, int image) {
    item->setData(0, kImageRole, image);
    item->setIcon(0, treeIcon(image));
}

QTreeWidgetItem* UIFolderView::insertFolder(QTreeWidgetItem* parent, USRNode* node) {
    auto* item = new QTreeWidgetItem(QStringList{displayName(node)});
    item->setData(0, kNodeRole, QVariant::fromValue(quintptr(node)));
    setImage(item, insertedImage(node->isShared()));
    parent->addChild(item);
    parent->sortChildren(0, Qt::AscendingOrder);
    fromCode_ = true;
    parent->setExpanded(true);
    fromCode_ = false;
    return item;
}

void UIFolderView::userToggled(QTreeWidgetItem* item) {
    if (fromCode_ || !item) return;
    setImage(item, swappedImage(item->data(0, kImageRole).toInt()));
}

void UIFolderView::fillChildren(QTreeWidgetItem* item) {
    auto* folder = asFolder(nodeOf(item));
    if (!folder) return;
    long e = 0;
    if (!folder->isLoaded() && !folder->read(e) && e != DIR_COLLECTION_EMPTY) {
        showError(this, e);
        return;
    }
    std::set<USRNode*> folders;
    for (const USRChild& child : folder->children()) {
        if (child.objectType != kKindFolder) continue;
        if (USRNode* node = folder->childNode(child, e)) folders.insert(node);
    }
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* c = item->child(i);
        if (folders.erase(nodeOf(c)) == 0) delete c;
    }
    for (USRNode* node : folders)
        insertFolder(item, node);
}

void UIFolderView::processSelection(QTreeWidgetItem* item) {
    if (refreshing_ || !item) return;
    WaitCursor wait;
    USRNode* node = nodeOf(item);
    auto* folder = asFolder(node);
    if (item->treeWidget() == inbox_) {
        doc_.showOfferedFolder(item == inboxRoot_ ? nullptr : folder);
        return;
    }
    if (!folder || !doc_.setCurrentFolder(folder, asFolder(nodeOf(item->parent())))) return;
    if (folder->isShared() && folder->isModerator())
        setImage(item, moderatorImage(item->data(0, kImageRole).toInt()));
    if (item != root_) item->setText(0, displayName(folder));
    fillChildren(item);
}

void UIFolderView::selectItem(QTreeWidgetItem* item) {
    if (!item) return;
    QTreeWidget* tree = item->treeWidget();
    if (tree->currentItem() == item)
        processSelection(item);
    else
        tree->setCurrentItem(item);
}

QTreeWidgetItem* UIFolderView::childShowing(QTreeWidgetItem* parent, const USRNode* node) const {
    if (!parent) return nullptr;
    if (nodeOf(parent) == node) return parent;
    for (int i = 0; i < parent->childCount(); ++i)
        if (nodeOf(parent->child(i)) == node) return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* UIFolderView::itemOf(const USRNode* node) const {
    if (!root_) return nullptr;
    std::vector<QTreeWidgetItem*> todo{root_};
    while (!todo.empty()) {
        QTreeWidgetItem* item = todo.back();
        todo.pop_back();
        if (nodeOf(item) == node) return item;
        for (int i = 0; i < item->childCount(); ++i)
            todo.push_back(item->child(i));
    }
    return nullptr;
}

void UIFolderView::openChild(USRNode* node) {
    if (tabs_->currentIndex() != kDesktopTab) return;
    if (QTreeWidgetItem* item = childShowing(desktop_->currentItem(), node)) selectItem(item);
}

void UIFolderView::onHint(int code, USRNode* node) {
    QTreeWidgetItem* selected = desktop_->currentItem();
    switch (code) {
    case USR_HINT_REBUILD_TREE:
        if (!root_) {
            root_ = new QTreeWidgetItem(QStringList{uiString(kStrDesktopRoot)});
            root_->setData(0, kNodeRole, QVariant::fromValue(quintptr(node)));
            setImage(root_, kTreeRoot + 2);
            desktop_->addTopLevelItem(root_);
            fillChildren(root_);
            fromCode_ = true;
            root_->setExpanded(true);
            fromCode_ = false;
            refreshing_ = true;
            desktop_->setCurrentItem(root_);
            refreshing_ = false;
        } else {
            selectItem(root_);
        }
        break;
    case USR_HINT_SUBSCRIBED_AT_ROOT:
        if (root_) selectItem(root_);
        [[fallthrough]];
    case USR_HINT_FOLDER_ADDED:
        if (QTreeWidgetItem* parent = desktop_->currentItem(); parent && node)
            selectItem(childShowing(parent, node) ? childShowing(parent, node)
                                                  : insertFolder(parent, node));
        break;
    case USR_HINT_INBOX_DONE:
        rebuildInbox();
        break;
    case USR_HINT_DELETION_DONE:
        if (!node)
            fillChildren(selected);
        else if (QTreeWidgetItem* item = childShowing(selected, node); item && item != selected)
            selectItem(item);
        break;
    case USR_HINT_NODE_REMOVED:
        if (QTreeWidgetItem* item = childShowing(selected, node); item && item != selected) {
            delete item;
        }
        break;
    case USR_HINT_INTERVAL_CHANGED:
        restartPolling();
        break;
    case USR_HINT_NEW_FOLDERS:
        refreshAll();
        break;
    case USR_HINT_OFFER_LEFT:
        removeInboxEntry(node);
        break;
    case USR_HINT_CONTENTS_REQUEST:
        inbox_->setCurrentItem(nullptr);
        doc_.showOfferedFolder(nullptr);
        break;
    case USR_HINT_PROPERTIES_SAVED:
        if (QTreeWidgetItem* item = childShowing(selected, node); item && item != root_)
            item->setText(0, displayName(node));
        break;
    case USR_HINT_FOLDER_REREAD:
        if (QTreeWidgetItem* item = itemOf(node)) fillChildren(item);
        break;
    default:
        break;
    }
}

void UIFolderView::rebuildInbox() {
    bool changed = false;
    const std::vector<USRFolderNode*>& offers = doc_.newFoldersOnOffer();
    std::set<USRNode*> listed(offers.begin(), offers.end());
    for (int i = inboxRoot_->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = inboxRoot_->child(i);
        if (listed.erase(nodeOf(item))) continue;
        if (inbox_->currentItem() == item) doc_.showOfferedFolder(nullptr);
        delete item;
        changed = true;
    }
    for (USRFolderNode* folder : offers) {
        if (!listed.count(folder)) continue;
        auto* item = new QTreeWidgetItem(QStringList{
            QString::fromStdString(folder->name() + " : " + folder->data().description)});
        item->setData(0, kNodeRole, QVariant::fromValue(quintptr(static_cast<USRNode*>(folder))));
        setImage(item, kTreeShared + 2);
        inboxRoot_->addChild(item);
        changed = true;
    }
    inboxRoot_->sortChildren(0, Qt::AscendingOrder);
    fromCode_ = true;
    inboxRoot_->setExpanded(true);
    fromCode_ = false;
    if (changed) setInboxTabImage();
}

void UIFolderView::setInboxTabImage() {
    inboxTabImage_ = inboxRoot_->childCount() > 0 ? kTabInboxFull : kTabInboxEmpty;
    tabs_->setTabIcon(kInboxTab, tabIcon(inboxTabImage_));
    tabs_->setTabData(kInboxTab, inboxTabImage_);
}

void UIFolderView::removeInboxEntry(const USRNode* node) {
    if (!node) return;
    for (int i = 0; i < inboxRoot_->childCount(); ++i) {
        const USRNode* entry = nodeOf(inboxRoot_->child(i));
        if (entry && entry->name() == node->name()) {
            delete inboxRoot_->child(i);
            break;
        }
    }
    if (inboxRoot_->childCount() == 0) setInboxTabImage();
}

bool UIFolderView::pruneGone(QTreeWidgetItem* item) {
    USRNode* node = nodeOf(item);
    if (item != root_ && item != inboxRoot_ && (!node || node->isStale())) {
        delete item;
        return true;
    }
    for (int i = item->childCount() - 1; i >= 0; --i)
        pruneGone(item->child(i));
    return false;
}

void UIFolderView::refreshAll() {
    refreshing_ = true;
    if (root_) pruneGone(root_);
    QTreeWidgetItem* current = inbox_->currentItem();
    const int before = inboxRoot_->childCount();
    pruneGone(inboxRoot_);
    refreshing_ = false;
    if (current && !inbox_->currentItem()) selectItem(inboxRoot_);
    if (before != inboxRoot_->childCount() || inboxRoot_->childCount() == 0) setInboxTabImage();
}

void UIFolderView::switchTab(int index) {
    stack_->setCurrentIndex(index);
    QTreeWidget* tree = index == kInboxTab ? static_cast<QTreeWidget*>(inbox_) : desktop_;
    tree->setFocus(Qt::TabFocusReason);
    QTreeWidgetItem* item = tree->currentItem();
    if (!item) item = index == kInboxTab ? inboxRoot_ : root_;
    selectItem(item);
}

void UIFolderView::contextMenu(QTreeWidget* tree, const QPoint& at) {
    QTreeWidgetItem* item = tree->itemAt(at);
    if (!item && at == QPoint()) item = tree->currentItem();
    const bool inbox = tree == inbox_;
    if (inbox ? inboxRoot_->childCount() == 0 : !root_) return;
    if (item) selectItem(item);
    if (inbox && (!item || item == inboxRoot_)) return;
    const QPoint global = item && at == QPoint()
                              ? tree->viewport()->mapToGlobal(tree->visualItemRect(item).center())
                              : tree->viewport()->mapToGlobal(at);
    if (popup_) popup_(inbox ? kPopupOffer : kPopupTree, global);
}

void UIFolderView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ControlModifier)) {
        tabs_->setCurrentIndex(1 - tabs_->currentIndex());
        return;
    }
    QWidget::keyPressEvent(event);
}

void UIFolderView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitTabLabels();
}

void UIFolderView::fitTabLabels() {
    if (tabs_->count() < 2) return;
    // The labels show only when both fit beside their pictures.
    const QFontMetrics fm(tabs_->font());
    constexpr int kTabChrome = 48; // picture, gap and the style's padding per tab
    const int full = fm.horizontalAdvance(uiString(kStrTabDesktop)) +
                     fm.horizontalAdvance(uiString(kStrTabInbox)) + 2 * kTabChrome;
    const bool labels = width() - 3 >= full;
    tabs_->setTabText(kDesktopTab, labels ? uiString(kStrTabDesktop) : QString());
    tabs_->setTabText(kInboxTab, labels ? uiString(kStrTabInbox) : QString());
    tabs_->setTabToolTip(kDesktopTab, uiString(kStrTabDesktop));
    tabs_->setTabToolTip(kInboxTab, uiString(kStrTabInbox));
}

} // namespace desk::ui
