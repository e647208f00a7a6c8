#include "formatart.h"

#include <QPainter>
#include <QPainterPath>

#include "art.h"

namespace desk::ui {
namespace {

const QColor kGlyph(0x20, 0x20, 0x20);

void glyphPen(QPainter& p, qreal width) {
    p.setPen(QPen(kGlyph, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
}

void drawBold(QPainter& p) {
    glyphPen(p, 2.4);
    QPainterPath b;
    b.moveTo(4.5, 2);
    b.lineTo(4.5, 14);
    b.moveTo(4.5, 3);
    b.lineTo(8.5, 3);
    b.cubicTo(12, 3, 12, 7.6, 8.5, 7.6);
    b.lineTo(4.5, 7.6);
    b.moveTo(8.5, 7.6);
    b.cubicTo(13, 7.6, 13, 13, 8.5, 13);
    b.lineTo(4.5, 13);
    p.drawPath(b);
}
void drawItalic(QPainter& p) {
    glyphPen(p, 1.3);
    p.drawLine(QPointF(9.5, 2.5), QPointF(6.5, 13.5));
    p.drawLine(QPointF(7, 2.5), QPointF(12, 2.5));
    p.drawLine(QPointF(4, 13.5), QPointF(9, 13.5));
}
void drawUnderline(QPainter& p) {
    glyphPen(p, 1.4);
    QPainterPath u;
    u.moveTo(4.5, 1.5);
    u.lineTo(4.5, 8);
    u.cubicTo(4.5, 12.5, 11.5, 12.5, 11.5, 8);
    u.lineTo(11.5, 1.5);
    p.drawPath(u);
    p.drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
}
void drawTextColor(QPainter& p) {
    glyphPen(p, 1.4);
    p.drawLine(QPointF(3.5, 11), QPointF(8, 1.5));
    p.drawLine(QPointF(8, 1.5), QPointF(12.5, 11));
    p.drawLine(QPointF(5.5, 7.5), QPointF(10.5, 7.5));
    p.fillRect(QRectF(1.5, 12.5, 13, 3), QColor(0xd9, 0x20, 0x20));
}
// Four lines of text; `shift` places the short ones (0 left, 0.5 centre, 1 right).
void alignLines(QPainter& p, qreal shift) {
    glyphPen(p, 1.2);
    const qreal widths[] = {12, 8, 12, 8};
    for (int i = 0; i < 4; ++i) {
        const qreal x = 2 + (12 - widths[i]) * shift;
        const qreal y = 3.5 + i * 3;
        p.drawLine(QPointF(x, y), QPointF(x + widths[i], y));
    }
}
void drawAlignLeft(QPainter& p) {
    alignLines(p, 0);
}
void drawAlignCenter(QPainter& p) {
    alignLines(p, 0.5);
}
void drawAlignRight(QPainter& p) {
    alignLines(p, 1);
}

} // namespace

QIcon formatBarImage(int image) {
    static constexpr void (*kDrawn[])(QPainter&) = {
        drawBold,      drawItalic,      drawUnderline,  drawTextColor,
        drawAlignLeft, drawAlignCenter, drawAlignRight,
    };
    switch (image) {
    case 0:
        return ownIcon(Art::Cut);
    case 1:
        return ownIcon(Art::Copy);
    case 2:
        return ownIcon(Art::Paste);
    default:
        return image >= 3 && image < kFormatImages ? drawnIcon(kDrawn[image - 3]) : QIcon();
    }
}

} // namespace desk::ui
