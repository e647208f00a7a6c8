#include "publishwindow.h"

#include "art.h"
#include "errortext.h"
#include "uistrings.h"

#include "folders/usrfoldernode.h"
#include "people/usrpeoplenode.h"
#include "publish/usrpublication.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace desk::ui {
namespace {

constexpr int kTickMs = 300;
constexpr int kColumnMargin = 20;
const char* const kRoleNames[] = {"None", "Reader", "Contributor", "Moderator"};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QLabel* counter(QWidget* parent, const char* id) {
    auto* l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QLatin1String(id));
    return l;
}

// The four animation frames: the publish picture turned a little each time.
QPixmap animationFrame(int frame) {
    QPixmap pm = ownIcon(Art::Publish).pixmap(32, 32);
    if (frame == 0) return pm;
    QTransform t;
    t.rotate(frame * 90);
    return pm.transformed(t, Qt::SmoothTransformation);
}

} // namespace

UIPublishWindow* UIPublishWindow::open(USRFolderNode& folder, bool atOnce, QWidget* parent) {
    std::unique_ptr<USRPublication> publication = USRPublication::open(folder);
    if (!publication) return nullptr;
    return new UIPublishWindow(std::move(publication), atOnce, parent);
}

UIPublishWindow::UIPublishWindow(std::unique_ptr<USRPublication> publication, bool atOnce,
                                 QWidget* parent)
    : QDialog(parent), publication_(std::move(publication)), atOnce_(atOnce) {
    setObjectName(QStringLiteral("239"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(q(publication_->caption()));

    entries_ = new QListWidget(this);
    entries_->setObjectName(QStringLiteral("1008"));
    entries_->setAccessibleName(QStringLiteral("Publish to"));
    entries_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    results_ = new QTreeWidget(this);
    results_->setObjectName(QStringLiteral("1009"));
    results_->setAccessibleName(QStringLiteral("Results"));
    results_->setRootIsDecorated(false);
    results_->setHeaderLabels(
        {uiString(kStrStatus), uiString(kStrRecipient), uiString(kStrListGroupMember)});
    results_->header()->setStretchLastSection(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    total_ = counter(this, "1145");
    errors_ = counter(this, "1146");
    notUsers_ = counter(this, "1147");
    animation_ = new QLabel(this);
    animation_->setObjectName(QStringLiteral("animation"));
    animation_->setPixmap(animationFrame(0));

    publish_ = new QPushButton(uiString(kStrPublish), this);
    publish_->setObjectName(QStringLiteral("1096"));
    publish_->setDefault(true);
    card_ = new QPushButton(QStringLiteral("&Business Card..."), this);
    card_->setObjectName(QStringLiteral("5"));
    modify_ = new QPushButton(QStringLiteral("&Modify To List..."), this);
    modify_->setObjectName(QStringLiteral("6"));
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    close_->setObjectName(QStringLiteral("2"));
    connect(publish_, &QPushButton::clicked, this, &UIPublishWindow::publishPressed);
    connect(card_, &QPushButton::clicked, this, &UIPublishWindow::showCard);
    connect(modify_, &QPushButton::clicked, this, &UIPublishWindow::modifyList);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    auto* counters = new QFormLayout;
    counters->addRow(QStringLiteral("Total:"), total_);
    counters->addRow(QStringLiteral("Errors:"), errors_);
    counters->addRow(QStringLiteral("Not User:"), notUsers_);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {publish_, card_, modify_, close_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(animation_, 0, Qt::AlignHCenter);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Publish &to:"), this), 0, 0);
    grid->addWidget(entries_, 1, 0);
    grid->addLayout(buttons, 1, 1, 3, 1);
    grid->addWidget(results_, 2, 0);
    grid->addWidget(progress_, 3, 0);
    grid->addLayout(counters, 4, 0);

    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &UIPublishWindow::tick);
    fillEntries();
    resize(560, 460);
}

UIPublishWindow::~UIPublishWindow() {
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

void UIPublishWindow::fillEntries() {
    entries_->clear();
    for (const USRAccessEntry& e : publication_->entries()) {
        const long role = e.role >= 0 && e.role <= 3 ? e.role : 0;
        entries_->addItem(
            QStringLiteral("%1 (%2)").arg(q(e.name), QLatin1String(kRoleNames[role])));
    }
}

void UIPublishWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!atOnce_) return;
    atOnce_ = false;
    QTimer::singleShot(0, this, &UIPublishWindow::publishPressed);
}

void UIPublishWindow::publishPressed() {
    if (publication_->state() == USRPublication::Running) {
        publication_->cancel();
        publish_->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
        return;
    }
    std::vector<int> rows;
    for (int i = 0; i < entries_->count(); ++i)
        if (entries_->item(i)->isSelected()) rows.push_back(i);
    if (!publication_->start(rows)) return;
    progress_->setRange(0, 0);
    progress_->setValue(0);
    showCounters();
    publish_->setText(uiString(kStrCancel));
    publish_->setDefault(true);
    card_->setEnabled(false);
    modify_->setEnabled(false);
    results_->clear();
    const QFontMetrics fm(results_->font());
    for (int c = 0; c < 3; ++c)
        results_->setColumnWidth(c, fm.horizontalAdvance(results_->headerItem()->text(c)) +
                                        kColumnMargin);
    frame_ = 0;
    animation_->setPixmap(animationFrame(0));
    setWindowTitle(q(publication_->caption()));
    timer_->start();
}

void UIPublishWindow::showCounters() {
    total_->setText(QString::number(publication_->total()));
    errors_->setText(QString::number(publication_->errors()));
    notUsers_->setText(QString::number(publication_->notUsers()));
}

void UIPublishWindow::tick() {
    const USRPublication::Tick t = publication_->tick();
    const QFontMetrics fm(results_->font());
    for (const USRPublication::Row& row : t.rows) {
        progress_->setMaximum(std::max(progress_->maximum(), 1));
        progress_->setValue(progress_->value() + 1);
        const QStringList texts{q(row.status), q(row.recipient), q(row.member)};
        auto* item = new QTreeWidgetItem(results_, texts);
        for (int c = 0; c < 3; ++c)
            if (fm.horizontalAdvance(texts[c]) + kColumnMargin > results_->columnWidth(c))
                results_->setColumnWidth(c, fm.horizontalAdvance(texts[c]) + kColumnMargin);
        results_->scrollToItem(item);
    }
    showCounters();
    if (!t.done) {
        frame_ = (frame_ + 1) % 4;
        animation_->setPixmap(animationFrame(frame_));
        return;
    }
    finish();
}

void UIPublishWindow::finish() {
    setWindowTitle(q(publication_->caption()));
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
    timer_->stop();
    progress_->setRange(0, std::max(1, int(publication_->total())));
    progress_->setValue(int(publication_->total()));
    publish_->setText(uiString(kStrPublish));
    publish_->setEnabled(true);
    animation_->setPixmap(animationFrame(0));
    card_->setEnabled(true);
    modify_->setEnabled(true);
    entries_->clearSelection();
    publish_->setDefault(false);
    close_->setDefault(true);
    close_->setFocus();
}

void UIPublishWindow::showCard() {
    const QList<QListWidgetItem*> chosen = entries_->selectedItems();
    if (chosen.isEmpty()) return;
    const int row = entries_->row(chosen.first());
    const auto& entries = publication_->entries();
    if (row < 0 || row >= int(entries.size())) return;
    long e = 0;
    USRFolderNode& folder = publication_->folder();
    USRPeopleNode* card = USRPeopleNode::findCard(folder.context(), entries[size_t(row)].name, e);
    if (!card) return showError(this, e);
    card->edit(false, false);
}

void UIPublishWindow::modifyList() {
    USRFolderNode& folder = publication_->folder();
    if (!folder.edit(true, false)) return;
    long e = 0;
    if (!folder.write(e)) showError(this, e);
    fillEntries();
}

void UIPublishWindow::closeEvent(QCloseEvent* event) {
    timer_->stop();
    if (publication_->state() == USRPublication::Running) publication_->cancel();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    publication_.reset(); // waits for the recipient in progress, releases the folder
    QApplication::restoreOverrideCursor();
    emit windowClosed(this);
    QDialog::closeEvent(event);
}

} // namespace desk::ui
