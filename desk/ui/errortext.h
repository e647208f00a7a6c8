// The one text every window shows for a failed directory, file or system
// call, and the message box that carries it.
//
// Codes below 33 are the host's error numbers (errno), shown after string
// 5013. Other codes are the store's: their text is string 3500 + code; for
// codes from 100 up the client library's last status is appended, because
// those failures happen below the store and the status tells which.
#pragma once

#include <QString>

class QWidget;

namespace desk::ui {

// The text of `code`. `brief` joins the parts on one line (for list cells);
// `lastStatus` is the client library's last status to append where the rule
// asks for it.
QString errorText(long code, bool brief, unsigned lastStatus);

// The same with the calling thread's last client library status.
QString errorText(long code, bool brief = false);

// A message box with the exclamation icon and OK; `context` (an object's
// name, say) goes on its own line after the text.
void showError(QWidget* parent, long code, const QString& context = {});

// A plain message in the same box (texts that are not error codes).
void showMessage(QWidget* parent, const QString& text);

// Where messages go instead of a modal box: tests install a sink that records
// them; nullptr restores the box. Main thread only.
using MessageSink = void (*)(const QString& text);
void setMessageSink(MessageSink sink);

} // namespace desk::ui
