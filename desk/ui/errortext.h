// The message box every window shows for a failed directory, file or system
// call: the shared error text (core/strings.h, USRErrorText) with the
// exclamation icon and an OK button.
#pragma once

#include <QString>

class QWidget;

namespace desk::ui {

// The shared error text of `code` as a QString.
QString errorText(long code, bool brief = false, const QString& context = {});

// A message box with the error text; `context` (an object's name, say) goes
// on its own line after it.
void showError(QWidget* parent, long code, const QString& context = {});

// A plain message in the same box (texts that are not error codes).
void showMessage(QWidget* parent, const QString& text);

// Where messages go instead of a modal box: tests install a sink that records
// them; nullptr restores the box. Main thread only.
using MessageSink = void (*)(const QString& text);
void setMessageSink(MessageSink sink);

} // namespace desk::ui
