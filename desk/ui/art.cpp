#include "art.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace desk::ui {
namespace {

// Every picture is drawn in a 16 x 16 box and scaled to the size asked for.
using Draw = void (*)(QPainter&);

const QColor kInk(0x30, 0x30, 0x30);
const QColor kPaper(0xfa, 0xfa, 0xfa);
const QColor kFolder(0xe8, 0xb8, 0x4a);
const QColor kShared(0x4a, 0x90, 0xd9);
const QColor kModerated(0x5c, 0xa8, 0x4a);
const QColor kAccent(0xd9, 0x4a, 0x4a);

void pen(QPainter& p, const QColor& c, qreal w = 1.0) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void page(QPainter& p, const QRectF& r) {
    pen(p, kInk);
    p.setBrush(kPaper);
    QPainterPath path;
    const qreal f = 3;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - f, r.top());
    path.lineTo(r.right(), r.top() + f);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void lines(QPainter& p, const QRectF& r, int n) {
    pen(p, QColor(0x90, 0x90, 0x90));
    for (int i = 0; i < n; ++i) {
        const qreal y = r.top() + 3 + i * 2.5;
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

void folderShape(QPainter& p, const QColor& body) {
    pen(p, body.darker(160));
    p.setBrush(body.darker(115));
    p.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 8.5), 1, 1);
}

void people(QPainter& p, const QPointF& at, const QColor& c) {
    pen(p, c.darker(150));
    p.setBrush(c);
    p.drawEllipse(QRectF(at.x() - 2, at.y() - 5, 4, 4));
    p.drawChord(QRectF(at.x() - 4, at.y(), 8, 8), 0, 180 * 16);
}

void plus(QPainter& p) {
    pen(p, kModerated.darker(130), 2);
    p.drawLine(QPointF(12, 1.5), QPointF(12, 6.5));
    p.drawLine(QPointF(9.5, 4), QPointF(14.5, 4));
}

void drawCut(QPainter& p) {
    pen(p, kInk, 1.2);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 10, 4, 4));
    p.drawEllipse(QRectF(10, 10, 4, 4));
    p.drawLine(QPointF(5.5, 10.5), QPointF(11, 1.5));
    p.drawLine(QPointF(10.5, 10.5), QPointF(5, 1.5));
}
void drawCopy(QPainter& p) {
    page(p, QRectF(1.5, 1.5, 8, 10));
    page(p, QRectF(6.5, 4.5, 8, 10));
    lines(p, QRectF(6.5, 5.5, 8, 10), 3);
}
void drawPaste(QPainter& p) {
    pen(p, QColor(0x80, 0x5a, 0x2a));
    p.setBrush(QColor(0xc8, 0x96, 0x5a));
    p.drawRoundedRect(QRectF(2.5, 2.5, 10, 12), 1, 1);
    p.setBrush(QColor(0xa0, 0xa0, 0xa0));
    p.drawRect(QRectF(5.5, 1.5, 4, 2.5));
    page(p, QRectF(6.5, 6.5, 8, 8.5));
}
void drawDelete(QPainter& p) {
    pen(p, kAccent, 2.2);
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}
void drawProperties(QPainter& p) {
    page(p, QRectF(2.5, 1.5, 11, 13));
    pen(p, kInk);
    for (int i = 0; i < 4; ++i) {
        const qreal y = 4.5 + i * 2.5;
        p.setBrush(i % 2 ? kShared : kPaper);
        p.drawRect(QRectF(4, y - 0.8, 1.6, 1.6));
        p.drawLine(QPointF(7, y), QPointF(11.5, y));
    }
}
void drawPersonalFolder(QPainter& p) {
    folderShape(p, kFolder);
}
void drawSharedFolder(QPainter& p) {
    folderShape(p, kShared);
    people(p, QPointF(8, 9.5), kPaper);
}
void drawModeratedFolder(QPainter& p) {
    folderShape(p, kModerated);
    people(p, QPointF(8, 9.5), kPaper);
}
void drawNewPersonalFolder(QPainter& p) {
    drawPersonalFolder(p);
    plus(p);
}
void drawNewSharedFolder(QPainter& p) {
    drawSharedFolder(p);
    plus(p);
}
void drawDocument(QPainter& p) {
    page(p, QRectF(2.5, 1.5, 11, 13));
    lines(p, QRectF(2.5, 2.5, 11, 13), 4);
}
void drawNewDocument(QPainter& p) {
    drawDocument(p);
    plus(p);
}
void drawWeb(QPainter& p) {
    pen(p, kShared.darker(140));
    p.setBrush(QColor(0xcf, 0xe4, 0xf7));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(2.5, 4.8), QPointF(13.5, 4.8));
    p.drawLine(QPointF(2.5, 11.2), QPointF(13.5, 11.2));
}
void drawNewWeb(QPainter& p) {
    drawWeb(p);
    plus(p);
}
void tray(QPainter& p) {
    pen(p, kInk);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    QPainterPath path;
    path.moveTo(1.5, 9.5);
    path.lineTo(5, 9.5);
    path.lineTo(6, 11.5);
    path.lineTo(10, 11.5);
    path.lineTo(11, 9.5);
    path.lineTo(14.5, 9.5);
    path.lineTo(14.5, 14.5);
    path.lineTo(1.5, 14.5);
    path.closeSubpath();
    p.drawPath(path);
}
void drawInbox(QPainter& p) {
    tray(p);
}
void drawInboxFull(QPainter& p) {
    page(p, QRectF(4.5, 1.5, 7, 8));
    tray(p);
    pen(p, kAccent.darker(120));
    p.setBrush(kAccent);
    p.drawEllipse(QRectF(10.5, 0.5, 5, 5));
}
void arrowDown(QPainter& p, const QColor& c) {
    pen(p, c, 1.8);
    p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
    p.drawLine(QPointF(5.5, 5.5), QPointF(8, 8));
    p.drawLine(QPointF(10.5, 5.5), QPointF(8, 8));
}
void drawUpdateInbox(QPainter& p) {
    tray(p);
    arrowDown(p, kShared);
}
void drawPublish(QPainter& p) {
    drawSharedFolder(p);
    pen(p, kAccent, 1.8);
    p.drawLine(QPointF(10, 2), QPointF(15, 2));
    p.drawLine(QPointF(13, 0.5), QPointF(15, 2));
    p.drawLine(QPointF(13, 3.5), QPointF(15, 2));
}
void drawLargeIcons(QPainter& p) {
    pen(p, kInk);
    p.setBrush(kShared);
    p.drawRect(QRectF(1.5, 1.5, 5.5, 5.5));
    p.drawRect(QRectF(9, 1.5, 5.5, 5.5));
    p.drawRect(QRectF(1.5, 9, 5.5, 5.5));
    p.drawRect(QRectF(9, 9, 5.5, 5.5));
}
void rowsOf(QPainter& p, qreal x0, qreal x1, int n) {
    for (int i = 0; i < n; ++i) {
        const qreal y = 2.5 + i * (12.0 / (n - 1));
        pen(p, kInk);
        p.setBrush(kShared);
        p.drawRect(QRectF(x0, y - 1, 2, 2));
        p.drawLine(QPointF(x0 + 3.5, y), QPointF(x1, y));
    }
}
void drawSmallIcons(QPainter& p) {
    rowsOf(p, 1.5, 6.5, 4);
    p.translate(7.5, 0);
    rowsOf(p, 1.5, 6.5, 4);
}
void drawList(QPainter& p) {
    rowsOf(p, 1.5, 14.5, 4);
}
void drawDetails(QPainter& p) {
    rowsOf(p, 1.5, 7, 5);
    pen(p, QColor(0x90, 0x90, 0x90));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(9, 2.5 + i * 3), QPointF(14.5, 2.5 + i * 3));
}
void drawDescription(QPainter& p) {
    page(p, QRectF(2.5, 1.5, 11, 13));
    pen(p, kInk);
    p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 4.5));
    lines(p, QRectF(2.5, 4.5, 11, 10), 3);
}
void drawBusinessCards(QPainter& p) {
    pen(p, kInk);
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 10), 1.5, 1.5);
    people(p, QPointF(4.5, 8.5), kShared);
    pen(p, QColor(0x90, 0x90, 0x90));
    p.drawLine(QPointF(9, 6.5), QPointF(13.5, 6.5));
    p.drawLine(QPointF(9, 9), QPointF(13.5, 9));
}
void drawBrowser(QPainter& p) {
    pen(p, kInk, 1.6);
    p.setBrush(QColor(0xcf, 0xe4, 0xf7));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
}
void drawContextHelp(QPainter& p) {
    pen(p, kShared.darker(130));
    p.setBrush(kShared);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    pen(p, kPaper, 1.8);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5.5, 3.5, 5, 5), 180 * 16, -270 * 16);
    p.drawLine(QPointF(8, 8.5), QPointF(8, 10));
    p.drawPoint(QPointF(8, 12.5));
}
void drawAbout(QPainter& p) {
    pen(p, kShared.darker(130));
    p.setBrush(kShared);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    pen(p, kPaper, 1.8);
    p.drawPoint(QPointF(8, 4.5));
    p.drawLine(QPointF(8, 7), QPointF(8, 12));
}
void drawRefresh(QPainter& p) {
    pen(p, kModerated.darker(120), 1.8);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
    p.drawLine(QPointF(11, 1), QPointF(11, 4.5));
    p.drawLine(QPointF(11, 4.5), QPointF(14.5, 4.5));
}
void drawExit(QPainter& p) {
    pen(p, kInk);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    pen(p, kAccent, 1.8);
    p.drawLine(QPointF(6, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
}
void drawDesktopRoot(QPainter& p) {
    pen(p, kInk);
    p.setBrush(QColor(0x3d, 0x6e, 0xa8));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 10), 1, 1);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(QRectF(5.5, 11.5, 5, 2));
    p.drawRect(QRectF(3.5, 13.5, 9, 1.5));
    pen(p, kFolder);
    p.setBrush(kFolder);
    p.drawRect(QRectF(2.5, 3.5, 3, 2.5));
}
void drawPerson(QPainter& p) {
    people(p, QPointF(8, 7), kShared);
}
void drawGeneric(QPainter& p) {
    pen(p, kInk);
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
}
void drawAction(QPainter& p) {
    pen(p, QColor(0xa0, 0x70, 0x10));
    p.setBrush(QColor(0xf5, 0xc8, 0x30));
    QPainterPath bolt;
    bolt.moveTo(9.5, 0.5);
    bolt.lineTo(3.5, 9);
    bolt.lineTo(7.5, 9);
    bolt.lineTo(6, 15.5);
    bolt.lineTo(12.5, 6.5);
    bolt.lineTo(8.5, 6.5);
    bolt.closeSubpath();
    p.drawPath(bolt);
}
void drawApplication(QPainter& p) {
    pen(p, kInk);
    p.setBrush(QColor(0x3d, 0x6e, 0xa8));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.save();
    p.translate(1.5, 2);
    p.scale(0.8, 0.8);
    folderShape(p, kFolder);
    p.restore();
    people(p, QPointF(11.5, 10), kPaper);
}
void drawLink(QPainter& p) {
    pen(p, kInk);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 9.5, 6, 6));
    pen(p, kInk, 1.2);
    p.drawLine(QPointF(2, 14), QPointF(5, 11));
    p.drawLine(QPointF(3, 11), QPointF(5, 11));
    p.drawLine(QPointF(5, 11), QPointF(5, 13));
}

struct Picture {
    Art art;
    const char* themeName;
    Draw draw;
};

constexpr Picture kPictures[] = {
    {Art::Cut, "edit-cut", drawCut},
    {Art::Copy, "edit-copy", drawCopy},
    {Art::Paste, "edit-paste", drawPaste},
    {Art::Delete, "edit-delete", drawDelete},
    {Art::Properties, "document-properties", drawProperties},
    {Art::NewPersonalFolder, "folder-new", drawNewPersonalFolder},
    {Art::NewSharedFolder, "folder-remote", drawNewSharedFolder},
    {Art::NewDocument, "document-new", drawNewDocument},
    {Art::NewWeb, "text-html", drawNewWeb},
    {Art::UpdateInbox, "mail-send-receive", drawUpdateInbox},
    {Art::Publish, "document-send", drawPublish},
    {Art::LargeIcons, "view-list-icons", drawLargeIcons},
    {Art::SmallIcons, "view-list-compact", drawSmallIcons},
    {Art::List, "view-list-text", drawList},
    {Art::Details, "view-list-details", drawDetails},
    {Art::Description, "text-x-generic", drawDescription},
    {Art::BusinessCards, "x-office-address-book", drawBusinessCards},
    {Art::Browser, "system-search", drawBrowser},
    {Art::ContextHelp, "help-whatsthis", drawContextHelp},
    {Art::About, "help-about", drawAbout},
    {Art::Refresh, "view-refresh", drawRefresh},
    {Art::Exit, "application-exit", drawExit},
    {Art::PersonalFolder, "folder", drawPersonalFolder},
    {Art::SharedFolder, "folder-remote", drawSharedFolder},
    {Art::ModeratedFolder, "folder-publicshare", drawModeratedFolder},
    {Art::DesktopRoot, "user-desktop", drawDesktopRoot},
    {Art::Inbox, "mail-folder-inbox", drawInbox},
    {Art::InboxFull, "mail-unread", drawInboxFull},
    {Art::Document, "text-x-generic", drawDocument},
    {Art::Web, "text-html", drawWeb},
    {Art::Person, "x-office-contact", drawPerson},
    {Art::Generic, "unknown", drawGeneric},
    {Art::Action, "system-run", drawAction},
    {Art::Application, "namedesk", drawApplication},
};

const Picture& pictureOf(Art art) {
    for (const Picture& p : kPictures)
        if (p.art == art) return p;
    return kPictures[0]; // every Art has a row; the table is checked by a test
}

// Paints a picture at any size; disabled icons are drawn faded.
class VectorEngine : public QIconEngine {
  public:
    explicit VectorEngine(Draw draw) : draw_(draw) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        draw_(*painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // `size` is in device pixels already (QIcon multiplies by the scale
    // before it asks); multiplying again drew 2x pictures four times over.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        pm.setDevicePixelRatio(scale);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), (QSizeF(size) / scale).toSize()), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new VectorEngine(draw_); }
    QString key() const override { return QStringLiteral("namedesk-vector"); }

  private:
    Draw draw_;
};

} // namespace

QIcon ownIcon(Art art) {
    return QIcon(new VectorEngine(pictureOf(art).draw));
}

QIcon deskIcon(Art art) {
    return QIcon::fromTheme(QString::fromLatin1(pictureOf(art).themeName), ownIcon(art));
}

QIcon linkOverlay() {
    return QIcon(new VectorEngine(drawLink));
}

QIcon drawnIcon(void (*draw)(QPainter&)) {
    return QIcon(new VectorEngine(draw));
}

} // namespace desk::ui
