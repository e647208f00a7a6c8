// UIActCustPalPage ("Toolbar"): which library actions stand on the actions
// toolbar and in which order. Applying writes the whole order.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class USRActionNode;
class USRActions;
class USRPrompter;

namespace desk::sheets {

class UIActCustPalPage : public QWidget {
    Q_OBJECT
  public:
    UIActCustPalPage(USRActions& actions, USRPrompter& prompter, QWidget* parent = nullptr);

    // Each time the page shows: entries whose action left the library go.
    void activate();
    void add();
    void remove();
    void moveUp() { move(-1); }
    void moveDown() { move(1); }
    // Writes the order when changed; false (the page stays modified) on a
    // failure, which is shown.
    bool apply();

    const std::vector<USRActionNode*>& order() const { return order_; }
    bool modified() const { return modified_; }
    QListWidget* orderList() const { return orderList_; }
    QListWidget* actionList() const { return actionList_; }
    void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

  private:
    void move(int by);
    void fill(int selectOrder, USRActionNode* chosen);
    void updateButtons();

    USRActions& actions_;
    USRPrompter& prompter_;
    std::vector<USRActionNode*> order_;
    bool modified_ = false;
    QListWidget* actionList_;
    QListWidget* orderList_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QLabel* moveLabel_;
    std::function<void()> refresh_;
};

} // namespace desk::sheets
