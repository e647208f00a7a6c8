// A property sheet made from a table of fields: each field edits one key of
// the values the logic hands over (texts, long texts, numbers, flags, file
// and folder paths, a choice). The logic's sheets that have no dialog of
// their own yet are shown this way.
#pragma once

#include <QDialog>
#include <QVariantMap>
#include <span>

namespace desk::ui {

enum class FieldType { Text, LongText, Number, Flag, File, Folder, Publish };

struct FormField {
    const char* key;
    const char* label;
    FieldType type;
};

class UIFormDialog : public QDialog {
    Q_OBJECT
  public:
    // `editable` false shows the values read-only with a Close button.
    UIFormDialog(const QString& title, std::span<const FormField> fields, const QVariantMap& values,
                 bool editable, QWidget* parent = nullptr);
    // The values with the fields' edits on them.
    QVariantMap values() const;

  private:
    std::span<const FormField> fields_;
    QVariantMap values_;
    std::vector<QWidget*> editors_;
};

} // namespace desk::ui
