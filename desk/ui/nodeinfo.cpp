#include "nodeinfo.h"

#include "commandids.h"
#include "contentsimages.h"
#include "uistrings.h"

#include "folders/usrfoldernode.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"
#include "nodes/usrnode.h"

namespace desk::ui {
namespace {

struct KindText {
    int kind;
    long string;
};

constexpr KindText kTypeNames[] = {
    {kKindFolder, kStrTypeFolder}, {kKindDocument, kStrTypeDocument}, {kKindPeople, kStrTypePeople},
    {kKindWeb, kStrTypeWeb},       {kKindGeneric, kStrTypeGeneric},
};

} // namespace

int kindOf(const USRNode* node) {
    if (!node) return 0;
    if (node->isDefaultFolder()) return kKindFolder;
    return int(node->objectType());
}

USRFolderNode* asFolder(USRNode* node) {
    return dynamic_cast<USRFolderNode*>(node);
}

QString displayName(const USRNode* node) {
    if (!node) return {};
    if (node->isDefaultFolder()) return uiString(kStrDesktopRoot);
    return QString::fromStdString(node->name());
}

QString typeName(int kind) {
    for (const KindText& k : kTypeNames)
        if (k.kind == kind) return uiString(k.string);
    return uiString(kStrTypeGeneric);
}

QString documentFile(const USRNode* node) {
    const auto* doc = dynamic_cast<const USRDocNode*>(node);
    return doc ? QString::fromStdString(doc->filePath()) : QString();
}

QString webAddress(const USRNode* node) {
    const auto* web = dynamic_cast<const USRWebNode*>(node);
    return web ? QString::fromStdString(web->url()) : QString();
}

ContentsRow rowOf(USRNode* node, ContentsImages& images) {
    ContentsRow r;
    r.node = node;
    r.kind = kindOf(node);
    r.name = displayName(node);
    r.type = typeName(r.kind);
    r.description = QString::fromStdString(node->data().description);
    switch (r.kind) {
    case kKindFolder:
        r.image =
            node->isShared() ? ContentsImages::kSharedFolder : ContentsImages::kPersonalFolder;
        break;
    case kKindWeb:
        r.image = ContentsImages::kWeb;
        break;
    case kKindDocument: {
        // Stored paths keep the network form: the name is after the last
        // separator of either kind.
        QString file = documentFile(node);
        file = file.mid(
            std::max(file.lastIndexOf(QLatin1Char('\\')), file.lastIndexOf(QLatin1Char('/'))) + 1);
        r.image = images.documentSlot(file);
        break;
    }
    default:
        r.image = ContentsImages::kItem;
    }
    return r;
}

} // namespace desk::ui
