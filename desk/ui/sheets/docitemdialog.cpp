#include "docitemdialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/context.h"
#include "core/prompter.h"
#include "files/usrfile.h"
#include "formrows.h"
#include "items/itemcommands.h"
#include "people/usrpreferences.h"
#include "sheetstrings.h"

namespace desk::sheets {
namespace {

const QString kName = QStringLiteral("name");
const QString kDescription = QStringLiteral("description");
const QString kPath = QStringLiteral("path");
const QString kAuthor = QStringLiteral("text2");

// The path in network form when it lies on a mounted service; else as is.
std::string networkForm(const QString& path) {
    std::string p = path.trimmed().toStdString();
    std::string converted = p;
    if (USRFile::normalise(converted)) return converted;
    return p;
}

} // namespace

bool isValidFileName(const QString& path) {
    const QString p = path.trimmed();
    if (p.isEmpty() || p.endsWith(QLatin1Char('/')) || p.endsWith(QLatin1Char('\\'))) return false;
    for (QChar c : p)
        if (c.unicode() < 32) return false;
    return true;
}

QString selectDocumentFile(QWidget* parent, const QString& startDir) {
    QFileDialog dialog(parent, sheetString(kStrSelectDocument), startDir);
    dialog.setObjectName(QStringLiteral("UIDocFileSelect"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("doc"));
    dialog.setLabelText(QFileDialog::Accept, sheetString(kStrSelectOk));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

UIDocItemDialog::UIDocItemDialog(USRContext& context, const QVariantMap& values, QWidget* parent)
    : QDialog(parent), context_(context), values_(values), chooser_(selectDocumentFile) {
    setObjectName(QStringLiteral("255"));
    setWindowTitle(QStringLiteral("Document Item"));
    setAccessibleName(windowTitle());
    const bool editable = values.value(QStringLiteral("editable"), true).toBool();
    auto* form = new QFormLayout;
    name_ = addLineRow(form, this, 1024, QStringLiteral("&Name:"), 50);
    description_ = addLineRow(form, this, 1032, QStringLiteral("&Description:"), 80);
    file_ = new QLineEdit(this);
    nameControl(file_, 1102, QStringLiteral("File"));
    file_->setMaxLength(500);
    browse_ = makeButton(this, 8, QStringLiteral("&Browse..."));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(browse_);
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    fileLabel->setBuddy(file_);
    form->addRow(fileLabel, fileRow);
    author_ = addLineRow(form, this, 1033, QStringLiteral("Author:"), 80);
    author_->setReadOnly(true);
    author_->setFocusPolicy(Qt::TabFocus);

    name_->setText(values.value(kName).toString());
    description_->setText(values.value(kDescription).toString());
    file_->setText(values.value(kPath).toString());
    // Wide enough for the whole path in network form, within reason.
    const QFontMetrics metrics = file_->fontMetrics();
    file_->setMinimumWidth(std::clamp(metrics.horizontalAdvance(file_->text()),
                                      metrics.averageCharWidth() * 40,
                                      metrics.averageCharWidth() * 90) +
                           metrics.averageCharWidth() * 2);
    author_->setText(values.value(kAuthor).toString());
    for (QWidget* w : {static_cast<QWidget*>(name_), static_cast<QWidget*>(description_),
                       static_cast<QWidget*>(file_), static_cast<QWidget*>(browse_)})
        w->setEnabled(editable);
    connect(browse_, &QPushButton::clicked, this, &UIDocItemDialog::browse);

    auto* buttons = okCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void UIDocItemDialog::browse() {
    QString start;
    if (values_.value(QStringLiteral("mustBeShared")).toBool()) {
        USRPreferences prefs(context_);
        long e = 0;
        if (prefs.read(e)) {
            const std::string dir = prefs.shareDirectory();
            const std::string local = USRFile::localPath(dir);
            start = QString::fromStdString(local.empty() ? dir : local);
        }
    }
    const QString chosen = chooser_(this, start);
    if (chosen.isEmpty()) return;
    if (!isValidFileName(chosen)) {
        context_.prompter().showMessage(sheetString(kStrFileRequired).toStdString());
        return;
    }
    file_->setText(QString::fromStdString(networkForm(chosen)));
}

void UIDocItemDialog::accept() {
    if (!values_.value(QStringLiteral("editable"), true).toBool()) {
        QDialog::accept();
        return;
    }
    const QString typed = file_->text().trimmed();
    if (!isValidFileName(typed)) {
        context_.prompter().showMessage(sheetString(kStrFileRequired).toStdString());
        file_->setFocus();
        return;
    }
    std::string path = networkForm(typed);
    if (values_.value(QStringLiteral("mustBeShared")).toBool() && !USRFile::isOnSharedArea(path)) {
        // The logic asks, proposes the share directory and copies; an
        // abandoned copy leaves the item as it was.
        if (!USROfferSharedCopy(context_, path)) {
            reject();
            return;
        }
    }
    file_->setText(QString::fromStdString(path));
    QDialog::accept();
}

QVariantMap UIDocItemDialog::values() const {
    QVariantMap out = values_;
    out[kName] = name_->text();
    out[kDescription] = description_->text();
    out[kPath] = file_->text();
    return out;
}

} // namespace desk::sheets
