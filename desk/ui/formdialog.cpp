#include "formdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace desk::ui {
namespace {

QWidget* pathEditor(QWidget* parent, const QString& value, bool folder, bool editable) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QLineEdit(value, box);
    edit->setReadOnly(!editable);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), box);
    browse->setEnabled(editable);
    QObject::connect(browse, &QPushButton::clicked, box, [edit, folder, box] {
        const QString chosen = folder ? QFileDialog::getExistingDirectory(box, {}, edit->text())
                                      : QFileDialog::getOpenFileName(box, {}, edit->text());
        if (!chosen.isEmpty()) edit->setText(chosen);
    });
    row->addWidget(edit, 1);
    row->addWidget(browse);
    box->setFocusProxy(edit);
    return box;
}

} // namespace

UIFormDialog::UIFormDialog(const QString& title, std::span<const FormField> fields,
                           const QVariantMap& values, bool editable, QWidget* parent)
    : QDialog(parent), fields_(fields), values_(values) {
    setWindowTitle(title);
    auto* form = new QFormLayout;
    for (const FormField& f : fields) {
        const QVariant v = values.value(QLatin1String(f.key));
        QWidget* editor = nullptr;
        switch (f.type) {
        case FieldType::Text: {
            auto* e = new QLineEdit(v.toString(), this);
            e->setReadOnly(!editable);
            editor = e;
            break;
        }
        case FieldType::LongText: {
            auto* e = new QPlainTextEdit(v.toString(), this);
            e->setReadOnly(!editable);
            e->setTabChangesFocus(true);
            editor = e;
            break;
        }
        case FieldType::Number: {
            auto* e = new QSpinBox(this);
            e->setRange(1, 24 * 60);
            e->setValue(v.toInt());
            e->setEnabled(editable);
            editor = e;
            break;
        }
        case FieldType::Flag: {
            auto* e = new QCheckBox(this);
            e->setChecked(v.toBool());
            e->setEnabled(editable);
            editor = e;
            break;
        }
        case FieldType::File:
        case FieldType::Folder:
            editor = pathEditor(this, v.toString(), f.type == FieldType::Folder, editable);
            break;
        case FieldType::Publish: {
            auto* e = new QComboBox(this);
            e->addItems({QStringLiteral("Do not publish now"), QStringLiteral("All members"),
                         QStringLiteral("Selected members")});
            e->setCurrentIndex(v.toInt());
            e->setEnabled(editable);
            editor = e;
            break;
        }
        }
        editor->setObjectName(QLatin1String(f.key));
        editor->setAccessibleName(QString::fromUtf8(f.label).remove(QLatin1Char('&')));
        form->addRow(QString::fromUtf8(f.label), editor);
        editors_.push_back(editor);
    }
    auto* buttons = new QDialogButtonBox(
        editable ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

QVariantMap UIFormDialog::values() const {
    QVariantMap out = values_;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const QString key = QLatin1String(fields_[i].key);
        QWidget* w = editors_[i];
        if (auto* e = qobject_cast<QLineEdit*>(w))
            out[key] = e->text();
        else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
            out[key] = t->toPlainText();
        else if (auto* n = qobject_cast<QSpinBox*>(w))
            out[key] = n->value();
        else if (auto* c = qobject_cast<QCheckBox*>(w))
            out[key] = c->isChecked();
        else if (auto* p = qobject_cast<QComboBox*>(w))
            out[key] = p->currentIndex();
        else if (auto* path = w->findChild<QLineEdit*>())
            out[key] = path->text();
    }
    return out;
}

} // namespace desk::ui
