// USRPrompter: every question, message and dialog that the logic needs from
// a person. The windows implement it with message boxes and dialogs; tests
// implement it with a script. The logic never touches a widget.
//
// Dialogs exchange their values through a QVariantMap: the caller fills the
// keys its dialog shows (core/dialogs.h lists them per dialog), the dialog
// writes back what the person chose. Called on the main thread only.
#pragma once

#include <string>

#include <QVariantMap>

#include "core/dialogs.h"

class USRFolderDeletion;

enum class USRIcon { Exclamation, Question, Information, Stop };

// Answers of questions and dialogs (the values of the platform's message
// box answers, so that windows can pass theirs through).
enum USRReply : int {
    USR_REPLY_OK = 1,
    USR_REPLY_CANCEL = 2,
    USR_REPLY_YES = 6,
    USR_REPLY_NO = 7,
    USR_REPLY_YES_TO_ALL = 100, // the delete confirmation's fourth answer
};

class USRPrompter {
  public:
    virtual ~USRPrompter();

    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text, USRIcon icon = USRIcon::Question) = 0;
    // A message with an OK button.
    virtual void showMessage(const std::string& text, USRIcon icon = USRIcon::Exclamation) = 0;
    // Runs dialog `dialog` with `values` in and out; the person's answer.
    virtual USRReply runDialog(USRDialog dialog, QVariantMap& values) = 0;
    // A short sound for "nothing to do".
    virtual void beep() {}
    // Runs the deletion of a folder tree (its list, decisions and steps),
    // with its progress; OK when it ran to the end. Without a window it
    // runs at once (document/usrfolderdeletion.cpp).
    virtual USRReply runFolderDeletion(USRFolderDeletion& deletion);

    // The error text of `code` (core/strings.h) with the exclamation icon.
    void showError(long code, const std::string& context = {});
};

// The prompter used when no window is there to ask: questions are answered
// No, dialogs Cancel, messages go to the store's log.
class USRSilentPrompter : public USRPrompter {
  public:
    bool askYesNo(const std::string& text, USRIcon icon) override;
    void showMessage(const std::string& text, USRIcon icon) override;
    USRReply runDialog(USRDialog dialog, QVariantMap& values) override;
};
