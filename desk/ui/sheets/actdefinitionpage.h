// UIActDefinitionPage ("Definitions"): the library's actions, one shown at a
// time with its program, description, use-with boxes and icon; saved when
// another is chosen or the sheet is confirmed, deleted after a question.
#pragma once

#include <QWidget>
#include <functional>

#include "actionfields.h"

class QLabel;
class QListWidget;
class QPushButton;
class USRActionNode;
class USRActions;
class USRPrompter;

namespace desk::sheets {

class UIActDefinitionPage : public QWidget {
    Q_OBJECT
  public:
    UIActDefinitionPage(USRActions& actions, USRPrompter& prompter, QWidget* parent = nullptr);

    USRActionNode* current() const { return current_; }
    bool modified() const { return modified_; }
    UIActionFields* fields() const { return fields_; }
    QListWidget* list() const { return list_; }
    void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

    // Saves the shown action when modified; false when it could not be.
    bool save();
    // Deletes the shown action after the question.
    void deleteCurrent();
    void advanced();

  private:
    void fill();
    void showAction(USRActionNode* action);
    void choose(int row);

    USRActions& actions_;
    USRPrompter& prompter_;
    QListWidget* list_;
    UIActionFields* fields_;
    QLabel* kind_;
    QPushButton* delete_;
    QPushButton* advanced_;
    USRActionNode* current_ = nullptr;
    ActionValues values_;
    bool modified_ = false;
    std::function<void()> refresh_;
};

} // namespace desk::sheets
