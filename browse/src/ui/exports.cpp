// The three exported dialog functions: they check the caller's buffers, make
// sure a QApplication runs, connect to the directory-assistance service
// (backendFactory) and run the browser window.
#include <QApplication>
#include <QThread>
#include <memory>

#include "backend.h"
#include "browserwindow.h"
#include "messages.h"
#include "namebrowse.h"
#include "texts.h"

namespace browse {

namespace {

struct Outcome {
    QRDSTATUS status = QRD_OK;
    int dialogResult = QRD_BROWSE_CANCEL;
    QStringList names;
};

QString text(const char* s) {
    return s && *s ? QString::fromUtf8(s) : QString();
}

Outcome runBrowser(const BrowserOptions& options) {
    // A program without Qt gets an application for this call.
    std::unique_ptr<QApplication> own;
    static int argc = 1;
    static char name[] = "namebrowse";
    static char* argv[] = {name, nullptr};
    Outcome out;
    if (!QCoreApplication::instance()) {
        own = std::make_unique<QApplication>(argc, argv);
    } else if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
               QThread::currentThread() != QCoreApplication::instance()->thread()) {
        // Widgets need a QApplication and its thread: refuse rather than abort the host.
        out.status = QRDERR_BAD_ARG;
        return out;
    }
    std::unique_ptr<DirectoryBackend> backend;
    Messages& messages = widgetMessages();
    if ((out.status = backendFactory()(backend)) != QRD_OK) {
        QString why = out.status == QRDERR_TIMEOUT
                          ? QString::fromLatin1(texts::kCannotConnect)
                          : QString::fromLatin1(texts::kConnectError).arg(out.status);
        messages.inform(nullptr, QString::fromLatin1(texts::kWindowTitle), why);
        return out;
    }
    BrowserWindow window(options, *backend, messages);
    window.start(); // a failed first search shows in the window; the person may retry
    if (window.exec() == QDialog::Accepted) {
        out.dialogResult = QRD_BROWSE_OK;
        out.names = window.result();
    }
    return out;
}

} // namespace

} // namespace browse

using namespace browse;

extern "C" QRDSTATUS QrdDlgBrowseNmdaSingleSelect1(long kinds, long mode, const char* title,
                                                   int* dialogResult, char* name,
                                                   unsigned* nameLength, const char* avdFile) {
    if (!name) return QRDERR_BROWSE_NO_BUFFER;
    if (!nameLength || *nameLength < QRD_BROWSE_NAME_LEN) return QRDERR_NM_BUFFER_SMALL;
    Outcome out = runBrowser({kinds, mode, false, text(title), text(avdFile)});
    if (dialogResult) *dialogResult = out.dialogResult;
    name[0] = 0;
    *nameLength = 0;
    if (out.status == QRD_OK && out.dialogResult == QRD_BROWSE_OK && !out.names.isEmpty()) {
        QByteArray utf8 = out.names.front().toUtf8();
        qsizetype n = std::min<qsizetype>(utf8.size(), QRD_BROWSE_NAME_LEN - 1);
        while (n > 0 && n < utf8.size() && (uint8_t(utf8[n]) & 0xC0) == 0x80)
            --n; // not in the middle of a character
        std::memcpy(name, utf8.constData(), size_t(n));
        name[n] = 0;
        *nameLength = unsigned(n);
    }
    return out.status;
}

extern "C" QRDSTATUS QrdDlgBrowseNmdaSingleSelect(long, const char* title, int* dialogResult,
                                                  char* name, unsigned* nameLength,
                                                  const char* avdFile) {
    return QrdDlgBrowseNmdaSingleSelect1(0, 0, title, dialogResult, name, nameLength, avdFile);
}

extern "C" QRDSTATUS QrdDlgBrowseNmdaMultiSelect1(long kinds, long mode, const char* title,
                                                  int* dialogResult,
                                                  std::vector<std::string>* names,
                                                  const char* avdFile) {
    if (!names) return QRDERR_BROWSE_NO_BUFFER;
    names->clear();
    Outcome out = runBrowser({kinds, mode, true, text(title), text(avdFile)});
    if (dialogResult) *dialogResult = out.dialogResult;
    for (const QString& n : out.names)
        names->push_back(n.toStdString());
    return out.status;
}
