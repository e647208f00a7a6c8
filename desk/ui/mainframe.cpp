#include "mainframe.h"

#include "errortext.h"
#include "uistrings.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

namespace desk::ui {
namespace {

constexpr int kClockPeriodMs = 1000;
constexpr int kActionsBarId = 155;
constexpr int kDatePaneId = 103;
constexpr int kTimePaneId = 104;
constexpr int kDesktopBarId = kCmdToolbar;  // the standard toolbar's window id
constexpr int kStatusBarId = kCmdStatusBar; // the standard status bar's window id
constexpr int kTipLength = 79;
const QSize kFirstRunSize(960, 640);

QString idName(int id) {
    return QString::number(id);
}

QList<QKeySequence> keysOf(const CommandSpec& spec) {
    QList<QKeySequence> keys;
    if (!spec.keys) return keys;
    for (const QString& k : QString::fromLatin1(spec.keys).split(QLatin1Char(';')))
        keys << QKeySequence(k);
    return keys;
}

bool isActionId(int id) {
    return id >= kFirstActionCommand && id <= kLastActionCommand;
}

} // namespace

UIDesktopFrame::UIDesktopFrame(QWidget* folderPane, QWidget* contentsPane, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("UIDesktopFrame"));
    setWindowTitle(uiString(kStrAppTitle));
    setWindowIcon(deskIcon(Art::Application));
    setAccessibleName(uiString(kStrAppTitle));
    placement_ = loadPlacement();

    buildCommands();
    buildMenus();
    buildToolbars();
    buildStatusBar();
    attachFrameHandlers();
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
    if (!placement_.dockState.isEmpty()) restoreState(placement_.dockState);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(folderPane);
    splitter_->addWidget(contentsPane);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);

    auto* clock = new QTimer(this);
    clock->setObjectName(QStringLiteral("4096"));
    connect(clock, &QTimer::timeout, this, &UIDesktopFrame::tick);
    clock->start(kClockPeriodMs);
    tick();
}

UIDesktopFrame::~UIDesktopFrame() = default;

void UIDesktopFrame::buildCommands() {
    for (const CommandSpec& spec : commandTable()) {
        auto* action = new QAction(QString::fromUtf8(spec.text), this);
        action->setObjectName(idName(spec.id));
        action->setStatusTip(QString::fromUtf8(spec.prompt));
        action->setShortcuts(keysOf(spec));
        action->setShortcutContext(Qt::WindowShortcut);
        if (spec.hasArt) action->setIcon(deskIcon(spec.art));
        action->setIconVisibleInMenu(spec.hasArt);
        action->setCheckable(spec.checked != nullptr);
        QString tip = plainText(spec);
        if (!action->shortcut().isEmpty())
            tip +=
                QStringLiteral(" (%1)").arg(action->shortcut().toString(QKeySequence::NativeText));
        action->setToolTip(tip);
        action->setEnabled(false);
        const int id = spec.id;
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        addAction(action); // accelerators work wherever the focus is in the frame
        actions_[id] = action;
    }
}

QMenu* UIDesktopFrame::menuAt(QMenu* root, const QString& path, std::map<QString, QMenu*>& made) {
    QMenu* menu = root;
    QString sofar;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        auto it = made.find(sofar);
        if (it == made.end()) {
            QMenu* sub = menu ? menu->addMenu(part) : menuBar()->addMenu(part);
            QString name = part;
            sub->setObjectName(QStringLiteral("menu") + name.remove(QLatin1Char('&')));
            it = made.emplace(sofar, sub).first;
        }
        menu = it->second;
    }
    return menu;
}

void UIDesktopFrame::buildMenus() {
    menuBar()->setObjectName(QStringLiteral("128"));
    std::map<QString, QMenu*> made;
    for (const CommandSpec& spec : commandTable()) {
        if (!spec.menu) continue;
        QMenu* menu = menuAt(nullptr, QString::fromUtf8(spec.menu), made);
        // Separators between groups that the table keeps apart.
        if (spec.id == kCmdExit || spec.id == kCmdDelete || spec.id == kCmdUpdateInbox ||
            spec.id == kCmdRefresh || spec.id == kCmdLargeIcons || spec.id == kCmdProperties)
            menu->addSeparator();
        menu->addAction(actions_[spec.id]);
    }
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &UIDesktopFrame::updateCommands);
}

QMenu* UIDesktopFrame::popup(PopupId id) {
    auto it = popups_.find(id);
    if (it != popups_.end()) return it->second;
    auto* menu = new QMenu(this);
    menu->setObjectName(idName(id));
    std::map<QString, QMenu*> made;
    for (const PopupRow& row : popupMenu(id)) {
        QMenu* at = QString::fromUtf8(row.path).isEmpty()
                        ? menu
                        : menuAt(menu, QString::fromUtf8(row.path), made);
        if (row.id == 0)
            at->addSeparator();
        else
            at->addAction(actions_[row.id]);
    }
    connect(menu, &QMenu::aboutToShow, this, &UIDesktopFrame::updateCommands);
    popups_[id] = menu;
    return menu;
}

void UIDesktopFrame::showPopup(PopupId id, const QPoint& globalPos) {
    updateCommands();
    popup(id)->popup(globalPos);
}

void UIDesktopFrame::buildToolbars() {
    desktopBar_ = new QToolBar(uiString(kStrDesktopToolbar), this);
    desktopBar_->setObjectName(idName(kDesktopBarId));
    desktopBar_->setAccessibleName(uiString(kStrDesktopToolbar));
    desktopBar_->setIconSize(QSize(22, 22));
    for (int id : desktopToolbar()) {
        if (id == 0)
            desktopBar_->addSeparator();
        else
            desktopBar_->addAction(actions_[id]);
    }
    addToolBar(Qt::TopToolBarArea, desktopBar_);

    actionsBar_ = new QToolBar(QStringLiteral("Actions Toolbar"), this);
    actionsBar_->setObjectName(idName(kActionsBarId));
    actionsBar_->setAccessibleName(QStringLiteral("Actions Toolbar"));
    actionsBar_->setIconSize(QSize(22, 22));
    actionsBar_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(actionsBar_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showPopup(kPopupActions, actionsBar_->mapToGlobal(at)); });
    addToolBar(Qt::RightToolBarArea, actionsBar_);
    actionsBar_->hide();
}

void UIDesktopFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(idName(kStatusBarId));
    bar->setAccessibleName(QStringLiteral("Status Bar"));
    datePane_ = new QLabel(bar);
    datePane_->setObjectName(idName(kDatePaneId));
    datePane_->setAccessibleName(QStringLiteral("Date"));
    timePane_ = new QLabel(bar);
    timePane_->setObjectName(idName(kTimePaneId));
    timePane_->setAccessibleName(QStringLiteral("Time"));
    bar->addPermanentWidget(datePane_);
    bar->addPermanentWidget(timePane_);
}

void UIDesktopFrame::attachFrameHandlers() {
    setHandler(kCmdToolbar, [this] { desktopBar_->setVisible(!desktopBar_->isVisible()); });
    setHandler(kCmdStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    setHandler(kCmdActionsBar, [this] { setActionsBarShown(!actionsBar_->isVisible()); });
    setHandler(kCmdExit, [this] { close(); });
    setHandler(kCmdContextHelp, [] { QWhatsThis::enterWhatsThisMode(); });
    setHandler(kCmdNextPane, [this] { cyclePane(1); });
    setHandler(kCmdPrevPane, [this] { cyclePane(-1); });
}

void UIDesktopFrame::cyclePane(int step) {
    const int count = splitter_->count();
    int at = 0;
    for (int i = 0; i < count; ++i)
        if (splitter_->widget(i)->isAncestorOf(focusWidget())) at = i;
    QWidget* next = splitter_->widget(((at + step) % count + count) % count);
    next->setFocus(Qt::OtherFocusReason);
    if (!next->hasFocus()) next->nextInFocusChain()->setFocus(Qt::OtherFocusReason);
}

void UIDesktopFrame::setHandler(int id, Handler handler) {
    handlers_[id] = std::move(handler);
    updateCommands();
}

void UIDesktopFrame::setActionHandler(std::function<void(int)> handler) {
    actionHandler_ = std::move(handler);
}

void UIDesktopFrame::setStateSource(StateSource source) {
    state_ = std::move(source);
    updateCommands();
}

CommandState UIDesktopFrame::commandState() const {
    CommandState s = state_ ? state_() : CommandState{};
    s.actionsBarHasButtons = !buttons_.empty();
    s.actionsBarVisible = actionsBar_ && actionsBar_->isVisible();
    s.toolbarVisible = desktopBar_ && !desktopBar_->isHidden();
    s.statusBarVisible = !statusBar()->isHidden();
    return s;
}

void UIDesktopFrame::runCommand(int id) {
    updateCommands();
    QAction* action = commandAction(id);
    if (!action || !action->isEnabled()) return;
    if (isActionId(id)) {
        if (actionHandler_) actionHandler_(id);
    } else if (auto it = handlers_.find(id); it != handlers_.end()) {
        it->second();
    }
    updateCommands();
}

QAction* UIDesktopFrame::commandAction(int id) const {
    auto it = actions_.find(id);
    if (it != actions_.end()) return it->second;
    if (!isActionId(id) || !actionsBar_) return nullptr;
    return actionsBar_->findChild<QAction*>(idName(id));
}

void UIDesktopFrame::updateCommands() {
    const CommandState s = commandState();
    for (const CommandSpec& spec : commandTable()) {
        QAction* action = actions_[spec.id];
        action->setEnabled(handlers_.count(spec.id) && spec.enabled(s));
        if (spec.checked) action->setChecked(spec.checked(s));
    }
    for (const ActionButton& b : buttons_)
        if (QAction* a = commandAction(b.id))
            a->setEnabled(actionHandler_ && actionButtonEnabled(b.useWithMask, s));
}

void UIDesktopFrame::tick() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    datePane_->setText(locale.toString(now.date(), QLocale::ShortFormat));
    timePane_->setText(locale.toString(now.time(), QLocale::ShortFormat));
    updateCommands();
}

void UIDesktopFrame::setActionLoader(ActionLoader loader) {
    loader_ = std::move(loader);
    refreshActionsBar();
}

void UIDesktopFrame::setActionsBarShown(bool shown) {
    actionsShown_ = shown;
    refreshActionsBar();
}

void UIDesktopFrame::refreshActionsBar() {
    if (buttons_.empty()) actionsShown_ = true; // a bar that had nothing shows what it gets
    std::vector<ActionButton> loaded;
    if (!loader_ || !loader_(loaded)) loaded.clear();
    for (QAction* a : actionsBar_->actions()) {
        actionsBar_->removeAction(a);
        a->deleteLater();
    }
    buttons_ = std::move(loaded);
    for (const ActionButton& b : buttons_) {
        auto* a =
            new QAction(b.icon.isNull() ? deskIcon(Art::Action) : b.icon, b.name, actionsBar_);
        a->setObjectName(idName(b.id));
        a->setToolTip(b.name.left(kTipLength));
        a->setStatusTip(b.description);
        const int id = b.id;
        connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
        actionsBar_->addAction(a);
    }
    if (buttons_.empty()) actionsShown_ = false;
    actionsBar_->setVisible(actionsShown_);
    updateCommands();
}

QString UIDesktopFrame::actionTip(int id) const {
    for (const ActionButton& b : buttons_)
        if (b.id == id) return b.name.left(kTipLength);
    return {};
}

void UIDesktopFrame::placeAndShow() {
    // The saved rectangle is the whole window with its frame: it is what has
    // to fit on the screen. The frame's margins are known once it is shown.
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect first = fitToScreen(placement_.frame, area, kFirstRunSize);
    setGeometry(first);
    splitter_->setSizes(
        {placement_.folderViewWidth, std::max(10, first.width() - placement_.folderViewWidth)});
    show();
    const QMargins margins(geometry().left() - frameGeometry().left(),
                           geometry().top() - frameGeometry().top(),
                           frameGeometry().right() - geometry().right(),
                           frameGeometry().bottom() - geometry().bottom());
    if (!margins.isNull()) {
        const QSize decorated = kFirstRunSize + QSize(margins.left() + margins.right(),
                                                      margins.top() + margins.bottom());
        const QRect outer = fitToScreen(placement_.frame, area, decorated);
        setGeometry(outer.marginsRemoved(margins));
    }
    normal_ = frameGeometry();
    placed_ = true;
    raise();
}

void UIDesktopFrame::trackNormal() {
    if (!placed_ || !isVisible()) return;
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    normal_ = frameGeometry();
}

void UIDesktopFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    trackNormal();
}

void UIDesktopFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    trackNormal();
}

void UIDesktopFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted()) return;
    if (placed_ && keepsPlacement_) {
        placement_.folderViewWidth = splitter_->sizes().value(0, placement_.folderViewWidth);
        placement_.frame = normal_;
        placement_.dockState = saveState();
        savePlacement(placement_);
    }
}

} // namespace desk::ui
