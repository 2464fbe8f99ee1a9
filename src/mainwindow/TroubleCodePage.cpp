#include "mainwindow/TroubleCodePage.h"

#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"

#include <QGridLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace lumex {

namespace {

QPlainTextEdit *Memo(const char *name, QWidget *parent)
{
    auto *memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    return memo;
}

QLabel *Caption(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TTroubleCodePage::TTroubleCodePage(TPostJob post, QWidget *parent) : QWidget(parent), post_(std::move(post))
{
    setObjectName("TbSDgnErrorCodes");
    auto *tl = new QGridLayout(this);
    active_ = Memo("MemOdcTroubleCodeAct", this);
    stored_ = Memo("MemOdcTroubleCodeStored", this);
    frame_ = Memo("MemOdcTroubleFrame", this);
    auto *info = Memo("MemOdcTroubleInfo", this);
    info->setPlainText(QStringLiteral("Opis kodów bledow"));
    tl->addWidget(Caption("LblOdcTroubleActive", QStringLiteral("Aktywne"), this), 0, 0);
    tl->addWidget(active_, 1, 0);
    tl->addWidget(Caption("LblOdcTroubleStored", QStringLiteral("Zapamiętane"), this), 2, 0);
    tl->addWidget(stored_, 3, 0);
    tl->addWidget(Caption("LblOdcTroubleFrame", QStringLiteral("Parametry zamrożone"), this), 0, 1);
    tl->addWidget(frame_, 1, 1);
    tl->addWidget(info, 3, 1);
    auto *read = new QPushButton(QStringLiteral("Odczytaj"), this);
    read->setObjectName("SpBOdcReadTC");
    auto *clear = new QPushButton(QStringLiteral("Usuń kody błędów"), this);
    clear->setObjectName("SpBOdcClearTroubleCode");
    tl->addWidget(read, 4, 0);
    tl->addWidget(clear, 4, 1);
    connect(read, &QPushButton::clicked, this, [this] { Read(); });
    connect(clear, &QPushButton::clicked, this, [this] { Clear(); });
}

template <class TResult>
void TTroubleCodePage::OnDevice(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done)
{
    QPointer<TTroubleCodePage> self(this);
    post_([self, job = std::move(job), done = std::move(done)](TDataManager &m) {
        TResult result = job(m);
        if (self.isNull())
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, result = std::move(result)] {
                if (self)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

void TTroubleCodePage::Read()
{
    OnDevice<TTroubleCodeRead>([](TDataManager &m) { return ReadTroubleCodePage(m); },
                               [this](const TTroubleCodeRead &read) { Show(read); });
}

void TTroubleCodePage::Clear()
{
    if (lockState_ != kLockUnlocked)
        return;
    struct TCleared
    {
        bool Ok = false;
        TTroubleCodeRead Read;
    };
    OnDevice<TCleared>(
        [](TDataManager &m) {
            return TCleared{m.ClearTroubleCodes(), ReadTroubleCodePage(m)};
        },
        [this](const TCleared &cleared) {
            if (!cleared.Ok && OnProblem)
                OnProblem(UiText(msg::strWriteFailed, "Urządzenie nie potwierdziło zapisu."));
            Show(cleared.Read);
        });
}

void TTroubleCodePage::Show(const TTroubleCodeRead &read)
{
    lastRead_ = read;
    Rebuild();
    if (OnShown)
        OnShown();
}

void TTroubleCodePage::Rebuild()
{
    const TTroubleLines lines = TroubleLines(lastRead_, [](std::string_view key) { return MessageText(key); });
    const auto join = [](const auto &from, auto text) {
        QStringList out;
        for (const auto &l : from)
            out << QString::fromStdString(text(l));
        return out.join('\n');
    };
    active_->setPlainText(join(lines.Active, [](const TTroubleLine &l) { return l.Line; }));
    stored_->setPlainText(join(lines.Stored, [](const TTroubleLine &l) { return l.Line; }));
    frame_->setPlainText(join(lines.FreezeFrame, [](const std::string &l) { return l; }));
}

QString TTroubleCodePage::ActiveText() const
{
    return active_->toPlainText();
}

QString TTroubleCodePage::StoredText() const
{
    return stored_->toPlainText();
}

QString TTroubleCodePage::FreezeFrameText() const
{
    return frame_->toPlainText();
}

} // namespace lumex
