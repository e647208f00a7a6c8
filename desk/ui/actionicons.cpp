#include "actionicons.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <iterator>

#include "actions/commandline.h"
#include "actions/programpath.h"
#include "art.h"
#include "files/xdgapps.h"

namespace desk::ui {
namespace {

// The built-in set: simple pictures in a 16 x 16 box, each distinct in
// shape and colour so that they tell apart at 16 and at 32 pixels.
void outline(QPainter& p, const QColor& fill) {
    p.setPen(QPen(fill.darker(170), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
}

void drawGear(QPainter& p) {
    outline(p, QColor(0x8a, 0x94, 0xa0));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(i * 45);
        p.drawRect(QRectF(-1.5, -7.5, 3, 3));
        p.restore();
    }
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}
void drawStar(QPainter& p) {
    outline(p, QColor(0xf2, 0xc0, 0x2c));
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = i % 2 ? 3.2 : 7.5;
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
    }
    p.drawPolygon(star);
}
void drawPage(QPainter& p) {
    outline(p, QColor(0xfa, 0xfa, 0xfa));
    p.drawRect(QRectF(3.5, 1.5, 9, 13));
    p.setPen(QColor(0x4a, 0x90, 0xd9));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(5, 4.5 + i * 2.5), QPointF(11, 4.5 + i * 2.5));
}
void drawGlobe(QPainter& p) {
    outline(p, QColor(0x4a, 0x90, 0xd9));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
}
void drawMail(QPainter& p) {
    outline(p, QColor(0xf0, 0xe6, 0xc8));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
}
void drawNote(QPainter& p) {
    outline(p, QColor(0x8e, 0x44, 0xad));
    p.drawEllipse(QRectF(2.5, 10.5, 4.5, 3.5));
    p.drawEllipse(QRectF(9.5, 9, 4.5, 3.5));
    p.drawLine(QPointF(7, 12), QPointF(7, 2.5));
    p.drawLine(QPointF(14, 10.5), QPointF(14, 1.5));
    p.drawLine(QPointF(7, 2.5), QPointF(14, 1.5));
}
void drawCalculator(QPainter& p) {
    outline(p, QColor(0x55, 0x5f, 0x6b));
    p.drawRoundedRect(QRectF(3, 1, 10, 14), 1.5, 1.5);
    p.setBrush(QColor(0xc8, 0xe6, 0xc8));
    p.drawRect(QRectF(4.5, 2.5, 7, 3));
    p.setBrush(Qt::white);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(4.5 + c * 2.5, 7 + r * 2.5, 1.5, 1.5));
}
void drawCamera(QPainter& p) {
    outline(p, QColor(0x40, 0x40, 0x48));
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
    p.drawRect(QRectF(5, 2.5, 5, 2));
    p.setBrush(QColor(0x9c, 0xc8, 0xf0));
    p.drawEllipse(QRectF(5, 6, 6, 6));
}
void drawChart(QPainter& p) {
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
    const QColor bars[] = {QColor(0xd9, 0x4a, 0x4a), QColor(0x5c, 0xa8, 0x4a),
                           QColor(0x4a, 0x90, 0xd9)};
    const qreal heights[] = {6, 11, 8};
    for (int i = 0; i < 3; ++i) {
        outline(p, bars[i]);
        p.drawRect(QRectF(2.5 + i * 4, 14.5 - heights[i], 3, heights[i]));
    }
}
void drawClock(QPainter& p) {
    outline(p, QColor(0xfa, 0xfa, 0xfa));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(8, 4));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}
void drawTerminal(QPainter& p) {
    outline(p, QColor(0x20, 0x24, 0x2a));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    p.setPen(QPen(QColor(0x7c, 0xe0, 0x7c), 1.2));
    p.drawPolyline(QPolygonF({QPointF(4, 6), QPointF(6.5, 8), QPointF(4, 10)}));
    p.drawLine(QPointF(8, 10.5), QPointF(11.5, 10.5));
}
void drawPencil(QPainter& p) {
    outline(p, QColor(0xf5, 0xa6, 0x23));
    p.drawPolygon(QPolygonF(
        {QPointF(2, 14), QPointF(3, 10.5), QPointF(11.5, 2), QPointF(14, 4.5), QPointF(5.5, 13)}));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawPolygon(QPolygonF({QPointF(2, 14), QPointF(2.6, 12), QPointF(4, 13.4)}));
}
void drawKey(QPainter& p) {
    outline(p, QColor(0xd4, 0xaf, 0x37));
    p.drawEllipse(QRectF(1.5, 4.5, 7, 7));
    p.drawRect(QRectF(8.5, 7, 6, 2));
    p.drawRect(QRectF(12, 9, 1.5, 2.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3.5, 6.5, 2.5, 2.5));
}
void drawPrinter(QPainter& p) {
    outline(p, QColor(0xfa, 0xfa, 0xfa));
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    outline(p, QColor(0x80, 0x88, 0x90));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    outline(p, QColor(0xfa, 0xfa, 0xfa));
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
}
void drawHeart(QPainter& p) {
    outline(p, QColor(0xd9, 0x4a, 0x6a));
    QPainterPath h;
    h.moveTo(8, 14);
    h.cubicTo(-2, 7, 3, -1, 8, 4.5);
    h.cubicTo(13, -1, 18, 7, 8, 14);
    p.drawPath(h);
}
void drawFlag(QPainter& p) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.2));
    p.drawLine(QPointF(3, 1.5), QPointF(3, 14.5));
    outline(p, QColor(0x5c, 0xa8, 0x4a));
    p.drawPolygon(QPolygonF(
        {QPointF(3.5, 2), QPointF(13.5, 2), QPointF(11, 5), QPointF(13.5, 8), QPointF(3.5, 8)}));
}
constexpr void (*kSet[])(QPainter&) = {
    drawGear,       drawStar,    drawPage,  drawGlobe, drawMail,     drawNote,
    drawCalculator, drawCamera,  drawChart, drawClock, drawTerminal, drawPencil,
    drawKey,        drawPrinter, drawHeart, drawFlag,
};

QIcon genericProgramIcon() {
    return QIcon::fromTheme(QStringLiteral("application-x-executable"), ownIcon(Art::Action));
}

} // namespace

int actionIconCount() {
    return int(std::size(kSet));
}

QIcon builtInActionIcon(int index) {
    return drawnIcon(kSet[index >= 0 && index < actionIconCount() ? index : 0]);
}

QIcon programIcon(const QString& executable) {
    const QString name = QString::fromStdString(usrfile::programIconName(executable.toStdString()));
    if (name.startsWith(QLatin1Char('/'))) {
        if (QFileInfo(name).isFile()) {
            QIcon file(name);
            if (!file.pixmap(32, 32).isNull()) return file;
        }
    } else if (!name.isEmpty()) {
        const QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull()) return themed;
    }
    return genericProgramIcon();
}

QString programOfCommand(const std::string& commandLine) {
    return QString::fromStdString(
        usraction::splitCommandLine(commandLine, [](const std::string& p) {
            return !usraction::programFile(p).empty();
        }).program);
}

QIcon actionIcon(int iconIndex, const QString& executable) {
    return iconIndex == kProgramIconIndex ? programIcon(executable) : builtInActionIcon(iconIndex);
}

} // namespace desk::ui
