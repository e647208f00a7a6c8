// namedesk's command line.
#pragma once

#include <QString>
#include <QStringList>

namespace desk::app {

struct Options {
    bool help = false;
    bool version = false;
    QString screenshot; // render the main window into this PNG file and exit
    double scale = 0;   // device pixel ratio for the screenshot (0: the platform's)
    QString geometry;   // tests: keep this file telling where widgets are on screen
    QString error;      // a usage error, for the message and exit status 2
};

Options parseOptions(const QStringList& args);
QString usageText();

} // namespace desk::app
