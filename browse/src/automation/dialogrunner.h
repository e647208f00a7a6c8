// How the automation object runs its windows: the browser through the
// exported dialog function and the "Configure Browser" window on the screen,
// or, in pick mode (scripts and tests), a fixed name without any window.
#pragma once

#include <QString>
#include <memory>

namespace browse {

struct BrowserSettings {
    bool single = true; // the object keeps "single selection"
    QString title;
    QString avdPath;
};

class DialogRunner {
  public:
    virtual ~DialogRunner() = default;
    // The name the person chose, or "" on Cancel.
    virtual QString runSingle(const QString& title, const QString& avdPath) = 0;
    // True when the person confirmed the new settings.
    virtual bool configure(BrowserSettings& settings) = 0;
};

std::unique_ptr<DialogRunner> screenRunner();
// Answers every browser with `name`; records each request as a line of
// `recordFile` when one is given.
std::unique_ptr<DialogRunner> pickRunner(const QString& name, const QString& recordFile);

} // namespace browse
