// The folder tree's drop offers and its tab strip, without a directory.
#include "dragdrop.h"
#include "folderview.h"
#include "testmain.h"
#include "treeimages.h"

#include "core/context.h"
#include "document/uidesktop.h"
#include "folders/usrfoldernode.h"

#include <QMimeData>
#include <QTabBar>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>
#include <namedir/directory.h>

using namespace desk::ui;

class FolderViewTest : public QObject {
    Q_OBJECT
    DIRDirectory dir_;
    USRContext ctx_{dir_};

  private slots:
    void dropOffersFollowWhatIsDragged() {
        USRFolderNode source(ctx_), other(ctx_);
        QMimeData nodes;
        nodes.setText(QStringLiteral("alice@Sales@Demo<52:250001:1>"));
        nodes.setData(QLatin1String(kDesktopNodesMime), nodes.text().toUtf8());
        desktopDrag() = {true, &source};
        QCOMPARE(dropEffect(&nodes, &source, false), Qt::IgnoreAction); // its own folder
        QCOMPARE(dropEffect(&nodes, &other, false), Qt::MoveAction);
        QCOMPARE(dropEffect(&nodes, &other, true), Qt::CopyAction); // Ctrl held
        desktopDrag() = {};
        // Text from another program is copied; files are linked.
        QMimeData text;
        text.setText(QStringLiteral("https://example.org/"));
        QCOMPARE(dropEffect(&text, &other, false), Qt::CopyAction);
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
        QCOMPARE(dropEffect(&files, &other, false), Qt::LinkAction);
        // An address from a browser is text: a copy (it becomes a web item).
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.org/x"))});
        QCOMPARE(dropEffect(&remote, &other, false), Qt::CopyAction);
        QMimeData picture;
        picture.setImageData(QColor(Qt::red));
        QCOMPARE(dropEffect(&picture, &other, false), Qt::IgnoreAction);
        QCOMPARE(dropEffect(&files, nullptr, false), Qt::IgnoreAction);
    }

    void aNarrowPaneShowsTheTabPicturesOnly() {
        UIDesktop doc(ctx_);
        UIFolderView view(doc);
        view.start(); // nobody is logged in: the desktop is retried later
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTabBar* tabs = view.tabs();
        QCOMPARE(tabs->tabText(0), QStringLiteral("My Desktop"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("My Inbox"));
        view.resize(90, 300);
        QTRY_VERIFY(tabs->tabText(0).isEmpty());
        QVERIFY(tabs->tabText(1).isEmpty());
        QCOMPARE(tabs->tabToolTip(1), QStringLiteral("My Inbox"));
        view.resize(400, 300);
        QTRY_COMPARE(tabs->tabText(0), QStringLiteral("My Desktop"));
        QCOMPARE(view.inboxTabImage(), int(kTabInboxEmpty));
        QCOMPARE(view.inboxTree()->topLevelItem(0)->text(0), QStringLiteral("My Inbox"));
        QCOMPARE(view.inboxTree()->topLevelItem(0)->data(0, UIFolderView::kImageRole).toInt(), 30);
    }
};

DESK_TEST_MAIN(FolderViewTest)
#include "folderview_test.moc"
