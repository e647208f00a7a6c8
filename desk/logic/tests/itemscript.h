// A prompter that follows a script: yes/no answers in order, dialogs
// answered by a handler, every message kept.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/prompter.h"

class ItemScript : public USRPrompter {
  public:
    bool askYesNo(const std::string& text, USRIcon) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void showMessage(const std::string& text, USRIcon) override { messages.push_back(text); }
    USRReply runDialog(USRDialog dialog, QVariantMap& values) override {
        dialogs.push_back(dialog);
        if (dialogHandlers.empty()) return USR_REPLY_CANCEL;
        auto handler = dialogHandlers.front();
        dialogHandlers.pop_front();
        return handler(values);
    }

    std::deque<bool> answers;
    std::deque<std::function<USRReply(QVariantMap&)>> dialogHandlers;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<USRDialog> dialogs;
};
