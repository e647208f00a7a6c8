// Document, web and action nodes against a daemon of the test's own: what an
// action starts (recorded), stale actions, the toolbar, new items and their
// dialogs, the temporary shortcut and the copy to a shared area.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "actions/launch.h"
#include "actions/usractions.h"
#include "core/context.h"
#include "core/notifier.h"
#include "core/strings.h"
#include "files/usrfile.h"
#include "folders/usrfoldernode.h"
#include "items/docname.h"
#include "items/itemcommands.h"
#include "items/urlforms.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"
#include "launchrecorder.h"
#include "nodes/usrnoderegistry.h"
#include "script_prompter.h"
#include "store_daemon.h"
#include "testfiles.h"

namespace fs = std::filesystem;
using usraction::LaunchRequest;

using deskfiles::readFile;
using deskfiles::writeFile;

namespace {

const std::string kService = "\\\\Namewright\\FILES@Sales@Demo\\docs";

class Items : public storetest::DaemonFixture {
  protected:
    static void SetUpTestSuite() {
        qrdtest::appendQordaIni(
            "[Client]\nVersion=70651\n[DriveMappings]\nF=FILES@Sales@Demo,docs," + mount() + "\n");
    }
    void SetUp() override {
        startDaemon();
        login("bob@Sales@Demo", "bob-demo");
        DIRUserBusinessCard card;
        card.cardText1 = "Bob";
        DIRAddressPtr cardAddress;
        long e = 0;
        ASSERT_TRUE(dir.createPathwendEnvironment("Bob's desk", card, cardAddress, e)) << e;
        ctx = std::make_unique<USRContext>(dir);
        ctx->setPrompter(&script);
        home = USRFolderNode::getDefaultFolder(*ctx, e);
        ASSERT_NE(home, nullptr) << e;
        writeFile(mount() + "/tools/edit.sh", "#!/bin/sh\n", 0755);
        writeFile(mount() + "/reports/a b.doc", "x");
    }
    void TearDown() override {
        if (ctx) {
            actions.reset();
            ctx->emptyRegistries();
        }
    }
    static std::string ws() { return qrdtest::workstation().dir; }
    static std::string mount() { return ws() + "/mnt/files"; }

    USRDocNode* addDocument(const std::string& path) {
        auto doc = std::make_unique<USRDocNode>(*ctx);
        doc->setName(USRDocumentNameFor(path));
        doc->setFilePath(path);
        long e = 0;
        EXPECT_TRUE(doc->create(e)) << e;
        USRDocNode* raw = doc.get();
        std::unique_ptr<USRNode> owned = std::move(doc);
        EXPECT_TRUE(ctx->folders().add(owned, e)) << e;
        return raw;
    }
    USRActions& library() {
        if (!actions) actions = std::make_unique<USRActions>(*ctx);
        return *actions;
    }
    USRActionNode* makeAction(const std::string& name, const std::string& line, bool needsItem) {
        USRActions::Definition def;
        def.name = name;
        def.commandLine = line;
        def.needsItem = needsItem;
        long e = 0;
        USRActionNode* a = library().create(def, e);
        EXPECT_NE(a, nullptr) << e;
        return a;
    }

    DIRDirectory dir;
    std::unique_ptr<USRContext> ctx;
    std::unique_ptr<USRActions> actions;
    ScriptPrompter script;
    USRFolderNode* home = nullptr;
    RecordLaunches record;
};

TEST_F(Items, AnActionRunsOnADocumentWithTheExpectedCommandLine) {
    USRDocNode* doc = addDocument(kService + "\\reports\\a b.doc");
    USRActionNode* edit = makeAction("Edit", kService + "\\tools\\edit.sh \"%%\"", true);
    ASSERT_NE(edit, nullptr);
    long e = 0;
    ASSERT_TRUE(library().run(edit, doc, e)) << e;
    ASSERT_EQ(record.recorder->started.size(), 1u);
    const LaunchRequest& r = record.recorder->started[0];
    EXPECT_EQ(r.kind, LaunchRequest::Kind::Direct);
    EXPECT_EQ(r.program, mount() + "/tools/edit.sh");
    EXPECT_EQ(r.arguments, std::vector<std::string>{mount() + "/reports/a b.doc"});

    // An action that needs an item does not run on a folder.
    EXPECT_FALSE(library().run(edit, home, e));
    EXPECT_EQ(e, DIR_NOT_SUPPORTED);
    EXPECT_EQ(record.recorder->started.size(), 1u);
}

TEST_F(Items, AnActionChangedOrDeletedElsewhereIsDroppedAndReported) {
    USRActionNode* first = makeAction("First", "/bin/true", false);
    USRActionNode* second = makeAction("Second", "/bin/true", false);
    long e = 0;
    ASSERT_TRUE(library().addToToolbar(first, e)) << e;
    ASSERT_TRUE(library().addToToolbar(second, e)) << e;

    // Another desktop changes the first action's command line.
    {
        USRContext other(dir);
        USRActions otherLibrary(other);
        ASSERT_TRUE(otherLibrary.loadLibrary(e)) << e;
        ASSERT_EQ(otherLibrary.library().size(), 2u);
        USRActionNode* copy = otherLibrary.library()[0];
        copy->setCommandLine("/bin/false");
        ASSERT_TRUE(copy->write(e)) << e;
        otherLibrary.clear();
        other.emptyRegistries();
    }
    EXPECT_FALSE(library().run(first, nullptr, e));
    EXPECT_EQ(e, DIR_OBJECT_MISSING);
    EXPECT_TRUE(record.recorder->started.empty()); // the outdated line never ran
    EXPECT_EQ(library().library().size(), 1u);
    EXPECT_TRUE(library().reportRunFailure(e));
    ASSERT_FALSE(script.messages.empty());
    EXPECT_EQ(script.messages.back(), USRString(5012));
    // The reload brings the changed action back, with the new line.
    ASSERT_EQ(library().toolbar().size(), 2u);
    EXPECT_EQ(library().toolbar()[0]->commandLine(), "/bin/false");

    // Deleted for good.
    USRActionNode* gone = library().findByCommandId(1001);
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(dir.destroyNode(gone->address(), e)) << e;
    EXPECT_FALSE(library().run(gone, nullptr, e));
    EXPECT_EQ(e, DIR_OBJECT_MISSING);
    EXPECT_EQ(library().findByCommandId(1001), nullptr);

    // A start failure is a system code, shown with the action text.
    record.recorder->result = ENOENT;
    EXPECT_FALSE(library().run(library().toolbar()[0], nullptr, e));
    EXPECT_EQ(e, ENOENT);
    library().reportRunFailure(e);
    EXPECT_NE(script.messages.back().find(USRString(5023)), std::string::npos);
}

TEST_F(Items, AToolbarCommandOnAVanishedItemTakesItOutOfTheFolder) {
    USRDocNode* doc = addDocument(kService + "\\reports\\a b.doc");
    long e = 0;
    ASSERT_TRUE(home->addNode(*doc, e)) << e;
    USRActionNode* edit = makeAction("Edit", kService + "\\tools\\edit.sh \"%%\"", true);
    ASSERT_TRUE(library().addToToolbar(edit, e)) << e;
    USRNotifier notifier;
    std::vector<int> hints;
    QObject::connect(&notifier, &USRNotifier::hint,
                     [&](int code, USRNode*) { hints.push_back(code); });

    ASSERT_TRUE(library().runCommand(1000, doc, home, true, &notifier));
    EXPECT_EQ(record.recorder->started.size(), 1u);

    ASSERT_TRUE(dir.destroyNode(doc->address(), e)) << e;
    EXPECT_FALSE(library().runCommand(1000, doc, home, true, &notifier));
    EXPECT_EQ(record.recorder->started.size(), 1u);
    EXPECT_EQ(script.messages.size(), 1u); // the vanished item, once
    EXPECT_EQ(hints, std::vector<int>{USR_HINT_FOLDER_REREAD});
    EXPECT_TRUE(home->children().empty());
}

TEST_F(Items, StandardActionsAreInstalledOnlyWhenNoneIsMarkedForTheToolbar) {
    long e = 0;
    EXPECT_EQ(library().installStandard(e), 2) << e;
    ASSERT_EQ(library().toolbar().size(), 2u);
    USRActionNode* wordpad = library().findByCommandId(1001);
    ASSERT_NE(wordpad, nullptr);
    EXPECT_EQ(wordpad->name(), "Windows WordPad editor");
    EXPECT_EQ(library().findByCommandId(999), nullptr);
    // Rearranged, the toolbar keeps its new order in the store.
    std::vector<USRActionNode*> swapped{library().toolbar()[1], library().toolbar()[0]};
    ASSERT_TRUE(library().setToolbarOrder(swapped, e)) << e;
    USRActions reloaded(*ctx);
    ASSERT_TRUE(reloaded.loadToolbar(e)) << e;
    ASSERT_EQ(reloaded.toolbar().size(), 2u);
    EXPECT_EQ(reloaded.findByCommandId(1000)->name(), "Windows WordPad editor");
    reloaded.clear();

    USRActions::Definition marked;
    marked.name = "Viewer";
    marked.commandLine = "/usr/bin/less \"%%\"";
    marked.toolbarFlag = true;
    ASSERT_NE(library().create(marked, e), nullptr) << e;
    USRActions fresh(*ctx);
    EXPECT_EQ(fresh.installStandard(e), 1) << e;
    EXPECT_EQ(fresh.toolbar().size(), 3u);
    EXPECT_EQ(fresh.library().size(), 3u);
    fresh.clear();
}

TEST_F(Items, DoActionOffersTheActionsThatApplyAndTheStandardEntry) {
    std::string local = ws() + "/home/notes";
    writeFile(local, "x");
    USRDocNode* doc = addDocument(local);
    makeAction("Edit", mount() + "/tools/edit.sh \"%%\"", true);
    QStringList offered;
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) {
        offered = v.value("actions").toStringList();
        v["index"] = 1;
        return USR_REPLY_OK;
    });
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) {
        v["index"] = 0;
        return USR_REPLY_OK;
    });
    ASSERT_TRUE(library().doAction(*doc));
    ASSERT_TRUE(library().doAction(*doc));
    EXPECT_EQ(offered, (QStringList{"\"Standard Action\"", "Edit"}));
    ASSERT_EQ(record.recorder->started.size(), 2u);
    EXPECT_EQ(record.recorder->started[0].program, mount() + "/tools/edit.sh");
    EXPECT_EQ(record.recorder->started[0].arguments, std::vector<std::string>{local});
    EXPECT_EQ(record.recorder->started[1].program, usraction::kOpener);
    EXPECT_EQ(record.recorder->started[1].arguments, std::vector<std::string>{local});
}

TEST_F(Items, ADroppedFileBecomesADocumentNamedAfterItInTheFolder) {
    std::string longName = "Quarterly results for the whole year 1996 and some more.doc";
    std::string dropped = mount() + "/reports/" + longName;
    writeFile(dropped, "x");
    USRNotifier notifier;
    std::vector<int> hints;
    QObject::connect(&notifier, &USRNotifier::hint,
                     [&](int code, USRNode*) { hints.push_back(code); });
    QVariantMap shown;
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) {
        shown = v;
        return USR_REPLY_OK;
    });
    USRDocNode* doc = USRNewDocumentItem(*ctx, *home, dropped, &notifier);
    ASSERT_NE(doc, nullptr) << (script.messages.empty() ? "" : script.messages.back());
    EXPECT_EQ(doc->name(), longName.substr(0, 50));
    EXPECT_EQ(doc->filePath(), kService + "\\reports\\" + longName);
    EXPECT_EQ(shown.value("path").toString().toStdString(), doc->filePath());
    EXPECT_NE(doc->creator().find("bob"), std::string::npos);
    EXPECT_EQ(hints, std::vector<int>{USR_HINT_NODES_ADDED});

    // What the store holds reads back the same.
    USRDocNode again(*ctx);
    long e = 0;
    ASSERT_TRUE(again.setAddress(doc->address(), e));
    ASSERT_TRUE(again.read(e)) << e;
    EXPECT_EQ(again.filePath(), doc->filePath());
    EXPECT_EQ(again.creator(), doc->creator());

    // A folder is refused before any dialog; Cancel creates nothing.
    size_t dialogs = script.shown.size();
    EXPECT_EQ(USRNewDocumentItem(*ctx, *home, mount() + "/reports", &notifier), nullptr);
    EXPECT_EQ(script.shown.size(), dialogs);
    EXPECT_NE(script.messages.back().find("is not a file"), std::string::npos);
    long before = ctx->folders().count();
    EXPECT_EQ(USRNewDocumentItem(*ctx, *home, std::nullopt, &notifier), nullptr);
    EXPECT_EQ(ctx->folders().count(), before);
    EXPECT_EQ(hints.size(), 1u);
}

TEST_F(Items, TheWebItemDialogInsistsOnANameAndAKnownUrlForm) {
    auto answer = [&](std::string name, std::string url) {
        script.dialogs.push_back([=](USRDialog, QVariantMap& v) {
            v["name"] = QString::fromStdString(name);
            v["url"] = QString::fromStdString(url);
            return USR_REPLY_OK;
        });
    };
    answer("", "http://example.org");
    answer("Intranet", "");
    answer("Intranet", "intranet/home"); // unknown form: No, back to the dialog
    answer("Intranet", "WWW.example.org");
    script.answers = {false};
    USRWebNode* web = USRNewWebItem(*ctx, *home, nullptr);
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->url(), "WWW.example.org");
    EXPECT_EQ(script.messages,
              (std::vector<std::string>{"A name is required.", "A URL is required."}));
    EXPECT_EQ(script.questions, std::vector<std::string>{USRString(5010)});

    // Opening: the shortcut file carries the URL, and is rewritten each time.
    web->setUrl("file:///C|/docs/a.htm");
    long e = 0;
    ASSERT_TRUE(web->activate(nullptr, e)) << e;
    EXPECT_EQ(readFile(USRTemporaryShortcutPath()), "[InternetShortcut]\r\nURL=file:C:/docs/a.htm");
    web->setUrl("https://example.org/b");
    ASSERT_TRUE(web->activate(nullptr, e)) << e;
    EXPECT_EQ(readFile(USRTemporaryShortcutPath()),
              "[InternetShortcut]\r\nURL=https://example.org/b");
    ASSERT_EQ(record.recorder->started.size(), 2u);
    EXPECT_EQ(record.recorder->started[1].program, usraction::kOpener);
    USRRemoveTemporaryShortcut();
    EXPECT_FALSE(fs::exists(USRTemporaryShortcutPath()));
}

TEST_F(Items, ALocalFileOfASharedDocumentIsCopiedToASharedAreaFirst) {
    long e = 0;
    DIRPreferencesInfo prefs;
    prefs.value = 15;
    prefs.text = kService + "\\incoming";
    ASSERT_TRUE(dir.setPreferencesInfo(prefs, e)) << e;
    std::string local = ws() + "/home/plan.txt";
    writeFile(local, "plan");
    USRDocNode* doc = addDocument(local);
    ASSERT_TRUE(doc->isShared());

    QString proposed;
    script.answers = {true, true}; // copy it; try again after a local choice
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) { // save as: a local folder
        proposed = v.value("path").toString();
        v["path"] = QString::fromStdString(ws() + "/home/copy.txt");
        return USR_REPLY_OK;
    });
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) { // save as: the share
        v["path"] = QString::fromStdString(mount() + "/incoming/plan.txt");
        return USR_REPLY_OK;
    });
    script.dialogs.push_back([&](USRDialog, QVariantMap& v) { // the copy
        fs::create_directories(mount() + "/incoming");
        fs::copy_file(v.value("source").toString().toStdString(),
                      v.value("destination").toString().toStdString());
        v["result"] = 0;
        return USR_REPLY_OK;
    });
    script.dialogs.push_back([&](USRDialog, QVariantMap&) { return USR_REPLY_OK; }); // properties
    ASSERT_TRUE(USREditDocumentProperties(*ctx, *doc, nullptr));
    EXPECT_EQ(proposed.toStdString(), mount() + "/incoming/plan.txt");
    ASSERT_EQ(script.questions.size(), 2u);
    EXPECT_EQ(doc->filePath(), kService + "\\incoming\\plan.txt");
    EXPECT_EQ(readFile(mount() + "/incoming/plan.txt"), "plan");
    USRDocNode stored(*ctx);
    ASSERT_TRUE(stored.setAddress(doc->address(), e));
    ASSERT_TRUE(stored.read(e)) << e;
    EXPECT_EQ(stored.filePath(), kService + "\\incoming\\plan.txt");

    // Declining the copy opens nothing.
    USRDocNode* other = addDocument(local);
    size_t dialogs = script.shown.size();
    script.answers = {false};
    EXPECT_FALSE(USREditDocumentProperties(*ctx, *other, nullptr));
    EXPECT_EQ(script.shown.size(), dialogs);
}

} // namespace
