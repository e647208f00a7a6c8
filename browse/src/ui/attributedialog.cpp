#include "attributedialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <ctime>

#include "avdpath.h"
#include "messages.h"
#include "qrd/config.h"
#include "search.h"
#include "texts.h"

namespace browse {

namespace {

constexpr int kKeysRole = Qt::UserRole;     // QPoint(group, item)
constexpr int kListRole = Qt::UserRole + 1; // offset of the entry's value list
constexpr uint32_t kMostValueNames = 1000;  // values looked up per attribute

QVariant keys(AttrName a) {
    return QVariant::fromValue(QPair<uint, uint>(a.category, a.number));
}
AttrName keysOf(const QVariant& v) {
    auto p = v.value<QPair<uint, uint>>();
    return AttrName{p.first, p.second};
}

QString historyTime(uint32_t seconds) {
    time_t t = time_t(seconds);
    struct tm local {};
    localtime_r(&t, &local);
    char text[128];
    size_t n = std::strftime(text, sizeof text, texts::kAvdTimeFormat, &local);
    return QString::fromLocal8Bit(text, qsizetype(n));
}

} // namespace

AttributeDialog::AttributeDialog(Mode mode, const QString& avdFile, DirectoryBackend& backend,
                                 Messages& messages, QWidget* parent)
    : QDialog(parent), mode_(mode), backend_(backend), messages_(messages) {
    setObjectName(mode == View ? QStringLiteral("viewAttributes")
                               : QStringLiteral("findByAttribute"));
    setWindowTitle(mode == View ? tr("View attributes") : tr("Find by attribute"));
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("attributeTree"));
    tree_->setAccessibleName(tr("Categories and attributes"));
    tree_->setHeaderLabel(tr("Attribute"));
    history_ = new QLabel;
    history_->setObjectName(QStringLiteral("avdHistory"));
    history_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(
        mode == View ? QDialogButtonBox::Close : QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (mode == View) {
        subjectLabel_ = new QLabel;
        subjectLabel_->setObjectName(QStringLiteral("subject"));
        auto* scanButton = new QPushButton(QString::fromLatin1(texts::kScan));
        scanButton->setObjectName(QStringLiteral("scanButton"));
        scanButton->setAccessibleName(tr("Scan"));
        withData_ = new QListWidget;
        withData_->setObjectName(QStringLiteral("attributesWithData"));
        withData_->setAccessibleName(QString::fromLatin1(texts::kWithData));
        value_ = new QPlainTextEdit;
        value_->setObjectName(QStringLiteral("attributeValue"));
        value_->setAccessibleName(tr("Value"));
        value_->setReadOnly(true);
        layout->insertWidget(0, subjectLabel_);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QString::fromLatin1(texts::kWithData)));
        row->addWidget(scanButton);
        layout->addLayout(row);
        layout->addWidget(withData_);
        layout->addWidget(value_);
        connect(scanButton, &QPushButton::clicked, this, &AttributeDialog::scan);
        connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (item) showValue(keysOf(item->data(0, kKeysRole)));
        });
        connect(withData_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
            if (item) showValue(keysOf(item->data(kKeysRole)));
        });
    } else {
        pattern_ = new QLineEdit;
        pattern_->setObjectName(QStringLiteral("attributePattern"));
        pattern_->setAccessibleName(tr("Pattern"));
        pattern_->setMaxLength(NMNAMELEN - 1);
        auto* add = new QPushButton(tr("&Add"));
        add->setObjectName(QStringLiteral("addCriterion"));
        auto* remove = new QPushButton(tr("&Remove"));
        remove->setObjectName(QStringLiteral("removeCriterion"));
        criteriaList_ = new QListWidget;
        criteriaList_->setObjectName(QStringLiteral("criteriaList"));
        criteriaList_->setAccessibleName(tr("Search criteria"));
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(tr("&Pattern:"));
        label->setBuddy(pattern_);
        row->addWidget(label);
        row->addWidget(pattern_);
        row->addWidget(add);
        row->addWidget(remove);
        layout->addLayout(row);
        layout->addWidget(criteriaList_);
        connect(add, &QPushButton::clicked, this, &AttributeDialog::addCriterion);
        connect(pattern_, &QLineEdit::returnPressed, this, &AttributeDialog::addCriterion);
        connect(remove, &QPushButton::clicked, this, [this] {
            int row = criteriaList_->currentRow();
            if (row < 0 || size_t(row) >= criteria_.size()) return;
            criteria_.erase(criteria_.begin() + row);
            delete criteriaList_->takeItem(row);
        });
    }
    layout->addWidget(history_);
    layout->addWidget(buttons);
    openFile(avdFile);
}

AttributeDialog::~AttributeDialog() = default;

void AttributeDialog::openFile(const QString& avdFile) {
    QString shown = avdFile.isEmpty() ? QString::fromLatin1(kDefaultAvdPath) : avdFile;
    std::string local = localAvdPath(avdFile.toStdString(), qrd::loadQordaIni());
    fileStatus_ = reader_.open(avd::TextSession{true}, local);
    if (fileStatus_ != avd::kOk) {
        messages_.inform(this, windowTitle(),
                         QString::fromLatin1(texts::kAvdOpenError).arg(shown).arg(fileStatus_));
        return;
    }
    avd::History h;
    if (reader_.getHistory(&h) == avd::kOk)
        history_->setText(
            QString::fromLatin1(texts::kAvdHistory)
                .arg(shown, QString::fromStdString(h.updater), historyTime(h.updated)));
    fillTree();
}

void AttributeDialog::fillTree() {
    QMap<uint, QTreeWidgetItem*> groups;
    auto groupItem = [&](uint32_t key) {
        if (!groups.contains(key)) {
            auto* g = new QTreeWidgetItem(tree_, {tr("Category %1").arg(key)});
            g->setData(0, kKeysRole, keys({key, 0}));
            groups.insert(key, g);
        }
        return groups.value(key);
    };
    for (uint32_t i = 0; i < reader_.entryCount(); ++i) {
        avd::Entry e;
        if (reader_.entryAt(i, &e) != avd::kOk) break; // a damaged file shows what it could
        QTreeWidgetItem* item = nullptr;
        if (e.itemKey == 0) {
            item = groupItem(e.groupKey);
            item->setText(0, QString::fromStdString(e.name));
        } else {
            item = new QTreeWidgetItem(groupItem(e.groupKey), {QString::fromStdString(e.name)});
            item->setData(0, kKeysRole, keys({e.groupKey, e.itemKey}));
        }
        item->setData(0, kListRole, e.valueList);
    }
    tree_->expandAll();
}

QString AttributeDialog::attributeName(AttrName attr) {
    avd::Entry e;
    e.groupKey = attr.category;
    e.itemKey = attr.number;
    if (reader_.isOpen() && reader_.findEntry(int(avd::FindBy::Keys), &e) == avd::kOk)
        return QString::fromStdString(e.name);
    return tr("Attribute %1:%2").arg(attr.category).arg(attr.number);
}

void AttributeDialog::setSubject(const QString& name) {
    subject_ = name;
    if (subjectLabel_) subjectLabel_->setText(name);
}

void AttributeDialog::showValue(AttrName attr) {
    if (!value_ || subject_.isEmpty() || attr.number == 0) return;
    AttributeValue v;
    QRDSTATUS s = backend_.attribute(subject_.toStdString(), attr, v);
    if (s != QRD_OK) {
        value_->setPlainText(tr("Error %1 while reading the attribute.").arg(s));
        return;
    }
    if (v.status == NMDA_ATTR_STAT_NOEXIST) {
        value_->setPlainText(QString::fromLatin1(texts::kAttrNoExist));
        return;
    }
    QString text = QString::fromStdString(v.text);
    // A number that the definition file names is shown with its name.
    avd::Entry e;
    e.groupKey = attr.category;
    e.itemKey = attr.number;
    bool ok = false;
    uint32_t number = text.toUInt(&ok);
    if (ok && v.type == ATTR_INTEGERS && reader_.isOpen() &&
        reader_.findEntry(int(avd::FindBy::Keys), &e) == avd::kOk) {
        avd::PageRequest req{{avd::ListRef::EntryList, e.valueList}, kMostValueNames, {}, {}};
        avd::Page page;
        if (reader_.getPage(int(avd::PageMode::First), req, &page) == avd::kOk)
            for (const avd::ListItem& item : page.items)
                if (item.value == number) text += QStringLiteral(" (%1)").arg(item.name.c_str());
    }
    if (v.status == NMDA_ATTR_STAT_TRUNC) text += QLatin1Char('\n') + texts::kAttrTrunc;
    value_->setPlainText(text);
}

void AttributeDialog::scan() {
    std::vector<AttrName> found;
    QRDSTATUS s = backend_.scan(subject_.toStdString(), found);
    if (s != QRD_OK) {
        messages_.inform(this, QString::fromLatin1(texts::kScanErrorTitle),
                         QString::fromLatin1(texts::kScanError).arg(s));
        return;
    }
    withData_->clear();
    for (AttrName a : found) {
        auto* item = new QListWidgetItem(attributeName(a), withData_);
        item->setData(kKeysRole, keys(a));
    }
}

void AttributeDialog::addCriterion() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || pattern_->text().isEmpty()) return;
    AttrName attr = keysOf(item->data(0, kKeysRole));
    if (attr.number == 0) return; // a category is not an attribute
    if (!addAttributeCriterion(criteria_, {attr, pattern_->text().toStdString()})) {
        messages_.inform(this, QString::fromLatin1(texts::kTooManyTitle),
                         QString::fromLatin1(texts::kTooMany).arg(kMaxAttributeCriteria));
        return;
    }
    criteriaList_->addItem(QStringLiteral("%1 = %2").arg(item->text(0), pattern_->text()));
    pattern_->clear();
}

} // namespace browse
