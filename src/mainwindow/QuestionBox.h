// Questions the windows put to the installer. Every question goes through
// one asker: the program shows a modal box, a test answers it.
#pragma once

#include "configuration/Question.h"

class QWidget;

namespace lumex {

using TQuestionPresenter = std::function<TAnswer(QWidget *owner, const TQuestion &question)>;

// A modal box with Yes/No (and Cancel when the question has it).
TAnswer AskQuestionBox(QWidget *owner, const TQuestion &question);

} // namespace lumex
