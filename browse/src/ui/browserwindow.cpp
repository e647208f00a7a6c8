#include "browserwindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "attributedialog.h"
#include "messages.h"
#include "refinedialog.h"
#include "texts.h"

namespace browse {

namespace {

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

// Gives a widget its object name (for tests and tools) and an accessible name.
template <class W> W* named(W* widget, const char* object, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(object));
    widget->setAccessibleName(QString(accessible).remove(QLatin1Char('&')));
    return widget;
}

} // namespace

BrowserWindow::BrowserWindow(const BrowserOptions& options, DirectoryBackend& backend,
                             Messages& messages, QWidget* parent)
    : QDialog(parent), options_(options), backend_(backend), messages_(messages),
      pager_(backend.names(), options.multiple) {
    build();
    pager_.onClearSearchField([this] { searchFor_->clear(); });
}

BrowserWindow::~BrowserWindow() = default;

void BrowserWindow::build() {
    setObjectName(QStringLiteral("namewrightBrowser"));
    setWindowTitle(options_.title.isEmpty() ? QString::fromLatin1(texts::kWindowTitle)
                                            : options_.title);

    searchFor_ = named(new QLineEdit, "searchFor", texts::kSearchFor);
    searchFor_->setMaxLength(NMNAMELEN - 1);
    lookIn_ = named(new QComboBox, "lookIn", texts::kLookIn);
    long kinds = options_.kinds & kAllKinds;
    for (int row = 0; row < QRD_NMDA_KIND_COUNT; ++row)
        if (kinds == 0 || (kinds & (1L << row)))
            lookIn_->addItem(QString::fromLatin1(texts::kKinds[row]), row);

    list_ = named(new QListWidget, "nameList", tr("Names"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->installEventFilter(this);
    int rowHeight = list_->fontMetrics().height() + 4;
    list_->setMinimumHeight(rowHeight * QRD_NMDA_PAGE + 2 * list_->frameWidth());
    list_->setMinimumWidth(list_->fontMetrics().averageCharWidth() * 40);
    scroll_ = named(new QScrollBar(Qt::Vertical), "nameScroll", tr("Position in the answer"));
    scroll_->setRange(0, 100);
    scroll_->setTracking(false);
    description_ = named(new QLabel, "description", tr("Description"));
    description_->setWordWrap(true);
    connected_ = named(new QLabel, "connectedTo", tr("Connected server"));

    auto* searchLabel = new QLabel(QString::fromLatin1("&") + texts::kSearchFor);
    searchLabel->setBuddy(searchFor_);
    auto* lookInLabel = new QLabel(QString::fromLatin1("&Look in:"));
    lookInLabel->setBuddy(lookIn_);

    ok_ = named(new QPushButton(QString::fromLatin1(texts::kOk)), "okButton", texts::kOk);
    ok_->setDefault(true);
    auto* cancel =
        named(new QPushButton(QString::fromLatin1(texts::kCancel)), "cancelButton", texts::kCancel);
    auto* refine =
        named(new QPushButton(QString::fromLatin1(texts::kRefine)), "refineButton", texts::kRefine);
    viewAttributes_ = named(new QPushButton(QString::fromLatin1(texts::kViewAttributes)),
                            "viewAttributesButton", texts::kViewAttributes);
    findByAttribute_ = named(new QPushButton(QString::fromLatin1(texts::kFindByAttribute)),
                             "findByAttributeButton", texts::kFindByAttribute);
    auto* help =
        named(new QPushButton(QString::fromLatin1(texts::kHelp)), "helpButton", texts::kHelp);
    viewAttributes_->setEnabled(!(options_.mode & kModeNoViewAttributes));
    findByAttribute_->setEnabled(!(options_.mode & kModeNoFindByAttribute));

    auto* grid = new QGridLayout;
    grid->addWidget(searchLabel, 0, 0);
    grid->addWidget(searchFor_, 0, 1);
    grid->addWidget(lookInLabel, 1, 0);
    grid->addWidget(lookIn_, 1, 1);
    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(0);
    listRow->addWidget(list_);
    listRow->addWidget(scroll_);
    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(listRow);
    left->addWidget(description_);
    left->addWidget(connected_);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {ok_, cancel, refine, viewAttributes_, findByAttribute_, help})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(refine, &QPushButton::clicked, this, &BrowserWindow::refineSearchClicked);
    connect(viewAttributes_, &QPushButton::clicked, this, &BrowserWindow::viewAttributesClicked);
    connect(findByAttribute_, &QPushButton::clicked, this, &BrowserWindow::findByAttributeClicked);
    connect(help, &QPushButton::clicked, this, [this] {
        messages_.inform(this, windowTitle(), QString::fromLatin1(texts::kHelpText));
    });
    connect(searchFor_, &QLineEdit::textChanged, this, [this](const QString& text) {
        report(pager_.textTyped(text.toStdString()));
        refresh();
    });
    connect(lookIn_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (refreshing_ || index < 0) return;
        report(pager_.setKind(uint16_t(lookIn_->itemData(index).toInt())));
        refresh();
    });
    connect(list_, &QListWidget::clicked, this, [this](const QModelIndex& index) {
        pager_.click(index.row());
        refresh();
    });
    connect(list_, &QListWidget::doubleClicked, this, [this](const QModelIndex& index) {
        if (!options_.multiple) pager_.click(index.row());
        accept();
    });
    connect(scroll_, &QScrollBar::actionTriggered, this, &BrowserWindow::scrollAction);
    connect(scroll_, &QScrollBar::sliderReleased, this, [this] {
        report(pager_.thumb(unsigned(scroll_->sliderPosition())));
        refresh();
    });
}

QRDSTATUS BrowserWindow::start() {
    QString server = fromUtf8(backend_.serverName());
    if (!server.isEmpty())
        connected_->setText(QString::fromLatin1(texts::kConnectedTo).arg(server));
    scroll_->setRange(0, 100);
    QRDSTATUS s = lookIn_->count() > 0 ? pager_.setKind(uint16_t(lookIn_->itemData(0).toInt()))
                                       : pager_.first();
    refresh();
    if (s == QRD_OK && pager_.rows().empty())
        description_->setText(QString::fromLatin1(texts::kNoNamesTitle));
    return s;
}

QStringList BrowserWindow::result() const {
    QStringList out;
    if (options_.multiple) {
        for (const std::string& name : pager_.chosen())
            out << fromUtf8(name);
    } else if (pager_.currentRow() >= 0) {
        out << fromUtf8(pager_.rows()[size_t(pager_.currentRow())].name);
    }
    return out;
}

void BrowserWindow::request(QRDSTATUS (Pager::*what)()) {
    report((pager_.*what)());
    refresh();
}

void BrowserWindow::report(QRDSTATUS status) {
    if (status != QRD_OK)
        description_->setText(QString::fromLatin1(texts::kQueryError).arg(status));
}

void BrowserWindow::refresh() {
    refreshing_ = true;
    list_->clear();
    for (const Row& row : pager_.rows())
        list_->addItem(fromUtf8(row.name));
    if (list_->count() > 0 && list_->sizeHintForRow(0) > 0) // exactly one page tall
        list_->setFixedHeight(list_->sizeHintForRow(0) * QRD_NMDA_PAGE + 2 * list_->frameWidth());
    if (pager_.currentRow() >= 0)
        list_->setCurrentRow(pager_.currentRow(), QItemSelectionModel::NoUpdate);
    // The pager decides what is selected; the list takes no selection of its own
    // (NoSelection), so its selection model is set directly.
    for (size_t i = 0; i < pager_.rows().size(); ++i)
        if (pager_.isChosen(int(i)))
            list_->selectionModel()->select(list_->model()->index(int(i), 0),
                                            QItemSelectionModel::Select);
    if (!pager_.rows().empty()) description_->setText(fromUtf8(pager_.description()));
    scroll_->setRange(0, 100);
    scroll_->setPageStep(pager_.scrollPageStep());
    scroll_->setSliderPosition(pager_.scrollValue());
    scroll_->setValue(pager_.scrollValue());
    int kindRow = lookIn_->findData(int(pager_.kind()));
    if (kindRow >= 0) lookIn_->setCurrentIndex(kindRow);
    refreshing_ = false;
}

// Which request a scroll-bar action or a key asks for.
struct BrowserWindow::Binding {
    int code;
    QRDSTATUS (Pager::*request)();
};

bool BrowserWindow::dispatch(const Binding* table, size_t count, int code) {
    for (const Binding* b = table; b != table + count; ++b) {
        if (b->code != code) continue;
        request(b->request);
        return true;
    }
    return false;
}

void BrowserWindow::scrollAction(int action) {
    using S = QAbstractSlider;
    // Dragging the thumb is not in the table: its release asks.
    static const Binding actions[] = {
        {S::SliderSingleStepAdd, &Pager::nextLine}, {S::SliderSingleStepSub, &Pager::previousLine},
        {S::SliderPageStepAdd, &Pager::nextPage},   {S::SliderPageStepSub, &Pager::previousPage},
        {S::SliderToMinimum, &Pager::first},        {S::SliderToMaximum, &Pager::last},
    };
    // The slider applies its own step after this signal: it stands where the
    // page says instead.
    if (dispatch(actions, std::size(actions), action))
        scroll_->setSliderPosition(pager_.scrollValue());
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        static const Binding keys[] = {
            {Qt::Key_PageUp, &Pager::previousPage}, {Qt::Key_PageDown, &Pager::nextPage},
            {Qt::Key_Home, &Pager::first},          {Qt::Key_End, &Pager::last},
            {Qt::Key_Up, &Pager::previousLine},     {Qt::Key_Down, &Pager::nextLine},
        };
        int key = static_cast<QKeyEvent*>(event)->key();
        if (dispatch(keys, std::size(keys), key)) return true;
        if (key == Qt::Key_Space && pager_.currentRow() >= 0) {
            pager_.click(pager_.currentRow());
            refresh();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BrowserWindow::refineSearchClicked() {
    report(refineSearch(pager_, *this));
    refresh();
}

void BrowserWindow::findByAttributeClicked() {
    report(findByAttribute(pager_, *this));
    refresh();
}

void BrowserWindow::viewAttributesClicked() {
    if (pager_.currentRow() < 0) return;
    AttributeDialog dialog(AttributeDialog::View, options_.avdFile, backend_, messages_, this);
    dialog.setSubject(fromUtf8(pager_.rows()[size_t(pager_.currentRow())].name));
    dialog.exec();
}

bool BrowserWindow::askRefine(std::string& namePattern, std::string& descriptionPattern) {
    RefineDialog dialog(this);
    dialog.setPatterns(fromUtf8(namePattern), fromUtf8(descriptionPattern));
    if (dialog.exec() != QDialog::Accepted) return false;
    namePattern = dialog.namePattern().toStdString();
    descriptionPattern = dialog.descriptionPattern().toStdString();
    return true;
}

bool BrowserWindow::askAttributes(std::vector<AttributeCriterion>& criteria) {
    AttributeDialog dialog(AttributeDialog::Find, options_.avdFile, backend_, messages_, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    criteria = dialog.criteria();
    return true;
}

bool BrowserWindow::askTooRestrictive() {
    return messages_.okCancel(this, QString::fromLatin1(texts::kNoNamesTitle),
                              QString::fromLatin1(texts::kTooRestrictive));
}

} // namespace browse
