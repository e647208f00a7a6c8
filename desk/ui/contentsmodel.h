// The contents list's model: the rows of the current folder in the list's
// sort order, three columns (name, type, description). It only adapts the
// rows the view fills it with; the view decides when to refill.
#pragma once

#include "contentsimages.h"
#include "contentsrows.h"

#include <QAbstractTableModel>

namespace desk::ui {

class ContentsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kNodeRole = Qt::UserRole + 1;  // USRNode*, as quintptr
    static constexpr int kKindRole = Qt::UserRole + 2;  // NodeKind
    static constexpr int kImageRole = Qt::UserRole + 3; // the picture's slot

    explicit ContentsModel(ContentsImages& images, QObject* parent = nullptr);

    void setRows(std::vector<ContentsRow> rows);
    void clear();
    const std::vector<ContentsRow>& rows() const { return rows_; }
    const ContentsRow* rowAt(int row) const;
    int rowOf(const USRNode* node) const;
    // Replaces a row's texts and picture (the node's properties changed).
    void updateRow(int row, const ContentsRow& now);
    void removeNodeRow(const USRNode* node);

    const SortKey& sortKey() const { return key_; }
    // Chooses a sort column as a header click does, and sorts.
    void chooseSortColumn(int column);
    void resort();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override;

  private:
    ContentsImages& images_;
    std::vector<ContentsRow> rows_;
    SortKey key_;
};

} // namespace desk::ui
