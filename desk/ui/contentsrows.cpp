#include "contentsrows.h"

#include "commandids.h"

#include <algorithm>

namespace desk::ui {

void SortKey::choose(int newColumn) {
    if (newColumn == column)
        descending = !descending;
    else
        column = newColumn;
}

int compareRows(const ContentsRow& a, const ContentsRow& b, const SortKey& key) {
    const bool aFolder = a.kind == kKindFolder, bFolder = b.kind == kKindFolder;
    int result;
    if (aFolder != bFolder)
        result = aFolder ? -1 : 1;
    else if (key.column == 0 || a.kind == b.kind)
        result = a.name.compare(b.name, Qt::CaseInsensitive);
    else if (key.column == 2)
        result = a.description.compare(b.description, Qt::CaseInsensitive);
    else
        result = a.type.compare(b.type, Qt::CaseInsensitive);
    return key.descending ? -result : result;
}

void sortRows(std::vector<ContentsRow>& rows, const SortKey& key) {
    std::stable_sort(rows.begin(), rows.end(), [&key](const ContentsRow& a, const ContentsRow& b) {
        return compareRows(a, b, key) < 0;
    });
}

} // namespace desk::ui
