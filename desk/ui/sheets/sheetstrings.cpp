#include "sheetstrings.h"

#include <utility>

#include "uistrings.h"

namespace desk::sheets {
namespace {

constexpr std::pair<long, const char*> kTexts[] = {
    {kStrFontBox, "Font"},
    {kStrFontSizeBox, "Font Size"},
    {kStrDefaultFont, "Times New Roman"},
    {kStrRemoveModerator, "Do you really want to remove %s as moderator?"},
    {kStrDeletingAction, "Deleting Action..."},
    {kStrCreateSharedAction, "Create Shared Action"},
    {kStrRemovingFromToolbar, " Removing from toolbar"},
    {kStrNameRequired, "A name is required."},
    {kStrFileRequired, "A filename is required."},
    {kStrInvalidFile, "Invalid filename specified."},
    {kStrActionsToolbar, "Actions Toolbar"},
};

} // namespace

QString sheetString(long id) {
    const QString shared = ui::uiString(id);
    if (!shared.isEmpty()) return shared;
    for (const auto& [number, text] : kTexts)
        if (number == id) return QString::fromUtf8(text);
    return {};
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
