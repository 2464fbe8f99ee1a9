#include "mainwindow/ConfWizard.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigSummary.h"
#include "configuration/ConfigText.h"
#include "configuration/InjectionSystem.h"
#include "configuration/ValueLists.h"
#include "controller/ControllerLink.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"
#include "mainwindow/ConfWizardRows.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>

namespace lumex {

namespace {

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

struct TPageSheet
{
    TWizardPage Page;
    const char *Caption;
};

constexpr TPageSheet kSheets[] = {
    {TWizardPage::Engine, "Silnik"},          {TWizardPage::GasElements, "Instalacja"},
    {TWizardPage::Switching, "Przełączanie"}, {TWizardPage::Advanced, "Zaawansowane"},
    {TWizardPage::Verify, "Weryfikacja"},     {TWizardPage::AutoCal, "Autokalibracja"},
    {TWizardPage::Finish, "Koniec"},
};

// The return conditions whose first choice is the list's last entry.
bool PicksLastEntry(const char *control)
{
    return std::strcmp(control, "CmBConfHighRPM") == 0 || std::strcmp(control, "CmBConfHighLoad") == 0;
}

// The number an edit shows; "," is the decimal separator and anything that
// is not a number counts as 0.
double EditNumber(const QLineEdit *edit)
{
    QString text = edit->text().trimmed();
    text.replace(',', '.');
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0.0;
}

} // namespace

TConfWizard::TConfWizard(TDeviceWorker &worker, QWidget *parent)
    : QWidget(parent), Ask(AskQuestionBox), worker_(worker), ops_(worker, this),
      question_(
          this, [this](QWidget *owner, const TQuestion &q) { return Ask ? Ask(owner, q) : AskQuestionBox(owner, q); },
          &worker)
{
    setObjectName("PnlConfWizard");
    confirmation_ = std::make_unique<TWriteConfirmation>(worker_.Link().Manager, deviceModified_, question_.Asker());
    auto *layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PgCConfWizard");
    for (const TPageSheet &s : kSheets) {
        auto *sheet = new QWidget(pages_);
        sheet->setObjectName(WizardPageTabName(s.Page));
        BuildPage(s.Page, sheet);
        pages_->addTab(sheet, QString::fromUtf8(s.Caption));
    }
    layout->addWidget(pages_, 1);

    auto *buttons = new QHBoxLayout;
    counter_ = new QLabel(this);
    counter_->setObjectName("LblConfWizCounter");
    const auto button = [this, buttons](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(name);
        buttons->addWidget(b);
        return b;
    };
    read_ = button("BtnConfReadConfig", "Odczytaj");
    write_ = button("BtnConfWriteConfig", "Zapisz");
    buttons->addStretch(1);
    buttons->addWidget(counter_);
    prev_ = button("BtnConfWizPrev", "< Wstecz");
    next_ = button("BtnConfWizNext", "Dalej >");
    layout->addLayout(buttons);

    connect(read_, &QPushButton::clicked, this, [this] { ReadPage(); });
    connect(write_, &QPushButton::clicked, this, [this] { WritePressed(); });
    connect(next_, &QPushButton::clicked, this, [this] { NextPressed(); });
    connect(prev_, &QPushButton::clicked, this, [this] { PrevPressed(); });
    connect(pages_, &QTabWidget::tabBarClicked, this, [this](int index) { TabClicked(index); });
    modified_.Subscribe([this](bool modified) { SetModifiedColours(modified); });
    RefreshTabs();
}

TConfWizard::~TConfWizard() = default;

// ---- Building ----

QWidget *TConfWizard::MakeControl(const TWizardRow &row, QWidget *parent)
{
    const TConfigField *field = FindConfigField(row.Field);
    QWidget *w = nullptr;
    if (field && field->Encoding == TEncoding::Flag) {
        auto *box = new QCheckBox(QString::fromUtf8(row.Caption), parent);
        connect(box, &QCheckBox::toggled, this, [this] { UserChanged(); });
        w = box;
    } else if (field && (field->List || field->Encoding == TEncoding::Enumeration)) {
        auto *list = new QComboBox(parent);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(list, &QComboBox::activated, this, [this] { UserChanged(); });
        w = list;
    } else {
        auto *edit = new QLineEdit(parent);
        edit->setMaximumWidth(90);
        connect(edit, &QLineEdit::textEdited, this, [this] { UserChanged(); });
        w = edit;
    }
    w->setObjectName(row.Control);
    byName_[row.Control] = w;
    return w;
}

void TConfWizard::BuildPage(TWizardPage page, QWidget *sheet)
{
    auto *outer = new QHBoxLayout(sheet);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    outer->addLayout(form, 1);
    for (const TWizardRow &row : WizardRows()) {
        if (row.Page != page)
            continue;
        QWidget *control = MakeControl(row, sheet);
        TBound b{&row, control, nullptr};
        const bool box = qobject_cast<QCheckBox *>(control) != nullptr;
        if (box) {
            form->addRow(control);
        } else {
            QWidget *target = control;
            if (row.Enabler) {
                // A list that belongs to a box sits beside it.
                if (QWidget *enabler = byName_[row.Enabler]) {
                    const int r = [&] {
                        int at = -1;
                        QFormLayout::ItemRole role;
                        form->getWidgetPosition(enabler, &at, &role);
                        return at;
                    }();
                    (void)r;
                }
            }
            b.Label = new QLabel(QString::fromUtf8(row.Caption), sheet);
            b.Label->setObjectName(QString("Lbl") + row.Control);
            form->addRow(b.Label, target);
        }
        bound_.push_back(b);
    }
    if (page == TWizardPage::Engine)
        BuildEngineExtras(sheet);
    if (page == TWizardPage::GasElements)
        BuildGasExtras(sheet);
    if (page == TWizardPage::Verify)
        BuildVerify(sheet);
    if (page == TWizardPage::AutoCal)
        BuildAutoCal(sheet);
    if (page == TWizardPage::Finish)
        BuildFinish(sheet);
    if (const auto memo = SummaryMemoOfPage(page)) {
        auto *text = new QPlainTextEdit(sheet);
        text->setObjectName(SummaryMemoName(*memo));
        text->setReadOnly(true);
        text->setMinimumWidth(300);
        memos_[page] = text;
        outer->addWidget(text, 1);
    }
}

void TConfWizard::BuildEngineExtras(QWidget *sheet)
{
    auto *form = static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
    nozzleSuggest_ = new QLabel(sheet);
    nozzleSuggest_->setObjectName("LblConfNozzleSuggest");
    auto *nozzleCaption = new QLabel(QStringLiteral("Sugerowana średnica dysz:"), sheet);
    nozzleCaption->setObjectName("LblConfNozzleSuggestCaption");
    form->addRow(nozzleCaption, nozzleSuggest_);
    powerHp_ = new QLabel(sheet);
    powerHp_->setObjectName("LblConfPowerHP");
    form->insertRow(5, QString(), powerHp_);
    detect_ = new QPushButton(QStringLiteral("Wykryj"), sheet);
    detect_->setObjectName("BtnConfCheckInjSystem");
    phases_ = new QLabel(sheet);
    phases_->setObjectName("LblConfInjPhases");
    auto *row = new QHBoxLayout;
    row->addWidget(detect_);
    row->addWidget(phases_, 1);
    form->addRow(QString(), row);
    connect(detect_, &QPushButton::clicked, this, [this] { DetectPressed(); });
    connect(static_cast<QLineEdit *>(byName_["EdtConfPower"]), &QLineEdit::textChanged, this,
            [this] { RefreshDerived(); });
}

void TConfWizard::BuildGasExtras(QWidget *sheet)
{
    auto *form = static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
    pressureInfo_ = new QLabel(sheet);
    pressureInfo_->setObjectName("LblConfPSTInfo");
    form->addRow(QString(), pressureInfo_);
    lambda_ = new QCheckBox(QStringLiteral("Sonda lambda podłączona"), sheet);
    lambda_->setObjectName("ChBConfLambda");
    byName_["ChBConfLambda"] = lambda_;
    form->insertRow(form->rowCount() - 3, lambda_);
    connect(lambda_, &QCheckBox::toggled, this, [this] { UserChanged(); });
    idleTb_ = new QPushButton(QStringLiteral("Ustal"), sheet);
    idleTb_->setObjectName("BtnConfIdleHotTb");
    form->addRow(QString(), idleTb_);
    connect(idleTb_, &QPushButton::clicked, this, [this] { IdleTbPressed(); });
}

void TConfWizard::BuildVerify(QWidget *sheet)
{
    auto *form = static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
    valve_ = new QPushButton(QStringLiteral("Zawory gazowe"), sheet);
    valve_->setObjectName("DpSConfValve");
    valve_->setCheckable(true);
    form->addRow(valve_);
    connect(valve_, &QPushButton::toggled, this, [this](bool on) { ValveToggled(on); });
    struct TLive
    {
        const char *Name;
        const char *Caption;
    };
    for (const TLive &l : {TLive{"LblConfVerRPM", "Obroty [1/min]"}, TLive{"LblConfVerPsys", "Ciśnienie gazu [bar]"},
                           TLive{"LblConfVerPcol", "Podciśnienie [bar]"},
                           TLive{"LblConfVerTred", "Temp. reduktora [°C]"}, TLive{"LblConfVerTgas", "Temp. gazu [°C]"},
                           TLive{"LblConfVerTb", "Czas benzyny [ms]"}, TLive{"LblConfVerTg", "Czas gazu [ms]"}}) {
        auto *caption = new QLabel(QString::fromUtf8(l.Caption), sheet);
        caption->setObjectName(QString(l.Name) + "Caption");
        auto *value = new QLabel(QStringLiteral("-"), sheet);
        value->setObjectName(l.Name);
        live_[l.Name] = value;
        form->addRow(caption, value);
    }
}

void TConfWizard::BuildAutoCal(QWidget *sheet)
{
    auto *form = static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
    auto *note = new QLabel(QStringLiteral("Autokalibrację uruchamia się na stronie Kalibracja."), sheet);
    note->setObjectName("LblConfAutoCalNote");
    note->setWordWrap(true);
    form->addRow(note);
}

void TConfWizard::BuildFinish(QWidget *sheet)
{
    auto *form = static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
    finishWarn_ = new QLabel(QStringLiteral("Sterownik nie został skalibrowany! Wykonaj autokalibrację."), sheet);
    finishWarn_->setObjectName("LblConfFinishWarnAutoCal");
    finishWarn_->setStyleSheet("color: red; font-weight: bold;");
    form->addRow(finishWarn_);
    inspectionBox_ = new QWidget(sheet);
    inspectionBox_->setObjectName("PnlConfInspection");
    auto *grid = new QFormLayout(inspectionBox_);
    inspectionDistance_ = new QLabel(inspectionBox_);
    inspectionDistance_->setObjectName("LblConfInspectionDistance");
    auto *distCaption = new QLabel(QStringLiteral("Do przeglądu [km]:"), inspectionBox_);
    distCaption->setObjectName("LblConfInspectionDistanceCaption");
    grid->addRow(distCaption, inspectionDistance_);
    const auto list = [this](const char *name, TValueListId id) {
        auto *c = new QComboBox(inspectionBox_);
        c->setObjectName(name);
        const TValueList &l = ValueList(id);
        for (std::size_t i = 0; i < l.entries.size(); ++i)
            c->addItem(Q(l.entries[i]), l.raws[i]);
        return c;
    };
    nextInspection_ = list("CmBConfNextInspection", TValueListId::NextInspection);
    inspectionRatio_ = list("CmBConfInspectionRatio", TValueListId::InspectionRatio);
    auto *nextCaption = new QLabel(QStringLiteral("Następny przegląd za [km]:"), inspectionBox_);
    nextCaption->setObjectName("LblCmBConfNextInspection");
    auto *ratioCaption = new QLabel(QStringLiteral("km na godzinę pracy silnika:"), inspectionBox_);
    ratioCaption->setObjectName("LblCmBConfInspectionRatio");
    grid->addRow(nextCaption, nextInspection_);
    grid->addRow(ratioCaption, inspectionRatio_);
    inspectionSet_ = new QPushButton(QStringLiteral("Set"), inspectionBox_);
    inspectionSet_->setObjectName("BtnConfInspectionSet");
    grid->addRow(QString(), inspectionSet_);
    form->addRow(inspectionBox_);
    connect(inspectionSet_, &QPushButton::clicked, this, [this] { InspectionSetPressed(); });
}

// ---- Filling and gathering ----

void TConfWizard::FillControl(TBound &b, const TNorviData &image)
{
    const TConfigField *field = FindConfigField(b.Row->Field);
    const bool present = field && IsPresent(*field, image);
    b.Widget->setVisible(present);
    if (b.Label)
        b.Label->setVisible(present);
    if (!present)
        return;
    const unsigned raw = RawValue(*field, image);
    if (auto *box = qobject_cast<QCheckBox *>(b.Widget)) {
        box->setChecked(raw != 0);
    } else if (auto *list = qobject_cast<QComboBox *>(b.Widget)) {
        list->clear();
        const auto id = ListOf(*field, image);
        if (!id)
            return;
        const TValueList &l = ValueList(*id);
        std::vector<int> offered;
        const bool counts = *id == TValueListId::InjectorCount;
        if (counts)
            for (int n : OfferedInjectorCounts(image.InjHW))
                offered.push_back(InjectorMask(n).value_or(0));
        for (std::size_t i = 0; i < l.entries.size(); ++i) {
            if (counts && std::find(offered.begin(), offered.end(), l.raws[i]) == offered.end())
                continue;
            list->addItem(Q(l.entries[i]), l.raws[i]);
        }
        // A stored count above the hardware shows as the hardware's count.
        unsigned shown = raw;
        if (counts)
            shown = InjectorMask(image.InjSW).value_or(0);
        const auto index = IndexOfRaw(*id, shown);
        list->setCurrentIndex(index ? list->findData(l.raws[*index]) : -1);
    } else if (auto *edit = qobject_cast<QLineEdit *>(b.Widget)) {
        if (field->Encoding == TEncoding::Ticks)
            edit->setText(Q(DecimalComma(TimeMs(raw), 2)));
        else
            edit->setText(QString::number(raw));
    }
}

void TConfWizard::Fill(const TNorviData &image)
{
    filling_ = true;
    for (TBound &b : bound_)
        FillControl(b, image);
    lambda_->setChecked(image.LambdaType != 0);
    phases_->clear();
    const bool fromG = Is30From(image, "G");
    inspectionBox_->setVisible(fromG);
    finishWarn_->setVisible(ShowNotAutocalibratedWarning(image.Markers));
    nextInspection_->setCurrentIndex(nextInspection_->findData(image.NextInspection));
    inspectionRatio_->setCurrentIndex(inspectionRatio_->findData(image.InspectionTimeDistRatio));
    ApplyDependencies();
    RefreshDerived();
    filling_ = false;
    RefreshSummary();
}

TNorviData TConfWizard::Gather() const
{
    TNorviData d = image_;
    for (const TBound &b : bound_) {
        const TConfigField *field = FindConfigField(b.Row->Field);
        if (!field || !IsPresent(*field, d))
            continue;
        if (auto *box = qobject_cast<QCheckBox *>(b.Widget)) {
            SetRawValue(*field, d, box->isChecked() ? 1 : 0);
        } else if (auto *list = qobject_cast<QComboBox *>(b.Widget)) {
            // A list without a choice is not written: the value read stays.
            if (list->currentIndex() >= 0)
                SetRawValue(*field, d, list->currentData().toUInt());
        } else if (auto *edit = qobject_cast<QLineEdit *>(b.Widget)) {
            const double v = EditNumber(edit);
            const double raw = field->Encoding == TEncoding::Ticks ? v * 187.0 : v;
            SetRawValue(*field, d, static_cast<unsigned>(std::lround(std::clamp(raw, 0.0, 65535.0))));
        }
    }
    if (!lambda_->isChecked())
        d.LambdaType = 0;
    return d;
}

// The dependencies between the controls: a box enables its lists, and a few
// settings exclude or force others.
void TConfWizard::ApplyDependencies()
{
    const auto box = [this](const char *name) { return qobject_cast<QCheckBox *>(byName_[name]); };
    for (const TBound &b : bound_) {
        if (!b.Row->Enabler)
            continue;
        QCheckBox *enabler = box(b.Row->Enabler);
        const bool on = enabler && enabler->isChecked();
        b.Widget->setEnabled(on);
        auto *list = qobject_cast<QComboBox *>(b.Widget);
        if (on && list && list->currentIndex() < 0 && list->count() > 0 && !filling_)
            list->setCurrentIndex(PicksLastEntry(b.Row->Control) ? list->count() - 1 : 0);
    }
    // Lambda input: the probe and the lubricant-level input exclude each other.
    QCheckBox *lube = box("ChBConfFlashLube");
    lambda_->setEnabled(!(lube && lube->isVisible() && lube->isChecked()));
    if (lube)
        lube->setEnabled(!lambda_->isChecked());
    // Plus-controlled petrol injectors need the external emulator.
    if (QCheckBox *plus = box("ChBConfPetrolInjPlus"); plus && plus->isChecked())
        box("ChBConfExternalEmulator")->setChecked(true);
    const bool external = box("ChBConfExternalEmulator")->isChecked();
    byName_["CmBConfPostValveDelay"]->setVisible(!external);
    findChild<QLabel *>("LblCmBConfPostValveDelay")->setVisible(!external);
    // Without the RPM wire the speed comes from the petrol injectors.
    QCheckBox *noWire = box("ChBConfRPMWireNotConnect");
    auto *source = qobject_cast<QComboBox *>(byName_["CmBConfRPMSourceType"]);
    const bool wireless = noWire->isVisible() ? noWire->isChecked() : false;
    if (wireless)
        source->setCurrentIndex(source->findData(0));
    source->setEnabled(!wireless);
}

void TConfWizard::RefreshDerived()
{
    const TNorviData d = Gather();
    const double kw = EditNumber(static_cast<QLineEdit *>(byName_["EdtConfPower"]));
    powerHp_->setText("(" + Q(DecimalComma(HorsePower(kw), 1)) + UiText(msg::strUnitHP, QStringLiteral("KM")) + ")");
    auto *count = qobject_cast<QComboBox *>(byName_["CmBConfInjCount"]);
    const int injectors = count->currentIndex() >= 0 ? d.InjSW : 0;
    const auto system = static_cast<TInjectionSystem>(d.InjSystemType);
    nozzleSuggest_->setText(Q(DecimalComma(SuggestedNozzleSizeMm(kw, injectors, system, d.FuelType != 0), 1)) + " mm");
    auto *sensor = qobject_cast<QComboBox *>(byName_["CmBConfPressureSensor"]);
    pressureInfo_->setText(UiText(msg::strPSTInfo, QStringLiteral("Czujnik ciśnienia:")) + " " + sensor->currentText());
}

void TConfWizard::RefreshSummary()
{
    const auto it = memos_.find(CurrentPage());
    if (it == memos_.end())
        return;
    const auto text = [this](const char *name) {
        auto *c = qobject_cast<QComboBox *>(byName_[name]);
        return c ? c->currentText().toStdString() : std::string();
    };
    const auto ticked = [this](const char *name) {
        auto *c = qobject_cast<QCheckBox *>(byName_[name]);
        return c && c->isVisible() && c->isChecked();
    };
    TSummaryInput in;
    TSummaryListTexts &l = in.Lists;
    l.InjSystemType = text("CmBConfInjSystemType");
    l.EngineType = text("CmBConfEngineType");
    l.Nozzle = text("CmBConfNozzleSize");
    l.GasInjector = text("CmBConfGasInjType");
    l.PressureSensor = text("CmBConfPressureSensor");
    l.Reducer = text("CmBConfReducer");
    l.LevelSensor = text("CmBConfLevelSensor");
    l.RPMSourceType = text("CmBConfRPMSourceType");
    l.RPMSource = text("CmBConfRPMSource");
    l.LambdaType = text("CmBConfLambdaType");
    l.SwitchRPM = text("CmBConfNomRPM");
    l.EmulatorSwitchDelay = text("CmBConfEmulSwitchDelay");
    l.HeatingTemp = text("CmBConfGasInjHeatingTred");
    l.OverlapTime = text("CmBConfOverlapTime");
    l.OverlapCycles = text("CmBConfOverlapCycles");
    l.LowPressure = text("CmBConfLowPressure");
    l.LowPressureDelay = text("CmBConfLowPressureDelay");
    l.LowRPM = text("CmBConfLowRPM");
    l.HighRPM = text("CmBConfHighRPM");
    l.HighLoad = text("CmBConfHighLoad");
    l.LowTgas = text("CmBConfLowTgas");
    l.LowTgasLoad = text("CmBConfLowTgasLoad");
    l.LowTred = text("CmBConfLowTred");
    l.LowTredLoad = text("CmBConfLowTredLoad");
    l.MicroInjectionTime = text("CmBConfMicroInjectionTime");
    l.PostValveDelay = text("CmBConfPostValveDelay");
    l.CutOffPressure = text("CmBConfCutOffPressure");
    TSummaryBoxes &b = in.Boxes;
    // Boxes on pages not on screen are hidden widgets: ask their state, not visibility.
    const auto checked = [this](const char *name) {
        auto *c = qobject_cast<QCheckBox *>(byName_[name]);
        return c && !c->isHidden() && c->isChecked();
    };
    (void)ticked;
    b.SensorInFlow = checked("ChBConfSensInFlow");
    b.RPMWireNotConnected = checked("ChBConfRPMWireNotConnect");
    b.GasInjHeating = checked("ChBConfGasInjHeating");
    b.FuelOverlap = checked("ChBConfFuelOverlap");
    b.LowRPM = checked("ChBConfLowRPM");
    b.HighRPM = checked("ChBConfHighRPM");
    b.HighLoad = checked("ChBConfHighLoad");
    b.TuningMode = checked("ChBConfTuningMode");
    b.LowTgas = checked("ChBConfLowTgas");
    b.LowTred = checked("ChBConfLowTred");
    b.NonSequential = checked("ChBConfNonSequential");
    b.MicroInjection = checked("ChBConfMicroInjection");
    b.HemiEngine = checked("ChBConfHemiEngine");
    b.PetrolInjPlus = checked("ChBConfPetrolInjPlus");
    b.ExternalEmulator = checked("ChBConfExternalEmulator");
    b.SemiSeqGas = checked("ChBConfSemiSeqGas");
    b.MasterMode = checked("ChBConfMasterMode");
    b.PreinjCutOff = checked("ChBConfPreinjCutOff");
    in.DecimalSeparator = ',';
    const auto memo = SummaryMemoOfPage(CurrentPage());
    std::string s = SummaryMemoText(*memo, Gather(), in);
    it->second->setPlainText(Q(s).replace("\r\n", "\n"));
}

void TConfWizard::RefreshTabs()
{
    for (const TPageSheet &s : kSheets)
        pages_->setTabVisible(PageNumber(s.Page) - 1, logic_.PageVisible(s.Page) || s.Page == CurrentPage());
    counter_->setText(Q(PageCounterText(CurrentPage())));
    prev_->setEnabled(CurrentPage() != TWizardPage::Engine && pending_ == 0);
    next_->setEnabled(CurrentPage() != TWizardPage::Finish && pending_ == 0);
    write_->setEnabled(pending_ == 0);
    read_->setEnabled(pending_ == 0);
}

void TConfWizard::SetModifiedColours(bool modified)
{
    const QString style = modified ? QStringLiteral("QPushButton { color: red; }") : QString();
    next_->setStyleSheet(style);
    write_->setStyleSheet(style);
}

void TConfWizard::UserChanged()
{
    if (filling_)
        return;
    modified_.SetModified(true);
    filling_ = true;
    ApplyDependencies();
    filling_ = false;
    RefreshDerived();
    RefreshSummary();
}

// ---- Moves and device work ----

// Runs `job` on the device thread and `after` here with the shared result.
template <class TJobResult>
static void RunJob(TDeviceWorker &worker, QPointer<TConfWizard> self, std::function<TJobResult(TDataManager &)> job,
                   std::function<void(TConfWizard &, const TJobResult &, const TNorviData &)> after)
{
    worker.Post([&worker, self, job, after] {
        TDataManager &m = worker.Link().Manager;
        TJobResult result = job(m);
        TNorviData image = m.Data();
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, after, result, image] {
                if (self)
                    after(*self, result, image);
            },
            Qt::QueuedConnection);
    });
}

TWizardPage TConfWizard::CurrentPage() const
{
    return WizardPageOf(pages_->currentIndex() + 1);
}

bool TConfWizard::GoTo(TWizardPage page)
{
    if (PageNumber(page) > PageNumber(logic_.Progress()))
        logic_.SetProgress(page);
    pages_->setTabVisible(PageNumber(page) - 1, true);
    pages_->setCurrentIndex(PageNumber(page) - 1);
    RefreshTabs();
    if (OnPageChanged)
        OnPageChanged();
    ReadPage();
    return true;
}

void TConfWizard::Entered()
{
    ReadPage();
}

void TConfWizard::ReadPage()
{
    Begin();
    RefreshTabs();
    QPointer<TConfWizard> self(this);
    ops_.ReadConfiguration([self](bool, const TNorviData &image) {
        if (!self)
            return;
        self->End();
        self->image_ = image;
        if (!self->haveImage_ && image.VersionCode != 0) {
            self->haveImage_ = true;
            // A configured controller need not walk the wizard again.
            const TWizardPage proven = ProgressFromMarkers(image.Markers);
            if (PageNumber(proven) > PageNumber(self->logic_.Progress()))
                self->logic_.SetProgress(proven);
        }
        self->Fill(image);
        self->modified_.SetModified(false);
        self->RefreshTabs();
        if (self->CurrentPage() == TWizardPage::Finish && Is30From(image, "G"))
            self->ReadInspectionDistance();
    });
}

void TConfWizard::ReadInspectionDistance()
{
    RunJob<uint16_t>(
        worker_, this, [](TDataManager &m) { return ConfigurationAccessible(m) ? m.ReadWordVar(39) : uint16_t{0}; },
        [](TConfWizard &w, const uint16_t &engineTime, const TNorviData &image) {
            w.inspectionDistance_->setText(
                QString::number(InspectionDistanceKm(engineTime, image.InspectionTimeDistRatio)));
        });
}

void TConfWizard::Report(const TConfigWriteResult &r)
{
    if (r.Outcome == TConfigWriteOutcome::Refused || r.Ok())
        return;
    QString text;
    if (r.Outcome == TConfigWriteOutcome::Differing) {
        QStringList names;
        for (const std::string &n : r.DifferingFields)
            names << Q(n);
        text = UiText(msg::strWriteFailed, QStringLiteral("Sterownik zapisał inne wartości:")) + " " + names.join(", ");
    } else {
        text = UiText(msg::strWriteFailed, QStringLiteral("Zapis konfiguracji nie powiódł się.")) + "\n" +
               Q(r.Write.Message());
    }
    lastFailure_ = text;
    if (ShowMessage)
        ShowMessage(this, {TMessageKind::Warning, UiText(msg::strConfirmDataSave, QStringLiteral("Zapis")), text});
}

struct TWriteJob
{
    TWriteOutcome Outcome = TWriteOutcome::Failed;
    TConfigWriteResult Write;
};

void TConfWizard::WritePressed()
{
    if (logic_.AutocalibrationBusy) {
        QApplication::beep();
        return;
    }
    const TNorviData edited = Gather();
    const bool modified = modified_.IsModified();
    Begin();
    RefreshTabs();
    RunJob<TWriteJob>(
        worker_, this,
        [this, edited, modified](TDataManager &m) {
            TWriteJob job;
            deviceModified_.SetModified(modified);
            job.Outcome = confirmation_->Write([&] {
                job.Write = WriteConfigurationNow(m, edited);
                return job.Write.Ok();
            });
            return job;
        },
        [](TConfWizard &w, const TWriteJob &job, const TNorviData &image) {
            w.End();
            if (job.Outcome == TWriteOutcome::Written) {
                w.image_ = image;
                w.Fill(image);
                w.modified_.SetModified(false);
            } else if (job.Outcome == TWriteOutcome::Failed) {
                w.Report(job.Write);
            }
            w.RefreshTabs();
        });
}

struct TNextJob
{
    TWizardPage To = TWizardPage::Engine;
    TConfigWriteResult Write;
    bool Wrote = false;
};

void TConfWizard::NextPressed()
{
    const TWizardPage from = CurrentPage();
    const TNorviData edited = Gather();
    const bool modified = modified_.IsModified();
    Begin();
    RefreshTabs();
    RunJob<TNextJob>(
        worker_, this,
        [this, from, edited, modified](TDataManager &m) {
            TNextJob job;
            deviceModified_.SetModified(modified);
            job.To = logic_.Next(from, m, [&] {
                job.Wrote = true;
                return confirmation_->Write([&] {
                    job.Write = WriteConfigurationNow(m, edited);
                    return job.Write.Ok();
                });
            });
            return job;
        },
        [from](TConfWizard &w, const TNextJob &job, const TNorviData &) {
            w.End();
            if (job.To != from) {
                w.modified_.SetModified(false);
                w.GoTo(job.To);
                return;
            }
            if (job.Wrote)
                w.Report(job.Write);
            w.RefreshTabs();
        });
}

void TConfWizard::PrevPressed()
{
    const int target = PageNumber(TProgramLogic::Back(CurrentPage())) - 1;
    TabClicked(target);
}

struct TLeaveJob
{
    TLeaveDecision Decision = TLeaveDecision::Stay;
    TConfigWriteResult Write;
    bool Wrote = false;
};

void TConfWizard::TabClicked(int index)
{
    if (index < 0 || index == pages_->currentIndex())
        return;
    // The tab bar would switch by itself; the wizard decides instead.
    const int current = pages_->currentIndex();
    QMetaObject::invokeMethod(
        this, [this, current] { pages_->setCurrentIndex(current); }, Qt::QueuedConnection);
    const TWizardPage target = WizardPageOf(index + 1);
    if (!modified_.IsModified()) {
        QMetaObject::invokeMethod(
            this, [this, target] { GoTo(target); }, Qt::QueuedConnection);
        return;
    }
    const TNorviData edited = Gather();
    Begin();
    RefreshTabs();
    RunJob<TLeaveJob>(
        worker_, this,
        [this, edited](TDataManager &m) {
            TLeaveJob job;
            deviceModified_.SetModified(true);
            job.Decision = confirmation_->Leave([&] {
                job.Wrote = true;
                job.Write = WriteConfigurationNow(m, edited);
                return job.Write.Ok();
            });
            return job;
        },
        [target](TConfWizard &w, const TLeaveJob &job, const TNorviData &) {
            w.End();
            if (job.Decision == TLeaveDecision::Leave) {
                w.modified_.SetModified(false);
                w.GoTo(target);
                return;
            }
            if (job.Wrote)
                w.Report(job.Write);
            w.RefreshTabs();
        });
}

void TConfWizard::DetectPressed()
{
    QPointer<TConfWizard> self(this);
    ops_.DetectInjectionSystem([self](const TInjSystemDetection &found) {
        if (!self || !found.Ok)
            return;
        QStringList words;
        for (uint16_t w : found.PhaseWords)
            words << Q(PhaseWordText(w));
        self->phases_->setText(words.join("  "));
        auto *list = qobject_cast<QComboBox *>(self->byName_["CmBConfInjSystemType"]);
        list->setCurrentIndex(list->findData(static_cast<unsigned>(found.System)));
        self->UserChanged();
    });
}

void TConfWizard::IdleTbPressed()
{
    // The capture runs the engine through a question, a temperature check
    // and a timed poll; until it has its own operation the button says so.
    if (ShowMessage)
        ShowMessage(this, {TMessageKind::Information, QStringLiteral("Ustal"),
                           UiText(msg::strUpdUnavailable, QStringLiteral("Funkcja nie jest jeszcze dostępna."))});
}

void TConfWizard::ValveToggled(bool on)
{
    if (filling_)
        return;
    ops_.SetValve(on);
}

void TConfWizard::InspectionSetPressed()
{
    if (nextInspection_->currentIndex() < 0 || inspectionRatio_->currentIndex() < 0)
        return;
    QPointer<TConfWizard> self(this);
    ops_.WriteInspection(
        static_cast<uint16_t>(nextInspection_->currentData().toUInt()),
        static_cast<uint8_t>(inspectionRatio_->currentData().toUInt()),
        [self](const TWriteResult &r, const TNorviData &image) {
            if (!self)
                return;
            self->image_.NextInspection = image.NextInspection;
            self->image_.InspectionTimeDistRatio = image.InspectionTimeDistRatio;
            if (!r.Ok && r.Refusal == TWriteRefusal::None && self->ShowMessage)
                self->ShowMessage(self, {TMessageKind::Warning, QStringLiteral("Set"), Q(r.Message())});
        });
}

void TConfWizard::ShowSnapshot(const TDeviceSnapshot &s)
{
    const bool wasAccessible = accessible_;
    accessible_ = s.Accessible && s.LinkUp;
    if (accessible_ && !wasAccessible && !modified_.IsModified() && pending_ == 0 && isVisible())
        ReadPage();
    const TNorviData &d = s.Data;
    if (!PageShowsLiveReadings(CurrentPage()))
        return;
    const auto set = [this](const char *name, const std::string &text) {
        if (QLabel *l = live_[name])
            l->setText(Q(text));
    };
    set("LblConfVerRPM", ShowRpm(d.RpmPeriod));
    set("LblConfVerPsys", FormatPressure(s.Extras.PsysBar));
    set("LblConfVerPcol", FormatPressure(PcolBar(d.PcolRaw, d.PressureSensorType)));
    set("LblConfVerTred", ShowTemperature(d.TredRaw));
    set("LblConfVerTgas", ShowTemperature(d.TgasRaw));
    set("LblConfVerTb", FormatTime(AvgPetrolTimeMs(d)));
    set("LblConfVerTg", FormatTime(AvgGasTimeMs(d)));
    if (valve_ && !valve_->isDown()) {
        filling_ = true;
        valve_->setChecked(d.ValveOpen != 0);
        filling_ = false;
    }
}

} // namespace lumex
