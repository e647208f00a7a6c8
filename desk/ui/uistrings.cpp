#include "uistrings.h"

#include "core/strings.h"

namespace desk::ui {
namespace {

struct Entry {
    long id;
    const char* text;
};

// Texts that only windows show.
constexpr Entry kWindowStrings[] = {
    {kStrTypeDocument, "Document"},
    {kStrTypeWeb, "Web"},
    {kStrTypeFolder, "Folder"},
    {kStrTypePeople, "People"},
    {kStrTypeGeneric, "Generic"},
    {kStrBuildingList, "Building deletion list ...."},
    {kStrFinishedDeleting, "Finished deleting."},
    {kStrDesktopToolbar, "Desktop Toolbar"},
};

} // namespace

QString uiString(long id) {
    const std::string text = USRString(id);
    if (!text.empty()) return QString::fromStdString(text);
    for (const Entry& e : kWindowStrings)
        if (e.id == id) return QString::fromUtf8(e.text);
    return {};
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
