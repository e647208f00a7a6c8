// UISheetPrompter: puts the property sheets in front of another prompter.
// The logic's requests for the folder sheet, the business card sheets and
// the document item dialog run the sheets of this library; every other
// dialog, question and message goes to the prompter behind it (the
// desktop's message boxes, or a test's script).
#pragma once

#include <memory>

#include "core/prompter.h"
#include "docitemdialog.h"

class QWidget;
class USRContext;

namespace desk::sheets {

class UINameBrowser;

class UISheetPrompter : public USRPrompter {
  public:
    UISheetPrompter(USRContext& context, USRPrompter& behind, QWidget* window = nullptr);
    ~UISheetPrompter() override;

    void setWindow(QWidget* window) { window_ = window; }
    // How the members page picks names (not owned); null: the directory
    // browser.
    void setBrowser(UINameBrowser* browser);
    // How the document item dialog picks a file; empty: the file selection.
    void setFileChooser(UIDocItemDialog::FileChooser chooser) { chooser_ = std::move(chooser); }

    bool askYesNo(const std::string& text, USRIcon icon) override;
    void showMessage(const std::string& text, USRIcon icon) override;
    USRReply runDialog(USRDialog dialog, QVariantMap& values) override;
    void beep() override;
    USRReply runFolderDeletion(USRFolderDeletion& deletion) override;

  private:
    USRReply runFolderSheet(QVariantMap& values);
    USRReply runCardSheet(QVariantMap& values);
    USRReply runCardView(QVariantMap& values);
    USRReply runDocumentItem(QVariantMap& values);

    struct Entry {
        USRDialog dialog;
        USRReply (UISheetPrompter::*run)(QVariantMap&);
    };
    static const Entry kSheets[];

    USRContext& context_;
    USRPrompter& behind_;
    QWidget* window_;
    std::unique_ptr<UINameBrowser> directoryBrowser_;
    UINameBrowser* browser_;
    UIDocItemDialog::FileChooser chooser_;
};

} // namespace desk::sheets
