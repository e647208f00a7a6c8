// The objects that callers made with Create, each with the bus client that
// made it: they go when it releases them or when it leaves the bus (its
// unique name is watched), so a script that ends leaves nothing behind.
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QString>

namespace browse {

class OwnedObjects : public QObject {
    Q_OBJECT
  public:
    explicit OwnedObjects(QObject* parent = nullptr);

    // Offers `object` at `path` on `bus` for `owner` (a unique name; empty
    // for a caller in this process: kept until the service ends). Takes
    // the object; false (and the object deleted) when the bus refuses it.
    bool add(QDBusConnection bus, const QString& path, QObject* object, const QString& owner);

    enum class Release { Done, Unknown, NotOwner };
    // Withdraws and deletes the object at `path` if `caller` made it.
    Release release(const QString& path, const QString& caller);

    int count() const { return int(objects_.size()); }

  private:
    struct Entry {
        QObject* object = nullptr;
        QString owner;
        QString connection; // the bus connection's name
    };
    void drop(const QString& path);
    void ownerLeft(const QString& owner);

    QHash<QString, Entry> objects_; // by path
    QDBusServiceWatcher* watcher_ = nullptr;
};

} // namespace browse
