#include "actiondrops.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QToolBar>
#include <QUrl>

#include "dragdrop.h"
#include "files/usrfile.h"

namespace desk::sheets {

UIActionDrops::UIActionDrops(QToolBar* bar, std::function<void(const QString&)> createFor,
                             std::function<void(int)> runOn)
    : QObject(bar), bar_(bar), createFor_(std::move(createFor)), runOn_(std::move(runOn)) {
    bar->setAcceptDrops(true);
    bar->installEventFilter(this);
}

int UIActionDrops::commandAt(const QPoint& at) const {
    QAction* a = bar_->actionAt(at);
    if (!a || !a->isEnabled()) return 0;
    bool ok = false;
    const int id = a->objectName().toInt(&ok);
    return ok ? id : 0;
}

bool UIActionDrops::eventFilter(QObject* watched, QEvent* event) {
    if (watched != bar_) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        const QMimeData* data = e->mimeData();
        if (data->hasFormat(QLatin1String(ui::kDesktopNodesMime)) &&
            commandAt(e->position().toPoint()) != 0) {
            e->setDropAction(Qt::LinkAction);
            e->accept();
        } else if (data->hasUrls()) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QMimeData* data = e->mimeData();
        if (data->hasFormat(QLatin1String(ui::kDesktopNodesMime))) {
            if (const int id = commandAt(e->position().toPoint())) runOn_(id);
        } else if (data->hasUrls() && !data->urls().isEmpty()) {
            // Only the first file counts.
            std::string path = data->urls().first().toLocalFile().toStdString();
            if (!path.empty()) {
                std::string normalised = path;
                createFor_(
                    QString::fromStdString(USRFile::normalise(normalised) ? normalised : path));
            }
        }
        e->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

} // namespace desk::sheets
