// The desktop's windows against a real directory: first run, folders in
// the tree and the list, the commands each role may use, the inbox, the
// clipboard's forms, files dropped from outside and deletion.
#include "clipboard.h"
#include "commandids.h"
#include "contentsmodel.h"
#include "contentsview.h"
#include "deskdaemon.h"
#include "dragdrop.h"
#include "folderview.h"
#include "mainframe.h"
#include "nodeinfo.h"
#include "publishwindow.h"
#include "testmain.h"

#include "folders/usrfoldernode.h"
#include "items/itemcommands.h"
#include "nodes/usrnode.h"
#include "publish/usrpublication.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

using namespace desk::ui;
using desktest::Desk;
using desktest::TestDirectory;

namespace {

struct User {
    const char* name;
    const char* password;
    const char* card;
};
const User kAlice{"alice@Sales@Demo", "alice-demo", "Alice Archer"};
const User kBob{"bob@Sales@Demo", "bob-demo", "Bob Baker"};
const User kErin{"erin@Sales@Demo", "erin-demo", "Erin Evans"}; // added by the test

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i)
        if (parent->child(i)->text(0).startsWith(text)) return parent->child(i);
    return nullptr;
}

int rowNamed(const ContentsModel& model, const QString& name) {
    for (size_t i = 0; i < model.rows().size(); ++i)
        if (model.rows()[i].name == name) return int(i);
    return -1;
}

// Selects rows of the contents list by name, as a click with Ctrl does.
void selectRows(Desk& d, const QStringList& names) {
    UIContentsView& view = d.session->contentsView();
    QAbstractItemView* list = view.detailsView();
    // The list hands its selection to the document while it has the focus.
    d.session->frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d.session->frame()));
    list->setFocus();
    list->selectionModel()->clearSelection();
    for (const QString& n : names) {
        const int row = rowNamed(view.model(), n);
        QVERIFY2(row >= 0, qPrintable(n));
        list->selectionModel()->select(view.model().index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QCOMPARE(int(d.doc().selection().size()), int(names.size()));
}

bool enabled(Desk& d, int command) {
    d.session->frame().updateCommands();
    return d.session->frame().commandAction(command)->isEnabled();
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
    TestDirectory directory_;
    QTemporaryDir files_;

    // Logs `u` in and opens a desktop; a first run answers the card.
    std::unique_ptr<Desk> open(const User& u) {
        if (!TestDirectory::login(u.name, u.password)) {
            fprintf(stderr, "login of %s failed\n", u.name);
            return nullptr;
        }
        auto d = std::make_unique<Desk>();
        d->prompter.dialogs.push_back(desktest::cardNamed(QString::fromUtf8(u.card)));
        d->session->start();
        // A first run is taken through the card when the tree's retry fires.
        if (!QTest::qWaitFor([&] { return d->doc().isLoggedIn(); }, 10000)) {
            for (const std::string& m : d->prompter.messages)
                fprintf(stderr, "shown: %s\n", m.c_str());
            for (const QString& m : desktest::shownMessages())
                fprintf(stderr, "shown: %s\n", qPrintable(m));
            return nullptr;
        }
        d->prompter.dialogs.clear(); // the card step is left when the desktop existed
        return d;
    }

    // A new folder in `d`'s current folder through the scripted sheet;
    // `rights` name=role pairs join its access rights.
    USRFolderNode* newFolder(Desk& d, const QString& name, bool shared,
                             const QList<QPair<QString, int>>& rights = {}) {
        d.prompter.dialogs.push_back([=](USRDialog, QVariantMap& v) {
            v["name"] = name;
            QVariantList list = v["rights"].toList();
            for (const auto& r : rights)
                list.push_back(QVariantMap{{"name", r.first}, {"role", r.second}, {"kind", 1}});
            v["rights"] = list;
            v["publish"] = 0;
            return USR_REPLY_OK;
        });
        d.session->frame().runCommand(shared ? kCmdNewSharedFolder : kCmdNewPersonalFolder);
        // The new folder's item is selected, which makes the folder current.
        QTreeWidgetItem* item = d.session->folderView().desktopTree()->currentItem();
        USRFolderNode* current = d.doc().currentFolder();
        return item && item->text(0) == name && current && current->name() == name.toStdString()
                   ? current
                   : nullptr;
    }

    void selectInTree(Desk& d, USRNode* node) {
        UIFolderView& tree = d.session->folderView();
        QTreeWidgetItem* item = tree.itemOf(node);
        QVERIFY(item);
        tree.desktopTree()->setCurrentItem(item);
        QCOMPARE(d.doc().currentFolder(), node);
    }

    void addWebItem(Desk& d, const QString& name, const QString& url) {
        d.prompter.dialogs.push_back([=](USRDialog, QVariantMap& v) {
            v["name"] = name;
            v["url"] = url;
            return USR_REPLY_OK;
        });
        d.session->frame().runCommand(kCmdNewWebItem);
    }

  private slots:
    void initTestCase() {
        std::string why;
        QVERIFY2(directory_.start(why, "user add erin@Sales@Demo --password \"erin-demo\"\n"),
                 why.c_str());
        setMessageSink(desktest::recordMessage);
        QVERIFY(files_.isValid());
    }
    void cleanup() { CQrdApi::destroySession(); }

    void aFirstRunShowsTheNewDesktop() {
        auto alice = open(kAlice);
        QVERIFY(alice);
        UIFolderView& tree = alice->session->folderView();
        QTreeWidgetItem* root = tree.desktopTree()->topLevelItem(0);
        QVERIFY(root);
        QCOMPARE(root->text(0), QStringLiteral("My Desktop"));
        QCOMPARE(root->data(0, UIFolderView::kImageRole).toInt(), 26);
        QCOMPARE(alice->session->contentsView().header()->text(),
                 QStringLiteral("Contents of My Desktop"));
        QCOMPARE(alice->doc().currentFolder(), alice->doc().rootFolder());
        QVERIFY(alice->session->frame().windowTitle().startsWith(QLatin1String("alice")));
    }

    void foldersShowInTheTreeAndTheList() {
        auto alice = open(kAlice);
        QVERIFY(alice);
        QAbstractItemModelTester contents(&alice->session->contentsView().model(),
                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester tree(alice->session->folderView().desktopTree()->model(),
                                      QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester inbox(alice->session->folderView().inboxTree()->model(),
                                       QAbstractItemModelTester::FailureReportingMode::QtTest);
        USRFolderNode* projects = newFolder(*alice, QStringLiteral("Projects"), false);
        QVERIFY(projects);
        QTreeWidgetItem* item = alice->session->folderView().itemOf(projects);
        QVERIFY(item);
        QCOMPARE(item->data(0, UIFolderView::kImageRole).toInt(), 2);
        // The user expands and collapses it: the picture swaps pairs.
        item->setExpanded(true);
        QCOMPARE(item->data(0, UIFolderView::kImageRole).toInt(), 0);
        item->setExpanded(false);
        QCOMPARE(item->data(0, UIFolderView::kImageRole).toInt(), 2);
        const ContentsModel& model = alice->session->contentsView().model();
        selectInTree(*alice, alice->doc().rootFolder());
        const int row = rowNamed(model, QStringLiteral("Projects"));
        QVERIFY(row >= 0);
        QCOMPARE(model.rows()[size_t(row)].type, QStringLiteral("Folder"));
        // Items appear in the list, never in the tree.
        selectInTree(*alice, projects);
        addWebItem(*alice, QStringLiteral("Handbook"), QStringLiteral("https://example.org/hb"));
        QCOMPARE(item->childCount(), 0);
        QVERIFY(rowNamed(model, QStringLiteral("Handbook")) >= 0);
    }

    void theClipboardCarriesNamesOrAnAddress() {
        auto alice = open(kAlice);
        QVERIFY(alice);
        USRFolderNode* links = newFolder(*alice, QStringLiteral("Links"), false);
        QVERIFY(links);
        selectInTree(*alice, links);
        addWebItem(*alice, QStringLiteral("A"), QStringLiteral("https://example.org/a"));
        addWebItem(*alice, QStringLiteral("B"), QStringLiteral("https://example.org/b"));
        selectRows(*alice, {QStringLiteral("A")});
        QCOMPARE(int(alice->doc().selection().size()), 1);
        alice->session->frame().runCommand(kCmdCopy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("https://example.org/a"));
        selectRows(*alice, {QStringLiteral("A"), QStringLiteral("B")});
        QCOMPARE(int(alice->doc().selection().size()), 2);
        alice->session->frame().runCommand(kCmdCopy);
        const QStringList names = QApplication::clipboard()->text().split(QStringLiteral(", "));
        QCOMPARE(names.size(), 2);
        for (USRNode* n : alice->doc().selection())
            QVERIFY(names.contains(QString::fromStdString(n->key())));
        // Pasting the names into another folder copies the items.
        USRFolderNode* other = newFolder(*alice, QStringLiteral("Other"), false);
        QVERIFY(other);
        QVERIFY(enabled(*alice, kCmdPaste));
        alice->session->frame().runCommand(kCmdPaste);
        const ContentsModel& model = alice->session->contentsView().model();
        QCOMPARE(int(model.rows().size()), 2);
        QVERIFY(model.rows()[0].node != nullptr);
        QVERIFY(!names.contains(QString::fromStdString(model.rows()[0].node->key())));
        // A pasted web address becomes a web item, its dialog filled in.
        QApplication::clipboard()->setText(QStringLiteral("https://example.org/pasted"));
        QString offered;
        alice->prompter.dialogs.push_back([&offered](USRDialog, QVariantMap& v) {
            offered = v["url"].toString();
            return USR_REPLY_OK;
        });
        alice->session->frame().runCommand(kCmdPaste);
        QCOMPARE(offered, QStringLiteral("https://example.org/pasted"));
        QCOMPARE(int(model.rows().size()), 3);
    }

    void filesDroppedFromOutsideBecomeDocuments() {
        auto alice = open(kAlice);
        QVERIFY(alice);
        USRFolderNode* inboxFiles = newFolder(*alice, QStringLiteral("Dropped"), false);
        QVERIFY(inboxFiles);
        selectInTree(*alice, inboxFiles);
        QList<QUrl> urls;
        for (const char* name : {"notes.txt", "plan.odt"}) {
            QFile f(files_.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("text");
            urls << QUrl::fromLocalFile(f.fileName());
        }
        QMimeData data;
        data.setUrls(urls);
        QCOMPARE(dropEffect(&data, inboxFiles, false), Qt::LinkAction);
        alice->prompter.dialogs.push_back(ScriptPrompter::answer(USR_REPLY_OK));
        alice->prompter.dialogs.push_back(ScriptPrompter::answer(USR_REPLY_OK));
        alice->session->clipboard().drop(&data, Qt::LinkAction, inboxFiles);
        const ContentsModel& model = alice->session->contentsView().model();
        QCOMPARE(int(model.rows().size()), 2);
        QVERIFY(rowNamed(model, QStringLiteral("notes.txt")) >= 0);
        QCOMPARE(model.rows()[0].type, QStringLiteral("Document"));
        // Copied out again, a document's file travels as a file.
        selectRows(*alice, {QStringLiteral("notes.txt")});
        alice->session->frame().runCommand(kCmdCopy);
        const QList<QUrl> out = QApplication::clipboard()->mimeData()->urls();
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].toLocalFile(), files_.filePath(QStringLiteral("notes.txt")));
    }

    void deletionStopsAtCancel() {
        auto alice = open(kAlice);
        QVERIFY(alice);
        USRFolderNode* trash = newFolder(*alice, QStringLiteral("Old"), false);
        QVERIFY(trash);
        selectInTree(*alice, trash);
        for (const char* n : {"one", "two", "three"})
            addWebItem(*alice, QLatin1String(n), QStringLiteral("https://example.org/") + n);
        selectRows(*alice, {QStringLiteral("one"), QStringLiteral("three"), QStringLiteral("two")});
        QVERIFY(enabled(*alice, kCmdDelete));
        // The question comes for each node in list order: the first is
        // deleted, Cancel at the second keeps the rest.
        const ContentsModel& model = alice->session->contentsView().model();
        const QString first = model.rows()[0].name;
        alice->prompter.dialogs.push_back(ScriptPrompter::answer(USR_REPLY_YES));
        alice->prompter.dialogs.push_back(ScriptPrompter::answer(USR_REPLY_CANCEL));
        alice->session->frame().runCommand(kCmdDelete);
        QCOMPARE(int(model.rows().size()), 2);
        QCOMPARE(rowNamed(model, first), -1);
        QVERIFY(alice->prompter.dialogs.empty());
    }

    void thePublishWindowShowsEachRecipient() {
        QVERIFY(open(kBob)); // bob uses the desktop, dave does not
        auto alice = open(kAlice);
        QVERIFY(alice);
        USRFolderNode* news = newFolder(
            *alice, QStringLiteral("News"), true,
            {{QString::fromUtf8(kBob.name), 1}, {QStringLiteral("dave@Support@Demo"), 1}});
        QVERIFY(news);
        QVERIFY(enabled(*alice, kCmdPublish));
        alice->session->frame().runCommand(kCmdPublish);
        auto* window = alice->session->frame().findChild<UIPublishWindow*>(QStringLiteral("239"));
        QVERIFY(window);
        QVERIFY(window->windowTitle().startsWith(QLatin1String("Publish Folder: ")));
        // The folder is busy while its window is open: no second one.
        QVERIFY(!enabled(*alice, kCmdPublish));
        auto* entries = window->findChild<QListWidget*>(QStringLiteral("1008"));
        auto* results = window->findChild<QTreeWidget*>(QStringLiteral("1009"));
        QVERIFY(entries && results);
        QAbstractItemModelTester t1(entries->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester t2(results->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(entries->count(), 3); // alice (moderator), bob, dave
        for (int i = 1; i < entries->count(); ++i)
            entries->item(i)->setSelected(true);
        window->findChild<QPushButton*>(QStringLiteral("1096"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle().startsWith(QLatin1String("Done")), 20000);
        QCOMPARE(results->topLevelItemCount(), 2);
        // Dave has no desktop: not a user.
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("1145"))->text(), QStringLiteral("2"));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("1147"))->text(), QStringLiteral("1"));
        QCOMPARE(window->findChild<QPushButton*>(QStringLiteral("1096"))->text(),
                 QStringLiteral("&Publish"));
        QVERIFY(entries->selectedItems().isEmpty());
        window->close();
        QVERIFY(enabled(*alice, kCmdPublish));
    }

    void eachRoleGetsItsCommands() {
        // Bob and Erin become desktop users, then Alice shares a folder with
        // Bob as a reader and Erin as a contributor and publishes it.
        QVERIFY(open(kBob));
        QVERIFY(open(kErin));
        auto alice = open(kAlice);
        QVERIFY(alice);
        USRFolderNode* shared =
            newFolder(*alice, QStringLiteral("Plans"), true,
                      {{QString::fromUtf8(kBob.name), 1}, {QString::fromUtf8(kErin.name), 2}});
        QVERIFY(shared);
        selectInTree(*alice, shared);
        addWebItem(*alice, QStringLiteral("Roadmap"), QStringLiteral("https://example.org/r"));
        long e = 0;
        QVERIFY(shared->publishTo(kBob.name, e));
        QVERIFY(shared->publishTo(kErin.name, e));
        // The moderator.
        selectInTree(*alice, shared);
        QVERIFY(enabled(*alice, kCmdPublish));
        selectRows(*alice, {QStringLiteral("Roadmap")});
        QVERIFY(enabled(*alice, kCmdDelete));
        alice.reset();

        for (const User* u : {&kBob, &kErin}) {
            auto d = open(*u);
            QVERIFY(d);
            UIFolderView& tree = d->session->folderView();
            QCOMPARE(tree.inboxTabImage(), 1);
            QVERIFY(d->doc().startInboxUpdate());
            QVERIFY(d->doc().waitInboxUpdate(30000));
            QVERIFY(d->doc().pollInboxUpdate());
            QCOMPARE(tree.inboxTabImage(), 3);
            tree.tabs()->setCurrentIndex(1);
            QTreeWidgetItem* offer =
                childNamed(tree.inboxTree()->topLevelItem(0), QStringLiteral("Plans"));
            QVERIFY(offer);
            tree.inboxTree()->setCurrentItem(offer);
            QVERIFY(d->session->contentsView().offerShown());
            QVERIFY(enabled(*d, kCmdSubscribe));
            d->session->frame().runCommand(kCmdSubscribe);
            // Other offers are declined: the emptied inbox shows its first picture.
            QTreeWidgetItem* inboxRoot = tree.inboxTree()->topLevelItem(0);
            while (inboxRoot->childCount() > 0) {
                QCOMPARE(tree.inboxTabImage(), 3);
                tree.inboxTree()->setCurrentItem(inboxRoot->child(0));
                QVERIFY(enabled(*d, kCmdDontSubscribe));
                d->session->frame().runCommand(kCmdDontSubscribe);
            }
            QCOMPARE(tree.inboxTabImage(), 1);
            tree.tabs()->setCurrentIndex(0);
            QTreeWidgetItem* plans =
                childNamed(tree.desktopTree()->topLevelItem(0), QStringLiteral("Plans"));
            QVERIFY(plans);
            tree.desktopTree()->setCurrentItem(plans);
            QVERIFY(!enabled(*d, kCmdPublish));
            QVERIFY(rowNamed(d->session->contentsView().model(), QStringLiteral("Roadmap")) >= 0);
            selectRows(*d, {QStringLiteral("Roadmap")});
            const bool contributor = u == &kErin;
            QCOMPARE(enabled(*d, kCmdDelete), contributor);
            QCOMPARE(enabled(*d, kCmdCut), contributor);
            QVERIFY(enabled(*d, kCmdCopy));
            QVERIFY(enabled(*d, kCmdProperties));
        }
    }
};

DESK_DAEMON_TEST_MAIN(SessionTest)
#include "session_test.moc"
