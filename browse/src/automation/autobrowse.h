// CAutoBrowse: the browser as an object on the session bus, for scripts and
// other programs. Properties DialogTitle, AVDFilePath and MultipleSelections;
// methods Configure, RunBrowser, Create and Release. Windows run through a DialogRunner, and
// answers wait for the window (delayed replies), so the bus stays free.
#pragma once

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <functional>
#include <memory>

#include "dialogrunner.h"
#include "ownedobjects.h"

namespace browse {

inline constexpr char kBusName[] = "com.halvex.namebrowse";
inline constexpr char kObjectPath[] = "/namebrowse";

class AutoBrowse : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.halvex.namebrowse.CAutoBrowse")
    Q_PROPERTY(QString DialogTitle READ dialogTitle WRITE setDialogTitle)
    Q_PROPERTY(QString AVDFilePath READ avdFilePath WRITE setAvdFilePath)
    Q_PROPERTY(bool MultipleSelections READ multipleSelections WRITE setMultipleSelections)
  public:
    explicit AutoBrowse(std::shared_ptr<DialogRunner> runner, QObject* parent = nullptr);

    QString dialogTitle() const { return settings_.title; }
    void setDialogTitle(const QString& t) { settings_.title = t; }
    QString avdFilePath() const { return settings_.avdPath; }
    void setAvdFilePath(const QString& p) { settings_.avdPath = p; }
    // Kept as "single selection", true after creation: reads false then.
    bool multipleSelections() const { return !settings_.single; }
    void setMultipleSelections(bool m) { settings_.single = !m; }

    // Objects made by Create that are still held.
    int heldObjects() const { return owned_->count(); }

    // Called with true when a bus request starts its window and with false
    // when it has answered (the service's idle timer).
    void onBusy(std::function<void(bool)> f) { busy_ = std::move(f); }

  public slots:
    Q_SCRIPTABLE void Configure();
    Q_SCRIPTABLE QString RunBrowser();
    // A new object with settings of its own (under /namebrowse/objects/N),
    // for callers who should not share DialogTitle and the rest with other
    // scripts of the session. It lives until its caller releases it or
    // leaves the bus.
    Q_SCRIPTABLE QDBusObjectPath Create();
    // Withdraws an object that the caller made with Create.
    Q_SCRIPTABLE void Release(const QDBusObjectPath& object);

  private:
    // An object made by Create, kept in `owned`.
    AutoBrowse(std::shared_ptr<DialogRunner> runner, OwnedObjects* owned);

    // Runs `work` now for a local caller (its answer), or after this call
    // returns for a bus caller, who gets the answer then (an invalid QVariant
    // here).
    QVariant later(std::function<QVariant()> work);

    std::shared_ptr<DialogRunner> runner_;
    OwnedObjects* owned_; // the first object's, shared by those it creates
    BrowserSettings settings_;
    std::function<void(bool)> busy_;
};

} // namespace browse
