// One line per thing on the screen, tab-separated, screen coordinates:
//   window  TITLE   x y w h          every visible top-level window
//   widget  NAME    x y w h  TEXT    widgets with an object name (control id;
//                                    not the qt_... names of Qt's own parts)
//   button  ID      x y w h  TEXT    toolbar buttons, by their command's id
//   item    VIEW    x y w h  TEXT    the shown rows of the item views
//   cell    VIEW:COLUMN x y w h ROW CELL  the other columns of those rows:
//                                    the row's first text, then the cell's
//                                    (its accessible text when it shows none)
//   control WINDOW  x y w h  TEXT    buttons without a name (a button box's)
//   label   WINDOW  x y w h  TEXT    labels without a name (a message box's)
//   tab     OWNER   x y w h  TEXT    the tabs of tab bars
//   menu    OWNER   x y w h  TEXT    the entries of menu bars and open menus
// OWNER and WINDOW are the nearest object name up the parents.
// A test polls the file; a fresh write replaces it whole.
#include "geometrydump.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTabBar>
#include <QTextEdit>
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
          const QString& text, const QString* more = nullptr) {
    out << kind << '\t' << oneLine(name) << '\t' << r.x() << '\t' << r.y() << '\t' << r.width()
        << '\t' << r.height() << '\t' << oneLine(text);
    if (more) out << '\t' << oneLine(*more);
    out << '\n';
}

QRect onScreen(const QWidget* w, const QRect& local) {
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

QString widgetText(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(w)) return t->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(w)) return t->toPlainText();
    return w->accessibleName();
}

QString ownerName(const QObject* o) {
    for (; o; o = o->parent())
        if (!o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_")))
            return o->objectName();
    return {};
}

// The rows a person could click: shown, and inside the view's viewport.
void items(QTextStream& out, const QAbstractItemView* view, const QModelIndex& parent) {
    const QAbstractItemModel* model = view->model();
    const QRect port = view->viewport()->rect();
    auto* tree = qobject_cast<const QTreeView*>(view);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const QRect r = view->visualRect(index);
        if (!r.isValid() || !port.intersects(r)) continue;
        const QString text = index.data().toString();
        line(out, "item", view->objectName(), onScreen(view->viewport(), r), text);
        for (int column = 1; column < model->columnCount(parent); ++column) {
            const QModelIndex cell = model->index(row, column, parent);
            QString shown = cell.data().toString();
            if (shown.isEmpty()) shown = cell.data(Qt::AccessibleTextRole).toString();
            line(out, "cell", view->objectName() + QLatin1Char(':') + QString::number(column),
                 onScreen(view->viewport(), view->visualRect(cell)), text, &shown);
        }
        if (tree && tree->isExpanded(index)) items(out, view, index);
    }
}

// The entries a person could click in a menu bar or an open menu.
void menuEntries(QTextStream& out, const QWidget* w) {
    auto* bar = qobject_cast<const QMenuBar*>(w);
    auto* menu = qobject_cast<const QMenu*>(w);
    if (!bar && !menu) return;
    for (QAction* a : w->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        const QRect r = bar ? bar->actionGeometry(a) : menu->actionGeometry(a);
        if (r.isValid()) line(out, "menu", ownerName(w), onScreen(w, r), a->text());
    }
}

void tabs(QTextStream& out, const QTabBar* bar) {
    for (int i = 0; i < bar->count(); ++i)
        line(out, "tab", ownerName(bar), onScreen(bar, bar->tabRect(i)), bar->tabText(i));
}

} // namespace

UIGeometryDump::UIGeometryDump(const QString& path) : path_(path) {
    timer_.setInterval(100);
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
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            line(out, "widget", w->objectName(), r, widgetText(w));
        else if (auto* b = qobject_cast<QAbstractButton*>(w); b && !qobject_cast<QToolButton*>(w))
            line(out, "control", ownerName(w), r, b->text());
        else if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty())
            line(out, "label", ownerName(w), r, l->text());
        if (auto* t = qobject_cast<QTabBar*>(w)) tabs(out, t);
        menuEntries(out, w);
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) items(out, v, {});
    }
    out.flush(); // the stream keeps up to 16K characters back until then
    file.commit();
}

} // namespace desk::app
