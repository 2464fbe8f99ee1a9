#include "calibration/ui/AdaptCorrTab.h"

#include "calibration/CorrectionsIO.h"
#include "mainwindow/DeviceSnapshot.h"
#include "widgets/CellGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumex {

namespace {

struct TEditButton
{
    TAdaptEdit Edit;
    const char *Name; // bank 1's; bank 2's ends in "Bank2"
    const char *Caption;
};
constexpr TEditButton kButtons[] = {
    {TAdaptEdit::Plus1, "BtnPlus1", "+1"}, {TAdaptEdit::Minus1, "BtnMinus1", "-1"},
    {TAdaptEdit::Plus5, "BtnPlus5", "+5"}, {TAdaptEdit::Minus5, "BtnMinus5", "-5"},
    {TAdaptEdit::Zero, "BtnZero", "=0"},
};
const char *const kMaxTbItems[] = {"10", "15", "20", "25"};
constexpr int kCellWidth = 40;
constexpr double kTicksPerMs = 187.0;

QColor FromValue(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QTableWidget *Grid(const QString &name, int rows, int columns, bool selectable)
{
    return MakeCellGrid(name, rows, columns, kCellWidth, QAbstractItemView::NoEditTriggers,
                        selectable ? QAbstractItemView::ContiguousSelection : QAbstractItemView::NoSelection);
}

} // namespace

TAdaptCorrTab::TAdaptCorrTab(TNorviData &image, QWidget *parent) : QWidget(parent), image_(image), view_(image)
{
    setObjectName("TbSMapCorr");
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    enabled_ = new QCheckBox(QStringLiteral("Aktywuj mapy korekt"));
    enabled_->setObjectName("ChBOBDAdaptationEnabled");
    active_ = new QLabel(QStringLiteral("Adaptacja OBD aktywna"));
    active_->setObjectName("StTOBDAdaptationActive");
    active_->setStyleSheet("color: #c00000; font-weight: bold");
    top->addWidget(enabled_);
    top->addWidget(active_);
    top->addStretch();
    layout->addLayout(top);
    banks_ = new QTabWidget;
    banks_->setObjectName("PgCOBDAdaptationCorr");
    banks_->addTab(BuildBank(1), QStringLiteral("BANK 1"));
    banks_->addTab(BuildBank(2), QStringLiteral("BANK 2"));
    layout->addWidget(banks_, 1);
    connect(banks_, &QTabWidget::currentChanged, this, [this] {
        view_.BankTabChanged();
        Show();
    });
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_)
            return;
        view_.SetEnabledInController(on);
        if (OnModified)
            OnModified();
    });
    view_.MarkModified = [this] {
        if (OnModified)
            OnModified();
    };
    view_.WriteEnableBit = [this] {
        if (OnWriteEnableBit)
            OnWriteEnableBit();
        return true;
    };
    Show();
}

QWidget *TAdaptCorrTab::BuildBank(int bank)
{
    TBank &b = bank_[static_cast<std::size_t>(bank - 1)];
    const QString suffix = bank == 1 ? "Bank1" : "Bank2";
    auto *page = new QWidget;
    page->setObjectName(bank == 1 ? "TbSOBDAdaptCorrBank1" : "TbSOBDAdaptCorrBank2");
    auto *grid = new QGridLayout(page);
    grid->setSpacing(2);
    b.Rpm = Grid("StGOBDAdapt" + suffix + "RPMThresholds", 1, static_cast<int>(kAdaptColumns), false);
    b.Load = Grid("StGOBDAdapt" + suffix + "LoadThresholds", static_cast<int>(kAdaptRows), 1, false);
    b.Corrs = Grid("StGOBDAdaptCorrs" + suffix, static_cast<int>(kAdaptRows), static_cast<int>(kAdaptColumns), true);
    grid->addWidget(new QLabel(QStringLiteral("ms \\ RPM")), 0, 0, Qt::AlignCenter);
    grid->addWidget(b.Rpm, 0, 1);
    grid->addWidget(b.Load, 1, 0, Qt::AlignTop);
    grid->addWidget(b.Corrs, 1, 1, Qt::AlignTop);
    auto *side = new QVBoxLayout;
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        auto *button = new QPushButton(QString::fromUtf8(kButtons[i].Caption));
        button->setObjectName(QString(kButtons[i].Name) + suffix);
        const TAdaptEdit edit = kButtons[i].Edit;
        connect(button, &QPushButton::clicked, this, [this, bank, edit] { EditPressed(bank, edit); });
        b.Buttons[i] = button;
        side->addWidget(button);
    }
    b.MaxTb = new QComboBox;
    b.MaxTb->setObjectName("CmbMaxTbForLoad" + suffix);
    for (const char *item : kMaxTbItems)
        b.MaxTb->addItem(item);
    connect(b.MaxTb, &QComboBox::activated, this, [this] {
        if (OnModified)
            OnModified();
    });
    side->addWidget(new QLabel(QStringLiteral("Tb max [ms]")));
    side->addWidget(b.MaxTb);
    const QString tag = bank == 1 ? "_B1" : "_B2";
    auto *caption = new QLabel(QString("Current correction B%1:").arg(bank));
    caption->setObjectName("LblCurrentAdaptCorrCaption" + tag);
    b.Actual = new QLabel;
    b.Actual->setObjectName("LblActualAdaptCorr" + tag);
    side->addWidget(caption);
    side->addWidget(b.Actual);
    side->addStretch();
    grid->addLayout(side, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
    return page;
}

int TAdaptCorrTab::ShownBank() const
{
    return banks_->currentIndex() == 1 ? 2 : 1;
}

void TAdaptCorrTab::LiveRefresh(const TDeviceSnapshot &s)
{
    image_.LoadIndex = s.Data.LoadIndex;
    image_.RpmPeriod = s.Data.RpmPeriod;
    image_.CorrMapCountA = s.Data.CorrMapCountA;
    image_.CorrMapCountB = s.Data.CorrMapCountB;
    adapterAdaptation_ = s.Obd.AdapterAdaptation;
    // While the adapter adapts, the controller's tables are the truth.
    if (adapterAdaptation_) {
        image_.AdaptCorrBank1 = s.Data.AdaptCorrBank1;
        image_.AdaptCorrBank2 = s.Data.AdaptCorrBank2;
    }
    view_.Refresh(adapterAdaptation_, ShownBank());
    Show();
}

void TAdaptCorrTab::Fill()
{
    if (view_.RevisionG())
        view_.FillFromImage();
    filling_ = true;
    const auto index = MaxTbForLoadIndex(image_.MaxTbForLoad);
    for (TBank &b : bank_)
        b.MaxTb->setCurrentIndex(index ? static_cast<int>(*index) : -1);
    filling_ = false;
    Show();
}

std::optional<uint16_t> TAdaptCorrTab::MaxTbForLoad() const
{
    const int index = bank_[static_cast<std::size_t>(ShownBank() - 1)].MaxTb->currentIndex();
    if (index < 0 || index >= static_cast<int>(kMaxTbForLoadTicks.size()))
        return std::nullopt;
    return kMaxTbForLoadTicks[static_cast<std::size_t>(index)];
}

void TAdaptCorrTab::EditPressed(int bank, TAdaptEdit edit)
{
    const QTableWidget *t = bank_[static_cast<std::size_t>(bank - 1)].Corrs;
    for (const QTableWidgetSelectionRange &r : t->selectedRanges())
        view_.Edit(bank,
                   {static_cast<std::size_t>(r.topRow()), static_cast<std::size_t>(r.leftColumn()),
                    static_cast<std::size_t>(r.bottomRow()), static_cast<std::size_t>(r.rightColumn())},
                   edit, adapterAdaptation_);
    Show();
}

void TAdaptCorrTab::Show()
{
    filling_ = true;
    const bool fromG = view_.RevisionG();
    const auto [row, column] = view_.Current();
    enabled_->setChecked((image_.Model_OBDAdaptCorrConfig & kAdaptCorrEnabledBit) != 0);
    enabled_->setEnabled(view_.Editable());
    active_->setVisible(view_.ActiveTextVisible());
    const QColor grey = FromValue(kAdaptCurrentColour);
    for (int bank = 1; bank <= 2; ++bank) {
        TBank &b = bank_[static_cast<std::size_t>(bank - 1)];
        const auto &cells = view_.Grid(bank);
        for (std::size_t r = 0; r < kAdaptRows; ++r)
            for (std::size_t c = 0; c < kAdaptColumns; ++c) {
                QTableWidgetItem *item = b.Corrs->item(static_cast<int>(r), static_cast<int>(c));
                item->setText(QString::fromStdString(cells[r][c]));
                item->setBackground(FromValue(view_.CellColour(bank, r, c)));
            }
        for (std::size_t k = 0; k < kAdaptRows; ++k) {
            QTableWidgetItem *load = b.Load->item(static_cast<int>(k), 0);
            QTableWidgetItem *rpm = b.Rpm->item(0, static_cast<int>(k));
            // Tenths of the full-load petrol time, in ms.
            const double ms = static_cast<double>(k + 1) * image_.MaxTbForLoad / kTicksPerMs / 10.0;
            load->setText(fromG ? QString::number(ms, 'f', 1).replace('.', ',') : QString());
            rpm->setText(fromG ? QString::number(image_.AdaptInfoWords[k]) : QString());
            load->setBackground(k == row ? grey : QColor(Qt::white));
            rpm->setBackground(k == column ? grey : QColor(Qt::white));
        }
        const bool editable = view_.Editable();
        b.Corrs->setVisible(editable || !fromG);
        b.Corrs->setEnabled(editable);
        for (QPushButton *button : b.Buttons) {
            button->setVisible(editable || !fromG);
            button->setEnabled(editable);
        }
        b.MaxTb->setEnabled(editable);
        b.Actual->setText(QString::fromStdString(view_.ActualCorrText(bank)));
    }
    filling_ = false;
}

} // namespace lumex
