#include "sheetprompter.h"

#include "cardsheet.h"
#include "foldersheet.h"
#include "namebrowser.h"

namespace desk::sheets {

const UISheetPrompter::Entry UISheetPrompter::kSheets[] = {
    {USRDialog::FolderSheet, &UISheetPrompter::runFolderSheet},
    {USRDialog::BusinessCard, &UISheetPrompter::runCardSheet},
    {USRDialog::BusinessCardView, &UISheetPrompter::runCardView},
    {USRDialog::DocumentItem, &UISheetPrompter::runDocumentItem},
};

UISheetPrompter::UISheetPrompter(USRContext& context, USRPrompter& behind, QWidget* window)
    : context_(context), behind_(behind), window_(window),
      directoryBrowser_(std::make_unique<UIDirectoryBrowser>()), browser_(directoryBrowser_.get()) {
}

UISheetPrompter::~UISheetPrompter() = default;

void UISheetPrompter::setBrowser(UINameBrowser* browser) {
    browser_ = browser ? browser : directoryBrowser_.get();
}

bool UISheetPrompter::askYesNo(const std::string& text, USRIcon icon) {
    return behind_.askYesNo(text, icon);
}
void UISheetPrompter::showMessage(const std::string& text, USRIcon icon) {
    behind_.showMessage(text, icon);
}
void UISheetPrompter::beep() {
    behind_.beep();
}

USRReply UISheetPrompter::runFolderDeletion(USRFolderDeletion& deletion) {
    return behind_.runFolderDeletion(deletion);
}

USRReply UISheetPrompter::runDialog(USRDialog dialog, QVariantMap& values) {
    for (const Entry& e : kSheets)
        if (e.dialog == dialog) return (this->*e.run)(values);
    return behind_.runDialog(dialog, values);
}

USRReply UISheetPrompter::runFolderSheet(QVariantMap& values) {
    UIFolderPropSheet sheet(context_, *this, *browser_, values, window_);
    if (sheet.exec() != QDialog::Accepted) return USR_REPLY_CANCEL;
    values = sheet.values();
    return USR_REPLY_OK;
}

USRReply UISheetPrompter::runCardSheet(QVariantMap& values) {
    UIBCardPropSheet sheet(values, true, window_);
    if (sheet.exec() != QDialog::Accepted) return USR_REPLY_CANCEL;
    values = sheet.values();
    return USR_REPLY_OK;
}

USRReply UISheetPrompter::runCardView(QVariantMap& values) {
    UIBCardPropSheet sheet(values, false, window_);
    sheet.exec();
    return USR_REPLY_OK;
}

USRReply UISheetPrompter::runDocumentItem(QVariantMap& values) {
    UIDocItemDialog dialog(context_, values, window_);
    if (chooser_) dialog.setFileChooser(chooser_);
    if (dialog.exec() != QDialog::Accepted) return USR_REPLY_CANCEL;
    values = dialog.values();
    return USR_REPLY_OK;
}

} // namespace desk::sheets
