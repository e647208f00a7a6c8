// The user's new-folders list: shared folders offered to the user, mirrored
// by the context's new-folders registry. Refresh runs on the inbox worker;
// decline and subscribe on the main thread once the worker has finished.
#pragma once

#include <memory>

class USRContext;
class USRNode;

// Reads the login user's list: registered folders it still lists lose their
// stale mark, folders it no longer lists are marked stale, new entries get
// a node (not read) in the registry.
bool USRRefreshNewFolders(USRContext& context, long& error);
// Takes `folder` off the list and deletes its node.
bool USRDeclineNewFolder(USRContext& context, USRNode& folder, long& error);
// Takes `folder` off the list and hands its node to the caller.
bool USRTakeNewFolder(USRContext& context, USRNode& folder, std::unique_ptr<USRNode>& out,
                      long& error);
