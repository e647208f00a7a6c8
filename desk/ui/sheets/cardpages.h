// The business card's editing pages: one page per CardPage, each built from
// the card field table. The General page also picks the logo, a bitmap file
// whose bytes the card keeps; the message board page is a plain text editor,
// read-only on the display sheet.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "cardfields.h"

class QLineEdit;
class QPlainTextEdit;

namespace desk::sheets {

class UIBCardEditPage : public QWidget {
    Q_OBJECT
  public:
    UIBCardEditPage(CardPage page, bool readOnly, QWidget* parent = nullptr);

    void load(const QStringList& texts, const QByteArray& logo);
    void store(QStringList& texts, QByteArray& logo) const;

    // Loads the logo from a bitmap file; false (logo unchanged) when the
    // file cannot be read or is not a bitmap.
    bool loadLogo(const QString& path);
    const QByteArray& logo() const { return logo_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void chooseLogo();

    CardPage page_;
    std::vector<std::pair<const CardField*, QLineEdit*>> edits_;
    QPlainTextEdit* board_ = nullptr;
    QWidget* logoFrame_ = nullptr; // the rectangle the logo is drawn in
    QByteArray logo_;
};

// The tab caption of `page`.
QString cardPageTitle(CardPage page);

} // namespace desk::sheets
