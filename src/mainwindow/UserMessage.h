// What the windows tell the user in a message box. Every message goes
// through one presenter: the program shows modal boxes, a test records them.
#pragma once

#include "documents/ErrorReport.h"

#include <QString>
#include <functional>

class QWidget;

namespace lumex {

enum class TMessageKind
{
    Plain, // no icon: the settings messages
    Information,
    Warning,
    Critical
};

struct TUserMessage
{
    TMessageKind Kind = TMessageKind::Information;
    QString Caption;
    QString Text;
};

// `owner` is the window the box belongs to, or none.
using TMessagePresenter = std::function<void(QWidget *owner, const TUserMessage &message)>;

// A modal box with an OK button.
void ShowMessageBox(QWidget *owner, const TUserMessage &message);

// Hands the core's errors (caption, text) to `presenter` as messages of
// `kind` without an owner window.
TErrorHandler PresentErrors(TMessagePresenter presenter, TMessageKind kind);

} // namespace lumex
