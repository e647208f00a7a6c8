// The notes' "Text Color" menu: entries 32792..32808, sixteen swatches of
// the default system palette, then the automatic colour. We paint every
// entry ourselves: a framed swatch, or the word "Automatic", on the
// highlight when the pointer or keyboard is on it.
#pragma once

#include <QColor>
#include <QMenu>

namespace desk::sheets {

constexpr int kFirstColorEntry = 32792;
constexpr int kAutomaticColorEntry = 32808;

class UIColorMenu : public QMenu {
    Q_OBJECT
  public:
    explicit UIColorMenu(QWidget* parent = nullptr);
    // The colour of entry `id`; invalid for the automatic entry and ids
    // outside the menu.
    static QColor colorOf(int id);

  signals:
    // An invalid colour is the automatic colour.
    void chosen(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace desk::sheets
