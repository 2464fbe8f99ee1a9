#include "mainwindow/ConfWizard.h"

#include "calibration/ui/ConfAutoCalPage.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigSummary.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/IdleTbCapture.h"
#include "configuration/InjectionSystem.h"
#include "configuration/InjectorTable.h"
#include "configuration/ValueLists.h"
#include "controller/ControllerLink.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "documents/CustomParams.h"
#include "documents/MessageKeys.h"
#include "documents/ProductProfile.h"
#include "mainwindow/ConfWizardRows.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "mainwindow/ValueListBox.h"
#include "mainwindow/WizardLists.h"
#include "widgets/PictureView.h"

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

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

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

// The photograph each list of the installation page stands for.
struct TPhotoList
{
    const char *Control;
    TPhotoComponent Component;
};

constexpr TPhotoList kPhotoLists[] = {
    {"CmBConfGasInjType", TPhotoComponent::GasInjector},        {"CmBConfReducer", TPhotoComponent::Reducer},
    {"CmBConfPressureSensor", TPhotoComponent::PressureSensor}, {"CmBConfLevelSensor", TPhotoComponent::LevelSensor},
    {"CmBConfLambdaType", TPhotoComponent::LambdaProbe},        {"ChBConfSensInFlow", TPhotoComponent::GasTempSensor},
};

int FormRowOf(QFormLayout *form, QWidget *widget)
{
    int row = -1;
    QFormLayout::ItemRole role;
    form->getWidgetPosition(widget, &row, &role);
    return row;
}

QFormLayout *FormOf(QWidget *sheet)
{
    return static_cast<QFormLayout *>(static_cast<QHBoxLayout *>(sheet->layout())->itemAt(0)->layout());
}

std::string Text(const char *key, const char *builtIn)
{
    return UiText(key, QString::fromUtf8(builtIn)).toStdString();
}

// The element-code lists, cut to what the product offers.
bool IsCodeList(TValueListId id)
{
    return id == TValueListId::GasInjector || id == TValueListId::PressureSensor;
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

TConfWizard::TConfWizard(TDeviceWorker &worker, TModifiedFlag &modified, QWidget *parent)
    : QWidget(parent), Ask(AskQuestionBox), worker_(worker), ops_(worker, this), modified_(modified),
      question_(
          this, [this](QWidget *owner, const TQuestion &q) { return Ask ? Ask(owner, q) : AskQuestionBox(owner, q); },
          &worker)
{
    setObjectName("PnlConfWizard");
    TCustomParameters offered;
    offered.ApplyProfile(SelectedProductProfile());
    offeredInjectors_ = offered.InjectorTypes;
    offeredSensors_ = offered.PressureSensorTypes;
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
    // The flag may outlive the wizard (it belongs to the window, whose
    // members go before its child widgets): the observer checks.
    QPointer<TConfWizard> self(this);
    modified_.Subscribe([self](bool modified) {
        if (self)
            self->SetModifiedColours(modified);
    });
    SetModifiedColours(modified_.IsModified());
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
        connect(box, &QCheckBox::toggled, this, [this, control = row.Control] { UserChanged(control); });
        w = box;
    } else if (field && (field->List || field->Encoding == TEncoding::Enumeration)) {
        auto *list = new QComboBox(parent);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        // The items carry the raw values; the language gives only their texts.
        MarkPageFilled(list);
        if (std::strcmp(row.Control, "CmBConfGasInjType") == 0)
            connect(list, &QComboBox::activated, this, [this] { InjectorChosen(); });
        else
            connect(list, &QComboBox::activated, this, [this, control = row.Control] { UserChanged(control); });
        w = list;
    } else {
        auto *edit = new QLineEdit(parent);
        edit->setMaximumWidth(90);
        connect(edit, &QLineEdit::textEdited, this, [this, control = row.Control] { UserChanged(control); });
        w = edit;
    }
    w->setObjectName(row.Control);
    byName_[row.Control] = w;
    for (const TPhotoList &p : kPhotoLists) {
        if (std::strcmp(p.Control, row.Control) != 0)
            continue;
        const TPhotoComponent component = p.Component;
        if (auto *list = qobject_cast<QComboBox *>(w))
            connect(list, &QComboBox::activated, this, [this, component] { ShowComponentPhoto(component); });
        if (auto *box = qobject_cast<QCheckBox *>(w))
            connect(box, &QCheckBox::clicked, this, [this, component] { ShowComponentPhoto(component); });
    }
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
            b.Label = new QLabel(QString::fromUtf8(row.Caption), sheet);
            b.Label->setObjectName(QString("Lbl") + row.Control);
            form->addRow(b.Label, control);
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
    auto *quick = new QHBoxLayout;
    auto *load = new QPushButton(QStringLiteral("Wczytaj ustawienia z pliku"), sheet);
    load->setObjectName("BtnConfLoadSettings");
    auto *reset = new QPushButton(QStringLiteral("Ustawienia fabryczne"), sheet);
    reset->setObjectName("BtnConfResetSettings");
    quick->addWidget(load);
    quick->addWidget(reset);
    quick->addStretch();
    connect(load, &QPushButton::clicked, this, [this] {
        if (OnLoadSettings)
            OnLoadSettings();
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (OnResetSettings)
            OnResetSettings();
    });
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
    // Below the page's own rows.
    form->addItem(new QSpacerItem(0, form->spacing() * 3));
    form->addRow(quick);
}

void TConfWizard::BuildGasExtras(QWidget *sheet)
{
    QFormLayout *form = FormOf(sheet);
    const auto after = [&](const char *control, QWidget *caption, QWidget *field) {
        const int row = FormRowOf(form, byName_[control]) + 1;
        if (caption)
            form->insertRow(row, caption, field);
        else
            form->insertRow(row, field);
    };
    const auto label = [sheet](const char *name, const char *text) {
        auto *l = new QLabel(QString::fromUtf8(text), sheet);
        l->setObjectName(name);
        return l;
    };

    // Added bottom-up so each lands right under its list.
    lambda_ = new QCheckBox(QStringLiteral("Sonda lambda podłączona"), sheet);
    lambda_->setObjectName("ChBConfLambda");
    byName_["ChBConfLambda"] = lambda_;
    form->insertRow(FormRowOf(form, byName_["CmBConfLambdaType"]), lambda_);
    connect(lambda_, &QCheckBox::toggled, this, [this] { UserChanged("ChBConfLambda"); });
    connect(lambda_, &QCheckBox::clicked, this, [this] { ShowComponentPhoto(TPhotoComponent::LambdaProbe); });

    idleTb_ = new QPushButton(QStringLiteral("Ustal"), sheet);
    idleTb_->setObjectName("BtnConfIdleHotTb");
    auto *idleRow = new QHBoxLayout;
    const QFormLayout::TakeRowResult taken = form->takeRow(byName_["EdtConfIdleHotTb"]);
    delete taken.labelItem;
    delete taken.fieldItem;
    // The edit and its button share a row: the capture fills the edit.
    idleRow->addWidget(byName_["EdtConfIdleHotTb"]);
    idleRow->addWidget(idleTb_);
    idleRow->addStretch(1);
    form->insertRow(FormRowOf(form, byName_["CmBConfRPMSource"]) + 1, findChild<QLabel *>("LblEdtConfIdleHotTb"),
                    idleRow);
    connect(idleTb_, &QPushButton::clicked, this, [this] { IdleTbPressed(); });

    // The working pressure comes from its determination on the calibration
    // pages; here it is shown for the summary.
    workPressure_ = new QComboBox(sheet);
    workPressure_->setObjectName("CmBConfWorkPressure");
    MarkPageFilled(workPressure_);
    for (const TListEntry &e : WorkPressureEntries())
        workPressure_->addItem(Q(e.Text), e.Raw);
    workPressure_->setEnabled(false);
    workPressureSet_ = new QPushButton(QStringLiteral("Wyznacz"), sheet);
    workPressureSet_->setObjectName("BtnConfWorkPressure");
    connect(workPressureSet_, &QPushButton::clicked, this, [this] {
        if (OnDetermineWorkPressure)
            OnDetermineWorkPressure();
    });
    auto *pressureRow = new QHBoxLayout;
    pressureRow->addWidget(workPressure_);
    pressureRow->addWidget(workPressureSet_);
    pressureRow->addStretch(1);
    form->insertRow(FormRowOf(form, byName_["CmBConfRPMSource"]) + 1,
                    label("LblCmBConfWorkPressure", "Ciśnienie robocze [bar]"), pressureRow);

    levelSensor_ = new QPushButton(QStringLiteral("Konfiguracja wskaźnika"), sheet);
    levelSensor_->setObjectName("BtnConfLevSensConfig");
    byName_["BtnConfLevSensConfig"] = levelSensor_;
    connect(levelSensor_, &QPushButton::clicked, this, [this] {
        if (OnConfigureLevelSensor)
            OnConfigureLevelSensor();
    });
    auto *levelRow = new QHBoxLayout;
    levelRow->addWidget(levelSensor_);
    levelRow->addStretch(1);
    form->insertRow(FormRowOf(form, byName_["CmBConfLevelSensor"]) + 1, QString(), levelRow);

    pressureInfo_ = label("LblConfPSTInfo", "");
    after("CmBConfPressureSensor", nullptr, pressureInfo_);

    injectorOffset_ = label("LblConfInjModelOffset", "");
    after("CmBConfGasInjType", label("LblConfInjModelOffsetCaption", "Domyślny offset modelu [ms]"), injectorOffset_);

    photo_ = new TPictureView(sheet);
    photo_->setObjectName("PnlConfComponentPhoto");
    photo_->setMinimumSize(200, 150);
    static_cast<QHBoxLayout *>(sheet->layout())->addWidget(photo_, 0, Qt::AlignTop);
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
    autoCal_ = new TConfAutoCalPage(worker_, question_.Asker(), sheet);
    autoCal_->OnError = [this](const QString &text) {
        if (ShowMessage)
            ShowMessage(this, TUserMessage{TMessageKind::Warning, QString(), text});
    };
    // ZAKOŃCZ with a result moves on to the finish page.
    autoCal_->OnFinished = [this] { GoTo(TWizardPage::Finish); };
    form->addRow(autoCal_);
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
    grid->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    inspectionDistance_ = new QLabel(inspectionBox_);
    inspectionDistance_->setObjectName("LblConfInspectionDistance");
    auto *distCaption = new QLabel(QStringLiteral("Do przeglądu [km]:"), inspectionBox_);
    distCaption->setObjectName("LblConfInspectionDistanceCaption");
    grid->addRow(distCaption, inspectionDistance_);
    const auto list = [this](const char *name, TValueListId id) {
        auto *c = new QComboBox(inspectionBox_);
        c->setObjectName(name);
        MarkPageFilled(c);
        FillValueListBox(c, id);
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
    auto *save = new QPushButton(QStringLiteral("Zapisz ustawienia do pliku"), sheet);
    save->setObjectName("BtnConfSaveSettings");
    form->addRow(save);
    connect(save, &QPushButton::clicked, this, [this] {
        if (OnSaveSettings)
            OnSaveSettings();
    });
    auto *docs = new QPushButton(QStringLiteral("Dokumentacja..."), sheet);
    docs->setObjectName("BtnConfDocumentation");
    form->addRow(docs);
    connect(docs, &QPushButton::clicked, this, [this] {
        if (OnOpenDocumentation)
            OnOpenDocumentation();
    });
    auto *upgrade = new QPushButton(QStringLiteral("Aktualizacja sterownika..."), sheet);
    upgrade->setObjectName("BtnConfUpgradeFirmware");
    form->addRow(upgrade);
    connect(upgrade, &QPushButton::clicked, this, [this] {
        if (OnUpgradeFirmware)
            OnUpgradeFirmware();
    });
}

// ---- Filling and gathering ----

void TConfWizard::FillControl(TBound &b, const TNorviData &image)
{
    const TConfigField *field = FindConfigField(b.Row->Field);
    const bool present = field && IsPresent(*field, image);
    b.Present = present;
    b.Widget->setVisible(present);
    if (b.Label)
        b.Label->setVisible(present);
    if (!present)
        return;
    const unsigned raw = RawValue(*field, image);
    if (auto *box = qobject_cast<QCheckBox *>(b.Widget)) {
        box->setChecked(raw != 0);
    } else if (auto *list = qobject_cast<QComboBox *>(b.Widget)) {
        const auto id = ListOf(*field, image);
        if (!id) {
            list->clear();
            return;
        }
        FillListItems(list, *id, image);
        if (IsCodeList(*id)) {
            // A code the product does not offer leaves the list without a choice.
            list->setCurrentIndex(list->findData(raw));
            return;
        }
        // A stored count above the hardware shows as the hardware's count.
        unsigned shown = raw;
        if (*id == TValueListId::InjectorCount)
            shown = InjectorMask(image.InjSW).value_or(0);
        // The list's own matching: a switch speed compares on its low 14 bits.
        const auto index = IndexOfRaw(*id, shown);
        list->setCurrentIndex(index ? list->findData(static_cast<unsigned>(ValueList(*id).raws[*index])) : -1);
    } else if (auto *edit = qobject_cast<QLineEdit *>(b.Widget)) {
        if (field->Encoding == TEncoding::Ticks)
            edit->setText(Q(DecimalComma(TimeMs(raw), 2)));
        else
            edit->setText(QString::number(raw));
    }
}

void TConfWizard::FillListItems(QComboBox *list, TValueListId id, const TNorviData &image)
{
    if (IsCodeList(id)) {
        // The product's codes in the product's order: names, not words, so
        // no language changes them.
        list->clear();
        for (const TListEntry &e :
             OfferedEntries(id, id == TValueListId::GasInjector ? offeredInjectors_ : offeredSensors_))
            list->addItem(Q(e.Text), static_cast<unsigned>(e.Raw));
        return;
    }
    std::vector<unsigned> offered;
    const bool counts = id == TValueListId::InjectorCount;
    if (counts)
        for (int n : OfferedInjectorCounts(image.InjHW))
            offered.push_back(InjectorMask(n).value_or(0));
    const TValueList &l = ValueList(id);
    FillValueListBox(list, id, [&](std::size_t i) {
        return !counts || std::find(offered.begin(), offered.end(), l.raws[i]) != offered.end();
    });
}

void TConfWizard::Retranslate()
{
    // The lists take the texts of the language in force; what is chosen,
    // and the modified flag, stay.
    const bool was = filling_;
    filling_ = true;
    for (const TBound &b : bound_) {
        auto *list = qobject_cast<QComboBox *>(b.Widget);
        const TConfigField *field = FindConfigField(b.Row->Field);
        // A list not filled yet has nothing to translate.
        if (!list || !field || !b.Present || list->count() == 0)
            continue;
        if (const auto id = ListOf(*field, image_))
            RefillKeepingChoice(list, [&] { FillListItems(list, *id, image_); });
    }
    RefillKeepingChoice(nextInspection_, [this] { FillValueListBox(nextInspection_, TValueListId::NextInspection); });
    filling_ = was;
    RefreshDerived();
    RefreshSummary();
}

void TConfWizard::SetOfferedCodes(std::vector<int> injectors, std::vector<int> pressureSensors)
{
    offeredInjectors_ = std::move(injectors);
    offeredSensors_ = std::move(pressureSensors);
    if (haveImage_)
        Fill(image_);
}

void TConfWizard::ShowWorkPressure(uint8_t raw)
{
    image_.WorkPress = raw;
    workPressure_->setCurrentIndex(workPressure_->findData(raw));
}

void TConfWizard::Fill(const TNorviData &image)
{
    filling_ = true;
    for (TBound &b : bound_)
        FillControl(b, image);
    lambda_->setChecked(image.LambdaType != 0);
    workPressure_->setCurrentIndex(workPressure_->findData(image.WorkPress));
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

std::optional<QString> TConfWizard::RefusedEdit() const
{
    for (const TBound &b : bound_) {
        const auto *edit = qobject_cast<const QLineEdit *>(b.Widget);
        const TConfigField *field = FindConfigField(b.Row->Field);
        if (!edit || !field || !IsPresent(*field, image_))
            continue;
        if (const TFieldInput input = ParseShownValue(*field, image_, edit->text().toStdString()); !input)
            return Q(input.Error);
    }
    return std::nullopt;
}

bool TConfWizard::RefuseBadEdits()
{
    const auto problem = RefusedEdit();
    if (!problem)
        return false;
    if (ShowMessage)
        ShowMessage(this, {TMessageKind::Warning, UiText(msg::strConfirmDataSave, QStringLiteral("Zapis")),
                           UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało "
                                                                           "wysłane.")) +
                               "\n\n" + *problem});
    return true;
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
            // Text the field refuses keeps the value read; a write checks
            // the edits first (RefuseBadEdits) and sends nothing then.
            if (const TFieldInput input = ParseShownValue(*field, d, edit->text().toStdString()))
                SetRawValue(*field, d, *input.Raw);
        }
    }
    if (!lambda_->isChecked())
        d.LambdaType = 0;
    // The block carries the class the injector type implies.
    d.InjType = InjectorClassOf(d.InjTypeName).Class;
    return d;
}

// The page's state goes through the shared dependency rules and comes back
// with the forced values, the enabled controls and the shown ones.
void TConfWizard::ApplyDependencies(std::optional<TConfControl> toggled, bool sensorChosen)
{
    TConfControls state;
    for (const TWizardRule &r : WizardRules()) {
        const auto i = static_cast<std::size_t>(r.Rule);
        QWidget *w = byName_[r.Control];
        if (auto *box = qobject_cast<QCheckBox *>(w))
            state.Checked[i] = box->isChecked();
        if (auto *list = qobject_cast<QComboBox *>(w)) {
            state.Index[i] = list->currentIndex();
            state.Count[i] = list->count();
        }
    }
    auto *sensor = qobject_cast<QComboBox *>(byName_["CmBConfPressureSensor"]);
    const uint8_t code = sensor->currentIndex() >= 0 ? static_cast<uint8_t>(sensor->currentData().toUInt()) : 0;
    state.PressureSensorCode = code;
    const TConfContext context{kVersion30, image_.SoftwareLetter};
    if (toggled)
        CheckBox(state, *toggled, state.IsChecked(*toggled), context);
    if (sensorChosen)
        ChoosePressureSensor(state, code);
    const TConfView view = ResolveDependencies(state, context);

    // Controls the revision lacks stay hidden whatever the rules say.
    std::map<const QWidget *, bool> present;
    for (const TBound &b : bound_)
        present[b.Widget] = b.Present;
    const auto shown = [&present](const QWidget *w) {
        const auto it = present.find(w);
        return it == present.end() || it->second;
    };
    for (const TWizardRule &r : WizardRules()) {
        const auto i = static_cast<std::size_t>(r.Rule);
        QWidget *w = byName_[r.Control];
        if (auto *box = qobject_cast<QCheckBox *>(w))
            box->setChecked(state.Checked[i]);
        if (auto *list = qobject_cast<QComboBox *>(w))
            list->setCurrentIndex(state.Index[i]);
        const TControlView &v = view.Of(r.Rule);
        w->setEnabled(v.Enabled);
        w->setVisible(v.Visible && shown(w));
        if (auto *caption = findChild<QLabel *>(QString("Lbl") + r.Control))
            caption->setVisible(v.Visible && shown(w));
    }
    if (view.Of(TConfControl::TbSModAdaptation).Visible != adaptationShown_) {
        adaptationShown_ = !adaptationShown_;
        if (OnModelAdaptationShown)
            OnModelAdaptationShown(adaptationShown_);
    }
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
    pressureInfo_->setText(UiText(msg::strPSTInfo, QStringLiteral("Zamontowany czujnik ciśnienia:")) + " " +
                           sensor->currentText());
    auto *injector = qobject_cast<QComboBox *>(byName_["CmBConfGasInjType"]);
    injectorOffset_->setText(injector->currentIndex() >= 0
                                 ? Q(DefaultModelOffsetLabel(static_cast<uint8_t>(injector->currentData().toUInt())))
                                 : QString());
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
    l.WorkPressure = workPressure_->currentText().toStdString();
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

void TConfWizard::UserChanged(const char *control)
{
    if (filling_)
        return;
    modified_.SetModified(true);
    std::optional<TConfControl> toggled;
    if (control && qobject_cast<QCheckBox *>(byName_[control]))
        toggled = WizardRuleOf(control);
    const bool sensorChosen = control && std::strcmp(control, "CmBConfPressureSensor") == 0;
    filling_ = true;
    ApplyDependencies(toggled, sensorChosen);
    filling_ = false;
    RefreshDerived();
    RefreshSummary();
}

// ---- Moves and device work ----

// Runs `job` on the device thread and `after` here with the shared result.
template <class TJobResult>
static void RunJob(TDeviceWorker &worker, const QPointer<TConfWizard> &self,
                   std::function<TJobResult(TDataManager &)> job,
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
    const auto joined = [](const std::vector<std::string> &items, const char *separator) {
        QStringList list;
        for (const std::string &item : items)
            list << Q(item);
        return list.join(separator);
    };
    QString text;
    if (r.Outcome == TConfigWriteOutcome::Differing) {
        text = UiText(msg::strConfReadBackDiffers, QStringLiteral("Sterownik przechowuje inne wartości niż wysłane:")) +
               "\n" + joined(r.DifferingFields, ", ");
    } else if (!r.Invalid.empty()) {
        text = UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane.")) +
               "\n\n" + joined(r.Invalid, "\n");
    } else {
        text = UiText(msg::strConfWriteFailed, QStringLiteral("Sterownik nie przyjął konfiguracji.")) + "\n\n" +
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
    if (RefuseBadEdits())
        return;
    const TNorviData edited = Gather();
    const bool modified = modified_.IsModified();
    Begin();
    RefreshTabs();
    const TPlacementQuestion placement = PlacementQuestion();
    RunJob<TWriteJob>(
        worker_, this,
        [this, edited, modified, placement](TDataManager &m) {
            TWriteJob job;
            deviceModified_.SetModified(modified);
            job.Outcome = confirmation_->Write([&] {
                job.Write = WriteConfigurationNow(m, edited, placement);
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
    // Leaving the page writes it when modified: the edits are checked first.
    if (RefuseBadEdits())
        return;
    const TNorviData edited = Gather();
    const bool modified = modified_.IsModified();
    Begin();
    RefreshTabs();
    const TPlacementQuestion placement = PlacementQuestion();
    RunJob<TNextJob>(
        worker_, this,
        [this, from, edited, modified, placement](TDataManager &m) {
            TNextJob job;
            deviceModified_.SetModified(modified);
            job.To = logic_.Next(from, m, [&] {
                job.Wrote = true;
                return confirmation_->Write([&] {
                    job.Write = WriteConfigurationNow(m, edited, placement);
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
    if (RefuseBadEdits())
        return;
    const TNorviData edited = Gather();
    Begin();
    RefreshTabs();
    const TPlacementQuestion placement = PlacementQuestion();
    RunJob<TLeaveJob>(
        worker_, this,
        [this, edited, placement](TDataManager &m) {
            TLeaveJob job;
            deviceModified_.SetModified(true);
            job.Decision = confirmation_->Leave([&] {
                job.Wrote = true;
                job.Write = WriteConfigurationNow(m, edited, placement);
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

struct TIdleTbJob
{
    TIdleTbResult Result;
    std::string Text;
};

void TConfWizard::IdleTbPressed()
{
    // Busy from the press until the answer is back, on every path.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!accessible_ || logic_.AutocalibrationBusy) {
        QApplication::restoreOverrideCursor();
        return;
    }
    auto *edit = qobject_cast<QLineEdit *>(byName_["EdtConfIdleHotTb"]);
    const std::string text = edit->text().toStdString();
    Begin();
    RefreshTabs();
    QPointer<TConfWizard> self(this);
    TIdleTbCaptureIo io;
    io.Ask = question_.Asker();
    io.ShowError = [self](const std::string &message) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, message] {
                if (self && self->ShowMessage)
                    self->ShowMessage(self.data(), {TMessageKind::Critical, QStringLiteral("Ustal"), Q(message)});
            },
            Qt::QueuedConnection);
    };
    // The engine settles on the device thread; the window stays responsive.
    io.Wait = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    io.DecimalSeparator = ',';
    RunJob<TIdleTbJob>(
        worker_, self,
        [text, io](TDataManager &m) {
            TIdleTbJob job;
            job.Text = text;
            job.Result = CaptureIdleHotTb(m, job.Text, io);
            return job;
        },
        [](TConfWizard &w, const TIdleTbJob &job, const TNorviData &image) {
            w.IdleTbCaptured(job.Result.Outcome == TIdleTbOutcome::Captured, job.Text, image);
        });
}

void TConfWizard::IdleTbCaptured(bool captured, const std::string &text, const TNorviData &image)
{
    End();
    QApplication::restoreOverrideCursor();
    if (captured) {
        image_.IdleHotTb = image.IdleHotTb;
        filling_ = true;
        qobject_cast<QLineEdit *>(byName_["EdtConfIdleHotTb"])->setText(Q(text));
        filling_ = false;
        // It reaches the controller with the next configuration write.
        modified_.SetModified(true);
        RefreshSummary();
    }
    RefreshTabs();
}

TPlacementQuestion TConfWizard::PlacementQuestion()
{
    // Worded here on the GUI thread; asked from the device thread's write.
    const TQuestion question{Text(msg::strQCorrTgasChange, "Zmieniono umiejscowienie czujnika temperatury gazu.") +
                                 " " +
                                 Text(msg::strQCorrTgasChangeRes, "Przywrócić standardową korektę temperatury gazu "
                                                                  "dla nowego umiejscowienia?"),
                             Text(msg::strConfirmDataSave, "Zapis"), false};
    return [this, question] { return question_.Ask(question) == TAnswer::Yes; };
}

void TConfWizard::InjectorChosen()
{
    UserChanged("CmBConfGasInjType");
    if (!accessible_ || !Is30From(image_, "D") || !AnyInjectorCorrection(image_))
        return;
    // Corrections measured for the old injectors do not fit the new ones.
    const TQuestion question{Text(msg::strQuestInjEraseCorrect, "Zmieniono typ wtryskiwaczy. Wyzerować korekty "
                                                                "poszczególnych wtryskiwaczy?"),
                             Text(msg::strQCaptInjEraseCorrect, "Korekty wtryskiwaczy"), false};
    if (question_.Ask(question) != TAnswer::Yes)
        return;
    Begin();
    RefreshTabs();
    QPointer<TConfWizard> self(this);
    ops_.WriteInjectorCorrections({}, [self](const TWriteResult &r, const TNorviData &image) {
        if (!self)
            return;
        self->End();
        self->image_.InjCorr = image.InjCorr;
        if (!r.Ok && r.Refusal == TWriteRefusal::None && self->ShowMessage)
            self->ShowMessage(self, {TMessageKind::Warning,
                                     UiText(msg::strQCaptInjEraseCorrect, QStringLiteral("Korekty wtryskiwaczy")),
                                     Q(r.Message())});
        self->RefreshTabs();
    });
}

void TConfWizard::ShowComponentPhoto(TPhotoComponent component)
{
    // A missing picture leaves an empty frame.
    photo_->LoadCommonPicture(std::string(ComponentPhotoName(component)), std::string(kComponentPhotoExt));
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
    if (autoCal_)
        autoCal_->ShowSnapshot(s);
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
