// The folder deletion dialog against a real directory: Cancel waits for the
// list, then stops part-way and leaves the entries not yet processed.
#include "deskdaemon.h"
#include "folderdeletiondialog.h"
#include "testmain.h"

#include "document/usrfolderdeletion.h"
#include "folders/usrfoldernode.h"
#include "nodes/usrnoderegistry.h"

#include <QPushButton>
#include <QTimer>

using namespace desk::ui;

class FolderDeletionTest : public QObject {
    Q_OBJECT
    desktest::TestDirectory directory_;

    // A new personal folder `name` linked into `parent`.
    static USRFolderNode* folder(USRContext& ctx, USRFolderNode& parent, const char* name) {
        long e = 0;
        std::unique_ptr<USRNode> made = USRFolderNode::create(ctx, name, false, e);
        if (!made) return nullptr;
        auto* raw = static_cast<USRFolderNode*>(made.get());
        if (!ctx.folders().add(made, e) || !parent.addNode(*raw, e)) return nullptr;
        return raw;
    }

  private slots:
    void initTestCase() {
        std::string why;
        QVERIFY2(directory_.start(why), why.c_str());
        setMessageSink(desktest::recordMessage);
    }

    void cancelPartWayLeavesTheRest() {
        QVERIFY(desktest::TestDirectory::login("alice@Sales@Demo", "alice-demo"));
        DIRDirectory dir;
        USRContext ctx{dir};
        ScriptPrompter prompter;
        ctx.setPrompter(&prompter);
        UIDesktop doc(ctx);
        prompter.dialogs.push_back(desktest::cardNamed(QStringLiteral("Alice Archer")));
        QVERIFY(doc.loadDesktop(false));
        USRFolderNode* root = doc.rootFolder();
        USRFolderNode* top = folder(ctx, *root, "Top");
        QVERIFY(top);
        for (const char* name : {"S0", "S1", "S2", "S3"})
            QVERIFY(folder(ctx, *top, name));

        USRFolderDeletion deletion(ctx, *top, root, false);
        UIFolderDeletionDialog dialog(deletion);
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("2"));
        QVERIFY(cancel);
        QVERIFY(!cancel->isEnabled());
        QString caption;
        // Cancel once two of the five entries (S3, then S2) are done.
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!cancel->isEnabled() || deletion.remaining() > 3) return;
            caption = dialog.windowTitle();
            cancel->click();
        });
        watch.start();
        QCOMPARE(dialog.run(), USR_REPLY_CANCEL);
        QCOMPARE(caption, QStringLiteral("Delete - 20% Complete"));

        long e = 0;
        QVERIFY(top->read(e));
        std::vector<std::string> names;
        for (const USRChild& c : top->children())
            names.push_back(c.name);
        QCOMPARE(names, (std::vector<std::string>{"S0", "S1"}));
        QVERIFY(root->hasChild(top->key()));
        CQrdApi::destroySession();
    }
};

DESK_DAEMON_TEST_MAIN(FolderDeletionTest)
#include "folderdeletion_test.moc"
