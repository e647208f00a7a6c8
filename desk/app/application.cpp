#include "application.h"

#include "art.h"
#include "desktopsession.h"
#include "errortext.h"
#include "geometrydump.h"
#include "mainframe.h"
#include "prompter.h"
#include "sheetcommands.h"
#include "sheetprompter.h"
#include "uistrings.h"

#include "actions/usrlaunchactivation.h"
#include "core/context.h"
#include "session/logoutlistener.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace desk::app {

UIApplication::UIApplication(const Options& options) : options_(options) {
    QApplication::setOrganizationName(QStringLiteral("Halvex Applications"));
    QApplication::setApplicationName(QStringLiteral("Namewright Desktop"));
    QApplication::setApplicationVersion(QStringLiteral(NAMEDESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("namedesk"));
    QApplication::setWindowIcon(ui::deskIcon(ui::Art::Application));
}

UIApplication::~UIApplication() = default;

void UIApplication::about() {
    QMessageBox box(QMessageBox::Information, ui::uiString(ui::kStrAppTitle),
                    QStringLiteral("Namewright Desktop %1\n\nYour desktop in the Namewright "
                                   "directory: it follows you from workstation to workstation.")
                        .arg(QStringLiteral(NAMEDESK_VERSION)),
                    QMessageBox::Ok, &session_->frame());
    box.setObjectName(QStringLiteral("100"));
    box.setIconPixmap(ui::deskIcon(ui::Art::Application).pixmap(48, 48));
    box.exec();
}

bool UIApplication::saveScreenshot() {
    // At another scale the window keeps its size and is drawn with more
    // pixels, as on a high-density screen.
    ui::UIDesktopFrame& frame = session_->frame();
    const qreal scale = options_.scale > 0 ? options_.scale : frame.devicePixelRatioF();
    QPixmap shot(frame.size() * scale);
    shot.setDevicePixelRatio(scale);
    shot.fill(Qt::transparent);
    frame.render(&shot);
    if (shot.save(options_.screenshot, "PNG")) {
        std::printf("namedesk: saved the main window (%dx%d pixels) in %s\n", shot.width(),
                    shot.height(), qPrintable(options_.screenshot));
        return true;
    }
    std::fprintf(stderr,
                 "namedesk: cannot write %s; check that its folder exists and is "
                 "writable\n",
                 qPrintable(options_.screenshot));
    return false;
}

// Nobody logged in ends the program at once with the error's text: in a
// message box, and on standard error for a run without a display.
bool UIApplication::loggedIn() {
    std::string name;
    long e = 0;
    if (USRContext::process().loginName(name, e)) return true;
    const QString text = ui::errorText(e);
    std::fprintf(stderr, "namedesk: %s\n", qPrintable(text));
    if (options_.screenshot.isEmpty()) ui::showMessage(nullptr, text);
    return false;
}

int UIApplication::run() {
    if (!loggedIn()) return 1;
    USRContext& context = USRContext::process();
    prompter_ = std::make_unique<ui::UIPrompter>();
    activation_ = std::make_unique<USRLaunchActivation>();
    sheets_ = sheets::makeSheetPrompter(*prompter_);
    context.setPrompter(sheets_.get());
    context.setActivation(activation_.get());
    session_ = std::make_unique<ui::UIDesktopSession>(context);
    ui::UIDesktopFrame& frame = session_->frame();
    prompter_->setWindow(&frame);
    sheets::attachSheetCommands(*session_, *sheets_);
    connect(session_.get(), &ui::UIDesktopSession::aboutRequested, this, &UIApplication::about);
    logout_ = std::make_unique<USRLogoutListener>();
    connect(logout_.get(), &USRLogoutListener::loggedOut, &frame, &QWidget::close);
    frame.setKeepsPlacement(options_.screenshot.isEmpty());
    session_->start();
    if (!options_.geometry.isEmpty())
        geometry_ = std::make_unique<UIGeometryDump>(options_.geometry);
    int status = 0;
    if (!options_.screenshot.isEmpty()) {
        status = 1;
        QTimer::singleShot(0, &frame, [this, &status, &frame] {
            status = saveScreenshot() ? 0 : 1;
            frame.close();
        });
    }
    QApplication::setQuitOnLastWindowClosed(true);
    const int loop = QApplication::exec();
    geometry_.reset();
    session_.reset();
    context.setPrompter(nullptr);
    context.setActivation(nullptr);
    return options_.screenshot.isEmpty() ? loop : status;
}

} // namespace desk::app
