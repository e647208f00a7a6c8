// UIActionsPropSheet ("Actions", Actions > Configure): the Definitions and
// Toolbar pages over the library and toolbar lists of one USRActions.
#pragma once

#include <QDialog>
#include <functional>

class QTabWidget;
class USRActions;
class USRPrompter;

namespace desk::sheets {

class UIActDefinitionPage;
class UIActCustPalPage;

class UIActionsPropSheet : public QDialog {
    Q_OBJECT
  public:
    // `refresh` rebuilds the frame's actions bar.
    UIActionsPropSheet(USRActions& actions, USRPrompter& prompter, std::function<void()> refresh,
                       QWidget* parent = nullptr);
    UIActDefinitionPage* definitions() const { return definitions_; }
    UIActCustPalPage* toolbar() const { return toolbar_; }
    QTabWidget* tabs() const { return tabs_; }
    void accept() override;

  private:
    UIActDefinitionPage* definitions_;
    UIActCustPalPage* toolbar_;
    QTabWidget* tabs_;
};

// Loads the lists and runs the sheet; a failed load is shown ("Getting
// Action Info") and the sheet does not open.
bool runActionsSheet(USRActions& actions, USRPrompter& prompter, std::function<void()> refresh,
                     QWidget* parent);

} // namespace desk::sheets
