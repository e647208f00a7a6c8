// Message boxes of the browser, behind an interface so that tests answer
// them without a person.
#pragma once

#include <QString>

class QWidget;

namespace browse {

class Messages {
  public:
    virtual ~Messages() = default;
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;
    // OK: true; Cancel: false.
    virtual bool okCancel(QWidget* parent, const QString& title, const QString& text) = 0;
};

// Message boxes on the screen.
Messages& widgetMessages();

} // namespace browse
