// The module operations' questions put through an asker: the window's
// question box on the GUI thread, while the operation waits on the device
// thread. Messages go to their own sink, which the window shows when the
// operation is done.
#pragma once

#include "configuration/Question.h"
#include "modules/ModuleQuestions.h"

#include <functional>
#include <string>

namespace lumex {

class TAskerModuleQuestions : public TModuleQuestions
{
public:
    TAskerModuleQuestions(TAsker asker, std::string caption, std::function<void(const std::string &)> message)
        : asker_(std::move(asker)), caption_(std::move(caption)), message_(std::move(message))
    {
    }

    // A box that cannot be shown answers No: nothing is written unasked.
    bool YesNo(const std::string &text, bool /*defaultYes*/, bool /*warning*/) override { return Ask(text); }
    bool OkCancel(const std::string &text) override { return Ask(text); }
    void Message(const std::string &text) override
    {
        if (message_)
            message_(text);
    }

private:
    bool Ask(const std::string &text) { return asker_ && asker_({text, caption_, false}) == TAnswer::Yes; }

    TAsker asker_;
    std::string caption_;
    std::function<void(const std::string &)> message_;
};

} // namespace lumex
