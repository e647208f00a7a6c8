// UIFolderDscPage ("Folder Description"): the folder's name, brief
// description and rich-text notes, with the format bar over the notes. The
// notes are stored as RTF; notes as given (plain, or HTML of earlier builds)
// are handed back unchanged until they are edited.
#pragma once

#include <QTimer>
#include <QWidget>

class QColor;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

namespace desk::sheets {

class UIColorMenu;
class UIFormatButton;

class UIFolderDscPage : public QWidget {
    Q_OBJECT
  public:
    UIFolderDscPage(const QString& name, const QString& description, const QString& notes,
                    bool shared, bool editable, QWidget* parent = nullptr);

    QString name() const;
    QString description() const;
    QString notes() const; // RTF when edited, else as given
    bool nameChanged() const;
    bool descriptionChanged() const;
    bool notesChanged() const;
    QTextEdit* editor() const { return notes_; }
    // Points the format bar at the editor's selection.
    void syncFormatBar();

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A 22 x 22 button with image `image` of the format bar.
    QToolButton* formatButton(int id, const QString& tip, int image, bool checkable);
    UIFormatButton* toggleButton(int id, const QString& tip, int image); // Bold and the like
    template <class Button>
    Button* dressButton(Button* b, int id, const QString& tip, int image, bool checkable);
    void buildFormatBar(QWidget* bar);
    void applyFont(const QString& face);
    void chooseColor();
    void applyColor(const QColor& color); // invalid: the automatic colour

    QString name_, description_, notesText_;
    QLineEdit* nameEdit_;
    QLineEdit* descriptionEdit_;
    QTextEdit* notes_;
    QFontComboBox* fontBox_ = nullptr;
    QComboBox* sizeBox_ = nullptr;
    UIColorMenu* colorMenu_ = nullptr;
    QToolButton* cut_ = nullptr;
    QToolButton* copy_ = nullptr;
    QToolButton* paste_ = nullptr;
    UIFormatButton* bold_ = nullptr;
    UIFormatButton* italic_ = nullptr;
    UIFormatButton* underline_ = nullptr;
    QToolButton* align_[3] = {};
    QTimer sync_;
    bool notesEdited_ = false;
};

// The face used for a chosen font name: a name longer than 32 characters
// with "(" is cut before the character preceding the "("; at most 31
// characters.
QString usableFace(const QString& face);

} // namespace desk::sheets
