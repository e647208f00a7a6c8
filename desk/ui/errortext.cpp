#include "errortext.h"

#include "uistrings.h"

#include <QMessageBox>
#include <cstring>
#include <namedir/errors.h>
#include <namedir/qrdapi_wrapper.h>

namespace desk::ui {
namespace {

constexpr long kFirstStoreCode = 33;   // below: the host's error numbers
constexpr int kStoreStringBase = 3500; // store code n is string 3500 + n
constexpr int kStoreStringEnd = 3632;  // first id past the store's strings
constexpr int kWithStatusFrom = 3600;  // from here the client status is added
constexpr int kDefaultFolderId = 3630; // shown as string 3562 when missing
constexpr long kUnavailableCode = 62;  // string 3562

MessageSink gSink = nullptr; // main thread only

QString hostText(long code) {
    char buf[256];
    // The GNU form returns the text, which may or may not be buf.
    const char* text = strerror_r(static_cast<int>(code), buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}

QString withStatus(QString text, bool brief, unsigned status) {
    text += brief ? QStringLiteral(": ") : QStringLiteral("\n\n\n");
    return text + uiString(kStrQordaError) + QString::number(status);
}

} // namespace

QString errorText(long code, bool brief, unsigned lastStatus) {
    if (code >= 0 && code < kFirstStoreCode)
        return uiString(kStrHostError) + (brief ? QStringLiteral(" ") : QStringLiteral("\n\n")) +
               hostText(code);
    const long id = code + kStoreStringBase;
    const char* stored = DIRErrorText(code);
    if (code > 0 && id < kStoreStringEnd && stored) {
        QString text = QString::fromUtf8(stored);
        return id >= kWithStatusFrom ? withStatus(text, brief, lastStatus) : text;
    }
    if (id == kDefaultFolderId) return QString::fromUtf8(DIRErrorText(kUnavailableCode));
    return withStatus(uiString(kStrSystemError) + QStringLiteral(" : ") + QString::number(code),
                      brief, lastStatus);
}

QString errorText(long code, bool brief) {
    return errorText(code, brief, CQrdApi::getLastError());
}

void showError(QWidget* parent, long code, const QString& context) {
    QString text = errorText(code);
    if (!context.isEmpty()) text += QLatin1Char('\n') + context;
    showMessage(parent, text);
}

void setMessageSink(MessageSink sink) {
    gSink = sink;
}

void showMessage(QWidget* parent, const QString& text) {
    if (gSink) return gSink(text);
    QMessageBox box(QMessageBox::Warning, uiString(kStrAppTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("errorBox"));
    box.exec();
}

} // namespace desk::ui
