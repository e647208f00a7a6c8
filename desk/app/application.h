// UIApplication: starts the desktop. It checks that someone is logged in,
// builds the frame with its two views over the document, and, for a
// screenshot run, renders the frame into a PNG once the desktop is shown.
#pragma once

#include "options.h"

#include <QObject>
#include <memory>

namespace desk::ui {
class UIDesktopSession;
class UIPrompter;
} // namespace desk::ui
namespace desk::sheets {
class UISheetPrompter;
} // namespace desk::sheets
class USRLaunchActivation;
class USRLogoutListener;

namespace desk::app {

class UIGeometryDump;

class UIApplication : public QObject {
    Q_OBJECT
  public:
    explicit UIApplication(const Options& options);
    ~UIApplication() override;

    // Runs the program; its exit status.
    int run();

  private:
    void about();
    bool saveScreenshot();

    bool loggedIn();

    Options options_;
    std::unique_ptr<ui::UIPrompter> prompter_;
    std::unique_ptr<sheets::UISheetPrompter> sheets_; // in front of prompter_
    std::unique_ptr<USRLaunchActivation> activation_;
    std::unique_ptr<ui::UIDesktopSession> session_;
    std::unique_ptr<USRLogoutListener> logout_;
    std::unique_ptr<UIGeometryDump> geometry_;
};

} // namespace desk::app
