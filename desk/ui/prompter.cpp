#include "prompter.h"

#include "copydialog.h"
#include "deletedialogs.h"
#include "errortext.h"
#include "folderdeletiondialog.h"
#include "formdialog.h"
#include "notestext.h"
#include "uistrings.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace desk::ui {
namespace {

using F = FieldType;

constexpr FormField kFolderFields[] = {
    {"name", "&Name:", F::Text},
    {"description", "&Description:", F::Text},
    {"notes", "N&otes:", F::LongText},
};
constexpr FormField kNewSharedFolderFields[] = {
    {"name", "&Name:", F::Text},
    {"description", "&Description:", F::Text},
    {"notes", "N&otes:", F::LongText},
    {"publish", "&Publish to:", F::Publish},
};
constexpr FormField kDocumentFields[] = {
    {"name", "&Name:", F::Text},
    {"description", "&Description:", F::Text},
    {"path", "&File:", F::File},
};
constexpr FormField kWebFields[] = {
    {"name", "&Name:", F::Text},
    {"description", "&Description:", F::Text},
    {"url", "&Address:", F::Text},
};
constexpr FormField kPreferenceFields[] = {
    {"interval", "&Inbox update every (minutes):", F::Number},
    {"shareDir", "&Shared directory:", F::Folder},
};
constexpr int kCardTexts = 13;
// The card's labels in the order of its thirteen texts.
constexpr const char* kCardLabels[kCardTexts] = {
    "&Name:",
    "&Job title:",
    "&Company:",
    "&EMail:",
    "&Phone:",
    "&Fax:",
    "&Office location:",
    "Address &1:",
    "Address &2:",
    "C&ity:",
    "&State/Province:",
    "Co&untry:",
    "&Postal/Zip code:",
};

QMessageBox::Icon boxIcon(USRIcon icon) {
    switch (icon) {
    case USRIcon::Question:
        return QMessageBox::Question;
    case USRIcon::Information:
        return QMessageBox::Information;
    case USRIcon::Stop:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Warning;
    }
}

USRReply runForm(QWidget* parent, const QString& title, std::span<const FormField> fields,
                 QVariantMap& values, bool editable) {
    UIFormDialog dialog(title, fields, values, editable, parent);
    if (dialog.exec() != QDialog::Accepted) return USR_REPLY_CANCEL;
    values = dialog.values();
    return USR_REPLY_OK;
}

// The card's texts as one field each.
USRReply runCard(QWidget* parent, QVariantMap& values, bool editable) {
    QStringList texts = values.value(QStringLiteral("texts")).toStringList();
    while (texts.size() < kCardTexts)
        texts << QString();
    std::vector<std::string> keys(kCardTexts);
    std::vector<FormField> fields;
    QVariantMap shown;
    for (int i = 0; i < kCardTexts; ++i) {
        keys[size_t(i)] = "text" + std::to_string(i);
        fields.push_back({keys[size_t(i)].c_str(), kCardLabels[i], F::Text});
        shown[QString::fromStdString(keys[size_t(i)])] = texts[i];
    }
    const QString title = uiString(135);
    if (runForm(parent, title, fields, shown, editable) != USR_REPLY_OK) return USR_REPLY_CANCEL;
    for (int i = 0; i < kCardTexts; ++i)
        texts[i] = shown.value(QString::fromStdString(keys[size_t(i)])).toString();
    values[QStringLiteral("texts")] = texts;
    return USR_REPLY_OK;
}

} // namespace

bool UIPrompter::askYesNo(const std::string& text, USRIcon icon) {
    QMessageBox box(boxIcon(icon), uiString(kStrAppTitle), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, window_);
    box.setObjectName(QStringLiteral("question"));
    return box.exec() == QMessageBox::Yes;
}

void UIPrompter::showMessage(const std::string& text, USRIcon) {
    ui::showMessage(window_, QString::fromStdString(text));
}

void UIPrompter::beep() {
    QApplication::beep();
}

USRReply UIPrompter::runFolderDeletion(USRFolderDeletion& deletion) {
    UIFolderDeletionDialog d(deletion, window_);
    return d.run();
}

USRReply UIPrompter::runDialog(USRDialog dialog, QVariantMap& v) {
    const bool editable = v.value(QStringLiteral("editable"), true).toBool();
    switch (dialog) {
    case USRDialog::DeleteConfirm: {
        UIDeleteConfirmDialog d(v.value(QStringLiteral("name")).toString(),
                                v.value(QStringLiteral("several")).toBool(), window_);
        d.exec();
        return d.reply();
    }
    case USRDialog::FolderDelete: {
        UIFolderDeleteDialog d(v.value(QStringLiteral("name")).toString(),
                               v.value(QStringLiteral("moderator")).toBool(), window_);
        if (d.exec() != QDialog::Accepted) return USR_REPLY_CANCEL;
        v[QStringLiteral("allSubscribers")] = d.allSubscribers();
        v[QStringLiteral("allSubfolders")] = d.allSubfolders();
        return USR_REPLY_OK;
    }
    case USRDialog::CopyProgress: {
        UICopyDialog d(v.value(QStringLiteral("source")).toString(),
                       v.value(QStringLiteral("destination")).toString(),
                       v.value(QStringLiteral("overwrite")).toBool(), window_);
        const long result = d.run();
        v[QStringLiteral("result")] = int(result);
        return result == 0 ? USR_REPLY_OK : USR_REPLY_CANCEL;
    }
    case USRDialog::FolderSheet: {
        const bool creatingShared = v.value(QStringLiteral("creating")).toBool() &&
                                    v.value(QStringLiteral("shared")).toBool();
        const QString title =
            v.value(QStringLiteral("creating")).toBool() ? uiString(108) : uiString(109);
        // This form has no format: it shows the notes' text, and keeps the
        // stored notes unless that text is edited.
        const QString stored = v.value(QStringLiteral("notes")).toString();
        const QString shown = notesPlainText(stored);
        v[QStringLiteral("notes")] = shown;
        const USRReply reply =
            runForm(window_, title,
                    creatingShared ? std::span<const FormField>(kNewSharedFolderFields)
                                   : std::span<const FormField>(kFolderFields),
                    v, editable);
        if (v.value(QStringLiteral("notes")).toString() == shown)
            v[QStringLiteral("notes")] = stored;
        return reply;
    }
    case USRDialog::DocumentItem:
        return runForm(window_, QStringLiteral("Document"), kDocumentFields, v, editable);
    case USRDialog::WebItem:
        return runForm(window_, QStringLiteral("Web Item"), kWebFields, v, editable);
    case USRDialog::Preferences:
        return runForm(window_, QStringLiteral("Desktop Preferences"), kPreferenceFields, v, true);
    case USRDialog::BusinessCard:
        return runCard(window_, v, true);
    case USRDialog::BusinessCardView:
        return runCard(window_, v, false);
    case USRDialog::SelectAction: {
        bool ok = false;
        const QStringList actions = v.value(QStringLiteral("actions")).toStringList();
        const QString chosen =
            QInputDialog::getItem(window_, QStringLiteral("Select Action"),
                                  QStringLiteral("&Action:"), actions, 0, false, &ok);
        if (!ok) return USR_REPLY_CANCEL;
        v[QStringLiteral("index")] = int(actions.indexOf(chosen));
        return USR_REPLY_OK;
    }
    case USRDialog::SaveFile: {
        const QString path =
            QFileDialog::getSaveFileName(window_, v.value(QStringLiteral("title")).toString(),
                                         v.value(QStringLiteral("path")).toString());
        if (path.isEmpty()) return USR_REPLY_CANCEL;
        v[QStringLiteral("path")] = path;
        return USR_REPLY_OK;
    }
    case USRDialog::About:
        break;
    }
    return USR_REPLY_CANCEL;
}

} // namespace desk::ui
