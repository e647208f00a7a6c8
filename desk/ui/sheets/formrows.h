// Small builders the sheets share: a labelled edit that carries its control
// id as object name, the label's text (without the "&") as accessible name,
// the label as buddy so that its Alt key reaches the edit, and the field's
// character limit.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QWidget;

namespace desk::sheets {

// The label text without its "&" marks.
QString plainLabel(const QString& label);

// A line edit for control `id`, limited to `limit` characters (0: none),
// added to `form` under `label`.
QLineEdit* addLineRow(QFormLayout* form, QWidget* parent, int id, const QString& label, int limit);

// A push button for control `id`.
QPushButton* makeButton(QWidget* parent, int id, const QString& text);

// OK and Cancel for `dialog`, wired to its (virtual) accept and reject.
QDialogButtonBox* okCancel(QDialog* dialog);

// Names a widget with its control id and an accessible name.
void nameControl(QWidget* w, int id, const QString& accessible);

} // namespace desk::sheets
