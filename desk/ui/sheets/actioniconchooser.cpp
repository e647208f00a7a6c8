#include "actioniconchooser.h"

#include <algorithm>

#include "actionicons.h"

namespace desk::sheets {

using desk::ui::actionIconCount;
using desk::ui::kProgramIconIndex;

UIActionIconChooser::UIActionIconChooser(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("icon"));
    setAccessibleName(QStringLiteral("Icon"));
    setIconSize(QSize(32, 32));
    addItem(desk::ui::programIcon(QString()), QStringLiteral("Program's own icon"),
            kProgramIconIndex);
    for (int i = 0; i < actionIconCount(); ++i)
        addItem(desk::ui::builtInActionIcon(i), QStringLiteral("Icon %1").arg(i + 1), i);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this] { emit iconIndexChanged(iconIndex()); });
}

void UIActionIconChooser::setIconIndex(int index) {
    // Row 0 is index -1; row i + 1 is built-in icon i.
    setCurrentIndex(std::clamp(index, kProgramIconIndex, actionIconCount() - 1) + 1);
}

int UIActionIconChooser::iconIndex() const {
    return currentData().isValid() ? currentData().toInt() : kProgramIconIndex;
}

void UIActionIconChooser::setExecutable(const QString& executable) {
    setItemIcon(0, desk::ui::programIcon(executable));
}

} // namespace desk::sheets
