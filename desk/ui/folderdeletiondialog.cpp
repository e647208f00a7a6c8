#include "folderdeletiondialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "document/usrfolderdeletion.h"
#include "errortext.h"
#include "uistrings.h"

namespace desk::ui {

namespace {
const QString kCaption = QStringLiteral("Delete");
}

UIFolderDeletionDialog::UIFolderDeletionDialog(USRFolderDeletion& deletion, QWidget* parent)
    : QDialog(parent), deletion_(deletion) {
    setObjectName(QStringLiteral("265"));
    setWindowTitle(kCaption);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setTextFormat(Qt::PlainText);
    text_->setMinimumWidth(360);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setAccessibleName(QStringLiteral("Deletion progress"));
    bar_->setRange(0, 0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    cancel_->setObjectName(QStringLiteral("2"));
    cancel_->setEnabled(false); // until the list stands
    connect(buttons, &QDialogButtonBox::rejected, this, &UIFolderDeletionDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &UIFolderDeletionDialog::tick);
}

USRReply UIFolderDeletionDialog::run() {
    timer_->start();
    return exec() == QDialog::Accepted ? USR_REPLY_OK : USR_REPLY_CANCEL;
}

bool UIFolderDeletionDialog::prepare() {
    text_->setText(uiString(kStrBuildingList));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    long e = 0;
    const bool built = deletion_.build(e);
    QApplication::restoreOverrideCursor();
    if (!built) {
        showError(this, e);
        return false;
    }
    if (!deletion_.decide()) return false; // a shared folder's question cancelled
    total_ = deletion_.remaining();
    bar_->setRange(0, int(total_) - 1);
    bar_->setValue(0);
    cancel_->setEnabled(true);
    prepared_ = true;
    return true;
}

void UIFolderDeletionDialog::tick() {
    if (!prepared_) {
        if (!prepare()) end(false);
        return;
    }
    const size_t left = deletion_.remaining();
    if (left == 0) {
        text_->setText(uiString(kStrFinishedDeleting));
        setWindowTitle(kCaption);
        end(true);
        return;
    }
    const double done = double(total_ - left) / double(total_) * 100.0;
    setWindowTitle(QString::asprintf("Delete - %2.0f%% Complete", done));
    const QString path = QString::fromStdString(deletion_.entries()[left - 1].path);
    text_->setText(text_->fontMetrics().elidedText(path, Qt::ElideLeft, text_->width()));
    long e = 0;
    if (!deletion_.step(e)) {
        showError(this, e);
        end(false);
        return;
    }
    bar_->setValue(bar_->value() + 1);
}

void UIFolderDeletionDialog::end(bool finished) {
    timer_->stop();
    if (finished)
        accept();
    else
        QDialog::reject();
}

void UIFolderDeletionDialog::reject() {
    // Escape before the list stands would leave nothing to re-read: ignored.
    if (!cancel_->isEnabled()) return;
    deletion_.cancel();
    end(false);
}

} // namespace desk::ui
