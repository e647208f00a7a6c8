// The card shown as a printed card (the display sheet's General page): the
// logo drawn over its hidden field, the company name fitted into its field,
// the name in bold, and labels only for values that are there.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QWidget>
#include <optional>

class QLabel;

namespace desk::sheets {

// The first font that shows `text`, broken into words at tab, blank and line
// feed and wrapped, within `box`: `base` itself, then `base` at each of
// `sizes` from the largest down. A word wider than the box never fits.
// None when no font fits.
std::optional<QFont> fitFont(const QString& text, const QFont& base, QList<int> sizes, QSize box);

class UIBCardBusinessPage : public QWidget {
    Q_OBJECT
  public:
    explicit UIBCardBusinessPage(QWidget* parent = nullptr);

    void setLogo(const QByteArray& logo) { logo_ = logo; }
    void setCompany(const QString& company) { company_ = company; }
    // Fills every field from the card's texts (and the company and logo set
    // before).
    void load(const QStringList& texts);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* field(int id) const;
    void fitCompany();

    QByteArray logo_;
    QString company_;
    QWidget* logoFrame_;
};

} // namespace desk::sheets
