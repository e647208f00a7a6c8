#include "uistrings.h"

#include "core/strings.h"

namespace desk::ui {

QString uiString(long id) {
    return QString::fromStdString(USRString(id));
}

QString uiFormat(long id, const QStringList& args) {
    const QString in = uiString(id);
    QString out;
    int next = 0;
    for (int i = 0; i < in.size(); ++i) {
        const QChar c = in[i];
        const QChar n = i + 1 < in.size() ? in[i + 1] : QChar();
        if (c == QLatin1Char('%') && n == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
        } else if (c == QLatin1Char('%') && (n == QLatin1Char('s') || n == QLatin1Char('d')) &&
                   next < args.size()) {
            out += args[next++];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace desk::ui
