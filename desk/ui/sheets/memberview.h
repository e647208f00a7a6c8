// The member list control (1008): the members with their name and the three
// role columns. A click on a role cell changes the role once the double-click
// time has passed without a second click, and only when the list is
// editable; a click on a header sorts (again: reversed).
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include "memberlist.h"

class USRPrompter;

namespace desk::sheets {

class UIMemberModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    UIMemberModel(UIMemberList& list, bool editable, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Tells the views the whole list changed.
    void reload();
    bool editable() const { return editable_; }
    UIMemberList& list() { return list_; }

    // The role image of a cell (see the table in memberview.cpp).
    int imageOf(int row, int column) const;

  private:
    UIMemberList& list_;
    bool editable_;
};

class UIMemberView : public QTreeView {
    Q_OBJECT
  public:
    UIMemberView(UIMemberModel* model, USRPrompter& prompter, QWidget* parent = nullptr);
    // Applies a click on `row`'s role column at once (the delayed click's
    // effect).
    MemberEdit clickRole(int row, int column);
    std::vector<int> selectedRows() const;

  signals:
    void membersChanged();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void cellClicked(const QModelIndex& index);
    void headerClicked(int section);
    void widenNameColumn();

    UIMemberModel* model_;
    USRPrompter& prompter_;
    int sortColumn_ = -1;
    bool sortReverse_ = false;
    int clickSerial_ = 0;
};

} // namespace desk::sheets
