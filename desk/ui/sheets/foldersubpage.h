// UIFolderSubPage ("Subscribers"): who subscribed to the folder, for its
// moderators, with the business card of one selected subscriber.
#pragma once

#include <QStringList>
#include <QWidget>

class QListWidget;
class QPushButton;
class USRContext;
class USRPrompter;

namespace desk::sheets {

class UIFolderSubPage : public QWidget {
    Q_OBJECT
  public:
    UIFolderSubPage(USRContext& context, USRPrompter& prompter, const QStringList& subscribers,
                    QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }

  private:
    void showCard();

    USRContext& context_;
    USRPrompter& prompter_;
    QListWidget* list_;
    QPushButton* card_;
};

} // namespace desk::sheets
