// What the windows show of a node: its kind, the name a window shows, its
// type name, its document file, and the contents list row made of these.
#pragma once

#include "contentsrows.h"

#include <QString>

class USRNode;
class USRFolderNode;

namespace desk::ui {

class ContentsImages;

int kindOf(const USRNode* node);
USRFolderNode* asFolder(USRNode* node);
// The node's name; "My Desktop" for the user's desktop root.
QString displayName(const USRNode* node);
QString typeName(int kind);
// A document's file (the stored path); empty for other kinds.
QString documentFile(const USRNode* node);
// A web item's address; empty for other kinds.
QString webAddress(const USRNode* node);

// The contents row of a node, its picture taken from (and added to) `images`.
ContentsRow rowOf(USRNode* node, ContentsImages& images);

} // namespace desk::ui
