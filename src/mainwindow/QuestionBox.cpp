#include "mainwindow/QuestionBox.h"

#include <QMessageBox>

namespace lumex {

TAnswer AskQuestionBox(QWidget *owner, const TQuestion &question)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (question.WithCancel)
        buttons |= QMessageBox::Cancel;
    const auto answer = QMessageBox::question(owner, QString::fromStdString(question.Caption),
                                              QString::fromStdString(question.Text), buttons);
    if (answer == QMessageBox::Yes)
        return TAnswer::Yes;
    if (answer == QMessageBox::No)
        return TAnswer::No;
    return question.WithCancel ? TAnswer::Cancel : TAnswer::No;
}

} // namespace lumex
