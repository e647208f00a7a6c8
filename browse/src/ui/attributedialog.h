// AttributeDialog: the attribute pages. Both modes show the categories and
// attributes of the attribute definition file as a tree, with the file's
// history. "View attributes" shows one name's attribute values and scans for
// the attributes that hold data; "Find by attribute" collects patterns for
// up to five attributes.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "avdreader.h"
#include "backend.h"
#include "pager.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace browse {

class Messages;

class AttributeDialog : public QDialog {
    Q_OBJECT
  public:
    enum Mode { View, Find };
    AttributeDialog(Mode mode, const QString& avdFile, DirectoryBackend& backend,
                    Messages& messages, QWidget* parent = nullptr);
    ~AttributeDialog() override;

    // View: the name whose attributes are shown.
    void setSubject(const QString& name);
    // Find: the criteria chosen.
    std::vector<AttributeCriterion> criteria() const { return criteria_; }
    // The definition file's status when it was opened (0: read).
    uint16_t fileStatus() const { return fileStatus_; }

  private:
    void openFile(const QString& avdFile);
    void fillTree();
    QString attributeName(AttrName attr);
    void showValue(AttrName attr);
    void scan();
    void addCriterion();

    Mode mode_;
    DirectoryBackend& backend_;
    Messages& messages_;
    avd::Reader reader_;
    uint16_t fileStatus_ = 0;
    QString subject_;
    std::vector<AttributeCriterion> criteria_;

    QTreeWidget* tree_ = nullptr;
    QLabel* history_ = nullptr;
    QLabel* subjectLabel_ = nullptr;
    QListWidget* withData_ = nullptr;
    QPlainTextEdit* value_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QListWidget* criteriaList_ = nullptr;
};

} // namespace browse
