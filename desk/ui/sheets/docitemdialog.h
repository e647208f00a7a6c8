// The "Document Item" dialog over the values of the logic's DocumentItem
// dialog ("name", "description", "path", "text2" the author, "editable",
// "mustBeShared"). Paths leave it in the network form when they lie on a
// mounted file service; in a shared folder a local file is offered for a
// copy to a shared directory (the logic's USROfferSharedCopy), and declining
// cancels the dialog.
#pragma once

#include <QDialog>
#include <QVariantMap>
#include <functional>

class QLineEdit;
class QPushButton;
class USRContext;

namespace desk::sheets {

class UIDocItemDialog : public QDialog {
    Q_OBJECT
  public:
    UIDocItemDialog(USRContext& context, const QVariantMap& values, QWidget* parent = nullptr);
    QVariantMap values() const;

    // How "&Browse..." asks for a file: the document file selection by
    // default; tests put a chooser of their own. Returns "" on Cancel.
    using FileChooser = std::function<QString(QWidget* parent, const QString& startDir)>;
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    void browse();
    void accept() override;

  private:
    USRContext& context_;
    QVariantMap values_;
    QLineEdit* name_;
    QLineEdit* description_;
    QLineEdit* file_;
    QLineEdit* author_;
    QPushButton* browse_;
    FileChooser chooser_;
};

// UIDocFileSelect: the file-open dialog "Select Document File", starting in
// `startDir`; "" on Cancel.
QString selectDocumentFile(QWidget* parent, const QString& startDir);

// Whether `path` can name a file at all (not empty, not ending in a
// separator, no control characters).
bool isValidFileName(const QString& path);

} // namespace desk::sheets
