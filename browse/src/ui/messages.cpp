#include "messages.h"

#include <QMessageBox>

namespace browse {

namespace {

class WidgetMessages : public Messages {
  public:
    void inform(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::information(parent, title, text);
    }
    bool okCancel(QWidget* parent, const QString& title, const QString& text) override {
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    }
};

} // namespace

Messages& widgetMessages() {
    static WidgetMessages messages;
    return messages;
}

} // namespace browse
