// UIBCardPropSheet: the "Business Card" sheet over the values of the logic's
// BusinessCard and BusinessCardView dialogs ("texts", "logo"). Editing shows
// General, Address, Mail and Phone and Message Board; display shows the
// card as printed and its message board, read-only.
#pragma once

#include <QDialog>
#include <QVariantMap>
#include <vector>

class QTabWidget;

namespace desk::sheets {

class UIBCardEditPage;
class UIBCardBusinessPage;

class UIBCardPropSheet : public QDialog {
    Q_OBJECT
  public:
    UIBCardPropSheet(const QVariantMap& values, bool editable, QWidget* parent = nullptr);
    // The values with the pages' fields on them.
    QVariantMap values() const;
    QTabWidget* tabs() const { return tabs_; }

  private:
    QVariantMap values_;
    QTabWidget* tabs_;
    std::vector<UIBCardEditPage*> pages_;
};

} // namespace desk::sheets
