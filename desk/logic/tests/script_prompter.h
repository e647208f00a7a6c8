// A prompter that answers from a script and records what it was shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/prompter.h"
#include "document/usrfolderdeletion.h"

class ScriptPrompter : public USRPrompter {
  public:
    // One scripted dialog: it may change the values, and gives the answer.
    using Step = std::function<USRReply(USRDialog, QVariantMap&)>;

    std::deque<Step> dialogs; // taken in order; none left: Cancel
    std::deque<bool> answers; // Yes/No questions; none left: No
    std::vector<std::string> messages, questions;
    std::vector<USRDialog> shown;
    int beeps = 0;
    // Folder deletions cancel after this many steps (-1: run to the end).
    int deletionSteps = -1;

    bool askYesNo(const std::string& text, USRIcon) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void showMessage(const std::string& text, USRIcon) override { messages.push_back(text); }
    USRReply runDialog(USRDialog dialog, QVariantMap& values) override {
        shown.push_back(dialog);
        if (dialogs.empty()) return USR_REPLY_CANCEL;
        Step step = dialogs.front();
        dialogs.pop_front();
        return step(dialog, values);
    }
    void beep() override { ++beeps; }
    USRReply runFolderDeletion(USRFolderDeletion& d) override {
        if (deletionSteps < 0) return d.runToEnd();
        long e = 0;
        if (!d.build(e) || !d.decide()) return USR_REPLY_CANCEL;
        for (int i = 0; i < deletionSteps && d.remaining() > 0; ++i)
            if (!d.step(e)) return USR_REPLY_CANCEL;
        if (d.remaining() == 0) return USR_REPLY_OK;
        d.cancel();
        return USR_REPLY_CANCEL;
    }

    // A step that sets `key` to `value` and answers `reply`.
    static Step set(const QString& key, const QVariant& value, USRReply reply = USR_REPLY_OK) {
        return [=](USRDialog, QVariantMap& v) {
            v[key] = value;
            return reply;
        };
    }
    static Step answer(USRReply reply) {
        return [=](USRDialog, QVariantMap&) { return reply; };
    }
};
