#pragma once

// IUserPrompts answered from a script, recording every question asked.

#include "workspace/UserPrompts.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace abm::test {

class ScriptedPrompts : public IUserPrompts {
public:
    struct Message {
        std::string text;
        TMsgDlgType type;
        std::vector<TMsgDlgBtn> buttons;
    };

    std::deque<TModalResult> answers;               // empty: mrCancel
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<Message> messages;
    std::vector<TFileDialogRequest> openRequests, saveRequests;

    TModalResult showMessage(const std::string& text, TMsgDlgType type, const std::vector<TMsgDlgBtn>& buttons) override
    {
        messages.push_back({text, type, buttons});
        if (answers.empty())
            return TModalResult::mrCancel;
        const TModalResult r = answers.front();
        answers.pop_front();
        return r;
    }
    std::vector<std::string> askOpenFiles(const TFileDialogRequest& request) override
    {
        openRequests.push_back(request);
        if (openAnswers.empty())
            return {};
        auto r = openAnswers.front();
        openAnswers.pop_front();
        return r;
    }
    std::optional<std::string> askSaveFile(const TFileDialogRequest& request) override
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
