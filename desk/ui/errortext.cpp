#include "errortext.h"

#include "uistrings.h"

#include "core/strings.h"

#include <QMessageBox>

namespace desk::ui {
namespace {

MessageSink gSink = nullptr; // main thread only

} // namespace

QString errorText(long code, bool brief, const QString& context) {
    return QString::fromStdString(USRErrorText(code, brief, context.toStdString()));
}

void showError(QWidget* parent, long code, const QString& context) {
    showMessage(parent, errorText(code, false, context));
}

void setMessageSink(MessageSink sink) {
    gSink = sink;
}

void showMessage(QWidget* parent, const QString& text) {
    if (gSink) return gSink(text);
    QMessageBox box(QMessageBox::Warning, uiString(kStrAppTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("errorBox"));
    box.exec();
}

} // namespace desk::ui
