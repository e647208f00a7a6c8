// UIFolderMbrPage ("Publish To List"): the folder's members and their roles.
// Names come from the directory browser or are typed (trimmed and checked
// with the directory); a new folder starts with its creator as moderator.
#pragma once

#include <QVariantList>
#include <QWidget>

#include "memberlist.h"

class QLineEdit;
class QPushButton;
class USRContext;
class USRPrompter;

namespace desk::sheets {

class UIMemberModel;
class UIMemberView;
class UINameBrowser;

class UIFolderMbrPage : public QWidget {
    Q_OBJECT
  public:
    UIFolderMbrPage(USRContext& context, USRPrompter& prompter, UINameBrowser& browser,
                    const QVariantList& rights, bool editable, QWidget* parent = nullptr);

    UIMemberList& members() { return list_; }
    UIMemberView* view() const { return view_; }
    bool changed() const { return list_.changed(); }

    // "&Add": the typed name; "&Browse...": names from the browser.
    void addTyped();
    void browse();
    void removeSelected();
    void showCard();

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void updateButtons();
    void addName(std::string name);

    USRContext& context_;
    USRPrompter& prompter_;
    UINameBrowser& browser_;
    bool editable_;
    UIMemberList list_;
    UIMemberModel* model_;
    UIMemberView* view_;
    QLineEdit* nameEdit_;
    QPushButton* browse_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* card_;
};

} // namespace desk::sheets
