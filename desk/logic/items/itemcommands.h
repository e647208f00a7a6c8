// The document's commands on items: a new document item (also for a file
// dropped on the contents view), a new web item, and the properties of a
// document, which in a shared folder first offers to copy a local file to a
// shared area. The windows are asked through the context's prompter; the
// views hear the results through `notifier` (may be null).
#pragma once

#include <optional>
#include <string>

class USRContext;
class USRDocNode;
class USRFolderNode;
class USRNotifier;
class USRWebNode;

// Makes a document item in `current`, for `dropped` when a file name was
// dropped (a directory or a missing file is refused with string 3631).
// The new node, registered and in the folder, or null (cancelled or failed;
// the failure was shown).
USRDocNode* USRNewDocumentItem(USRContext& context, USRFolderNode& current,
                               const std::optional<std::string>& dropped, USRNotifier* notifier);
USRWebNode* USRNewWebItem(USRContext& context, USRFolderNode& current, USRNotifier* notifier);

// Edits a document's properties and writes them (hint 13 on success).
bool USREditDocumentProperties(USRContext& context, USRDocNode& doc, USRNotifier* notifier);

// Offers to copy the local file `path` to a shared area: asks, proposes the
// preferences' share directory, copies with the copy progress dialog. On
// success `path` is the copy's (network form).
bool USROfferSharedCopy(USRContext& context, std::string& path);
