// The dialogs that the logic asks a USRPrompter to run, and the keys of the
// values each exchanges (in: filled by the logic; out: written by the
// dialog). Texts are QString, flags bool, numbers int.
#pragma once

enum class USRDialog {
    // The business card sheet. in: "texts" (QStringList of 13 card texts, the
    // eighth holding two lines split by "\n"), "logo" (QByteArray), "owner",
    // "firstRun" (bool). out: "texts", "logo". OK with an empty first text
    // is answered by the logic with string 134 and the sheet again.
    BusinessCard,
    // The same card shown read-only. in: as BusinessCard.
    BusinessCardView,
    // The folder property sheet. in: "creating" (bool), "shared" (bool),
    // "name", "description", "notes", "rights" (QVariantList of QVariantMap
    // {"name", "role" 0..3, "kind" 1/3/5, "mark" bool}), "editable" (bool),
    // for an existing folder "subscribers" (QStringList) and "moderator"
    // (bool: the user moderates it). out: the same keys, and when creating a shared folder
    // "publish":
    // 0 no, 1 all members, 2 selected members.
    FolderSheet,
    // The delete confirmation. in: "name", "type" (object type), "several"
    // (bool: more than one node is deleted, Yes to All offered). Answers
    // Yes, YesToAll, No or Cancel.
    DeleteConfirm,
    // A moderated shared folder being deleted. in: "name", "moderator"
    // (bool). out: "allSubscribers" (bool: delete for every member rather
    // than only from this folder), "allSubfolders" (bool: moderated shared
    // subfolders go the same way without asking).
    FolderDelete,
    // The preferences dialog. in/out: "interval" (minutes), "shareDir".
    Preferences,
    // The document item dialog. in/out: "name", "description", "path",
    // "text2", "editable" (bool), "mustBeShared" (bool).
    DocumentItem,
    // The web item dialog. in/out: "name", "description", "url", "editable".
    WebItem,
    // The "Select Action" dialog. in: "actions" (QStringList, the standard
    // entry first). out: "index".
    SelectAction,
    // A save-file dialog. in: "title", "path". out: "path".
    SaveFile,
    // The copy progress dialog. in: "source", "destination", "overwrite".
    // out: "result" (0 or the copy's error code).
    CopyProgress,
    // The about box.
    About,
};
