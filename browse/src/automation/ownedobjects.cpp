#include "ownedobjects.h"

#include <QDBusConnectionInterface>

namespace browse {

OwnedObjects::OwnedObjects(QObject* parent) : QObject(parent) {}

bool OwnedObjects::add(QDBusConnection bus, const QString& path, QObject* object,
                       const QString& owner) {
    if (!bus.registerObject(path, object,
                            QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportScriptableSlots)) {
        delete object;
        return false;
    }
    object->setParent(this);
    objects_.insert(path, Entry{object, owner, bus.name()});
    if (owner.isEmpty()) return true;
    if (!watcher_) {
        watcher_ = new QDBusServiceWatcher(this);
        watcher_->setConnection(bus);
        watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                &OwnedObjects::ownerLeft);
    }
    watcher_->addWatchedService(owner);
    // The owner may have left before the watch was in place.
    if (!bus.interface()->isServiceRegistered(owner).value()) ownerLeft(owner);
    return objects_.contains(path);
}

OwnedObjects::Release OwnedObjects::release(const QString& path, const QString& caller) {
    auto it = objects_.constFind(path);
    if (it == objects_.constEnd()) return Release::Unknown;
    if (it->owner != caller) return Release::NotOwner;
    const QString owner = it->owner;
    drop(path);
    bool more = false;
    for (const Entry& e : objects_)
        more = more || e.owner == owner;
    if (!more && watcher_ && !owner.isEmpty()) watcher_->removeWatchedService(owner);
    return Release::Done;
}

void OwnedObjects::drop(const QString& path) {
    Entry e = objects_.take(path);
    QDBusConnection(e.connection).unregisterObject(path);
    // Not now: the object may be answering the call that released it.
    e.object->deleteLater();
}

void OwnedObjects::ownerLeft(const QString& owner) {
    QStringList gone;
    for (auto it = objects_.constBegin(); it != objects_.constEnd(); ++it)
        if (it->owner == owner) gone << it.key();
    for (const QString& path : gone)
        drop(path);
    if (watcher_) watcher_->removeWatchedService(owner);
}

} // namespace browse
