#include "placement.h"

#include <QSettings>
#include <algorithm>

namespace desk::ui {
namespace {

constexpr char kSection[] = "Settings";
constexpr char kFolderViewWidth[] = "FolderViewWidth";
constexpr char kLeft[] = "FrameLeft";
constexpr char kTop[] = "FrameTop";
constexpr char kWidth[] = "FrameWidth";
constexpr char kHeight[] = "FrameHeight";
constexpr char kDockState[] = "DockState";
constexpr int kDefaultFolderViewWidth = 200;

// A stored value that is not a number reads as its default, like a missing one.
int readInt(QSettings& s, const char* key, int fallback) {
    bool ok = false;
    const int v = s.value(QLatin1String(key), fallback).toInt(&ok);
    return ok ? v : fallback;
}

// The desktop's profile, opened on its "Settings" section.
struct Profile {
    QSettings s{QStringLiteral("Halvex Applications"), QStringLiteral("Namewright Desktop")};
    Profile() { s.beginGroup(QLatin1String(kSection)); }
};

} // namespace

Placement loadPlacement() {
    Profile profile;
    QSettings& s = profile.s;
    Placement p;
    p.folderViewWidth = readInt(s, kFolderViewWidth, kDefaultFolderViewWidth);
    if (p.folderViewWidth <= 0) p.folderViewWidth = kDefaultFolderViewWidth;
    p.frame = QRect(readInt(s, kLeft, 0), readInt(s, kTop, 0), std::max(0, readInt(s, kWidth, 0)),
                    std::max(0, readInt(s, kHeight, 0)));
    p.dockState = s.value(QLatin1String(kDockState)).toByteArray();
    return p;
}

void savePlacement(const Placement& p) {
    Profile profile;
    QSettings& s = profile.s;
    s.setValue(QLatin1String(kFolderViewWidth), p.folderViewWidth);
    s.setValue(QLatin1String(kLeft), p.frame.left());
    s.setValue(QLatin1String(kTop), p.frame.top());
    s.setValue(QLatin1String(kWidth), p.frame.width());
    s.setValue(QLatin1String(kHeight), p.frame.height());
    s.setValue(QLatin1String(kDockState), p.dockState);
}

QRect fitToScreen(const QRect& saved, const QRect& screen, const QSize& defaultSize) {
    if (saved.width() <= 0 || saved.height() <= 0) {
        const QSize size = defaultSize.boundedTo(screen.size());
        QRect r(QPoint(0, 0), size);
        r.moveCenter(screen.center());
        return r;
    }
    const int width = std::min(saved.width(), screen.width());
    const int height = std::min(saved.height(), screen.height());
    // Positions are kept relative to the screen's area so that a panel at
    // the top or left is not covered.
    int left = std::max(saved.left(), screen.left());
    int top = std::max(saved.top(), screen.top());
    if (left + width > screen.left() + screen.width())
        left = screen.left() + screen.width() - width;
    if (top + height > screen.top() + screen.height())
        top = screen.top() + screen.height() - height;
    return QRect(left, top, width, height);
}

} // namespace desk::ui
