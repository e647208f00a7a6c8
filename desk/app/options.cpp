#include "options.h"

namespace desk::app {

QString usageText() {
    return QStringLiteral(
        "Usage: namedesk [--screenshot FILE [--scale N]] [--dump-geometry FILE]\n"
        "\n"
        "The Namewright desktop: your folders, documents, web items, people and\n"
        "actions, kept in the directory so they follow you from workstation to\n"
        "workstation. Log in first (qrdlogin login NAME); a logout closes it.\n"
        "\n"
        "  --screenshot FILE  start without a display, render the main window\n"
        "                     into the PNG FILE once the desktop is loaded, exit\n"
        "  --scale N          with --screenshot: render at N times the size\n"
        "                     (1 or 2, say), to check high-density screens\n"
        "  --dump-geometry FILE  for end-to-end tests: keep FILE listing where\n"
        "                     the windows, widgets and view rows are on screen\n"
        "  --version          show the version\n"
        "  -h, --help         show this text\n"
        "\n"
        "Settings (window placement) are kept in\n"
        "$XDG_CONFIG_HOME/Halvex Applications/Namewright Desktop.conf.\n");
}

Options parseOptions(const QStringList& args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--screenshot") || a == QLatin1String("--scale") ||
                   a == QLatin1String("--dump-geometry")) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("%1 needs a value").arg(a);
                return o;
            }
            const QString v = args[++i];
            if (a == QLatin1String("--screenshot")) {
                o.screenshot = v;
                continue;
            }
            if (a == QLatin1String("--dump-geometry")) {
                o.geometry = v;
                continue;
            }
            bool ok = false;
            o.scale = v.toDouble(&ok);
            if (!ok || o.scale < 0.5 || o.scale > 4) {
                o.error = QStringLiteral("--scale takes a number from 0.5 to 4, not %1").arg(v);
                return o;
            }
        } else {
            o.error = QStringLiteral("unknown option %1").arg(a);
            return o;
        }
    }
    if (o.scale > 0 && o.screenshot.isEmpty())
        o.error = QStringLiteral("--scale goes with --screenshot");
    return o;
}

} // namespace desk::app
