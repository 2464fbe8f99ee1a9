#include "mainwindow/FormMultiOBD.h"

#include "adapter/OBDData.h"
#include "documents/LangManager.h"
#include "mainwindow/ModuleMirror.h"
#include "modules/ui/LogicBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <iterator>
#include <tuple>

namespace lumex {

namespace {

const char kConfigPage[] = "TbSOBDConfig";
const char kLivePage[] = "TbSOBDLive";
const char kTroublePage[] = "TbSOBDErrors";

// The combo box's items; item index + 1 is the protocol code.
const char *const kProtocolItems[] = {"ISO9141",
                                      "KWP2000slow",
                                      "KWP2000fast",
                                      "CAN_11bitID_500kbps",
                                      "CAN_29bitID_500kbps",
                                      "CAN_11bitID_250kbps",
                                      "CAN_29bitID_250kbps"};

QString Tr(const char *english)
{
    return QString::fromStdString(TranslateEnglish(english));
}

template <class T> T *Named(T *w, const char *name)
{
    w->setObjectName(name);
    return w;
}

// "STFT:   -2   -:-   2  [%]"
QString LimitsLine(const char *caption, double base, double range)
{
    const long b = std::lround(base);
    const long r = std::lround(range);
    return QString("%1   %2   -:-   %3  [%]").arg(caption).arg(b - r).arg(b + r);
}

} // namespace

TFormMultiOBD::TFormMultiOBD(TModuleMirror &mirror, QWidget *parent)
    : QWidget(parent), mirror_(mirror), binding_(std::make_unique<TLogicBinding>(mirror.UIState()))
{
    setObjectName("TFormMultiOBD");
    pages_ = Named(new QTabWidget(this), "PgCOBD");
    auto *config = Named(new QWidget, kConfigPage);
    auto *live = Named(new QWidget, kLivePage);
    auto *trouble = Named(new QWidget, kTroublePage);
    pages_->addTab(config, "Configuration");
    pages_->addTab(live, "Live Data");
    pages_->addTab(trouble, "Trouble Codes");
    (new QVBoxLayout(this))->addWidget(pages_);
    BuildConfigPage(config);
    BuildLivePage(live);
    BuildTroublePage(trouble);
    connect(pages_, &QTabWidget::currentChanged, this, [this] {
        binding_->RefreshPage(PageName());
        if (OnPageChanged)
            OnPageChanged();
    });
    binding_->ShowMessage = [this](QWidget *, const std::string &text) {
        if (OnRefused)
            OnRefused(text);
    };
    // The write button turns red with the first edit, not a tick later.
    mirror_.UIState().OnModifiedChange = [this](const std::string &) { RefreshTexts(); };
    SetSnapshot(last_, false);
}

TFormMultiOBD::~TFormMultiOBD() = default;

void TFormMultiOBD::BuildConfigPage(QWidget *page)
{
    TUIStateOBD &s = mirror_.Obd().UIState();
    auto *outer = new QVBoxLayout(page);
    configPanel_ = Named(new QWidget, "PnlOBDConfig");
    outer->addWidget(configPanel_);
    auto *layout = new QGridLayout(configPanel_);

    auto *linkBox = new QGroupBox("Connection");
    auto *linkForm = new QFormLayout(linkBox);
    protocol_ = Named(new QComboBox, "CmBOBDProtocol");
    for (const char *item : kProtocolItems)
        protocol_->addItem(item);
    binding_->Bind(s.Protocol, protocol_, kConfigPage, bfTwoWay);
    linkForm->addRow(new QLabel("Protocol"), protocol_);
    auto *autoConnect = Named(new QCheckBox("Automatic connecting after engine start"), "ChBOBDAutoConnect");
    binding_->Bind(s.IsAutoConnect, autoConnect, kConfigPage, bfTwoWay);
    linkForm->addRow(autoConnect);
    linkState_ = Named(new QLabel, "LblOBDLinkState");
    binding_->Bind(s.ActionMain, linkState_, kConfigPage, bfDisplayOnly);
    linkForm->addRow(new QLabel("Status"), linkState_);
    status_ = Named(new QLineEdit, "EdtOBDStatus");
    status_->setReadOnly(true);
    linkForm->addRow(new QLabel("Detection"), status_);
    auto *linkButtons = new QHBoxLayout;
    connect_ = Named(new QPushButton("Connect"), "BtnOBDConnectControl");
    detect_ = Named(new QPushButton("Detect"), "BtnOBDDetectProtocol");
    linkButtons->addWidget(connect_);
    linkButtons->addWidget(detect_);
    linkForm->addRow(linkButtons);
    layout->addWidget(linkBox, 0, 0);

    adaptGroup_ = Named(new QGroupBox("Adaptation"), "GrBOBDAdaptation");
    auto *adapt = new QFormLayout(adaptGroup_);
    auto check = [&](TBoolByteVariable &v, const char *name, const char *text) {
        auto *c = Named(new QCheckBox(text), name);
        binding_->Bind(v, c, kConfigPage, bfTwoWay);
        adapt->addRow(c);
    };
    check(s.IsAdaptationEnabled, "ChBOBDAdaptationEnable", "Enable adaptation");
    auto *type = Named(new QComboBox, "CmBOBDAdaptType");
    for (int i = 1; i <= 5; ++i)
        type->addItem(QString::number(i));
    binding_->Bind(s.AdaptType, type, kConfigPage, bfTwoWay);
    adapt->addRow(new QLabel("Adaptation type"), type);
    check(s.IsAdaptUseMinRPM, "ChBOBDAdaptMinRPM", "Min. RPM");
    check(s.IsCorrectionsInverted, "ChBOBDCorrectionsInverted", "Inverted corrections");
    check(s.IsAdaptControlLtFt, "ChBOBDAdaptControlLtFt", "Control LTFT");
    auto edit = [&](TVariable &v, const char *name, const char *caption, unsigned kind) {
        auto *e = Named(new QLineEdit, name);
        binding_->Bind(v, e, kConfigPage, bfTwoWay | kind);
        adapt->addRow(new QLabel(caption), e);
    };
    edit(s.AdaptMaxCorr, "EdtOBDAdaptMaxCorr", "Max. correction", bfEditInteger);
    edit(s.AdaptMinRPM, "EdtOBDAdaptMinRPM", "Min. RPM", bfEditInteger);
    edit(s.AdaptStFtBase, "EdtOBDAdaptStFtBase", "STFT base", bfEditDouble);
    edit(s.AdaptStFtRange, "EdtOBDAdaptStFtRange", "STFT range", bfEditInteger);
    edit(s.AdaptLtFtBaseB1, "EdtOBDAdaptLtFtBaseB1", "LTFT base B1", bfEditDouble);
    edit(s.AdaptLtFtBaseB2, "EdtOBDAdaptLtFtBaseB2", "LTFT base B2", bfEditDouble);
    edit(s.AdaptLtFtRange, "EdtOBDAdaptLtFtRange", "LTFT range", bfEditInteger);
    limits_ = Named(new QLabel, "LblOBDAdaptLimits");
    adapt->addRow(limits_);
    auto *resets = new QHBoxLayout;
    auto *reset = Named(new QPushButton("Reset adaptation corrections"), "BtBOBDAdaptClearCorrs");
    auto *r1 = Named(new QPushButton("R1"), "BtnOBDAdaptCorrResetB1");
    auto *r2 = Named(new QPushButton("R2"), "BtnOBDAdaptCorrResetB2");
    resets->addWidget(reset);
    resets->addWidget(r1);
    resets->addWidget(r2);
    adapt->addRow(resets);
    layout->addWidget(adaptGroup_, 0, 1, 2, 1);

    auto *files = new QHBoxLayout;
    read_ = Named(new QPushButton("Read"), "BtBOBDReadConfig");
    write_ = Named(new QPushButton("Write"), "BtBOBDWriteConfig");
    files->addWidget(read_);
    files->addWidget(write_);
    files->addStretch();
    layout->addLayout(files, 1, 0);
    layout->setRowStretch(2, 1);

    connect(connect_, &QPushButton::clicked, this, [this] {
        // Without a protocol the click only points at the list.
        TUIStateOBD &st = mirror_.Obd().UIState();
        if (st.IsIdleState() && st.Protocol.GetAsInteger() < 1) {
            protocol_->setFocus();
            protocol_->showPopup();
            return;
        }
        Run(TObdOperation::Connect);
    });
    connect(detect_, &QPushButton::clicked, this, [this] { Run(TObdOperation::Detect); });
    connect(read_, &QPushButton::clicked, this, [this] { Run(TObdOperation::Read); });
    connect(write_, &QPushButton::clicked, this, [this] { Run(TObdOperation::Write); });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (!Confirm || Confirm(Tr("Reset adaptation corrections?")))
            Run(TObdOperation::ResetBoth);
    });
    connect(r1, &QPushButton::clicked, this, [this] { Run(TObdOperation::ResetBank1); });
    connect(r2, &QPushButton::clicked, this, [this] { Run(TObdOperation::ResetBank2); });
}

void TFormMultiOBD::BuildLivePage(QWidget *page)
{
    TUIStateOBD &s = mirror_.Obd().UIState();
    auto *layout = new QGridLayout(page);
    struct TRow
    {
        TVariable *Variable;
        const char *Name;
        const char *Caption;
        const char *Unit;
    };
    const TRow rows[] = {
        {&s.RPM, "LblOBDRPM", "RPM", "[r.p.m.]"},
        {&s.Speed, "LblOBDSpeed", "Speed", "[km/h]"},
        {&s.Load, "LblOBDLoad", "Load", "[%]"},
        {&s.CoolantTemp, "LblOBDCoolantTemp", "Coolant Temperature", "[C.deg]"},
        {&s.MAP, "LblOBDMAP", "MAP", "[bar]"},
        {&s.IntakeAirTemp, "LblOBDIntakeAirTemp", "Intake air temperature", "[C.deg]"},
        {&s.TimingAdvance, "LblOBDTimingAdvance", "Timing advance", "[deg]"},
        {&s.MAF, "LblOBDMAF", "MAF", "[g/s]"},
        {&s.AbslThrottlePos, "LblOBDThrottle", "Throttle position", "[%]"},
        {&s.StFtB1, "LblOBDStFtB1", "ShortTermFuelTrim B1", "[%]"},
        {&s.LtFtB1, "LblOBDLtFtB1", "LongTermFuelTrim B1", "[%]"},
        {&s.StFtB2, "LblOBDStFtB2", "ShortTermFuelTrim B2", "[%]"},
        {&s.LtFtB2, "LblOBDLtFtB2", "LongTermFuelTrim B2", "[%]"},
        {&s.FuelSystemStatusB1, "LblOBDFuelSystemStatusB1", "Fuel System Status B1", ""},
        {&s.FuelSystemStatusB2, "LblOBDFuelSystemStatusB2", "Fuel System Status B2", ""},
    };
    int r = 0;
    for (const TRow &row : rows) {
        auto *value = Named(new QLabel, row.Name);
        value->setMinimumWidth(120);
        value->setStyleSheet("font-weight: bold");
        binding_->Bind(*row.Variable, value, kLivePage, bfDisplayOnly);
        layout->addWidget(new QLabel(row.Caption), r, 0);
        layout->addWidget(value, r, 1);
        layout->addWidget(new QLabel(row.Unit), r, 2);
        ++r;
    }
    // The oxygen sensors beside the trims the controller compares with.
    for (std::size_t i = 0; i < s.Lambda.size(); ++i) {
        const std::string name = "LblOBDLambda" + std::to_string(i % 4 + 1) + "B" + std::to_string(i / 4 + 1);
        auto *value = new QLabel;
        value->setObjectName(QString::fromStdString(name));
        binding_->Bind(*s.Lambda[i], value, kLivePage, bfDisplayOnly);
        const int row = static_cast<int>(i);
        layout->addWidget(new QLabel(QString("Lambda %1 B%2").arg(i % 4 + 1).arg(i / 4 + 1)), row, 4);
        layout->addWidget(value, row, 5);
        layout->addWidget(new QLabel("[V]"), row, 6);
    }
    layout->setColumnMinimumWidth(3, 30);
    BuildControllerGroup(layout, static_cast<int>(s.Lambda.size()));
    layout->setRowStretch(r, 1);
    layout->setColumnStretch(7, 1);
}

void TFormMultiOBD::BuildControllerGroup(QGridLayout *layout, int row)
{
    // The controller's own readings, to compare with the car's above.
    auto *group = Named(new QGroupBox("Gas controller"), "GrBOBDController");
    auto *grid = new QGridLayout(group);
    struct TRow
    {
        const char *Name;
        const char *Caption;
        const char *Unit;
    };
    static constexpr TRow kRows[] = {
        {"LblOBDCtrlRPM", "RPM", "[r.p.m.]"},
        {"LblOBDCtrlPetrolTime", "Petrol injection time", "[ms]"},
        {"LblOBDCtrlGasTime", "Gas injection time", "[ms]"},
        {"LblOBDCtrlMAP", "MAP", "[bar]"},
        {"LblOBDCtrlPsys", "Gas pressure", "[bar]"},
        {"LblOBDCtrlTred", "Reducer temperature", "[C.deg]"},
        {"LblOBDCtrlTgas", "Gas temperature", "[C.deg]"},
    };
    static_assert(std::size(kRows) == std::tuple_size_v<decltype(controller_)>);
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const TRow &r = kRows[i];
        auto *value = Named(new QLabel("-----"), r.Name);
        value->setMinimumWidth(80);
        value->setStyleSheet("font-weight: bold");
        const int at = static_cast<int>(i);
        grid->addWidget(new QLabel(r.Caption), at, 0);
        grid->addWidget(value, at, 1);
        grid->addWidget(new QLabel(r.Unit), at, 2);
        controller_[i] = value;
    }
    layout->addWidget(group, row, 4, 8, 3);
}

void TFormMultiOBD::SetControllerReadings(const TObdControllerReadings &c)
{
    const std::array<const std::string *, 7> texts = {&c.Rpm,  &c.PetrolTime, &c.GasTime, &c.Pmap,
                                                      &c.Psys, &c.Tred,       &c.Tgas};
    for (std::size_t i = 0; i < texts.size(); ++i)
        controller_[i]->setText(QString::fromStdString(*texts[i]));
}

void TFormMultiOBD::BuildTroublePage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    auto *memos = new QHBoxLayout;
    troubles_ = Named(new QPlainTextEdit, "MemOBDTroubles");
    freeze_ = Named(new QPlainTextEdit, "MemOBDFreeze");
    troubles_->setReadOnly(true);
    freeze_->setReadOnly(true);
    memos->addWidget(troubles_, 3);
    memos->addWidget(freeze_, 2);
    layout->addLayout(memos, 1);
    progress_ = Named(new QProgressBar, "PrBOBDErrors");
    progress_->setRange(0, TOBDTroubleCycle::kProgressMax);
    layout->addWidget(progress_);
    auto *bottom = new QHBoxLayout;
    auto *buttons = Named(new QWidget, "PnlOBDErrorsButtons");
    auto *buttonRow = new QHBoxLayout(buttons);
    readErrors_ = Named(new QPushButton("Read"), "BtBOBDReadErrors");
    clearErrors_ = Named(new QPushButton("Clear"), "BtBOBDClearErrors");
    buttonRow->addWidget(readErrors_);
    buttonRow->addWidget(clearErrors_);
    bottom->addWidget(buttons);
    checkEngine_ = Named(new QLabel, "SelImgOBDCheckEngine");
    bottom->addWidget(checkEngine_);
    checkEnginePanel_ = Named(new QWidget, "PnlOBDCheckEngine");
    auto *panelRow = new QHBoxLayout(checkEnginePanel_);
    milDistance_ = Named(new QLabel, "LblOBDDistanceWithMIL");
    binding_->Bind(mirror_.Obd().UIState().DistanceTraveledWithMILon, milDistance_, kTroublePage, bfDisplayOnly);
    panelRow->addWidget(new QLabel("Distance with MIL on"));
    panelRow->addWidget(milDistance_);
    panelRow->addWidget(new QLabel("[km]"));
    bottom->addWidget(checkEnginePanel_);
    bottom->addStretch();
    layout->addLayout(bottom);
    connect(readErrors_, &QPushButton::clicked, this, [this] { Run(TObdOperation::ReadErrors); });
    connect(clearErrors_, &QPushButton::clicked, this, [this] { Run(TObdOperation::ClearErrors); });
}

std::string TFormMultiOBD::PageName() const
{
    const QWidget *w = pages_->currentWidget();
    return w == nullptr ? std::string{} : w->objectName().toStdString();
}

TObdPage TFormMultiOBD::CurrentPage() const
{
    return static_cast<TObdPage>(pages_->currentIndex());
}

void TFormMultiOBD::ShowPage(TObdPage page)
{
    pages_->setCurrentIndex(static_cast<int>(page));
}

void TFormMultiOBD::Run(TObdOperation operation)
{
    if (busy_ || !OnOperation)
        return;
    const bool sendsEdits = operation == TObdOperation::Write || operation == TObdOperation::Connect;
    const TModuleEdits edits = sendsEdits ? mirror_.Edits("OBD") : TModuleEdits{};
    busy_ = true;
    SetSnapshot(last_, adapterConnected_);
    OnOperation(operation, edits);
}

void TFormMultiOBD::OperationDone(TObdOperation, bool)
{
    busy_ = false;
    SetSnapshot(last_, adapterConnected_);
}

void TFormMultiOBD::SetSnapshot(const TObdWindowSnapshot &snapshot, bool adapterConnected)
{
    if (&snapshot != &last_)
        last_ = snapshot;
    adapterConnected_ = adapterConnected;
    const bool on = adapterConnected && last_.ObdPresent && !busy_;
    configPanel_->setEnabled(on);
    // The adaptation is the controller's from revision H.
    adaptGroup_->setEnabled(on && last_.ControllerRevisionH);
    binding_->RefreshPending(PageName());
    RefreshTexts();
    const TObdTroublePage &t = last_.Trouble;
    const bool greyed = !on || t.Greyed;
    troubles_->setEnabled(!greyed);
    freeze_->setEnabled(!greyed);
    if (troubles_->toPlainText() != QString::fromStdString(t.Troubles))
        troubles_->setPlainText(QString::fromStdString(t.Troubles));
    if (freeze_->toPlainText() != QString::fromStdString(t.Freeze))
        freeze_->setPlainText(QString::fromStdString(t.Freeze));
    progress_->setVisible(t.ProgressVisible);
    progress_->setValue(t.Progress);
    readErrors_->setEnabled(on && t.ButtonsEnabled);
    clearErrors_->setEnabled(on && t.ButtonsEnabled);
    checkEngine_->setText(t.CheckEngine ? "MIL" : "");
    checkEngine_->setStyleSheet(t.CheckEngine ? "color: #c08000; font-weight: bold" : "");
    checkEnginePanel_->setVisible(t.CheckEnginePanel);
}

void TFormMultiOBD::RefreshTexts()
{
    const TUIStateOBD &s = mirror_.Obd().UIState();
    const int detect = static_cast<int>(s.ActionDetect.GetAsInteger());
    const std::string trying = ObdProtocolName(static_cast<int>(s.ActualProtocol.GetAsInteger()));
    status_->setText(QString::fromStdString(ObdDetectStateText(detect, trying)));
    linkState_->setText(QString::fromStdString(s.ActionMain.Text()));
    const bool idle = s.IsIdleState();
    connect_->setText(idle ? Tr("Connect") : Tr("Disconnect"));
    connect_->setEnabled(!s.IsDisconnecting());
    detect_->setText(s.IsDetectingState() ? Tr("Cancel") : Tr("Detect"));
    limits_->setText(LimitsLine("STFT:", s.AdaptStFtBase.GetAsDouble(), s.AdaptStFtRange.GetAsDouble()) + "\n" +
                     LimitsLine("LTFT B1:", s.AdaptLtFtBaseB1.GetAsDouble(), s.AdaptLtFtRange.GetAsDouble()) + "\n" +
                     LimitsLine("LTFT B2:", s.AdaptLtFtBaseB2.GetAsDouble(), s.AdaptLtFtRange.GetAsDouble()));
    write_->setStyleSheet(mirror_.UIState().Modified() ? "color: red" : "");
}

void TFormMultiOBD::Retranslate()
{
    // The bound labels show the texts the variables hold; those were
    // composed in the language before.
    mirror_.UIState().RefreshTexts();
    binding_->RefreshPage(PageName());
    RefreshTexts();
}

} // namespace lumex
