// The OBD window's operations: its edits go to the device thread as values,
// the operation runs there with its questions asked back on this thread,
// and the window hears the outcome.
#include "documents/CustomCatalogue.h"
#include "documents/LangManager.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/FormMultiAIO.h"
#include "mainwindow/FormMultiOBD.h"
#include "mainwindow/UiText.h"
#include "modules/AskerQuestions.h"

#include <QPointer>

namespace lumex {

void TFormMain::BindObdWindow()
{
    obd_->OnPageChanged = [this] { ObdPageChanged(); };
    obd_->OnRefused = [this](const std::string &text) {
        Tell(TMessageKind::Warning, title_, QString::fromStdString(text));
    };
    obd_->Confirm = [this](const QString &text) {
        TQuestion q;
        q.Text = text.toStdString();
        q.Caption = title_.toStdString();
        const TAnswer a = Ask ? Ask(obd_, q) : AskQuestionBox(obd_, q);
        return a == TAnswer::Yes;
    };
    obd_->OnOperation = [this](TObdOperation operation, const TModuleEdits &edits) {
        TMainTickHooks &hooks = hooks_;
        TDeviceQuestion &question = *adapterQuestion_;
        QPointer<TFormMain> self(this);
        const std::string caption = title_.toStdString();
        worker_.Post([&hooks, &question, self, operation, edits, caption] {
            std::vector<std::string> messages;
            TAskerModuleQuestions questions(question.Asker(), caption,
                                            [&messages](const std::string &text) { messages.push_back(text); });
            const TObdOperationResult r = hooks.ObdWindow().Run(operation, edits, &questions);
            if (!r.Ok && !r.FailureKey.empty())
                messages.push_back(MessageTextInForce(r.FailureKey));
            QMetaObject::invokeMethod(
                self.data(),
                [self, operation, r, messages] {
                    if (!self)
                        return;
                    self->obd_->OperationDone(operation, r.Ok);
                    for (const std::string &text : messages)
                        self->Tell(TMessageKind::Warning, self->title_, QString::fromStdString(text));
                    if (self->OnObdOperationDone)
                        self->OnObdOperationDone(r.Ok);
                },
                Qt::QueuedConnection);
        });
    };
    SendObdCodes();
    BindAioWindow();
}

void TFormMain::BindAioWindow()
{
    aio_->OnRefused = [this](const std::string &text) {
        Tell(TMessageKind::Warning, title_, QString::fromStdString(text));
    };
    aio_->OnProblem = [this](const std::string &key) {
        Tell(TMessageKind::Warning, title_, QString::fromStdString(MessageTextInForce(key)));
    };
    aio_->OnOperation = [this](TAioOperation operation, const TModuleEdits &edits) {
        TMainTickHooks &hooks = hooks_;
        QPointer<TFormMain> self(this);
        worker_.Post([&hooks, self, operation, edits] {
            const bool ok = hooks.ObdWindow().RunAio(operation == TAioOperation::Write, edits);
            QMetaObject::invokeMethod(
                self.data(),
                [self, ok] {
                    if (!self)
                        return;
                    self->aio_->OperationDone(ok);
                    if (self->OnAioOperationDone)
                        self->OnAioOperationDone(ok);
                },
                Qt::QueuedConnection);
        });
    };
}

bool TFormMain::ObdWindowShown() const
{
    return obd_ != nullptr && pages_ != nullptr && pages_->currentWidget() == adapterPage_ &&
           adapterFunctions_ != nullptr && adapterFunctions_->currentWidget() == obd_;
}

bool TFormMain::ObdLivePageShown() const
{
    return ObdWindowShown() && obd_->CurrentPage() == TObdPage::Live;
}

void TFormMain::ObdPageChanged()
{
    // Also called while the window goes at exit.
    if (obd_ == nullptr)
        return;
    hooks_.ObdWindow().Page = static_cast<int>(ObdWindowShown() ? obd_->CurrentPage() : TObdPage::None);
}

void TFormMain::SendObdCodes()
{
    if (lm_ == nullptr || lm_->Catalogue() == nullptr)
        return;
    std::vector<std::string> codes = lm_->Catalogue()->OBDCodes();
    TMainTickHooks &hooks = hooks_;
    worker_.Post([&hooks, codes = std::move(codes)]() mutable { hooks.ObdWindow().SetCodes(std::move(codes)); });
}

} // namespace lumex
