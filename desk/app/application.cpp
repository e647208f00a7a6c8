#include "application.h"

#include "art.h"
#include "commandids.h"
#include "mainframe.h"
#include "uistrings.h"

#include <QApplication>
#include <QLabel>
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
                    QMessageBox::Ok, frame_.get());
    box.setObjectName(QStringLiteral("100"));
    box.setIconPixmap(ui::deskIcon(ui::Art::Application).pixmap(48, 48));
    box.exec();
}

bool UIApplication::saveScreenshot() {
    const QPixmap shot = frame_->grab();
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

int UIApplication::run() {
    auto* tree = new QLabel;
    auto* contents = new QLabel;
    frame_ = std::make_unique<ui::UIDesktopFrame>(tree, contents);
    frame_->setHandler(ui::kCmdAbout, [this] { about(); });
    frame_->setKeepsPlacement(options_.screenshot.isEmpty());
    frame_->placeAndShow();
    if (!options_.screenshot.isEmpty()) {
        int status = 1;
        QTimer::singleShot(0, frame_.get(), [this, &status] {
            status = saveScreenshot() ? 0 : 1;
            frame_->close();
        });
        QApplication::exec();
        return status;
    }
    return QApplication::exec();
}

} // namespace desk::app
