// The file-copy progress dialog (600): copies files one block per timer tick
// so the window stays responsive, with a bar for the files and one for the
// bytes, and a Cancel button. Its result is 0 on success or the store error
// code of the failure (57 source, 58 destination exists, 59 destination
// cannot be made, 60 copy failed, 61 cancelled); a failed or cancelled copy
// never leaves a partial destination behind.
#pragma once

#include <QDialog>
#include <QFile>
#include <QStringList>

class QLabel;
class QProgressBar;
class QTimer;

namespace desk::ui {

class UICopyDialog : public QDialog {
    Q_OBJECT
  public:
    UICopyDialog(const QString& source, const QString& destination, bool overwrite,
                 QWidget* parent = nullptr);
    UICopyDialog(const QStringList& sources, const QStringList& destinations, bool overwrite,
                 QWidget* parent = nullptr);

    // Runs the dialog modally; the result code as above.
    long run();
    long resultCode() const { return result_; }

    // Starts copying without a modal loop (the caller waits for finished()).
    void start();

    static constexpr qint64 kBlockSize = 4096;

  protected:
    void reject() override;

  private:
    enum class State { Idle, OpenNext, Copying, Done };
    void step();
    bool openNext();
    void copyBlock();
    void fail(long code, const QString& context = {}, bool show = false);
    void finish(long code);
    void refreshTexts();

    QStringList sources_;
    QStringList destinations_;
    bool overwrite_;
    int index_ = -1;
    State state_ = State::Idle;
    long result_ = 0;
    QFile in_;
    QFile out_;
    qint64 length_ = 0;
    qint64 done_ = 0;
    QTimer* timer_;
    QLabel* fileLabel_;
    QLabel* pathLabel_;
    QLabel* percentLabel_;
    QProgressBar* filesBar_;
    QProgressBar* bytesBar_;
};

} // namespace desk::ui
