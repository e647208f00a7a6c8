// namedesk: the desktop program. Parses its own options before the window
// system starts, because a screenshot run must choose the offscreen platform
// (and its scale) before any window exists.
#include "application.h"
#include "options.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const desk::app::Options options = desk::app::parseOptions(raw);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "namedesk: %s\n\n%s", qPrintable(options.error),
                     qPrintable(desk::app::usageText()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(desk::app::usageText()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("namedesk " NAMEDESK_VERSION);
        return 0;
    }
    if (!options.screenshot.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication qt(argc, argv);
    desk::app::UIApplication app(options);
    return app.run();
}
