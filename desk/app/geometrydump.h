// UIGeometryDump: for end-to-end tests only (namedesk --dump-geometry FILE).
// It keeps FILE telling where the visible named widgets, toolbar buttons and
// view rows are on the screen, so a test can click them with real input
// events and read back what the views show.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace desk::app {

class UIGeometryDump : public QObject {
  public:
    // Rewrites `path` (atomically) every 100 ms until destroyed.
    explicit UIGeometryDump(const QString& path);

  private:
    void write();

    QString path_;
    QTimer timer_;
};

} // namespace desk::app
