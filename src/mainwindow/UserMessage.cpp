#include "mainwindow/UserMessage.h"

#include <QMessageBox>

namespace lumex {

namespace {

QMessageBox::Icon IconOf(TMessageKind kind)
{
    struct Row
    {
        TMessageKind Kind;
        QMessageBox::Icon Icon;
    };
    static constexpr Row rows[] = {
        {TMessageKind::Plain, QMessageBox::NoIcon},
        {TMessageKind::Information, QMessageBox::Information},
        {TMessageKind::Warning, QMessageBox::Warning},
        {TMessageKind::Critical, QMessageBox::Critical},
    };
    for (const Row &row : rows)
        if (row.Kind == kind)
            return row.Icon;
    return QMessageBox::NoIcon;
}

} // namespace

void ShowMessageBox(QWidget *owner, const TUserMessage &message)
{
    // The core's texts break lines with CR LF; a box wants one break.
    QString text = message.Text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(IconOf(message.Kind), message.Caption, text, QMessageBox::Ok, owner);
    box.exec();
}

TErrorHandler PresentErrors(TMessagePresenter presenter, TMessageKind kind)
{
    return [presenter = std::move(presenter), kind](const std::string &caption, const std::string &text) {
        if (presenter)
            presenter(nullptr, {kind, QString::fromStdString(caption), QString::fromStdString(text)});
    };
}

} // namespace lumex
