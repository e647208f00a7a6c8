#include "contentsview.h"

#include "contentsmodel.h"
#include "dragdrop.h"
#include "errortext.h"
#include "nodeinfo.h"
#include "notestext.h"
#include "uistrings.h"

#include "core/notifier.h"
#include "document/uidesktop.h"
#include "folders/usrfoldernode.h"
#include "nodes/usritemnode.h"

#include <QApplication>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTreeView>
#include <QVBoxLayout>
#include <namedir/errors.h>

namespace desk::ui {
namespace {

constexpr int kColumnMargin = 20;
constexpr int kIconColumnExtra = 16;
constexpr int kLargeIconColumnExtra = 32;

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

USRNode* nodeAt(const QModelIndex& index) {
    return reinterpret_cast<USRNode*>(index.data(ContentsModel::kNodeRole).value<quintptr>());
}

// A list with the desktop's drag and drop: drags start through the view,
// drops go to it, and the offer is decided by the folder shown.
template <class View> class DeskList : public View {
  public:
    using View::View;
    std::function<void()> onDragStart;
    std::function<Qt::DropAction(QDropEvent*)> effect;
    std::function<void(QDropEvent*, Qt::DropAction)> onDrop;

  protected:
    void startDrag(Qt::DropActions) override {
        if (onDragStart) onDragStart();
    }
    void dragEnterEvent(QDragEnterEvent* e) override { e->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* e) override {
        const Qt::DropAction a = effect ? effect(e) : Qt::IgnoreAction;
        if (a == Qt::IgnoreAction) return e->ignore();
        e->setDropAction(a);
        e->accept();
    }
    void dropEvent(QDropEvent* e) override {
        const Qt::DropAction a = effect ? effect(e) : Qt::IgnoreAction;
        if (a == Qt::IgnoreAction) return e->ignore();
        e->setDropAction(a);
        e->accept();
        if (onDrop) onDrop(e, a);
    }
};

} // namespace

UIContentsView::UIContentsView(UIDesktop& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("173"));
    setAccessibleName(QStringLiteral("Folder contents"));
    model_ = new ContentsModel(images_, this);

    header_ = new QLabel(this);
    header_->setObjectName(QStringLiteral("1040"));
    header_->setAutoFillBackground(true);
    header_->setMargin(3);
    header_->setTextFormat(Qt::PlainText);
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);

    auto* icons = new DeskList<QListView>(this);
    auto* details = new DeskList<QTreeView>(this);
    icons_ = icons;
    details_ = details;
    icons_->setObjectName(QStringLiteral("1018.icons"));
    details_->setObjectName(QStringLiteral("1018.details"));
    icons_->setAccessibleName(QStringLiteral("Contents"));
    details_->setAccessibleName(QStringLiteral("Contents"));
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    details_->header()->setStretchLastSection(true);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &UIContentsView::sortBy);
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        v->setModel(model_);
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setDragEnabled(true);
        v->setAcceptDrops(true);
        v->setDragDropMode(QAbstractItemView::DragDrop);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        v->installEventFilter(this);
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
            if (QApplication::mouseButtons() & Qt::RightButton) return;
            open(i);
        });
        connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &UIContentsView::selectionChanged);
        connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& at) {
            if (!offer_ && popup_) popup_(kPopupContents, v->viewport()->mapToGlobal(at));
        });
    }
    auto wire = [this](auto* list) {
        list->onDragStart = [this] {
            const QModelIndexList rows = listView()->selectionModel()->selectedRows();
            if (rows.isEmpty() || !checkNode(nodeAt(rows.first()))) return;
            if (drag_) drag_(folder_);
        };
        list->effect = [this](QDropEvent* e) {
            if (offer_ || mode_ == kModeDescription || !folder_ || !doc_.mayChangeCurrent())
                return Qt::IgnoreAction;
            return dropEffect(e->mimeData(), folder_, e->modifiers() & Qt::ControlModifier);
        };
        list->onDrop = [this](QDropEvent* e, Qt::DropAction a) {
            if (drop_) drop_(e->mimeData(), a, folder_);
        };
    };
    wire(icons);
    wire(details);

    lists_ = new QStackedWidget(this);
    lists_->setObjectName(QStringLiteral("1018"));
    lists_->addWidget(icons_);
    lists_->addWidget(details_);

    auto* unused = new QLineEdit(this);
    unused->setObjectName(QStringLiteral("1091"));
    unused->hide();

    notes_ = new QTextBrowser(this);
    notes_->setObjectName(QStringLiteral("140"));
    notes_->setAccessibleName(QStringLiteral("Folder description"));
    notes_->setOpenExternalLinks(false);
    notes_->setLineWrapMode(QTextEdit::WidgetWidth);

    offerButtons_ = new QWidget(this);
    auto* row = new QHBoxLayout(offerButtons_);
    row->setContentsMargins(0, 0, 0, 0);
    struct Button {
        const char* id;
        const char* text;
        std::function<void()> run;
    };
    const Button buttons[] = {
        {"1047", "&Subscribe", [this] { doc_.subscribeOffered(); }},
        {"1046", "&Don't Subscribe", [this] { doc_.declineOffered(); }},
        {"1048", "Decide &Later", [this] { doc_.notifier().send(USR_HINT_CONTENTS_REQUEST); }},
    };
    for (const Button& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), offerButtons_);
        button->setObjectName(QLatin1String(b.id));
        connect(button, &QPushButton::clicked, this, b.run);
        row->addWidget(button);
    }
    row->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 3, 3);
    layout->setSpacing(2);
    layout->addWidget(header_);
    layout->addWidget(lists_, 1);
    layout->addWidget(notes_, 1);
    layout->addWidget(offerButtons_);
    notes_->hide();
    offerButtons_->hide();

    connect(&doc_.notifier(), &USRNotifier::hint, this, &UIContentsView::onHint);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { setActive(now && isAncestorOf(now)); });
    doc_.setContentsView(true);
    mode_ = doc_.viewMode();
    setMode(mode_);
    paintHeader();
}

UIContentsView::~UIContentsView() {
    doc_.setContentsView(false);
}

QAbstractItemView* UIContentsView::listView() const {
    return mode_ == kModeDetails ? static_cast<QAbstractItemView*>(details_) : icons_;
}

void UIContentsView::setMode(int mode) {
    if (mode < kModeLargeIcons || mode > kModeDescription) return;
    const bool refill = (mode == kModeDescription) != (mode_ == kModeDescription);
    mode_ = mode;
    doc_.setViewMode(mode);
    switch (mode) {
    case kModeLargeIcons:
        icons_->setViewMode(QListView::IconMode);
        icons_->setIconSize(QSize(32, 32));
        icons_->setGridSize(QSize(96, 72));
        icons_->setWordWrap(true);
        break;
    case kModeSmallIcons:
        icons_->setViewMode(QListView::IconMode);
        icons_->setIconSize(QSize(16, 16));
        icons_->setGridSize(QSize(160, 24));
        icons_->setWordWrap(false);
        break;
    case kModeList:
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::TopToBottom);
        icons_->setWrapping(true);
        icons_->setIconSize(QSize(16, 16));
        icons_->setGridSize(QSize());
        break;
    default:
        break;
    }
    if (mode != kModeDetails && mode != kModeDescription) {
        icons_->setMovement(QListView::Static);
        icons_->setResizeMode(QListView::Adjust);
        icons_->setFlow(mode == kModeList ? QListView::TopToBottom : QListView::LeftToRight);
        icons_->setWrapping(true);
        icons_->setDragEnabled(true);
    }
    lists_->setCurrentWidget(mode == kModeDetails ? static_cast<QWidget*>(details_) : icons_);
    if (refill)
        fill();
    else
        showControls();
    widenColumns();
}

void UIContentsView::sortBy(int column) {
    model_->chooseSortColumn(column);
    details_->header()->setSortIndicator(model_->sortKey().column, model_->sortKey().descending
                                                                       ? Qt::DescendingOrder
                                                                       : Qt::AscendingOrder);
}

void UIContentsView::onHint(int code, USRNode* node) {
    switch (code) {
    case USR_HINT_CURRENT_FOLDER: {
        const bool offer = doc_.showingOffer();
        auto* folder = asFolder(node);
        if (folder != folder_ || offer != offer_ || firstFill_) {
            folder_ = folder;
            offer_ = offer;
        }
        mode_ = doc_.viewMode();
        setMode(mode_);
        fill();
        firstFill_ = false;
        break;
    }
    case USR_HINT_NODES_ADDED:
    case USR_HINT_REFRESHED:
        fill();
        break;
    case USR_HINT_NODE_REMOVED:
        model_->removeNodeRow(node);
        break;
    case USR_HINT_PROPERTIES_SAVED:
        if (node && node == folder_) {
            paintHeader();
        } else if (const int row = model_->rowOf(node); row >= 0) {
            model_->updateRow(row, rowOf(node, images_));
            widenColumns();
        }
        break;
    case USR_HINT_FOLDER_REREAD:
        if (node && node == folder_) fill();
        break;
    default:
        break;
    }
}

void UIContentsView::showControls() {
    const bool text = offer_ || mode_ == kModeDescription;
    lists_->setVisible(!refused_ && !text);
    notes_->setVisible(!refused_ && text);
    offerButtons_->setVisible(!refused_ && offer_);
}

void UIContentsView::paintHeader() {
    if (!folder_) {
        header_->clear();
        return;
    }
    const bool text = offer_ || mode_ == kModeDescription;
    header_->setText(uiString(text ? kStrDescriptionOf : kStrContentsOf) + displayName(folder_));
    header_->setAccessibleName(header_->text());
}

void UIContentsView::fill() {
    WaitCursor wait;
    model_->clear();
    refused_ = false;
    if (folder_ && folder_->isShared() && !folder_->isDefaultFolder() && !folder_->mayRead()) {
        refused_ = true;
        showControls();
        const QString text =
            errorText(DIR_ACCESS_DENIED, false) + QStringLiteral(" : ") + displayName(folder_);
        header_->setText(text);
        showMessage(this, text);
        return;
    }
    showControls();
    if (folder_)
        loadNotes(*notes_->document(), QString::fromStdString(folder_->data().longText));
    else
        notes_->clear();
    paintHeader();
    if (!folder_ || offer_ || mode_ == kModeDescription) return;
    std::vector<ContentsRow> rows;
    rows.reserve(folder_->children().size());
    long e = 0;
    for (const USRChild& child : folder_->children()) {
        USRNode* node = folder_->childNode(child, e);
        if (node) rows.push_back(rowOf(node, images_));
    }
    if (rows.empty() && e != 0 && e != DIR_COLLECTION_EMPTY) showError(this, e);
    model_->setRows(std::move(rows));
    details_->header()->setSortIndicator(model_->sortKey().column, model_->sortKey().descending
                                                                       ? Qt::DescendingOrder
                                                                       : Qt::AscendingOrder);
    widenColumns();
}

void UIContentsView::widenColumns() {
    if (mode_ != kModeDetails) return;
    const QFontMetrics fm(details_->font());
    for (int column = 0; column < 3; ++column) {
        int width = fm.horizontalAdvance(
                        model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                    kColumnMargin;
        // Measuring every cell of a large folder would cost more than the
        // fill: the first rows stand for the rest.
        const int measured = std::min<int>(int(model_->rows().size()), 500);
        for (int row = 0; row < measured; ++row)
            width =
                std::max(width, fm.horizontalAdvance(model_->index(row, column).data().toString()) +
                                    kColumnMargin);
        if (column == 0)
            width += mode_ == kModeLargeIcons ? kLargeIconColumnExtra : kIconColumnExtra;
        if (details_->columnWidth(column) < width) details_->setColumnWidth(column, width);
    }
}

bool UIContentsView::checkNode(USRNode* node) {
    if (!node) return false;
    long e = 0;
    if (node->read(e)) return true;
    showError(this, e);
    if (e == DIR_OBJECT_MISSING && folder_ && doc_.mayChangeCurrent()) {
        long e2 = 0;
        if (!folder_->removeNode(*node, e2) && e2 != DIR_KEY_NOT_FOUND) showError(this, e2);
        doc_.notifier().send(USR_HINT_FOLDER_REREAD, folder_);
    }
    return false;
}

void UIContentsView::open(const QModelIndex& index) {
    USRNode* node = nodeAt(index);
    if (!node || mode_ == kModeDescription) return;
    WaitCursor wait;
    if (!checkNode(node)) return;
    if (asFolder(node)) {
        emit folderOpened(node);
        return;
    }
    const int kind = kindOf(node);
    if (kind != kKindDocument && kind != kKindWeb) return;
    auto* item = dynamic_cast<USRItemNode*>(node);
    long e = 0;
    if (item && !item->activate(nullptr, e)) showError(this, e);
}

void UIContentsView::selectionChanged() {
    QAbstractItemView* view = listView();
    QModelIndexList rows = view->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<USRNode*> nodes;
    for (const QModelIndex& i : rows)
        nodes.push_back(nodeAt(i));
    if (active_ || view->hasFocus()) doc_.setSelection(nodes);
    if (nodes.size() != 1) return;
    USRNode* node = nodes.front();
    const ContentsRow* before = model_->rowAt(model_->rowOf(node));
    if (!before) return;
    const std::string name = node->name();
    const DIRTime stamp = node->modifiedTime();
    long e = 0;
    if (!node->read(e)) return;
    const bool defaultImage =
        before->kind == kKindDocument && before->image == ContentsImages::kItem;
    if (node->name() != name || node->modifiedTime() != stamp || defaultImage) {
        const ContentsRow now = rowOf(node, images_);
        if (now.image != before->image || now.name != before->name ||
            now.description != before->description)
            doc_.notifier().send(USR_HINT_PROPERTIES_SAVED, node);
    }
}

void UIContentsView::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    QPalette p = header_->palette();
    const QPalette::ColorGroup group = active ? QPalette::Active : QPalette::Inactive;
    p.setColor(QPalette::Window,
               palette().color(group, active ? QPalette::Highlight : QPalette::Mid));
    p.setColor(QPalette::WindowText,
               palette().color(group, active ? QPalette::HighlightedText : QPalette::Window));
    header_->setPalette(p);
    if (active) selectionChanged(); // activation hands the selection over again
}

bool UIContentsView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* view = qobject_cast<QAbstractItemView*>(watched);
        if (view && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            view->selectionModel()->selectedRows().size() == 1) {
            open(view->currentIndex());
            return true;
        }
        if (view && !offer_ && popup_ &&
            (key->key() == Qt::Key_Menu ||
             (key->key() == Qt::Key_F10 && (key->modifiers() & Qt::ShiftModifier)))) {
            popup_(kPopupContents, view->viewport()->mapToGlobal(QPoint(4, 4)));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace desk::ui
