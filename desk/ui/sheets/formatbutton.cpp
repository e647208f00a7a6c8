#include "formatbutton.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace desk::sheets {

UIFormatButton::UIFormatButton(QWidget* parent) : QToolButton(parent) {
    setCheckable(true);
}

void UIFormatButton::setState(Qt::CheckState state) {
    const bool mixed = state == Qt::PartiallyChecked;
    setChecked(state == Qt::Checked);
    if (mixed == mixed_) return;
    mixed_ = mixed;
    setAccessibleDescription(mixed ? QStringLiteral("mixed") : QString());
    update();
}

Qt::CheckState UIFormatButton::state() const {
    if (mixed_) return Qt::PartiallyChecked;
    return isChecked() ? Qt::Checked : Qt::Unchecked;
}

void UIFormatButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    if (!mixed_) return;
    // A half-tone over the face: the way a mixed check box reads.
    QPainter p(this);
    QColor shade = palette().color(QPalette::Dark);
    shade.setAlpha(140);
    p.fillRect(rect().adjusted(2, 2, -2, -2), QBrush(shade, Qt::Dense5Pattern));
}

Qt::CheckState selectionState(const QTextCursor& cursor,
                              const std::function<bool(const QTextCharFormat&)>& has) {
    if (!cursor.hasSelection()) return has(cursor.charFormat()) ? Qt::Checked : Qt::Unchecked;
    const int from = cursor.selectionStart(), to = cursor.selectionEnd();
    bool seen = false, some = false, all = true;
    const QTextDocument* doc = cursor.document();
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() < to; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (frag.position() + frag.length() <= from || frag.position() >= to) continue;
            seen = true;
            if (has(frag.charFormat()))
                some = true;
            else
                all = false;
            if (some && !all) return Qt::PartiallyChecked;
        }
    if (!seen) return has(cursor.charFormat()) ? Qt::Checked : Qt::Unchecked;
    return all ? Qt::Checked : Qt::Unchecked;
}

} // namespace desk::sheets
