#include "colormenu.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionFrame>

namespace desk::sheets {
namespace {

// Menu order; the number is the entry's place in the default system palette.
struct Swatch {
    int paletteIndex;
    QRgb rgb;
    const char* name; // for screen readers; the entry shows only the colour
};
constexpr Swatch kSwatches[] = {
    {0, qRgb(0, 0, 0), "Black"},
    {1, qRgb(128, 0, 0), "Dark Red"},
    {2, qRgb(0, 128, 0), "Dark Green"},
    {3, qRgb(128, 128, 0), "Olive"},
    {4, qRgb(0, 0, 128), "Dark Blue"},
    {5, qRgb(128, 0, 128), "Purple"},
    {6, qRgb(0, 128, 128), "Dark Cyan"},
    {12, qRgb(128, 128, 128), "Dark Gray"},
    {7, qRgb(192, 192, 192), "Light Gray"},
    {13, qRgb(255, 0, 0), "Red"},
    {14, qRgb(0, 255, 0), "Green"},
    {15, qRgb(255, 255, 0), "Yellow"},
    {16, qRgb(0, 0, 255), "Blue"},
    {17, qRgb(255, 0, 255), "Magenta"},
    {18, qRgb(0, 255, 255), "Cyan"},
    {19, qRgb(255, 255, 255), "White"},
};
static_assert(std::size(kSwatches) == kAutomaticColorEntry - kFirstColorEntry);

} // namespace

UIColorMenu::UIColorMenu(QWidget* parent) : QMenu(parent) {
    setObjectName(QStringLiteral("colorMenu"));
    for (int id = kFirstColorEntry; id <= kAutomaticColorEntry; ++id) {
        const bool automatic = id == kAutomaticColorEntry;
        QAction* a =
            addAction(automatic ? QStringLiteral("Automatic")
                                : QString::fromLatin1(kSwatches[id - kFirstColorEntry].name));
        a->setObjectName(QString::number(id));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { emit chosen(colorOf(id)); });
    }
}

QColor UIColorMenu::colorOf(int id) {
    if (id < kFirstColorEntry || id >= kAutomaticColorEntry) return {};
    return QColor(kSwatches[id - kFirstColorEntry].rgb);
}

void UIColorMenu::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameMenu, &frame, &p, this);
    for (QAction* a : actions()) {
        const QRect r = actionGeometry(a);
        if (!r.isValid() || !event->rect().intersects(r)) continue;
        const bool selected = a == activeAction();
        if (selected) p.fillRect(r, palette().color(QPalette::Highlight));
        const QColor ink =
            palette().color(selected ? QPalette::HighlightedText : QPalette::WindowText);
        const QRect box = r.adjusted(4, 3, -5, -4);
        const QColor color = colorOf(a->data().toInt());
        if (color.isValid()) {
            p.setPen(ink);
            p.setBrush(color);
            p.drawRect(box);
        } else {
            p.setPen(ink);
            p.drawText(box, Qt::AlignCenter, a->text());
        }
    }
}

} // namespace desk::sheets
