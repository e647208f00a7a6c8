#include "formrows.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace desk::sheets {

QString plainLabel(const QString& label) {
    QString out = label;
    out.remove(QLatin1Char('&'));
    if (out.endsWith(QLatin1Char(':'))) out.chop(1);
    if (out.endsWith(QLatin1String("..."))) out.chop(3);
    return out;
}

void nameControl(QWidget* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
}

QLineEdit* addLineRow(QFormLayout* form, QWidget* parent, int id, const QString& label, int limit) {
    auto* edit = new QLineEdit(parent);
    nameControl(edit, id, plainLabel(label));
    if (limit > 0) edit->setMaxLength(limit);
    auto* caption = new QLabel(label, parent);
    caption->setBuddy(edit);
    form->addRow(caption, edit);
    return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog] { dialog->accept(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QPushButton* makeButton(QWidget* parent, int id, const QString& text) {
    auto* b = new QPushButton(text, parent);
    nameControl(b, id, plainLabel(text));
    b->setAutoDefault(false);
    return b;
}

} // namespace desk::sheets
