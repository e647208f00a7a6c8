// UIFolderPropSheet: the folder property sheet over the values of the
// logic's FolderSheet dialog. An existing folder shows its pages as tabs
// (description; members for a shared folder; subscribers for its
// moderators); a new folder runs them as a wizard (description, then for a
// shared folder members and publish). Nothing is handed back before the
// person confirms, and an empty name keeps the sheet open.
#pragma once

#include <QDialog>
#include <QVariantMap>
#include <vector>

class QPushButton;
class QStackedWidget;
class QTabWidget;
class USRContext;
class USRPrompter;

namespace desk::sheets {

class UIFolderDscPage;
class UIFolderMbrPage;
class UIFolderPubPage;
class UIFolderSubPage;
class UINameBrowser;

class UIFolderPropSheet : public QDialog {
    Q_OBJECT
  public:
    UIFolderPropSheet(USRContext& context, USRPrompter& prompter, UINameBrowser& browser,
                      const QVariantMap& values, QWidget* parent = nullptr);

    // The values with the confirmed edits on them.
    QVariantMap values() const { return values_; }

    UIFolderDscPage* descriptionPage() const { return description_; }
    UIFolderMbrPage* membersPage() const { return members_; }
    UIFolderSubPage* subscribersPage() const { return subscribers_; }
    UIFolderPubPage* publishPage() const { return publish_; }
    // The pages in the order shown.
    const std::vector<QWidget*>& pages() const { return pages_; }
    bool isWizard() const { return stack_ != nullptr; }
    int currentPage() const;
    void showPage(QWidget* page);

    void next();
    void back();
    void accept() override; // OK or Finish

  private:
    void updateWizardButtons();
    bool validate();

    USRPrompter& prompter_;
    QVariantMap values_;
    UIFolderDscPage* description_ = nullptr;
    UIFolderMbrPage* members_ = nullptr;
    UIFolderSubPage* subscribers_ = nullptr;
    UIFolderPubPage* publish_ = nullptr;
    std::vector<QWidget*> pages_;
    QTabWidget* tabs_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
};

} // namespace desk::sheets
