// The icon chooser of the action windows: the program's own icon (index
// -1), then the built-in action icon set, each shown as it will stand on
// the actions toolbar.
#pragma once

#include <QComboBox>

namespace desk::sheets {

class UIActionIconChooser : public QComboBox {
    Q_OBJECT
  public:
    explicit UIActionIconChooser(QWidget* parent = nullptr);

    // -1 for the program's own icon, else an index into the built-in set;
    // values outside are taken as the nearest end.
    void setIconIndex(int index);
    int iconIndex() const;
    // The program whose own icon entry -1 shows.
    void setExecutable(const QString& executable);

  signals:
    void iconIndexChanged(int index);
};

} // namespace desk::sheets
