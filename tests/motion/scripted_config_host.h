#pragma once

#include "motion/config_client.h"

#include <deque>
#include <optional>
#include <vector>

namespace kestrova::motion {

// Answers the configuration client's dialogs from a script: the credentials typed
// at each prompt (Cancel once they run out), and records the messages shown.
class ScriptedConfigHost : public ConfigHost {
public:
    void ShowMessage(int id) override { messages.push_back(id); }
    std::optional<Credentials> AskCredentials() override {
        ++prompts;
        if (logins.empty())
            return std::nullopt;
        auto login = logins.front();
        logins.pop_front();
        return login;
    }
    std::vector<int> messages;
    std::deque<Credentials> logins;
    int prompts = 0;
};

} // namespace kestrova::motion
