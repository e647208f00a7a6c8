// UIContentsView, the right pane: the current folder's contents in one of
// five modes (large icons, small icons, list, details, description), or,
// when a folder on offer is current, the offer page with its description
// and the Subscribe, Don't Subscribe and Decide Later buttons. Items are
// opened, selected, dragged and dropped here.
//
// Follows the document's hints 1, 6, 8, 13, 14 and 15 (see onHint).
#pragma once

#include "commands.h"
#include "contentsimages.h"

#include <QWidget>
#include <functional>

class QAbstractItemView;
class QLabel;
class QListView;
class QMimeData;
class QModelIndex;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class QTreeView;
class UIDesktop;
class USRFolderNode;
class USRNode;

namespace desk::ui {

class ContentsModel;

class UIContentsView : public QWidget {
    Q_OBJECT
  public:
    using PopupHandler = std::function<void(PopupId, const QPoint&)>;
    using DropHandler = std::function<void(const QMimeData*, Qt::DropAction, USRFolderNode*)>;
    using DragHandler = std::function<void(USRFolderNode* source)>;

    explicit UIContentsView(UIDesktop& doc, QWidget* parent = nullptr);
    ~UIContentsView() override;

    void setPopupHandler(PopupHandler handler) { popup_ = std::move(handler); }
    void setDropHandler(DropHandler handler) { drop_ = std::move(handler); }
    void setDragHandler(DragHandler handler) { drag_ = std::move(handler); }

    // Modes 0..4 (ViewMode).
    void setMode(int mode);
    int mode() const { return mode_; }
    // A sort command or a header click on `column`.
    void sortBy(int column);

    ContentsModel& model() const { return *model_; }
    QTreeView* detailsView() const { return details_; }
    QListView* iconsView() const { return icons_; }
    QLabel* header() const { return header_; }
    bool offerShown() const { return offer_; }

  signals:
    // A folder was opened (double click or Enter): the tree selects it.
    void folderOpened(USRNode* node);

  public slots:
    void onHint(int code, USRNode* node);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fill();
    void showControls();
    void widenColumns();
    void open(const QModelIndex& index);
    bool checkNode(USRNode* node);
    void selectionChanged();
    void setActive(bool active);
    void paintHeader();
    QAbstractItemView* listView() const;

    UIDesktop& doc_;
    ContentsImages images_;
    ContentsModel* model_;
    QLabel* header_;
    QStackedWidget* lists_;
    QListView* icons_;
    QTreeView* details_;
    QTextBrowser* notes_;
    QWidget* offerButtons_;
    USRFolderNode* folder_ = nullptr;
    int mode_ = 3;
    bool offer_ = false;
    bool refused_ = false;
    bool active_ = false;
    bool firstFill_ = true;
    PopupHandler popup_;
    DropHandler drop_;
    DragHandler drag_;
};

} // namespace desk::ui
