// The rows of the contents list and the order they are shown in. A row is
// a plain copy of what the list shows of a node, so that sorting and the
// model never call into the node while painting.
#pragma once

#include <QString>
#include <vector>

class USRNode;

namespace desk::ui {

struct ContentsRow {
    USRNode* node = nullptr; // owned by the document's registries
    QString name;
    QString type; // the type name of its kind
    QString description;
    int kind = 0;  // NodeKind
    int image = 1; // slot in the contents images
};

// The list's sort key: a column (0 name, 1 type, 2 description) and a
// direction. A fresh list sorts by type, descending.
struct SortKey {
    int column = 1;
    bool descending = true;

    // Choosing the sort column again flips the direction; another column
    // keeps it.
    void choose(int newColumn);
};

// < 0 when `a` goes before `b`: folders before other kinds; names when
// sorting by name or for two of one kind; else descriptions (column 2) or
// type names (column 1); all without regard to case. Descending turns every
// answer round, so folders come last.
int compareRows(const ContentsRow& a, const ContentsRow& b, const SortKey& key);

// Sorts rows with compareRows (stable: equal rows keep their listing order).
void sortRows(std::vector<ContentsRow>& rows, const SortKey& key);

} // namespace desk::ui
