#include "mainwindow/LegacyConfigPage.h"

#include "configuration/ConfigDependencies.h"
#include "configuration/ConfigFields.h"
#include "configuration/ConfigValidator.h"
#include "configuration/InjectionSystem.h"
#include "configuration/InjectorTable.h"
#include "configuration/LegacyPageRules.h"
#include "configuration/ValueLists.h"
#include "controller/Conversions.h"
#include "controller/ParamTables.h"
#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "mainwindow/ValueListBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

constexpr const char *kLambdaBox = "ChBKnfLambda";
constexpr unsigned kPeriodMask = 0x3FFF;

struct TGroupInfo
{
    TLegacyGroup Group;
    const char *Name;
    const char *Caption;
    int Column; // groups of a column are stacked
};

constexpr TGroupInfo kGroups[] = {
    {TLegacyGroup::Engine, "GrBKnfEngine", "Silnik", 0},
    {TLegacyGroup::Installation, "GrBKnfInstallation", "Instalacja", 1},
    {TLegacyGroup::Switching, "GrBKnfSwitching", "Przełączanie", 1},
    {TLegacyGroup::Options, "GrBKnfOptions", "Opcje", 0},
};
constexpr int kColumns = 2;

// The page's controls that the dependency rules know, by their rule names.
struct TDependent
{
    const char *Control;
    TConfControl Rule;
};

constexpr TDependent kDependents[] = {
    {kLambdaBox, TConfControl::ChBConfLambda},
    {"CmBKnfLambdaType", TConfControl::CmBConfLambdaType},
    {"ChBKnfMicroInjection", TConfControl::ChBConfMicroInjection},
    {"CmBKnfMicroInjectionTime", TConfControl::CmBConfMicroInjectionTime},
    {"ChBKnfExternalEmulator", TConfControl::ChBConfExternalEmulator},
    {"CmBKnfPostValveDelay", TConfControl::CmBConfPostValveDelay},
    {"ChBKnfPetrolInjPlusControl", TConfControl::ChBConfPetrolInjPlus},
    {"ChBKnfRPMWireNotConnect", TConfControl::ChBConfRPMWireNotConnect},
    {"CmBKnfRPMSourceType", TConfControl::CmBConfRPMSourceType},
    {"CmBKnfReserveType", TConfControl::CmBConfLevelSensor},
    {"BtnKnfConfigLevelSensor", TConfControl::BtnConfLevelSensor},
};

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

// A real as the page shows it: the decimal comma whatever the locale.
QString Decimal(double value, int decimals)
{
    return QString::number(value, 'f', decimals).replace('.', ',');
}

const TConfigField &Field(const char *name)
{
    const TConfigField *f = FindConfigField(name);
    // The control table names fields of the field table only.
    if (f == nullptr)
        throw std::logic_error(std::string("no configuration field ") + name);
    return *f;
}

// The value a list compares with the entries' raw values.
unsigned ShownRaw(const TConfigField &field, const TNorviData &d)
{
    if (field.Encoding == TEncoding::InjectorMask)
        return InjectorMask(d.InjSW).value_or(0);
    const unsigned raw = RawValue(field, d);
    return field.Encoding == TEncoding::RpmPeriod ? raw & kPeriodMask : raw;
}

QLabel *CaptionLabel(QWidget *parent, const std::string &control, const char *text)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(Q("Lbl" + control.substr(3)));
    return label;
}

} // namespace

TLegacyConfigPage::TLegacyConfigPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TbSConfig");
    Build();
}

void TLegacyConfigPage::Build()
{
    auto *outer = new QVBoxLayout(this);
    subPages_ = new QTabWidget(this);
    subPages_->setObjectName("PgCKnf");
    auto *basic = BuildSubPage(static_cast<int>(TLegacySubPage::Basic));
    basic->setObjectName("TbSKnfBasic");
    subPages_->addTab(basic, QStringLiteral("Podstawowe"));
    auto *advanced = BuildSubPage(static_cast<int>(TLegacySubPage::Advanced));
    advanced->setObjectName("TbSKnfAdvanced");
    subPages_->addTab(advanced, QStringLiteral("Zaawansowane"));
    outer->addWidget(subPages_, 1);

    auto *buttons = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Odczytaj"), this);
    read_->setObjectName("BtBKnfReadConfiguration");
    write_ = new QPushButton(QStringLiteral("Zapisz"), this);
    write_->setObjectName("BtBKnfWriteConfiguration");
    defaults_ = new QPushButton(QStringLiteral("Ustawienia fabryczne"), this);
    defaults_->setObjectName("BtBKnfWriteDefaultConfiguration");
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch();
    buttons->addWidget(defaults_);
    outer->addLayout(buttons);

    connect(defaults_, &QPushButton::clicked, this, [this] {
        if (OnWriteDefaults)
            OnWriteDefaults();
    });
    connect(read_, &QPushButton::clicked, this, [this] {
        if (OnRead)
            OnRead();
    });
    connect(write_, &QPushButton::clicked, this, [this] {
        if (OnWrite)
            OnWrite();
    });
    connect(captureTb_, &QPushButton::clicked, this, [this] {
        if (OnCaptureIdleHotTb)
            OnCaptureIdleHotTb();
    });
    connect(detect_, &QPushButton::clicked, this, [this] {
        if (OnDetectInjectionSystem)
            OnDetectInjectionSystem();
    });
    connect(levelSensor_, &QPushButton::clicked, this, [this] {
        if (OnConfigureLevelSensor)
            OnConfigureLevelSensor();
    });
    connect(Combo("CmBKnfInjType"), QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (OnInjectorTypeChosen && index >= 0)
            OnInjectorTypeChosen(Combo("CmBKnfInjType")->itemData(index).toUInt());
    });
    ApplyFollowers(std::nullopt);
    RefreshSuggestions();
}

QWidget *TLegacyConfigPage::BuildSubPage(int page)
{
    auto *widget = new QWidget(subPages_);
    auto *columns = new QHBoxLayout(widget);
    QVBoxLayout *stacks[kColumns];
    for (QVBoxLayout *&stack : stacks) {
        stack = new QVBoxLayout;
        columns->addLayout(stack);
    }
    for (const TGroupInfo &g : kGroups) {
        const auto controls = LegacyPageControls();
        const bool used = std::any_of(controls.begin(), controls.end(), [&](const TLegacyControl &c) {
            return c.Group == g.Group && static_cast<int>(c.Page) == page;
        });
        if (!used)
            continue;
        auto *box = new QGroupBox(QString::fromUtf8(g.Caption), widget);
        box->setObjectName(g.Name);
        auto *grid = new QGridLayout(box);
        int row = 0;
        for (const TLegacyControl &c : controls) {
            if (c.Group != g.Group || static_cast<int>(c.Page) != page)
                continue;
            const std::string name = c.Control;
            if (name == "CmBKnfLambdaType") {
                lambda_ = new QCheckBox(QStringLiteral("Sonda lambda podłączona"), box);
                lambda_->setObjectName(kLambdaBox);
                connect(lambda_, &QCheckBox::toggled, this, [this] { Changed(TConfControl::ChBConfLambda); });
                grid->addWidget(lambda_, row++, 0, 1, 3);
            }
            QWidget *control = nullptr;
            QWidget *extra = nullptr;
            switch (c.Kind) {
            case TLegacyControlKind::List: {
                auto *combo = new QComboBox(box);
                // The page fills the items with their raw values; the
                // language gives only their texts (ListEntryTexts).
                MarkPageFilled(combo);
                // Wide enough for the longest entry of the language in force.
                combo->setMinimumContentsLength(6);
                combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
                connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { Changed(); });
                control = combo;
                break;
            }
            case TLegacyControlKind::Check: {
                auto *check = new QCheckBox(QString::fromUtf8(c.Caption), box);
                std::optional<TConfControl> rule;
                for (const TDependent &d : kDependents) {
                    if (name == d.Control)
                        rule = d.Rule;
                }
                connect(check, &QCheckBox::toggled, this, [this, rule] { Changed(rule); });
                control = check;
                break;
            }
            case TLegacyControlKind::Edit: {
                auto *edit = new QLineEdit(box);
                edit->setMaxLength(8);
                connect(edit, &QLineEdit::textEdited, this, [this] { Changed(); });
                control = edit;
                break;
            }
            }
            control->setObjectName(Q(name));
            controls_[name] = control;
            if (name == "EdtKnfPower") {
                powerHp_ = new QLabel(box);
                powerHp_->setObjectName("LblKnfPowerHP");
                extra = powerHp_;
            } else if (name == "CmBKnfInjCount") {
                nozzleSuggested_ = new QLabel(box);
                nozzleSuggested_->setObjectName("LblKnfNozzleSuggested");
                extra = nozzleSuggested_;
            } else if (name == "CmBKnfInjSystemType") {
                detect_ = new QPushButton(QStringLiteral("Wykryj"), box);
                detect_->setObjectName("BtnKnfCheckInjSystem");
                extra = detect_;
            } else if (name == "EdtKnfIdleHotTb") {
                captureTb_ = new QPushButton(QStringLiteral("Ustal"), box);
                captureTb_->setObjectName("BtnOdcSaveIdleHotTb");
                extra = captureTb_;
            } else if (name == "CmBKnfReserveType") {
                levelSensor_ = new QPushButton(QStringLiteral("Konfiguruj"), box);
                levelSensor_->setObjectName("BtnKnfConfigLevelSensor");
                extra = levelSensor_;
            }
            if (c.Kind == TLegacyControlKind::Check) {
                grid->addWidget(control, row, 0, 1, 3);
                captions_[name] = control;
            } else {
                auto *label = CaptionLabel(box, name, c.Caption);
                label->setBuddy(control);
                captions_[name] = label;
                grid->addWidget(label, row, 0);
                grid->addWidget(control, row, 1);
            }
            if (extra)
                grid->addWidget(extra, row, 2);
            ++row;
        }
        grid->setRowStretch(row, 1);
        // Controls keep their own width; the room left stays on the right.
        grid->setColumnStretch(3, 1);
        stacks[g.Column]->addWidget(box);
    }
    // Each group as wide as its longest line: the long list entries of some
    // languages must not be cut by an even split of the width.
    for (QVBoxLayout *stack : stacks)
        stack->addStretch(1);
    columns->addStretch(1);
    return widget;
}

QComboBox *TLegacyConfigPage::Combo(const std::string &control) const
{
    const auto it = controls_.find(control);
    return it == controls_.end() ? nullptr : qobject_cast<QComboBox *>(it->second);
}

QCheckBox *TLegacyConfigPage::Check(const std::string &control) const
{
    const auto it = controls_.find(control);
    return it == controls_.end() ? nullptr : qobject_cast<QCheckBox *>(it->second);
}

QLineEdit *TLegacyConfigPage::Edit(const std::string &control) const
{
    const auto it = controls_.find(control);
    return it == controls_.end() ? nullptr : qobject_cast<QLineEdit *>(it->second);
}

void TLegacyConfigPage::SetOfferedCodes(std::vector<int> injectors, std::vector<int> pressureSensors)
{
    offeredInjectors_ = std::move(injectors);
    offeredSensors_ = std::move(pressureSensors);
}

void TLegacyConfigPage::SetOwnInjectorList(std::vector<TOwnEntry> entries)
{
    ownInjectors_ = std::move(entries);
}

void TLegacyConfigPage::FillList(QComboBox *box, const std::string &fieldName, const TNorviData &data)
{
    const TConfigField &field = Field(fieldName.c_str());
    box->clear();
    const auto listId = ListOf(field, data);
    if (!listId)
        return;
    if (*listId == TValueListId::GasInjector && !ownInjectors_.empty()) {
        for (const TOwnEntry &e : ownInjectors_)
            box->addItem(QString::fromStdString(e.Text), e.Code);
        box->setCurrentIndex(box->findData(ShownRaw(field, data)));
        return;
    }
    const TValueList &list = ValueList(*listId);
    const std::vector<int> *offered = nullptr;
    if (*listId == TValueListId::GasInjector && !offeredInjectors_.empty())
        offered = &offeredInjectors_;
    std::vector<int> counts;
    if (*listId == TValueListId::InjectorCount)
        counts = OfferedInjectorCounts(data.InjHW);
    FillValueListBox(box, *listId, [&](std::size_t i) {
        if (offered && std::find(offered->begin(), offered->end(), static_cast<int>(list.raws[i])) == offered->end())
            return false;
        if (*listId == TValueListId::InjectorCount) {
            const int n = std::stoi(list.entries[i]);
            return std::find(counts.begin(), counts.end(), n) != counts.end();
        }
        return true;
    });
    // The list's own matching: a switch speed compares on its low 14 bits
    // only, so 400 rpm (56100) is found in the 6948 the controller gives back.
    const auto index = IndexOfRaw(*listId, ShownRaw(field, data));
    box->setCurrentIndex(index ? box->findData(static_cast<unsigned>(list.raws[*index])) : -1);
}

void TLegacyConfigPage::Fill(const TNorviData &data)
{
    filling_ = true;
    shown_ = data;
    for (const TLegacyControl &c : LegacyPageControls()) {
        const TConfigField &field = Field(c.Field);
        if (QComboBox *box = Combo(c.Control)) {
            FillList(box, c.Field, data);
        } else if (QCheckBox *check = Check(c.Control)) {
            check->setChecked(IsPresent(field, data) && RawValue(field, data) != 0);
        }
    }
    Edit("EdtKnfCubicCapacity")->setText(QString::number(data.EngineCubicCapacity));
    Edit("EdtKnfPower")->setText(QString::number(data.Power));
    Edit("EdtKnfIdleHotTb")->setText(Decimal(TimeMs(data.IdleHotTb), 2));
    lambda_->setChecked(data.LambdaType != 0);
    ApplyGates(data);
    filling_ = false;
    ApplyFollowers(std::nullopt);
    RefreshSuggestions();
    SetModified(false);
}

void TLegacyConfigPage::ApplyGates(const TNorviData &data)
{
    const TLegacyPageGates gates = LegacyPageGates(data);
    for (const TLegacyControl &c : LegacyPageControls()) {
        const bool shown = LegacyControlGated(gates, c.Control);
        controls_[c.Control]->setVisible(shown);
        captions_[c.Control]->setVisible(shown);
    }
}

QWidget *TLegacyConfigPage::Dependent(const char *control) const
{
    if (std::string_view(control) == kLambdaBox)
        return lambda_;
    if (std::string_view(control) == "BtnKnfConfigLevelSensor")
        return levelSensor_;
    return controls_.at(control);
}

void TLegacyConfigPage::ApplyFollowers(std::optional<TConfControl> toggled)
{
    TConfControls state;
    for (const TDependent &d : kDependents) {
        const auto i = static_cast<std::size_t>(d.Rule);
        QWidget *w = Dependent(d.Control);
        if (auto *check = qobject_cast<QCheckBox *>(w))
            state.Checked[i] = check->isChecked() && !check->isHidden();
        if (auto *box = qobject_cast<QComboBox *>(w)) {
            state.Index[i] = box->currentIndex();
            state.Count[i] = box->count();
        }
    }
    const TConfContext context{shown_.VersionCode, shown_.SoftwareLetter};
    if (toggled)
        CheckBox(state, *toggled, state.IsChecked(*toggled), context);
    const TConfView view = ResolveDependencies(state, context);

    const bool was = filling_;
    filling_ = true;
    for (const TDependent &d : kDependents) {
        const auto i = static_cast<std::size_t>(d.Rule);
        QWidget *w = Dependent(d.Control);
        // Values the rules force (an emulator with plus-side injectors, the
        // RPM source without its wire, the lambda type) go back to the page.
        if (auto *check = qobject_cast<QCheckBox *>(w); check && !check->isHidden())
            check->setChecked(state.Checked[i]);
        if (auto *box = qobject_cast<QComboBox *>(w))
            box->setCurrentIndex(state.Index[i]);
        const TControlView &v = view.Of(d.Rule);
        w->setEnabled(v.Enabled);
        if (!qobject_cast<QCheckBox *>(w) && d.Rule != TConfControl::CmBConfLevelSensor) {
            w->setVisible(v.Visible);
            if (captions_.count(d.Control))
                captions_[d.Control]->setVisible(v.Visible);
        }
    }
    filling_ = was;
}

void TLegacyConfigPage::Changed(std::optional<TConfControl> toggled)
{
    if (filling_)
        return;
    ApplyFollowers(toggled);
    RefreshSuggestions();
    SetModified(true);
}

void TLegacyConfigPage::SetModified(bool modified)
{
    const bool changed = modified != modified_;
    modified_ = modified;
    write_->setStyleSheet(modified ? QStringLiteral("QPushButton { background-color: #e02020; color: white; }")
                                   : QString());
    if (changed && OnModifiedChanged)
        OnModifiedChanged(modified);
}

void TLegacyConfigPage::RefreshSuggestions()
{
    bool ok = false;
    const double kw = Edit("EdtKnfPower")->text().toInt(&ok);
    // Text that is no number counts as no power.
    const double power = ok ? kw : 0.0;
    powerHp_->setText(
        QString("(%1%2)").arg(Decimal(HorsePower(power), 1), UiText(msg::strUnitHP, QStringLiteral("KM"))));
    QComboBox *count = Combo("CmBKnfInjCount");
    const int injectors = count->currentIndex() >= 0
                              ? InjectorsForMask(static_cast<uint8_t>(count->currentData().toUInt())).value_or(0)
                              : 0;
    QComboBox *system = Combo("CmBKnfInjSystemType");
    const auto systemRaw = system->currentIndex() >= 0 ? system->currentData().toUInt() : 0u;
    QComboBox *fuel = Combo("CmBKnfFuel");
    const bool cng = fuel->currentIndex() >= 0 && fuel->currentData().toUInt() == 1;
    const double size = SuggestedNozzleSizeMm(power, injectors, static_cast<TInjectionSystem>(systemRaw), cng);
    nozzleSuggested_->setText(Decimal(size, 1) + " mm");
}

void TLegacyConfigPage::Retranslate()
{
    // The lists take the texts of the language in force; what is chosen,
    // and whether the page was modified, stays.
    const bool was = filling_;
    filling_ = true;
    for (const TLegacyControl &c : LegacyPageControls()) {
        QComboBox *box = Combo(c.Control);
        if (!box)
            continue;
        RefillKeepingChoice(box, [&] { FillList(box, c.Field, shown_); });
    }
    filling_ = was;
    RefreshSuggestions();
}

QString TLegacyConfigPage::IdleHotTbText() const
{
    return Edit("EdtKnfIdleHotTb")->text();
}

void TLegacyConfigPage::SetIdleHotTbText(const QString &text)
{
    Edit("EdtKnfIdleHotTb")->setText(text);
    Changed();
}

void TLegacyConfigPage::SetInjectionSystem(unsigned raw)
{
    QComboBox *system = Combo("CmBKnfInjSystemType");
    system->setCurrentIndex(system->findData(raw));
    Changed();
}

std::optional<QString> TLegacyConfigPage::Collect(TNorviData &data) const
{
    TNorviData next = data;
    for (const TLegacyControl &c : LegacyPageControls()) {
        const TConfigField &field = Field(c.Field);
        if (!IsPresent(field, next))
            continue;
        if (const QComboBox *box = Combo(c.Control)) {
            if (box->currentIndex() >= 0)
                SetRawValue(field, next, box->currentData().toUInt());
            else if (const auto neutral = LegacyNeutralRaw(c.Field))
                SetRawValue(field, next, *neutral);
        } else if (const QCheckBox *check = Check(c.Control)) {
            SetRawValue(field, next, check->isChecked() ? 1 : 0);
        }
    }
    if (!lambda_->isChecked())
        next.LambdaType = 0;
    const TLegacyPageGates gates = LegacyPageGates(next);
    if (gates.RpmWireNotConnected && next.RPMWireNotConnect)
        next.RPMSourceType = kRpmFromPetrolInjectors;
    // The injector class follows the injector type.
    next.InjType = InjectorClassOf(next.InjTypeName).Class;

    if (const auto problem = CollectEdits(next))
        return problem;
    data = next;
    return std::nullopt;
}

std::optional<QString> TLegacyConfigPage::CollectEdits(TNorviData &data) const
{
    // Every typed number is checked before any is stored, so a refusal
    // leaves the image as it was.
    struct TTyped
    {
        const char *Control;
        const char *Field;
    };
    constexpr TTyped kTyped[] = {
        {"EdtKnfPower", "Power"}, {"EdtKnfCubicCapacity", "EngineCubicCapacity"}, {"EdtKnfIdleHotTb", "IdleHotTb"}};
    std::vector<std::pair<const TConfigField *, unsigned>> values;
    for (const TTyped &t : kTyped) {
        const TConfigField &field = Field(t.Field);
        const TFieldInput input = ParseShownValue(field, data, Edit(t.Control)->text().trimmed().toStdString());
        if (!input)
            return QString::fromStdString(input.Error);
        values.emplace_back(&field, *input.Raw);
    }
    for (const auto &[field, raw] : values)
        SetRawValue(*field, data, raw);
    return std::nullopt;
}

} // namespace lumex
