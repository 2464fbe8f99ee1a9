#include "calibration/ui/CorrectionsPage.h"

#include "calibration/CorrectionLine.h"
#include "calibration/CorrectionsIO.h"
#include "calibration/ui/AdaptCorrTab.h"
#include "calibration/ui/DeviceJob.h"
#include "calibration/ui/SequenceJob.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumex {

namespace {

// Every edit takes a signed percent of at most three characters.
constexpr int kEditLength = 3;
// The BANK2 multiplier in percent steps away from 1, as on the model page.
constexpr int kBank2MultMin = -40, kBank2MultMax = 70;
constexpr int kBank2OffsetLength = 6;

struct TPanelInfo
{
    const char *Panel;
    const char *Caption;
    const char *EditPrefix;
    const char *Active;
    TCorrAxis Axis;
    const char *PresetPrefix; // the preset buttons' names, or the Standard button's name
    bool HasPresets;
};

// In the order of TTable.
constexpr TPanelInfo kPanels[] = {
    {"PnlCalCorrPsys", "Ciśnienie gazu", "EdtPsysCorr", "ChBActiveCorrectionPsys", TCorrAxis::Pressure,
     "BtnCorPstandard", false},
    {"PnlCalCorrPcol", "Podciśnienie", "EdtPcolCorr", "ChBActiveCorrectionPcol", TCorrAxis::Pressure,
     "BtnCorPcolStandard", false},
    {"PnlCalCorrTgas", "Temperatura gazu", "EdtTgasCorr", "ChBActiveCorrectionTgas", TCorrAxis::GasTemp, "SpBtnCorTgas",
     true},
    {"PnlCalCorrRPM", "Obroty", "EdtRPMCorr", "ChBActiveCorrectionRPM", TCorrAxis::Rpm, "SpBtnCorRpm", true},
};

struct TPresetButton
{
    TCorrPreset Preset;
    const char *Suffix;
    const char *Caption;
};
constexpr TPresetButton kPresetButtons[] = {
    {TCorrPreset::Standard, "Standard", "Standard"},
    {TCorrPreset::Small, "Small", "Mała"},
    {TCorrPreset::Big, "Big", "Duża"},
    {TCorrPreset::User, "UserDefined", "Użytkownika"},
};

TCorrectionTable &TableOf(TNorviData &d, int table)
{
    switch (table) {
    case 0:
        return d.CPS;
    case 1:
        return d.CPCOL;
    case 2:
        return d.CTG;
    default:
        return d.CRPM;
    }
}

} // namespace

TCorrectionsPage::TCorrectionsPage(TDeviceWorker &worker, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSCalCorrections");
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Odczytaj"), this);
    read_->setObjectName("BtnCorReadCorrections");
    write_ = new QPushButton(QStringLiteral("Zapisz"), this);
    write_->setObjectName("BtnCorWriteCorrections");
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch();
    layout->addLayout(buttons);
    const auto panel = [this](TTable t) { return BuildPanel(t, panels_[static_cast<std::size_t>(t)]); };
    layout->addWidget(panel(TTable::Tgas));
    layout->addWidget(panel(TTable::Psys));
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("PgCCorrections");
    auto *linear = new QWidget(tabs_);
    linear->setObjectName("TbSLinearCorr");
    auto *linearLayout = new QVBoxLayout(linear);
    linearLayout->addWidget(panel(TTable::Pcol));
    linearLayout->addWidget(panel(TTable::Rpm));
    linearLayout->addWidget(BuildBank2());
    linearLayout->addStretch();
    tabs_->addTab(linear, QStringLiteral("Korekty liniowe"));
    adaptTab_ = new TAdaptCorrTab(image_, tabs_);
    tabs_->addTab(adaptTab_, QStringLiteral("Mapa korekt"));
    adaptTab_->OnModified = [this] { SetModified(true); };
    adaptTab_->OnWriteEnableBit = [this] {
        // Once in flight at a time: the snapshots until it is done still
        // show the bit clear.
        if (enableBitPending_)
            return;
        enableBitPending_ = true;
        PostDeviceJob<bool>(
            worker_, this,
            [](TDataManager &m) {
                m.Data().Model_OBDAdaptCorrConfig |= kAdaptCorrEnabledBit;
                return m.WriteModelParam(kAdaptCorrConfigParam);
            },
            [this](const bool &ok, const TNorviData &image) {
                enableBitPending_ = false;
                if (ok)
                    image_.Model_OBDAdaptCorrConfig = image.Model_OBDAdaptCorrConfig;
                else if (OnProblem)
                    OnProblem(QStringLiteral("WriteModelParam(104)"));
            });
    };
    layout->addWidget(tabs_, 1);
    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    connect(write_, &QPushButton::clicked, this, [this] { Write(); });
    Fill();
}

QWidget *TCorrectionsPage::BuildPanel(TTable table, TPanel &panel)
{
    const TPanelInfo &info = kPanels[static_cast<int>(table)];
    auto *box = new QGroupBox(QString::fromUtf8(info.Caption), this);
    box->setObjectName(info.Panel);
    auto *grid = new QGridLayout(box);
    grid->setHorizontalSpacing(2);
    const auto labels = CorrAxisLabels(info.Axis);
    for (std::size_t k = 0; k < kCorrectionPoints; ++k) {
        auto *label = new QLabel(QString::fromStdString(labels[k]).trimmed(), box);
        label->setAlignment(Qt::AlignCenter);
        grid->addWidget(label, 0, static_cast<int>(k));
        auto *edit = new QLineEdit(box);
        edit->setObjectName(QString("%1%2").arg(info.EditPrefix).arg(k + 1));
        edit->setMaxLength(kEditLength);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaximumWidth(40);
        grid->addWidget(edit, 1, static_cast<int>(k));
        panel.Edits[k] = edit;
        // Tgas and RPM follow every change; Psys and Pcol are taken at the write.
        if (info.HasPresets)
            connect(edit, &QLineEdit::textChanged, this, [this, table] { TableEdited(table); });
        else
            connect(edit, &QLineEdit::textEdited, this, [this] { SetModified(true); });
    }
    auto *row = new QHBoxLayout;
    panel.Active = new QCheckBox(QStringLiteral("Active"), box);
    panel.Active->setObjectName(info.Active);
    connect(panel.Active, &QCheckBox::toggled, this, [this] {
        if (!filling_)
            SetModified(true);
    });
    row->addWidget(panel.Active);
    if (info.HasPresets) {
        for (std::size_t i = 0; i < panel.Presets.size(); ++i) {
            auto *b = new QToolButton(box);
            b->setObjectName(QString("%1%2").arg(info.PresetPrefix, kPresetButtons[i].Suffix));
            b->setText(QString::fromUtf8(kPresetButtons[i].Caption));
            b->setCheckable(true);
            b->setMinimumWidth(90);
            const TCorrPreset preset = kPresetButtons[i].Preset;
            connect(b, &QToolButton::clicked, this, [this, table, preset] { PresetPressed(table, preset); });
            panel.Presets[i] = b;
            row->addWidget(b);
        }
    } else {
        panel.Standard = new QPushButton(QStringLiteral("Standard"), box);
        panel.Standard->setObjectName(info.PresetPrefix);
        connect(panel.Standard, &QPushButton::clicked, this, [this, table] {
            if (!Running())
                return;
            // Loaded into the page only; the write sends it.
            if (table == TTable::Psys)
                image_.CPS = StandardPressureCorrection(image_.WorkPress);
            else
                image_.CPCOL.fill(0);
            FillTable(table);
            SetModified(true);
        });
        row->addWidget(panel.Standard);
    }
    row->addStretch();
    grid->addLayout(row, 2, 0, 1, static_cast<int>(kCorrectionPoints));
    return box;
}

QWidget *TCorrectionsPage::BuildBank2()
{
    auto *box = new QGroupBox(QStringLiteral("BANK2"), this);
    box->setObjectName("GrBCorBank2");
    auto *row = new QHBoxLayout(box);
    auto *multLabel = new QLabel(QStringLiteral("Mnożnik [%]"), box);
    multLabel->setObjectName("LblCorBank2Mult");
    bank2Mult_ = new QSpinBox(box);
    bank2Mult_->setObjectName("UpDCorBank2Mult");
    bank2Mult_->setRange(kBank2MultMin, kBank2MultMax);
    auto *offsetLabel = new QLabel(QStringLiteral("Offset [ms]"), box);
    offsetLabel->setObjectName("LblCorBank2Offset");
    bank2Offset_ = new QLineEdit(box);
    bank2Offset_->setObjectName("EdtCorBank2Offset");
    bank2Offset_->setMaxLength(kBank2OffsetLength);
    bank2Offset_->setMaximumWidth(60);
    row->addWidget(multLabel);
    row->addWidget(bank2Mult_);
    row->addWidget(offsetLabel);
    row->addWidget(bank2Offset_);
    const auto edited = [this] {
        if (!filling_)
            SetModified(true);
    };
    for (std::size_t k = 0; k < bank2Mask_.size(); ++k) {
        bank2Mask_[k] = new QCheckBox(QString::number(k + 1), box);
        bank2Mask_[k]->setObjectName(QString("ChBCorBank2Mask%1").arg(k + 1));
        row->addWidget(bank2Mask_[k]);
        connect(bank2Mask_[k], &QCheckBox::toggled, this, edited);
    }
    row->addStretch();
    connect(bank2Mult_, &QSpinBox::valueChanged, this, edited);
    connect(bank2Offset_, &QLineEdit::textEdited, this, edited);
    return box;
}

void TCorrectionsPage::FillBank2()
{
    const TCorrectionLine line = CorrectionLineOf(image_);
    bank2Mult_->setValue(MultiplierPosition(line.Mult));
    bank2Offset_->setText(QString::number(line.Offset, 'f', 2).replace('.', ','));
    const auto boxes = BoxesFromMask(line.Mask);
    for (std::size_t k = 0; k < boxes.size(); ++k)
        bank2Mask_[k]->setChecked(boxes[k]);
}

bool TCorrectionsPage::Running() const
{
    return linkUp_ && image_.VersionCode == kVersion30;
}

void TCorrectionsPage::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    const bool wasRunning = Running();
    linkUp_ = snapshot.LinkUp;
    if (!busy_ && !modified_ && readsDone_ == 0)
        image_ = snapshot.Data;
    else
        image_.VersionCode = snapshot.Data.VersionCode;
    if (!wasRunning && Running() && readsDone_ == 0)
        Read();
    const bool fromG = Running() && Is30From(image_, "G");
    // Hidden only for a controller known to lack the tables: hiding the
    // tab on screen while the link is down would move the page off it.
    const int index = tabs_->indexOf(adaptTab_);
    if (Running() && tabs_->isTabVisible(index) != fromG)
        tabs_->setTabVisible(index, fromG);
    if (fromG && tabs_->currentWidget() == adaptTab_)
        adaptTab_->LiveRefresh(snapshot);
}

TCorrectionTexts TCorrectionsPage::Texts(const TPanel &panel) const
{
    TCorrectionTexts texts;
    for (std::size_t k = 0; k < kCorrectionPoints; ++k)
        texts[k] = panel.Edits[k]->text().toStdString();
    return texts;
}

std::optional<QString> TCorrectionsPage::RefusedEdit() const
{
    for (const TPanel &panel : panels_) {
        for (const QLineEdit *edit : panel.Edits) {
            // The manifold pressure edits are empty and off before revision G.
            if (edit->isEnabled() && !CheckedCorrectionFromText(edit->text().toStdString()))
                return QStringLiteral("%1: \"%2\" is not a whole number from -128 to 127")
                    .arg(edit->objectName(), edit->text());
        }
    }
    if (!CorrectionOffsetFromText(bank2Offset_->text().toStdString()))
        return QStringLiteral("%1: \"%2\" is not an offset from -175 to 175 ms")
            .arg(bank2Offset_->objectName(), bank2Offset_->text());
    return std::nullopt;
}

void TCorrectionsPage::FillTable(TTable table)
{
    const bool was = filling_;
    filling_ = true;
    const TCorrectionTexts texts = TextsFromTable(TableOf(image_, static_cast<int>(table)));
    TPanel &panel = panels_[static_cast<std::size_t>(table)];
    for (std::size_t k = 0; k < kCorrectionPoints; ++k)
        panel.Edits[k]->setText(QString::fromStdString(texts[k]));
    filling_ = was;
}

void TCorrectionsPage::ShowPresetButtons()
{
    const auto show = [this](TTable table, std::optional<TCorrPreset> down) {
        TPanel &panel = panels_[static_cast<std::size_t>(table)];
        for (std::size_t i = 0; i < panel.Presets.size(); ++i) {
            panel.Presets[i]->setChecked(down == kPresetButtons[i].Preset);
            panel.Presets[i]->setEnabled(CorrPresetButtonEnabled(image_, kPresetButtons[i].Preset));
        }
    };
    show(TTable::Tgas, TgasButtonDown(image_));
    show(TTable::Rpm, RpmButtonDown(image_));
}

void TCorrectionsPage::Fill()
{
    filling_ = true;
    const bool fromG = Is30From(image_, "G");
    const TCorrectionsForm form = FormFromImage(image_);
    panels_[0].Active->setChecked(form.ActivePsys);
    panels_[1].Active->setChecked(form.ActivePcol);
    panels_[1].Active->setEnabled(fromG);
    panels_[2].Active->setChecked(form.ActiveTgas);
    panels_[3].Active->setChecked(form.ActiveRpm);
    for (int t = 0; t < 4; ++t)
        FillTable(static_cast<TTable>(t));
    for (QLineEdit *e : panels_[1].Edits) {
        e->setEnabled(fromG);
        if (!fromG)
            e->clear();
    }
    ShowPresetButtons();
    FillBank2();
    adaptTab_->Fill();
    filling_ = false;
}

void TCorrectionsPage::PresetPressed(TTable table, TCorrPreset preset)
{
    if (!Running()) {
        ShowPresetButtons();
        return;
    }
    const bool pressed = table == TTable::Tgas ? PressTgasPreset(image_, preset) : PressRpmPreset(image_, preset);
    FillTable(table);
    ShowPresetButtons();
    if (pressed)
        SetModified(true);
}

void TCorrectionsPage::TableEdited(TTable table)
{
    if (filling_)
        return;
    const TCorrectionTexts texts = Texts(panels_[static_cast<std::size_t>(table)]);
    if (table == TTable::Tgas)
        TgasEdited(image_, texts);
    else
        RpmEdited(image_, texts);
    ShowPresetButtons();
    SetModified(true);
}

void TCorrectionsPage::SetModified(bool modified)
{
    modified_ = modified;
    write_->setStyleSheet(modified ? QStringLiteral("background-color: #e04040; color: white;") : QString());
    if (OnModifiedChanged)
        OnModifiedChanged(modified);
}

void TCorrectionsPage::Read()
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    PostDeviceSequence<TCorrectionsReadResult>(
        worker_, this, [](TDataManager &m) { return ReadCorrections(m); },
        [this](const TCorrectionsReadResult &r, const TNorviData &image) {
            busy_ = false;
            if (r.Cancelled)
                return; // the page keeps what it showed
            image_ = image;
            if (!r.Ok && OnProblem)
                OnProblem(QString::fromStdString(r.FailedStep));
            ++readsDone_;
            Fill();
            SetModified(false);
        });
}

void TCorrectionsPage::Write()
{
    if (!Running() || busy_)
        return;
    // Every edit is checked before anything is taken or sent.
    if (const auto problem = RefusedEdit()) {
        if (OnRefused)
            OnRefused(
                UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane.")) +
                "\n\n" + *problem);
        return;
    }
    TCorrectionsForm form = FormFromImage(image_);
    form.ActivePsys = panels_[0].Active->isChecked();
    form.ActivePcol = panels_[1].Active->isChecked();
    form.ActiveTgas = panels_[2].Active->isChecked();
    form.ActiveRpm = panels_[3].Active->isChecked();
    form.Psys = TableFromTexts(Texts(panels_[0]));
    form.Pcol = TableFromTexts(Texts(panels_[1]));
    form.Tgas = image_.CTG;
    form.Rpm = image_.CRPM;
    form.MaxTbForLoad = adaptTab_->MaxTbForLoad();
    if (Is30From(image_, "G")) {
        form.AdaptBank1 = image_.AdaptCorrBank1;
        form.AdaptBank2 = image_.AdaptCorrBank2;
        form.ObdAdaptConfig = image_.Model_OBDAdaptCorrConfig;
    }
    form.CorrectionMultPercent = bank2Mult_->value();
    form.CorrectionOffsetMs = CorrectionOffsetFromText(bank2Offset_->text().toStdString()).value_or(0.0);
    std::array<bool, 8> boxes{};
    for (std::size_t k = 0; k < boxes.size(); ++k)
        boxes[k] = bank2Mask_[k]->isChecked();
    form.CorrectionMask = MaskFromBoxes(boxes);
    // A preset or a typed table changed the type: it goes with its table.
    form.TgasCorType = image_.TgasCorType;
    form.RpmCorType = image_.RPMCorType;
    busy_ = true;
    PostDeviceSequence<TWriteResult>(
        worker_, this, [form](TDataManager &m) { return WriteCorrections(m, form); },
        [this](const TWriteResult &r, const TNorviData &image) {
            busy_ = false;
            if (!r.Ok) {
                // The page keeps the edits so the installer can try again.
                if (OnProblem)
                    OnProblem(WriteFailureText(r));
                return;
            }
            image_ = image;
            ++writesDone_;
            Fill();
            SetModified(false);
        });
}

} // namespace lumex
