// The contents list's pictures, by slot: 0 a web item and 1 any other item
// (both with the link mark), 2 a personal folder, 3 a shared folder, and
// from 4 on one slot per document type, added when first needed. A
// document's type is its file name's extension (after the first "."),
// without regard to case; programs ("exe") keep one slot per file name, as
// each has its own picture.
#pragma once

#include <QHash>
#include <QIcon>
#include <vector>

namespace desk::ui {

class ContentsImages {
  public:
    enum Slot : int { kWeb = 0, kItem = 1, kPersonalFolder = 2, kSharedFolder = 3 };

    ContentsImages();

    // The slot of a document's file name (added on first use).
    int documentSlot(const QString& fileName);
    const QIcon& icon(int slot) const;
    int count() const { return int(icons_.size()); }

    // The cache key of a file name (lower-cased extension, or the whole name
    // for a program); empty for a name without an extension.
    static QString keyOf(const QString& fileName);

  private:
    std::vector<QIcon> icons_;
    QHash<QString, int> slots_;
};

// An icon with the link mark drawn in its lower left corner.
QIcon withLinkMark(const QIcon& icon);

} // namespace desk::ui
