// Cut, copy, paste, drag and drop of desktop nodes. The text form of nodes
// is their full directory names (unique keys) joined by ", "; a single web
// item is its address. Documents whose files this workstation reaches also
// travel as text/uri-list, so file managers take them; files from file
// managers (text/uri-list of local files) become document items.
//
// Pasting the desktop's own cut text links the same objects into the
// target folder when both are personal or both shared; any other paste of
// names makes copies. A cut removes the references at once; objects a cut
// left without any reference are deleted before the next cut or copy.
#pragma once

#include <QString>
#include <Qt>
#include <memory>
#include <vector>

class QMimeData;
class QWidget;
class UIDesktop;
class USRFolderNode;
class USRNode;

namespace desk::ui {

class UIClipboard {
  public:
    UIClipboard(UIDesktop& doc, QWidget* window);

    // The text form of `nodes` (the desktop root is left out).
    QString textOf(const std::vector<USRNode*>& nodes) const;
    // The data of a copy or a drag of `nodes`.
    QMimeData* mimeOf(const std::vector<USRNode*>& nodes) const;

    void copy();
    void cut();
    // Pastes into the current folder.
    void paste();
    // Something a paste can use: text, files, or the desktop's own cut.
    bool hasData() const;

    // A drop on `target` with the effect that was offered.
    void drop(const QMimeData* data, Qt::DropAction effect, USRFolderNode* target);
    // Starts a drag of the selection out of `source`.
    void startDrag(USRFolderNode* source, QWidget* from);

  private:
    void remember(bool cut);
    void purgeCut();
    void pasteData(const QMimeData* data, USRFolderNode* target, bool move);
    void pasteFiles(const QStringList& files, USRFolderNode* target);
    void pasteText(const QString& text, USRFolderNode* target, bool move);
    bool copyInto(USRNode& node, USRFolderNode& target, long& error);
    void pasteAddress(const QString& address, USRFolderNode& target);
    // Creates the record of a new node, registers it and links it into
    // `target`; undoes what was done when a step fails.
    bool addNew(std::unique_ptr<USRNode> node, USRFolderNode& target, long& error);

    UIDesktop& doc_;
    QWidget* window_;
    QString text_;                    // the text last put on the clipboard
    bool cutPending_ = false;         // text_ came from a cut not yet pasted
    USRFolderNode* source_ = nullptr; // the folder the text came from
};

} // namespace desk::ui
