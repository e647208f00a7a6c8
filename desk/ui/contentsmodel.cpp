#include "contentsmodel.h"

#include "uistrings.h"

namespace desk::ui {

ContentsModel::ContentsModel(ContentsImages& images, QObject* parent)
    : QAbstractTableModel(parent), images_(images) {}

void ContentsModel::setRows(std::vector<ContentsRow> rows) {
    sortRows(rows, key_);
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void ContentsModel::clear() {
    setRows({});
}

const ContentsRow* ContentsModel::rowAt(int row) const {
    return row >= 0 && row < int(rows_.size()) ? &rows_[size_t(row)] : nullptr;
}

int ContentsModel::rowOf(const USRNode* node) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].node == node) return int(i);
    return -1;
}

void ContentsModel::updateRow(int row, const ContentsRow& now) {
    if (!rowAt(row)) return;
    rows_[size_t(row)] = now;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void ContentsModel::removeNodeRow(const USRNode* node) {
    const int row = rowOf(node);
    if (row < 0) return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void ContentsModel::chooseSortColumn(int column) {
    key_.choose(column);
    resort();
}

void ContentsModel::resort() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const USRNode*> nodes;
    for (const QModelIndex& i : before)
        nodes.push_back(rowAt(i.row()) ? rowAt(i.row())->node : nullptr);
    sortRows(rows_, key_);
    QModelIndexList after;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const int row = rowOf(nodes[i]);
        after << (row < 0 ? QModelIndex() : index(row, before[int(i)].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ContentsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ContentsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
    const ContentsRow* r = index.isValid() ? rowAt(index.row()) : nullptr;
    if (!r) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return index.column() == 0 ? r->name : index.column() == 1 ? r->type : r->description;
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(images_.icon(r->image)) : QVariant();
    case Qt::ToolTipRole:
        return r->description.isEmpty() ? QVariant() : QVariant(r->description);
    case kNodeRole:
        return QVariant::fromValue(quintptr(r->node));
    case kKindRole:
        return r->kind;
    case kImageRole:
        return r->image;
    default:
        return {};
    }
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const long kTitles[] = {kStrColName, kStrColType, kStrColDescription};
    return section >= 0 && section < 3 ? uiString(kTitles[section]) : QVariant();
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

Qt::DropActions ContentsModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

} // namespace desk::ui
