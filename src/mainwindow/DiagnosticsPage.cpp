#include "mainwindow/DiagnosticsPage.h"

#include "controller/ControllerLink.h"
#include "controller/LockState.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/OscilloscopePage.h"
#include "mainwindow/TroubleCodePage.h"
#include "mainwindow/UiText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumex {

TDiagnosticsPage::TDiagnosticsPage(TDeviceWorker &worker, QWidget *parent) : QTabWidget(parent), worker_(worker)
{
    setObjectName("PgCDgn");
    osc_ = new TOscilloscopePage(this);
    addTab(osc_, QStringLiteral("Rejestrator (Shift+F8)"));

    TDeviceWorker &w = worker_;
    trouble_ = new TTroubleCodePage(
        [&w](std::function<void(TDataManager &)> job) { w.Post([&w, job] { job(w.Link().Manager); }); }, this);
    trouble_->OnShown = [this] {
        if (OnTroubleCodesShown)
            OnTroubleCodesShown();
    };
    trouble_->OnProblem = [this](const QString &text) {
        if (OnProblem)
            OnProblem(text);
    };
    addTab(trouble_, QStringLiteral("Kody błędów (Shift+F9)"));

    advanced_ = new QWidget(this);
    advanced_->setObjectName("TbSDgnAdvance");
    // The controls sit on a panel of their own: boards without the advanced
    // diagnostic outputs do not get it.
    advancedPanel_ = new QWidget(advanced_);
    advancedPanel_->setObjectName("PnlDgnAdvance");
    (new QVBoxLayout(advanced_))->addWidget(advancedPanel_);
    auto *al = new QGridLayout(advancedPanel_);
    for (std::size_t n = 0; n < kCylinders; ++n) {
        auto *sw = new QPushButton(QString::number(n + 1), advancedPanel_);
        sw->setObjectName(QString("DpSSwitchCh%1").arg(n + 1));
        sw->setCheckable(true);
        connect(sw, &QPushButton::clicked, this,
                [this] { RunAdvanced(TAdvancedAction::EmulatorMask, SwitchesAsSet().EmulatorMask); });
        switches_[n] = sw;
        al->addWidget(sw, 0, static_cast<int>(n));
    }
    auto *allPetrol = new QPushButton(QStringLiteral("Wszystkie na BENZYNĘ"), advancedPanel_);
    allPetrol->setObjectName("BtnDngAdvEmulatorAllPetrol");
    auto *allGas = new QPushButton(QStringLiteral("Wszystkie na GAZ"), advancedPanel_);
    allGas->setObjectName("BtnDngEmulatorAllGas");
    connect(allPetrol, &QPushButton::clicked, this, [this] {
        for (auto *sw : switches_)
            sw->setChecked(false);
        RunAdvanced(TAdvancedAction::EmulatorMask, 0);
    });
    connect(allGas, &QPushButton::clicked, this, [this] {
        for (auto *sw : switches_)
            sw->setChecked(true);
        RunAdvanced(TAdvancedAction::EmulatorMask, 0xFF);
    });
    al->addWidget(allPetrol, 1, 0, 1, 4);
    al->addWidget(allGas, 1, 4, 1, 4);
    valve_ = new QPushButton(QStringLiteral("Zawór"), advancedPanel_);
    valve_->setObjectName("DpSValve");
    valve_->setCheckable(true);
    connect(valve_, &QPushButton::clicked, this,
            [this](bool on) { RunAdvanced(on ? TAdvancedAction::ValveOn : TAdvancedAction::ValveOff); });
    al->addWidget(valve_, 2, 0, 1, 2);
    emergency_ = new QLabel(advancedPanel_);
    emergency_->setObjectName("LblDgnAdvEmergencyStarts");
    al->addWidget(emergency_, 3, 0, 1, 6);
    auto *reset = new QPushButton(QStringLiteral("Reset"), advancedPanel_);
    reset->setObjectName("BtnDgnAdvEmergencyStartsReset");
    connect(reset, &QPushButton::clicked, this, [this] { RunAdvanced(TAdvancedAction::ResetEmergencyStarts); });
    al->addWidget(reset, 3, 6, 1, 2);
    boardTemp_ = new QLabel(advancedPanel_);
    boardTemp_->setObjectName("LblDgnAdvBoardTemp");
    al->addWidget(boardTemp_, 4, 0, 1, 8);
    auto *injectorTest = new QPushButton(QStringLiteral("Testy wtryskiwaczy gazowych"), advancedPanel_);
    injectorTest->setObjectName("BtnShowTestForm");
    connect(injectorTest, &QPushButton::clicked, this, [this] {
        if (OnShowInjectorTest)
            OnShowInjectorTest();
    });
    al->addWidget(injectorTest, 5, 0, 1, 8);
    al->setRowStretch(6, 1);
    addTab(advanced_, QStringLiteral("Zaawansowana"));
    ShowAdvanced({});

    connect(this, &QTabWidget::currentChanged, this, [this] {
        if (currentWidget() == trouble_)
            ReadTroubleCodes();
        else if (currentWidget() == advanced_)
            ReadAdvanced();
    });
}

template <class TResult>
void TDiagnosticsPage::OnDevice(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done)
{
    QPointer<TDiagnosticsPage> self(this);
    TDeviceWorker &worker = worker_;
    worker_.Post([&worker, self, job = std::move(job), done = std::move(done)] {
        TResult result = job(worker.Link().Manager);
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

void TDiagnosticsPage::SetAdvancedPanelShown(bool shown)
{
    advancedPanel_->setVisible(shown);
}

void TDiagnosticsPage::SetLockState(uint8_t lockState)
{
    lockState_ = lockState;
    trouble_->SetLockState(lockState);
    osc_->SetLockState(lockState);
}

QWidget *TDiagnosticsPage::TroubleCodes() const
{
    return trouble_;
}

void TDiagnosticsPage::ReadTroubleCodes()
{
    trouble_->Read();
}

void TDiagnosticsPage::ClearTroubleCodes()
{
    trouble_->Clear();
}

void TDiagnosticsPage::RebuildTroubleLists()
{
    trouble_->Rebuild();
}

QString TDiagnosticsPage::ActiveText() const
{
    return trouble_->ActiveText();
}

QString TDiagnosticsPage::StoredText() const
{
    return trouble_->StoredText();
}

QString TDiagnosticsPage::FreezeFrameText() const
{
    return trouble_->FreezeFrameText();
}

void TDiagnosticsPage::ReadAdvanced()
{
    // Nothing to read for a board without the panel.
    if (advancedPanel_->isHidden())
        return;
    OnDevice<TAdvancedPage>([](TDataManager &m) { return ReadAdvancedPage(m); },
                            [this](const TAdvancedPage &page) {
                                if (page.Read)
                                    lastAdvanced_ = page;
                                ShowAdvanced(lastAdvanced_);
                            });
}

TAdvancedPage TDiagnosticsPage::SwitchesAsSet() const
{
    TAdvancedPage page = lastAdvanced_;
    std::array<bool, kCylinders> on{};
    for (std::size_t n = 0; n < kCylinders; ++n)
        on[n] = switches_[n]->isChecked();
    page.EmulatorMask = EmulatorMaskOf(on);
    page.ValveOn = valve_->isChecked();
    return page;
}

void TDiagnosticsPage::RunAdvanced(TAdvancedAction action, uint8_t mask)
{
    if (lockState_ != kLockUnlocked) {
        ShowAdvanced(lastAdvanced_);
        return;
    }
    const TAdvancedPage asSet = SwitchesAsSet();
    OnDevice<TAdvancedResult>([action, mask](TDataManager &m) { return RunAdvancedAction(m, action, mask); },
                              [this, asSet](const TAdvancedResult &r) {
                                  const TAdvancedPage shown = PageShownAfter(r, lastAdvanced_, asSet);
                                  lastAdvanced_ = shown;
                                  ShowAdvanced(shown);
                                  if (!r.Written && OnProblem)
                                      OnProblem(UiText(msg::strWriteFailed, "Urządzenie nie potwierdziło zapisu."));
                              });
}

void TDiagnosticsPage::ShowAdvanced(const TAdvancedPage &page)
{
    for (std::size_t n = 0; n < kCylinders; ++n)
        switches_[n]->setChecked((page.EmulatorMask >> n) & 1u);
    valve_->setChecked(page.ValveOn);
    emergency_->setText(QStringLiteral("Ilość awaryjnych odpaleń na gazie (max:50): ") +
                        QString::number(page.EmergencyStarts));
    boardTemp_->setText(QString("Tmax = %1 C, T = %2 C")
                            .arg(QString::fromStdString(BoardTemperatureText(page.HighestBoardTempRaw)),
                                 QString::fromStdString(BoardTemperatureText(page.BoardTempRaw))));
}

} // namespace lumex
