#include "autobrowse.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

#include "texts.h"

namespace browse {

AutoBrowse::AutoBrowse(std::shared_ptr<DialogRunner> runner, QObject* parent)
    : QObject(parent), runner_(std::move(runner)), owned_(new OwnedObjects(this)) {}

AutoBrowse::AutoBrowse(std::shared_ptr<DialogRunner> runner, OwnedObjects* owned)
    : runner_(std::move(runner)), owned_(owned) {}

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
    auto* object = new AutoBrowse(runner_, owned_);
    object->busy_ = busy_;
    QDBusConnection bus = calledFromDBus() ? connection() : QDBusConnection::sessionBus();
    const QString owner = calledFromDBus() ? message().service() : QString();
    if (!owned_->add(bus, path, object, owner)) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot offer %1").arg(path));
        return QDBusObjectPath();
    }
    return QDBusObjectPath(path);
}

void AutoBrowse::Release(const QDBusObjectPath& object) {
    const QString caller = calledFromDBus() ? message().service() : QString();
    switch (owned_->release(object.path(), caller)) {
    case OwnedObjects::Release::Done:
        return;
    case OwnedObjects::Release::Unknown:
        if (calledFromDBus())
            sendErrorReply(QDBusError::UnknownObject,
                           QStringLiteral("%1 is not an object made by Create; nothing to release")
                               .arg(object.path()));
        return;
    case OwnedObjects::Release::NotOwner:
        if (calledFromDBus())
            sendErrorReply(QDBusError::AccessDenied,
                           QStringLiteral("%1 was made by another client; only it may release it")
                               .arg(object.path()));
        return;
    }
}

} // namespace browse
