// USRNotifier: the one way the document tells its views what changed: a
// hint code and the node it concerns (or none). Views connect to hint();
// it is emitted on the main thread only (workers hand their results over
// through queued calls first).
#pragma once

#include <QObject>

class USRNode;

// The hint codes and what the node is.
enum USRHint : int {
    USR_HINT_CURRENT_FOLDER = 1,     // the current folder; the contents view reloads
    USR_HINT_REBUILD_TREE = 2,       // the root folder; rebuild the folder tree
    USR_HINT_FOLDER_ADDED = 3,       // a new folder below the current one (or subscribed)
    USR_HINT_SUBSCRIBED_AT_ROOT = 4, // a folder subscribed directly below the root
    USR_HINT_INBOX_DONE = 5,         // none: the inbox update finished
    USR_HINT_NODES_ADDED = 6,        // none or a node: added to the current folder
    USR_HINT_DELETION_DONE = 7,      // node or none: a deletion pass finished
    USR_HINT_NODE_REMOVED = 8,       // the node removed from its folder
    USR_HINT_INTERVAL_CHANGED = 9,   // none: the update interval changed
    USR_HINT_NEW_FOLDERS = 10,       // none: the new-folders list changed
    USR_HINT_OFFER_LEFT = 11,        // the folder that left the new-folders list
    USR_HINT_CONTENTS_REQUEST = 12,  // none: on the contents view's request
    USR_HINT_PROPERTIES_SAVED = 13,  // the node whose properties were saved
    USR_HINT_FOLDER_REREAD = 14,     // the folder whose contents were re-read
    USR_HINT_REFRESHED = 15,         // none: a requested refresh finished
};

class USRNotifier : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    void send(int code, USRNode* node = nullptr) { emit hint(code, node); }

  signals:
    void hint(int code, USRNode* node);
};
