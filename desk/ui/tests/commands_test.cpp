// The command table's enabling rules and the shared error text.
#include "commands.h"
#include "errortext.h"
#include "uistrings.h"

#include "testmain.h"

#include <QtTest>
#include <cstring>
#include <set>

using namespace desk::ui;

namespace {

// The state of a user with `role` in a shared folder that is current and
// selected in the tree (0 none, 1 reader, 2 contributor, 3 moderator).
CommandState sharedFolderAs(int role) {
    CommandState s;
    s.loggedIn = true;
    s.folderCurrent = true;
    s.currentShared = true;
    s.currentReadable = role >= 1;
    s.mayChangeCurrent = role >= 2;
    s.moderatesCurrent = role == 3;
    s.mayChangeParent = true; // it sits in the user's own folder
    s.selectionCount = 1;
    s.firstSelectedIsCurrent = true;
    s.singleSelectedKind = kKindFolder;
    return s;
}

// The same user with one document of that folder selected in the list.
CommandState documentIn(int role) {
    CommandState s = sharedFolderAs(role);
    s.firstSelectedIsCurrent = false;
    s.singleSelectedKind = kKindDocument;
    return s;
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void idsAreUniqueAndEveryRowIsComplete() {
        std::set<int> ids;
        for (const CommandSpec& spec : commandTable()) {
            QVERIFY2(ids.insert(spec.id).second, qPrintable(QString::number(spec.id)));
            QVERIFY(spec.text && spec.prompt && spec.enabled);
        }
        for (int id : desktopToolbar())
            QVERIFY(id == 0 || findCommand(id));
        for (PopupId p : {kPopupTree, kPopupContents, kPopupOffer, kPopupActions})
            for (const PopupRow& row : popupMenu(p))
                QVERIFY(row.id == 0 || findCommand(row.id));
    }

    void nothingButTheFrameWorksWithoutADesktop() {
        const CommandState s; // not logged in
        for (const CommandSpec& spec : commandTable()) {
            const bool frameOrApp = spec.route == Route::Frame || spec.route == Route::Application;
            QVERIFY2(commandEnabled(spec.id, s) == (frameOrApp && spec.id != kCmdActionsBar),
                     qPrintable(QString::number(spec.id)));
        }
    }

    void rolesInASharedFolder_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("tree"); // the folder itself selected, else a document
        QTest::addColumn<bool>("reader");
        QTest::addColumn<bool>("contributor");
        QTest::addColumn<bool>("moderator");
        QTest::newRow("publish the folder") << int(kCmdPublish) << true << false << false << true;
        QTest::newRow("delete a document") << int(kCmdDelete) << false << false << true << true;
        QTest::newRow("cut a document") << int(kCmdCut) << false << false << true << true;
        QTest::newRow("copy a document") << int(kCmdCopy) << false << true << true << true;
        QTest::newRow("new personal folder in a shared one")
            << int(kCmdNewPersonalFolder) << true << false << false << false;
        QTest::newRow("new document") << int(kCmdNewDocument) << true << true << true << true;
        QTest::newRow("activate a document") << int(kCmdActivate) << false << true << true << true;
        QTest::newRow("activate a folder") << int(kCmdActivate) << true << false << false << false;
        QTest::newRow("properties of a document")
            << int(kCmdProperties) << false << true << true << true;
        QTest::newRow("delete the folder from my desktop")
            << int(kCmdDelete) << true << true << true << true;
    }
    void rolesInASharedFolder() {
        QFETCH(int, command);
        QFETCH(bool, tree);
        QFETCH(bool, reader);
        QFETCH(bool, contributor);
        QFETCH(bool, moderator);
        const bool expected[] = {reader, contributor, moderator};
        for (int role = 1; role <= 3; ++role) {
            const CommandState s = tree ? sharedFolderAs(role) : documentIn(role);
            QVERIFY2(commandEnabled(command, s) == expected[role - 1],
                     qPrintable(QStringLiteral("role %1").arg(role)));
        }
    }

    void personalFoldersTakeNewFoldersButOffersDoNot() {
        CommandState s = sharedFolderAs(3);
        s.currentShared = false;
        QVERIFY(commandEnabled(kCmdNewPersonalFolder, s));
        QVERIFY(commandEnabled(kCmdNewSharedFolder, s));
        s.inboxCurrent = true;
        QVERIFY(!commandEnabled(kCmdNewSharedFolder, s));
        QVERIFY(!commandEnabled(kCmdDelete, s));
    }

    void theRootAndTheInboxAreNeitherDeletedNorCopied() {
        CommandState s = sharedFolderAs(3);
        s.firstSelectedIsRoot = true;
        QVERIFY(!commandEnabled(kCmdDelete, s));
        QVERIFY(!commandEnabled(kCmdCopy, s));
        QVERIFY(!commandEnabled(kCmdProperties, s));
        s.firstSelectedIsRoot = false;
        s.firstSelectedIsInbox = true;
        QVERIFY(!commandEnabled(kCmdDelete, s));
        QVERIFY(!commandEnabled(kCmdProperties, s));
    }

    void aLockedFolderIsNotPublishedTwice() {
        CommandState s = sharedFolderAs(3);
        QVERIFY(commandEnabled(kCmdPublish, s));
        s.firstSelectedLocked = true;
        QVERIFY(!commandEnabled(kCmdPublish, s));
    }

    void sortingNeedsTheDetailsModeAndTheRootHasNoDescription() {
        CommandState s = sharedFolderAs(1);
        s.viewMode = kModeList;
        QVERIFY(!commandEnabled(kCmdSortName, s));
        s.viewMode = kModeDetails;
        QVERIFY(commandEnabled(kCmdSortType, s));
        QVERIFY(commandEnabled(kCmdDescription, s));
        s.currentIsRoot = true;
        QVERIFY(!commandEnabled(kCmdDescription, s));
        QVERIFY(findCommand(kCmdDetails)->checked(s));
        QVERIFY(!findCommand(kCmdList)->checked(s));
    }

    void pasteNeedsSomethingOnTheClipboard() {
        CommandState s = sharedFolderAs(2);
        QVERIFY(!commandEnabled(kCmdPaste, s));
        s.clipboardHasData = true;
        QVERIFY(commandEnabled(kCmdPaste, s));
    }

    void actionButtonsFollowTheirUseWithMask() {
        CommandState s = documentIn(1);
        QVERIFY(actionButtonEnabled(0, s));
        QVERIFY(actionButtonEnabled(kKindDocument | kKindWeb, s));
        QVERIFY(!actionButtonEnabled(kKindWeb, s));
        s.selectionCount = 2;
        QVERIFY(!actionButtonEnabled(kKindDocument, s));
        QVERIFY(actionButtonEnabled(0, s));
        s.loggedIn = false;
        QVERIFY(!actionButtonEnabled(0, s));
    }

    void windowTextsComeFromOneTableWithTheirFormats() {
        QCOMPARE(uiFormat(kStrFileOf, {QStringLiteral("2"), QStringLiteral("3")}),
                 QStringLiteral("File 2 of 3"));
        QCOMPARE(uiFormat(kStrComplete, {QStringLiteral("40")}), QStringLiteral("40% complete"));
        QCOMPARE(uiString(kStrTypeFolder), QStringLiteral("Folder"));
        QCOMPARE(uiString(kStrDesktopRoot), QStringLiteral("My Desktop"));
        QVERIFY(uiString(4999).isEmpty());
        QCOMPARE(errorText(36, false, QStringLiteral("Plans")),
                 QStringLiteral("Object does not exist.\nPlans"));
    }
};

DESK_TEST_MAIN(CommandsTest)
#include "commands_test.moc"
