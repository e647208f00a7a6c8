#include "sheetstrings.h"

#include "uistrings.h"

namespace desk::sheets {

QString sheetString(long id) {
    return ui::uiString(id);
}

QString sheetFormat(long id, const QStringList& args) {
    QString text = sheetString(id);
    for (const QString& a : args) {
        const qsizetype at = text.indexOf(QLatin1String("%s"));
        if (at < 0) break;
        text.replace(at, 2, a);
    }
    return text;
}

} // namespace desk::sheets
