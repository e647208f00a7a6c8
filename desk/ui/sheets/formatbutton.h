// UIFormatButton: a format bar toggle (Bold, Italic, Underline) that shows
// a mixed selection as neither set nor clear, and selectionState(), which
// tells which of the three a selection is.
#pragma once

#include <QToolButton>
#include <functional>

class QTextCharFormat;
class QTextCursor;

namespace desk::sheets {

class UIFormatButton : public QToolButton {
    Q_OBJECT
  public:
    explicit UIFormatButton(QWidget* parent = nullptr);

    // Checked, unchecked, or PartiallyChecked for a mixed selection (shown
    // hatched and unchecked, so a click sets the format on all of it).
    void setState(Qt::CheckState state);
    Qt::CheckState state() const;

  private:
    void paintEvent(QPaintEvent* event) override;

    bool mixed_ = false;
};

// Whether `has` holds for every character of the cursor's selection, for
// none, or for some; without a selection, for the format at the cursor.
Qt::CheckState selectionState(const QTextCursor& cursor,
                              const std::function<bool(const QTextCharFormat&)>& has);

} // namespace desk::sheets
