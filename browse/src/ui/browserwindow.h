// BrowserWindow: the modal "Namewright Browser". It shows one page of the
// pager (pager.h) in a seven-row list with a scroll bar of its own that
// stands for the whole answer, and turns every key, scroll-bar action, typed
// text, kind and button into one request of the pager. It holds no names
// beyond the page and the chosen ones.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "backend.h"
#include "pager.h"
#include "search.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace browse {

class Messages;

// Mode bits: what the caller withholds.
inline constexpr long kModeNoViewAttributes = 1;
inline constexpr long kModeNoFindByAttribute = 2;
inline constexpr long kAllKinds = 0x3F;

struct BrowserOptions {
    long kinds = 0; // bit n offers row n of "Look in:"; 0 offers all
    long mode = 0;
    bool multiple = false;
    QString title;   // empty: the default
    QString avdFile; // the attribute definition file (network or local form)
};

class BrowserWindow : public QDialog, private SearchPrompts {
    Q_OBJECT
  public:
    BrowserWindow(const BrowserOptions& options, DirectoryBackend& backend, Messages& messages,
                  QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // Runs the first search (after the list's range is set). Its status.
    QRDSTATUS start();
    // Single selection: the selected name; multiple: the chosen names.
    QStringList result() const;
    Pager& pager() { return pager_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    void request(QRDSTATUS (Pager::*what)());
    void report(QRDSTATUS status);
    void refresh();
    struct Binding;
    bool dispatch(const Binding* table, size_t count, int code);
    void scrollAction(int action);
    void refineSearchClicked();
    void findByAttributeClicked();
    void viewAttributesClicked();

    bool askRefine(std::string& namePattern, std::string& descriptionPattern) override;
    bool askAttributes(std::vector<AttributeCriterion>& criteria) override;
    bool askTooRestrictive() override;

    BrowserOptions options_;
    DirectoryBackend& backend_;
    Messages& messages_;
    Pager pager_;
    QLineEdit* searchFor_ = nullptr;
    QComboBox* lookIn_ = nullptr;
    QListWidget* list_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* connected_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* viewAttributes_ = nullptr;
    QPushButton* findByAttribute_ = nullptr;
    bool refreshing_ = false;
};

} // namespace browse
