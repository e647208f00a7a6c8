#include "contentsimages.h"

#include "art.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>

namespace desk::ui {
namespace {

constexpr const char* kProgramExtension = "exe";
const int kSizes[] = {16, 22, 32, 48};

// The picture of a file's type: the theme's icon of its MIME type, else a
// plain document.
QIcon typeIcon(const QString& fileName) {
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(type.iconName(),
                            QIcon::fromTheme(type.genericIconName(), ownIcon(Art::Document)));
}

} // namespace

QIcon withLinkMark(const QIcon& icon) {
    QIcon marked;
    const QIcon mark = linkOverlay();
    for (int size : kSizes) {
        for (qreal scale : {1.0, 2.0}) {
            QPixmap pm(QSize(size, size) * scale);
            pm.setDevicePixelRatio(scale);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            icon.paint(&p, QRect(0, 0, size, size));
            mark.paint(&p, QRect(0, 0, size, size));
            p.end();
            marked.addPixmap(pm);
        }
    }
    return marked;
}

ContentsImages::ContentsImages() {
    icons_.push_back(withLinkMark(ownIcon(Art::Web)));
    icons_.push_back(withLinkMark(ownIcon(Art::Generic)));
    icons_.push_back(ownIcon(Art::PersonalFolder));
    icons_.push_back(ownIcon(Art::SharedFolder));
}

QString ContentsImages::keyOf(const QString& fileName) {
    const QString base = QFileInfo(fileName).fileName();
    const int dot = base.indexOf(QLatin1Char('.'));
    if (dot < 0) return {};
    const QString extension = base.mid(dot + 1).toLower();
    return extension == QLatin1String(kProgramExtension) ? fileName : extension;
}

int ContentsImages::documentSlot(const QString& fileName) {
    const QString key = keyOf(fileName);
    if (key.isEmpty()) return kItem;
    auto it = slots_.constFind(key);
    if (it != slots_.constEnd()) return *it;
    icons_.push_back(withLinkMark(typeIcon(fileName)));
    const int slot = int(icons_.size()) - 1;
    slots_.insert(key, slot);
    return slot;
}

const QIcon& ContentsImages::icon(int slot) const {
    return icons_[size_t(slot >= 0 && slot < count() ? slot : kItem)];
}

} // namespace desk::ui
