#include "autobrowse.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>

#include "texts.h"

namespace browse {

AutoBrowse::AutoBrowse(std::shared_ptr<DialogRunner> runner, QObject* parent)
    : QObject(parent), runner_(std::move(runner)) {}

QVariant AutoBrowse::later(std::function<QVariant()> work) {
    if (!calledFromDBus()) return work();
    // The window runs outside the bus's dispatch; the answer goes when it closes.
    setDelayedReply(true);
    QDBusMessage call = message();
    QDBusConnection bus = connection();
    if (busy_) busy_(true);
    QTimer::singleShot(0, this, [this, call, bus, work]() mutable {
        QVariant answer = work();
        bus.send(answer.isValid() ? call.createReply(answer) : call.createReply());
        if (busy_) busy_(false);
    });
    return QVariant();
}

void AutoBrowse::Configure() {
    later([this] {
        BrowserSettings edited = settings_;
        if (runner_->configure(edited)) settings_ = edited;
        return QVariant();
    });
}

QString AutoBrowse::RunBrowser() {
    return later([this] {
               // Always a single selection, whatever MultipleSelections says.
               QString title = settings_.title.isEmpty()
                                   ? QString::fromLatin1(texts::kAutomationTitle)
                                   : settings_.title;
               return QVariant(runner_->runSingle(title, settings_.avdPath));
           })
        .toString();
}

} // namespace browse

namespace browse {

QDBusObjectPath AutoBrowse::Create() {
    static int created = 0;
    QString path = QStringLiteral("%1/objects/%2").arg(QLatin1String(kObjectPath)).arg(++created);
    auto* object = new AutoBrowse(runner_, this);
    object->busy_ = busy_;
    QDBusConnection bus = calledFromDBus() ? connection() : QDBusConnection::sessionBus();
    if (!bus.registerObject(path, object,
                            QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportScriptableSlots)) {
        delete object;
        if (calledFromDBus())
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot offer %1").arg(path));
        return QDBusObjectPath();
    }
    return QDBusObjectPath(path);
}

} // namespace browse
