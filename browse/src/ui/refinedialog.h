// RefineDialog: "Refine search" asks for a name pattern and a description
// pattern; the browser window applies them (search.h).
#pragma once

#include <QDialog>

class QLineEdit;

namespace browse {

class RefineDialog : public QDialog {
    Q_OBJECT
  public:
    explicit RefineDialog(QWidget* parent = nullptr);
    void setPatterns(const QString& name, const QString& description);
    QString namePattern() const;
    QString descriptionPattern() const;

  private:
    QLineEdit* name_;
    QLineEdit* description_;
};

} // namespace browse
