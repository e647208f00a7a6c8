// One line per thing on the screen, tab-separated, screen coordinates:
//   window  TITLE   x y w h          every visible top-level window
//   widget  NAME    x y w h  TEXT    widgets with an object name (control id)
//   button  ID      x y w h  TEXT    toolbar buttons, by their command's id
//   item    VIEW    x y w h  TEXT    the shown rows of the item views
// A test polls the file; a fresh write replaces it whole.
#include "geometrydump.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QTextStream>
#include <QToolButton>
#include <QTreeView>
#include <QWidget>

namespace desk::app {
namespace {

QString oneLine(QString s) {
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

void line(QTextStream& out, const char* kind, const QString& name, const QRect& r,
          const QString& text) {
    out << kind << '\t' << oneLine(name) << '\t' << r.x() << '\t' << r.y() << '\t' << r.width()
        << '\t' << r.height() << '\t' << oneLine(text) << '\n';
}

QRect onScreen(const QWidget* w, const QRect& local) {
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

QString widgetText(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    return w->accessibleName();
}

// The rows a person could click: shown, and inside the view's viewport.
void items(QTextStream& out, const QAbstractItemView* view, const QModelIndex& parent) {
    const QAbstractItemModel* model = view->model();
    const QRect port = view->viewport()->rect();
    auto* tree = qobject_cast<const QTreeView*>(view);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const QRect r = view->visualRect(index);
        if (r.isValid() && port.intersects(r))
            line(out, "item", view->objectName(), onScreen(view->viewport(), r),
                 index.data().toString());
        if (tree && tree->isExpanded(index)) items(out, view, index);
    }
}

} // namespace

UIGeometryDump::UIGeometryDump(const QString& path) : path_(path) {
    timer_.setInterval(200);
    connect(&timer_, &QTimer::timeout, this, &UIGeometryDump::write);
    timer_.start();
}

void UIGeometryDump::write() {
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return;
    QTextStream out(&file);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) line(out, "window", w->windowTitle(), w->frameGeometry(), {});
    for (QWidget* w : QApplication::allWidgets()) {
        if (!w->isVisible()) continue;
        const QRect r = onScreen(w, w->rect());
        if (auto* b = qobject_cast<QToolButton*>(w); b && b->defaultAction())
            line(out, "button", b->defaultAction()->objectName(), r, b->text());
        if (!w->objectName().isEmpty()) line(out, "widget", w->objectName(), r, widgetText(w));
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) items(out, v, {});
    }
    file.commit();
}

} // namespace desk::app
