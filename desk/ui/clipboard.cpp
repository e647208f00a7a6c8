#include "clipboard.h"

#include "art.h"
#include "commandids.h"
#include "dragdrop.h"
#include "errortext.h"
#include "nodeinfo.h"
#include "uistrings.h"

#include "core/context.h"
#include "core/notifier.h"
#include "document/uidesktop.h"
#include "files/usrfile.h"
#include "folders/usrfoldernode.h"
#include "items/itemcommands.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <namedir/directory.h>
#include <namedir/errors.h>

namespace desk::ui {
namespace {

const QString kSeparator = QStringLiteral(", ");
constexpr int kMaxFileName = 260; // longer dropped names are not taken
constexpr int kNameChars = 50;    // a pasted address names its web item, cut to this

// Text that reads as a web address.
bool isWebAddress(const QString& text) {
    const QString t = text.trimmed();
    if (t.contains(kSeparator) || t.contains(QLatin1Char('\n'))) return false;
    if (t.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) return true;
    const QUrl url(t, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("ftp"));
}

// The local files of a drop or paste from another program; empty when the
// data holds anything else.
QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (!data->hasUrls() || data->hasFormat(QLatin1String(kDesktopNodesMime))) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        const QString path = url.toLocalFile();
        if (path.toUtf8().size() < kMaxFileName) files << path;
    }
    return files;
}

} // namespace

UIClipboard::UIClipboard(UIDesktop& doc, QWidget* window) : doc_(doc), window_(window) {}

QString UIClipboard::textOf(const std::vector<USRNode*>& nodes) const {
    if (nodes.size() == 1 && !webAddress(nodes.front()).isEmpty()) return webAddress(nodes.front());
    QStringList names;
    for (USRNode* node : nodes) {
        if (!node || node == doc_.rootFolder()) continue;
        std::string key;
        long e = 0;
        if (!node->uniqueKey(key, e)) {
            showError(window_, e, displayName(node));
            continue;
        }
        names << QString::fromStdString(key);
    }
    return names.join(kSeparator);
}

QMimeData* UIClipboard::mimeOf(const std::vector<USRNode*>& nodes) const {
    auto* data = new QMimeData;
    const QString text = textOf(nodes);
    data->setText(text);
    data->setData(QLatin1String(kDesktopNodesMime), text.toUtf8());
    QList<QUrl> urls;
    for (USRNode* node : nodes) {
        auto* doc = dynamic_cast<USRDocNode*>(node);
        const std::string stored = doc ? doc->filePath() : std::string();
        if (stored.empty()) continue;
        std::string local = USRFile::localPath(stored);
        if (local.empty() && QFileInfo::exists(QString::fromStdString(stored))) local = stored;
        if (!local.empty()) urls << QUrl::fromLocalFile(QString::fromStdString(local));
    }
    if (!urls.isEmpty()) data->setUrls(urls);
    return data;
}

void UIClipboard::purgeCut() {
    if (!cutPending_ || text_.isEmpty()) return;
    USRContext& ctx = doc_.context();
    long e = 0;
    for (const QString& name : text_.split(kSeparator, Qt::SkipEmptyParts)) {
        USRNode* node = nullptr;
        if (!ctx.folders().lookup(name.toStdString(), node, e) || node->parentCount() > 0) continue;
        if (!USRFolderNode::deletePermanently(ctx, *node, e))
            showError(window_, e, displayName(node));
    }
    if (!USRNode::purgeStale(ctx, e)) showError(window_, e);
    cutPending_ = false;
    text_.clear();
}

void UIClipboard::remember(bool cut) {
    purgeCut();
    const std::vector<USRNode*>& nodes = doc_.selection();
    QMimeData* data = mimeOf(nodes);
    text_ = data->text();
    source_ = doc_.currentFolder();
    // A folder selected in the tree is held by the folder above it.
    if (!nodes.empty() && nodes.front() == doc_.currentFolder()) source_ = doc_.parentOfCurrent();
    QApplication::clipboard()->setMimeData(data);
    cutPending_ = cut;
}

void UIClipboard::copy() {
    remember(false);
}

void UIClipboard::cut() {
    remember(true);
    doc_.deleteSelection(true);
}

bool UIClipboard::hasData() const {
    if (cutPending_) return true;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && (data->hasText() || data->hasUrls());
}

void UIClipboard::paste() {
    USRFolderNode* target = doc_.currentFolder();
    if (!target) return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data) return showMessage(window_, uiString(kStrClipboardData));
    pasteData(data, target, false);
}

void UIClipboard::drop(const QMimeData* data, Qt::DropAction effect, USRFolderNode* target) {
    DesktopDrag& drag = desktopDrag();
    if (!target) return;
    if (target != doc_.currentFolder() && !target->mayChange()) {
        showMessage(
            window_,
            QStringLiteral("You may not add to the folder \"%1\".").arg(displayName(target)));
        return;
    }
    USRFolderNode* source = drag.active ? drag.source : nullptr;
    drag = {};
    if (source) source_ = source;
    pasteData(data, target, effect == Qt::MoveAction);
}

void UIClipboard::pasteData(const QMimeData* data, USRFolderNode* target, bool move) {
    const QStringList files = localFiles(data);
    if (!files.isEmpty()) return pasteFiles(files, target);
    if (data->hasText()) return pasteText(data->text(), target, move);
}

void UIClipboard::pasteFiles(const QStringList& files, USRFolderNode* target) {
    for (const QString& file : files)
        USRNewDocumentItem(doc_.context(), *target, file.toStdString(), &doc_.notifier());
}

bool UIClipboard::addNew(std::unique_ptr<USRNode> node, USRFolderNode& target, long& error) {
    USRContext& ctx = doc_.context();
    if (!USRCreateRecord(*node, error)) return false;
    USRNode* raw = node.get();
    long ignored = 0;
    if (!ctx.folders().add(node, error)) {
        ctx.dir().destroyNode(raw->address(), ignored);
        return false;
    }
    if (!target.addNode(*raw, error)) {
        ctx.dir().destroyNode(raw->address(), ignored);
        ctx.folders().removeAndDelete(raw, ignored);
        return false;
    }
    return true;
}

bool UIClipboard::copyInto(USRNode& node, USRFolderNode& target, long& error) {
    USRContext& ctx = doc_.context();
    std::unique_ptr<DIRCommonInfo> record = node.makeRecord();
    record->address.reset();
    record->parents.clear();
    record->base.shared = target.isShared() ? 1 : 0;
    std::unique_ptr<USRNode> copy = ctx.factory().make(ctx, node.objectType());
    copy->takeWhole(*record);
    return addNew(std::move(copy), target, error);
}

void UIClipboard::pasteAddress(const QString& address, USRFolderNode& target) {
    // The web item dialog opens with the address filled in.
    auto web = std::make_unique<USRWebNode>(doc_.context());
    web->setUrl(address.trimmed().toStdString());
    web->setName(address.trimmed().left(kNameChars).toStdString());
    web->data().shared = target.isShared();
    if (!web->edit(true, true)) return;
    long e = 0;
    if (!addNew(std::move(web), target, e)) showError(window_, e, address);
}

void UIClipboard::pasteText(const QString& text, USRFolderNode* target, bool move) {
    USRContext& ctx = doc_.context();
    if (isWebAddress(text)) {
        pasteAddress(text, *target);
        doc_.notifier().send(USR_HINT_NODES_ADDED);
        return;
    }
    const bool ownCut = cutPending_ && text == text_;
    for (const QString& name : text.split(kSeparator, Qt::SkipEmptyParts)) {
        long e = 0;
        USRNode* node = USRNode::findOrCreate(ctx, name.trimmed().toStdString(), e);
        if (!node) {
            showError(window_, e, name);
            continue;
        }
        const bool sameKind = node->isShared() == target->isShared();
        // Folders are always linked: a folder's copy would be a second,
        // diverging folder that its members never see.
        const bool link = (ownCut || move || asFolder(node)) && sameKind;
        const bool ok = link ? target->addNode(*node, e) : copyInto(*node, *target, e);
        if (!ok) {
            showError(window_, e, displayName(node));
            continue;
        }
        if (move && source_ && source_ != target && !source_->removeNode(*node, e))
            showError(window_, e, displayName(node));
    }
    doc_.notifier().send(USR_HINT_NODES_ADDED);
    if (target != doc_.currentFolder()) doc_.notifier().send(USR_HINT_FOLDER_REREAD, target);
    if (source_ && move) doc_.notifier().send(USR_HINT_FOLDER_REREAD, source_);
    if (ownCut) {
        cutPending_ = false;
        text_.clear();
        source_ = nullptr;
    }
}

void UIClipboard::startDrag(USRFolderNode* source, QWidget* from) {
    const std::vector<USRNode*> nodes = doc_.selection();
    if (nodes.empty()) return;
    auto* drag = new QDrag(from);
    drag->setMimeData(mimeOf(nodes));
    const int kind = nodes.size() == 1 ? kindOf(nodes.front()) : 0;
    const Art art = kind == kKindFolder ? Art::PersonalFolder
                    : kind == kKindWeb  ? Art::Web
                    : kind != 0         ? Art::Document
                                        : Art::Copy;
    drag->setPixmap(ownIcon(art).pixmap(32, 32));
    desktopDrag() = {true, source};
    const Qt::DropAction done =
        drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
    if (done == Qt::IgnoreAction) desktopDrag() = {};
}

} // namespace desk::ui
