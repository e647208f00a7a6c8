#include "copydialog.h"

#include "errortext.h"
#include "uistrings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <namedir/errors.h>

namespace desk::ui {
namespace {

constexpr int kTickMs = 1;

QLabel* label(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

UICopyDialog::UICopyDialog(const QString& source, const QString& destination, bool overwrite,
                           QWidget* parent)
    : UICopyDialog(QStringList{source}, QStringList{destination}, overwrite, parent) {}

UICopyDialog::UICopyDialog(const QStringList& sources, const QStringList& destinations,
                           bool overwrite, QWidget* parent)
    : QDialog(parent), sources_(sources), destinations_(destinations), overwrite_(overwrite) {
    setObjectName(QStringLiteral("600"));
    setWindowTitle(QStringLiteral("Copying"));
    setAccessibleName(QStringLiteral("File copy progress"));
    // Pairs only: an unmatched source has nowhere to go.
    while (destinations_.size() < sources_.size())
        sources_.removeLast();
    while (sources_.size() < destinations_.size())
        destinations_.removeLast();

    fileLabel_ = label(this, "fileOf");
    pathLabel_ = label(this, "copying");
    pathLabel_->setWordWrap(true);
    percentLabel_ = label(this, "percent");
    filesBar_ = new QProgressBar(this);
    filesBar_->setObjectName(QStringLiteral("filesBar"));
    filesBar_->setAccessibleName(QStringLiteral("Files copied"));
    bytesBar_ = new QProgressBar(this);
    bytesBar_->setObjectName(QStringLiteral("bytesBar"));
    bytesBar_->setAccessibleName(QStringLiteral("Bytes copied"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::rejected, this, &UICopyDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel_);
    layout->addWidget(filesBar_);
    layout->addWidget(pathLabel_);
    layout->addWidget(bytesBar_);
    layout->addWidget(percentLabel_);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &UICopyDialog::step);
}

long UICopyDialog::run() {
    start();
    if (state_ != State::Done) exec();
    return result_;
}

void UICopyDialog::start() {
    if (sources_.isEmpty()) return finish(0);
    state_ = State::OpenNext;
    refreshTexts();
    timer_->start();
}

void UICopyDialog::step() {
    if (state_ == State::OpenNext) {
        if (!openNext()) return;
    } else if (state_ == State::Copying) {
        copyBlock();
    }
    if (state_ != State::Done) refreshTexts();
}

bool UICopyDialog::openNext() {
    if (index_ + 1 >= sources_.size()) {
        finish(0);
        return false;
    }
    ++index_;
    done_ = 0;
    in_.setFileName(sources_[index_]);
    out_.setFileName(destinations_[index_]);
    if (!in_.open(QIODevice::ReadOnly)) {
        fail(DIR_COPY_SOURCE, in_.errorString(), true);
        return false;
    }
    if (!overwrite_ && out_.exists()) {
        fail(DIR_COPY_DEST_EXISTS);
        return false;
    }
    if (!out_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(DIR_COPY_DEST_CREATE, out_.errorString(), true);
        return false;
    }
    length_ = in_.size();
    state_ = State::Copying;
    return true;
}

void UICopyDialog::copyBlock() {
    char block[kBlockSize];
    const qint64 n = in_.read(block, kBlockSize);
    if (n < 0 || (n > 0 && out_.write(block, n) != n)) return fail(DIR_COPY_FAILED);
    done_ += n;
    if (n == kBlockSize && done_ < length_) return;
    // A short (or the last full) block: the file is complete only when it
    // reached the length the source had when it was opened.
    if (done_ != length_ || !out_.flush()) return fail(DIR_COPY_FAILED);
    in_.close();
    out_.close();
    state_ = State::OpenNext;
}

void UICopyDialog::reject() {
    if (state_ == State::Done) return QDialog::reject();
    fail(DIR_COPY_CANCELLED);
}

void UICopyDialog::fail(long code, const QString& context, bool show) {
    in_.close();
    // Only a destination this dialog opened is removed; an existing file that
    // was not to be overwritten stays untouched.
    if (out_.isOpen()) {
        out_.close();
        out_.remove();
    }
    if (show) showError(this, code, context);
    finish(code);
}

void UICopyDialog::finish(long code) {
    timer_->stop();
    state_ = State::Done;
    result_ = code;
    if (code == 0) {
        filesBar_->setValue(filesBar_->maximum());
        bytesBar_->setValue(bytesBar_->maximum());
    }
    done(code == 0 ? QDialog::Accepted : QDialog::Rejected);
}

void UICopyDialog::refreshTexts() {
    const int count = sources_.size();
    const int current = std::max(index_, 0) + 1;
    const double fraction = length_ > 0 ? double(done_) / double(length_) : 0.0;
    const int percent = int(((current - 1) + fraction) / count * 100.0);
    fileLabel_->setText(uiFormat(kStrFileOf, {QString::number(current), QString::number(count)}));
    if (index_ >= 0)
        pathLabel_->setText(uiFormat(kStrCopying, {sources_[index_], destinations_[index_]}));
    percentLabel_->setText(uiFormat(kStrComplete, {QString::number(percent)}));
    filesBar_->setRange(0, count);
    filesBar_->setValue(current - 1);
    bytesBar_->setRange(0, 100);
    bytesBar_->setValue(int(fraction * 100));
}

} // namespace desk::ui
