#include "memberview.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTimer>

#include "core/prompter.h"
#include "sheetstrings.h"

namespace desk::sheets {
namespace {

constexpr long kColumnTitles[] = {kStrColMember, kStrColModerator, kStrColContributor,
                                  kStrColReader};

// Role images, 13 pixels: 0 open box, 1 ticked box, 3 ticked (read-only),
// 4 open (read-only), 5 not available (no desktop user).
QPixmap roleImage(int image) {
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const bool readOnly = image == 3 || image == 4;
    const QColor ink = readOnly ? QColor(128, 128, 128) : QColor(0, 0, 0);
    p.setPen(ink);
    p.setBrush(readOnly ? QColor(224, 224, 224) : QColor(255, 255, 255));
    p.drawRect(0, 0, 12, 12);
    if (image == 1 || image == 3) {
        p.setPen(QPen(ink, 2));
        p.drawLine(3, 6, 5, 9);
        p.drawLine(5, 9, 10, 3);
    } else if (image == 5) {
        p.setPen(QPen(QColor(160, 0, 0), 1.5));
        p.drawLine(3, 3, 9, 9);
        p.drawLine(9, 3, 3, 9);
    }
    return pm;
}

// Draws the role image centred in its cell on the window colour.
class RoleDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() == 0) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        p->fillRect(option.rect, option.palette.base());
        const int image = index.data(Qt::UserRole).toInt();
        const QPixmap pm = roleImage(image);
        p->drawPixmap(option.rect.center() - QPoint(6, 6), pm);
    }
};

} // namespace

UIMemberModel::UIMemberModel(UIMemberList& list, bool editable, QObject* parent)
    : QAbstractTableModel(parent), list_(list), editable_(editable) {}

int UIMemberModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.size();
}
int UIMemberModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

int UIMemberModel::imageOf(int row, int column) const {
    const UIMember& m = list_.at(row);
    if (column == 1 && !m.desktopUser) return editable_ ? 5 : 4;
    const bool holds = m.role == roleOfColumn(column);
    if (editable_) return holds ? 1 : 0;
    return holds ? 3 : 4;
}

QVariant UIMemberModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.size()) return {};
    const UIMember& m = list_.at(index.row());
    if (index.column() == 0) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return m.name;
        return {};
    }
    const bool holds = m.role == roleOfColumn(index.column());
    switch (role) {
    case Qt::UserRole:
        return imageOf(index.row(), index.column());
    case Qt::AccessibleTextRole:
        return sheetString(kColumnTitles[index.column()]) +
               (holds ? QStringLiteral(": yes") : QStringLiteral(": no"));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant UIMemberModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section > 3) return {};
    if (role == Qt::DisplayRole) return sheetString(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole && section > 0) return int(Qt::AlignCenter);
    return {};
}

void UIMemberModel::reload() {
    beginResetModel();
    endResetModel();
}

UIMemberView::UIMemberView(UIMemberModel* model, USRPrompter& prompter, QWidget* parent)
    : QTreeView(parent), model_(model), prompter_(prompter) {
    setObjectName(QStringLiteral("1008"));
    setAccessibleName(QStringLiteral("Members"));
    setModel(model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new RoleDelegate(this));
    QHeaderView* h = header();
    h->setSectionsClickable(true);
    h->setStretchLastSection(false);
    for (int c = 1; c < 4; ++c)
        h->resizeSection(c, h->fontMetrics().horizontalAdvance(
                                model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                                16);
    connect(h, &QHeaderView::sectionClicked, this, &UIMemberView::headerClicked);
    connect(this, &QAbstractItemView::clicked, this, &UIMemberView::cellClicked);
    connect(model, &QAbstractItemModel::modelReset, this, &UIMemberView::widenNameColumn);
    widenNameColumn();
}

void UIMemberView::widenNameColumn() {
    if (model_->list().size() == 0) return;
    QHeaderView* h = header();
    const int roles = h->sectionSize(1) + h->sectionSize(2) + h->sectionSize(3);
    const int left = viewport()->width() - roles;
    if (left > 30) h->resizeSection(0, left);
}

void UIMemberView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    widenNameColumn();
}

std::vector<int> UIMemberView::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows.push_back(i.row());
    return rows;
}

MemberEdit UIMemberView::clickRole(int row, int column) {
    if (!model_->editable() || column < 1 || column > 3) return MemberEdit::Unchanged;
    const MemberEdit done = model_->list().setRole(row, roleOfColumn(column), prompter_);
    const QModelIndex first = model_->index(row, 1);
    emit model_->dataChanged(first, model_->index(row, 3));
    if (done == MemberEdit::Done) emit membersChanged();
    return done;
}

void UIMemberView::cellClicked(const QModelIndex& index) {
    if (!index.isValid() || index.column() == 0 || !model_->editable()) return;
    // Wait out the double-click time so that a double click is not taken
    // as two role changes.
    const int serial = ++clickSerial_;
    const int row = index.row();
    const int column = index.column();
    QTimer::singleShot(QApplication::doubleClickInterval(), this, [this, serial, row, column] {
        if (serial == clickSerial_) clickRole(row, column);
    });
}

void UIMemberView::mouseDoubleClickEvent(QMouseEvent* event) {
    ++clickSerial_; // the pending single click is void
    QTreeView::mouseDoubleClickEvent(event);
}

void UIMemberView::headerClicked(int section) {
    sortReverse_ = section == sortColumn_ ? !sortReverse_ : false;
    sortColumn_ = section;
    model_->list().sort(section, sortReverse_);
    model_->reload();
}

} // namespace desk::sheets
