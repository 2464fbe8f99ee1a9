// The questions and messages of the module operations (loading a file,
// writing defaults), behind an interface so the flows run without a
// window: the window answers with message boxes, the command line with
// its --yes switch, the tests with scripted answers.
#pragma once

#include <string>

namespace lumex {

class TModuleQuestions
{
public:
    virtual ~TModuleQuestions() = default;
    // Yes/No; `warning` for the kind of box, `defaultYes` for its default.
    virtual bool YesNo(const std::string &text, bool defaultYes, bool warning) = 0;
    virtual bool OkCancel(const std::string &text) = 0;
    virtual void Message(const std::string &text) = 0;
};

} // namespace lumex
