#pragma once

// UserPrompts answered from a script, recording every question asked.

#include "workspace/UserPrompts.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace abm::test {

class ScriptedPrompts : public UserPrompts {
public:
    struct Message {
        std::string text;
        MessageKind type;
        std::vector<MessageButton> buttons;
    };

    std::deque<MessageAnswer> answers;  // empty: cancel
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<SaveAnswer> saveQuestionAnswers;  // empty: cancel
    std::vector<std::string> saveQuestions;
    // Runs while a message box is open, before it is answered.
    std::function<void()> whileAsking;
    std::vector<Message> messages;
    std::vector<FileDialogRequest> openRequests, saveRequests;

    MessageAnswer showMessage(const std::string& text, MessageKind type,
                              const std::vector<MessageButton>& buttons) override
    {
        messages.push_back({text, type, buttons});
        if (whileAsking)
            whileAsking();
        if (answers.empty())
            return MessageAnswer::cancel;
        const MessageAnswer r = answers.front();
        answers.pop_front();
        return r;
    }
    std::vector<std::string> askOpenFiles(const FileDialogRequest& request) override
    {
        openRequests.push_back(request);
        if (openAnswers.empty())
            return {};
        auto r = openAnswers.front();
        openAnswers.pop_front();
        return r;
    }
    SaveAnswer askToSave(const std::string& question) override
    {
        saveQuestions.push_back(question);
        if (saveQuestionAnswers.empty())
            return SaveAnswer::cancel;
        const SaveAnswer r = saveQuestionAnswers.front();
        saveQuestionAnswers.pop_front();
        return r;
    }
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override
    {
        saveRequests.push_back(request);
        if (saveAnswers.empty())
            return std::nullopt;
        auto r = saveAnswers.front();
        saveAnswers.pop_front();
        return r;
    }
};

}  // namespace abm::test
