#include "dragdrop.h"

#include <QMimeData>
#include <QUrl>

namespace desk::ui {

DesktopDrag& desktopDrag() {
    static DesktopDrag drag;
    return drag;
}

Qt::DropAction dropEffect(const QMimeData* data, const USRFolderNode* target, bool ctrlHeld) {
    if (!data || !target) return Qt::IgnoreAction;
    const DesktopDrag& drag = desktopDrag();
    const bool ours = drag.active && data->hasFormat(QLatin1String(kDesktopNodesMime));
    if (ours && drag.source == target) return Qt::IgnoreAction;
    if (ours || (data->hasText() && !data->hasUrls()))
        return ours && !ctrlHeld ? Qt::MoveAction : Qt::CopyAction;
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls())
            if (!url.isLocalFile()) return data->hasText() ? Qt::CopyAction : Qt::IgnoreAction;
        return Qt::LinkAction;
    }
    return Qt::IgnoreAction;
}

} // namespace desk::ui
