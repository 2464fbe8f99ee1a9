// Controls bound to the edited state, offscreen: showing a value never
// writes it back or marks the state modified, user input marks it once,
// and input the variable refuses is reported, undone in the control and
// not stored.
#include "modules/DataState.h"
#include "modules/ui/LogicBinding.h"
#include "widgets/DigitalDisplay.h"
#include "widgets/DipSwitch.h"
#include "widgets/LoadChart.h"
#include "widgets/SelectedImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace lumex;

namespace {

class TDevStateBound : public TBaseDevState
{
public:
    explicit TDevStateBound(TDeviceState &aggregate)
        : TBaseDevState(aggregate), Level(CreateParam<TByteVariable>(20, "OBD:Level")),
          Delay(CreateParam<TWordVariable>(1000, "OBD:Delay")), Corr(CreateParam<TDoubleVariable>(0, "OBD:Corr", 1)),
          Enabled(CreateParam<TBoolByteVariable>(0, "OBD:Enabled")), Reading(Create<TByteVariable>("OBD:Reading"))
    {
        Corr.SetLimits(-128, 127);
        Corr.SetOnRawToValue(MakeRawToValue([](const TVariable &, std::span<const uint8_t> raw) {
            return static_cast<double>(static_cast<int8_t>(raw[0]));
        }));
        Corr.SetOnValueToRaw(MakeValueToRaw([](const TVariable &, double x, std::span<uint8_t> raw) {
            raw[0] = static_cast<uint8_t>(static_cast<int8_t>(x));
        }));
    }
    TByteVariable &Level;
    TWordVariable &Delay;
    TDoubleVariable &Corr;
    TBoolByteVariable &Enabled;
    TByteVariable &Reading;
};

class TUIStateBound : public TDevStateBound
{
public:
    TUIStateBound(TDeviceState &aggregate, TDevStateBound &twin) : TDevStateBound(aggregate) { Twin = &twin; }
};

class Binding : public ::testing::Test
{
protected:
    TDeviceState devAggregate;
    TUIState state;
    TDevStateBound dev{devAggregate};
    TUIStateBound ui{state, dev};
    std::unique_ptr<TLogicBinding> binding;
    std::vector<std::string> messages;
    std::vector<std::string> modifiedSections;

    QWidget window;
    QTabWidget *tabs = nullptr;
    QWidget *page = nullptr;
    QWidget *otherPage = nullptr;

    void SetUp() override
    {
        ui.Publish(1);
        ui.Publish(2);
        state.Link(devAggregate);
        state.OnModifiedChange = [this](const std::string &section) { modifiedSections.push_back(section); };
        binding = std::make_unique<TLogicBinding>(state);
        binding->ShowMessage = [this](QWidget *, const std::string &text) { messages.push_back(text); };

        window.setObjectName("FrmObd");
        auto *layout = new QVBoxLayout(&window);
        tabs = new QTabWidget(&window);
        layout->addWidget(tabs);
        page = new QWidget;
        page->setObjectName("TbSConfig");
        new QVBoxLayout(page);
        otherPage = new QWidget;
        otherPage->setObjectName("TbSLive");
        new QVBoxLayout(otherPage);
        tabs->addTab(page, "Config");
        tabs->addTab(otherPage, "Live");
    }

    template <class T> T *Add(const char *name, QWidget *on = nullptr)
    {
        QWidget *parent = on != nullptr ? on : page;
        auto *w = new T(parent);
        w->setObjectName(name);
        parent->layout()->addWidget(w);
        return w;
    }

    // What the device reported, copied the way a read copies: never a
    // user edit.
    void FromDevice(TVariable &deviceVariable, int64_t value)
    {
        deviceVariable.SetAsInteger(value);
        state.CopyFromDevState({}, kCopyAll);
        binding->RefreshPending("TbSConfig");
    }

    void ExpectUntouched()
    {
        EXPECT_FALSE(state.Modified());
        EXPECT_TRUE(modifiedSections.empty());
        EXPECT_TRUE(messages.empty()) << messages.front();
    }

    void ExpectRefused(const std::string &detail)
    {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("The value was not accepted."), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find(detail), std::string::npos) << messages[0];
        EXPECT_FALSE(state.Modified());
    }
};

TEST_F(Binding, TextControlsShowTheTextAndTakeNoInput)
{
    auto *label = Add<QLabel>("LblLevel");
    auto *display = Add<TDigitalDisplay>("DdLevel");
    binding->Bind(ui.Level, label, "", bfDisplayOnly);
    binding->Bind(ui.Level, display, "", bfTwoWay);
    FromDevice(dev.Level, 77);
    EXPECT_EQ(label->text(), "77");
    EXPECT_EQ(display->Text(), "77");
    ExpectUntouched();
}

TEST_F(Binding, ComboBoxByIndexShowsValueMinusOneAndRefusesAnIndexBeyondTheByte)
{
    auto *combo = Add<QComboBox>("CbLevel");
    for (int i = 1; i <= 300; ++i)
        combo->addItem(QString::number(i));
    binding->Bind(ui.Level, combo, "", bfTwoWay);
    FromDevice(dev.Level, 5);
    EXPECT_EQ(combo->currentIndex(), 4);
    ExpectUntouched();

    combo->setCurrentIndex(9); // the user picks the tenth item
    EXPECT_EQ(ui.Level.GetAsInteger(), 10);
    EXPECT_EQ(modifiedSections, std::vector<std::string>{"OBD"});

    state.SetModified(false);
    combo->setCurrentIndex(299);
    ExpectRefused("300");
    EXPECT_EQ(ui.Level.GetAsInteger(), 10);
    EXPECT_EQ(combo->currentIndex(), 9) << "the control shows the stored value again";
}

TEST_F(Binding, ComboBoxByTextSelectsNothingForAnUnlistedValueWithoutWritingBack)
{
    auto *combo = Add<QComboBox>("CbLevelText");
    combo->setEditable(true);
    combo->addItems({"10", "20", "30"});
    binding->Bind(ui.Level, combo, "", bfTwoWay | bfComboText);
    FromDevice(dev.Level, 30);
    EXPECT_EQ(combo->currentIndex(), 2);
    // No item says 25: no selection, and the empty text must not be taken
    // as the user's 0.
    FromDevice(dev.Level, 25);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(ui.Level.GetAsInteger(), 25);
    ExpectUntouched();

    combo->lineEdit()->setText("300");
    emit combo->lineEdit()->editingFinished();
    ExpectRefused("300");
    EXPECT_EQ(ui.Level.GetAsInteger(), 25);
}

TEST_F(Binding, ProgressBarAndTrackBarShowThePositionAndOnlyTheTrackBarWrites)
{
    auto *bar = Add<QProgressBar>("PbDelay");
    bar->setRange(0, 70000);
    auto *slider = Add<QSlider>("TbDelay");
    slider->setRange(-10, 70000);
    binding->Bind(ui.Delay, bar, "", bfTwoWay);
    binding->Bind(ui.Delay, slider, "", bfTwoWay);
    FromDevice(dev.Delay, 1234);
    EXPECT_EQ(bar->value(), 1234);
    EXPECT_EQ(slider->value(), 1234);
    ExpectUntouched();

    slider->setValue(4321);
    EXPECT_EQ(ui.Delay.GetAsInteger(), 4321);
    EXPECT_TRUE(state.Modified());
    EXPECT_EQ(bar->value(), 1234) << "shown at the next refresh, not at once";
    binding->RefreshPending("TbSConfig");
    EXPECT_EQ(bar->value(), 4321);

    state.SetModified(false);
    slider->setValue(70000);
    ExpectRefused("70000");
    EXPECT_EQ(slider->value(), 4321);
    messages.clear();
    slider->setValue(-1);
    ExpectRefused("-1");
    EXPECT_EQ(ui.Delay.GetAsInteger(), 4321);
}

TEST_F(Binding, CheckBoxAndDipSwitchFollowTheFlag)
{
    auto *check = Add<QCheckBox>("ChbEnabled");
    auto *dip = Add<TDipSwitch>("DipEnabled");
    binding->Bind(ui.Enabled, check, "", bfTwoWay);
    binding->Bind(ui.Enabled, dip, "", bfTwoWay);
    FromDevice(dev.Enabled, 1);
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(dip->isChecked());
    ExpectUntouched();

    check->click();
    EXPECT_FALSE(ui.Enabled.GetAsBoolean());
    binding->RefreshPending("TbSConfig");
    EXPECT_FALSE(dip->isChecked());
    dip->click();
    EXPECT_TRUE(ui.Enabled.GetAsBoolean());
    EXPECT_EQ(modifiedSections, std::vector<std::string>{"OBD"});
}

TEST_F(Binding, UpDownWritesAndRefusesAWordOutOfRange)
{
    auto *upDown = Add<QSpinBox>("SeDelay");
    upDown->setRange(-100, 100000);
    binding->Bind(ui.Delay, upDown, "", bfTwoWay);
    FromDevice(dev.Delay, 900);
    EXPECT_EQ(upDown->value(), 900);
    ExpectUntouched();

    upDown->setValue(70000);
    ExpectRefused("70000");
    EXPECT_EQ(ui.Delay.GetAsInteger(), 900);
    EXPECT_EQ(upDown->value(), 900);
    messages.clear();
    upDown->setValue(901);
    EXPECT_EQ(ui.Delay.GetAsInteger(), 901);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Binding, EditsCommitAsIntegerOrDoubleAndRefuseWhatTheVariableCannotHold)
{
    auto *levelEdit = Add<QLineEdit>("EdLevel");
    auto *corrEdit = Add<QLineEdit>("EdCorr");
    auto *corrNumeric = Add<QDoubleSpinBox>("NeCorr");
    corrNumeric->setRange(-1000, 1000);
    binding->Bind(ui.Level, levelEdit, "", bfTwoWay | bfEditInteger);
    binding->Bind(ui.Corr, corrEdit, "", bfTwoWay | bfEditDouble);
    binding->Bind(ui.Corr, corrNumeric, "", bfTwoWay | bfEditDouble);
    FromDevice(dev.Level, 42);
    FromDevice(dev.Corr, -3);
    EXPECT_EQ(levelEdit->text(), "42");
    EXPECT_EQ(corrNumeric->value(), -3.0);
    ExpectUntouched();

    // Leaving an edit the user did not touch writes nothing.
    emit levelEdit->editingFinished();
    EXPECT_FALSE(state.Modified());

    levelEdit->setText("300");
    levelEdit->setModified(true);
    emit levelEdit->editingFinished();
    ExpectRefused("300");
    EXPECT_EQ(ui.Level.GetAsInteger(), 42);
    EXPECT_EQ(levelEdit->text(), "42");
    // Text that is no number is refused too, not stored as 0.
    for (const char *bad : {"abc", "", "12abc", "99999999999999999999"}) {
        messages.clear();
        levelEdit->setText(bad);
        levelEdit->setModified(true);
        emit levelEdit->editingFinished();
        ExpectRefused(std::string("\"") + bad + "\"");
        EXPECT_EQ(ui.Level.GetAsInteger(), 42) << bad;
        EXPECT_EQ(levelEdit->text(), "42") << bad;
    }
    messages.clear();
    corrEdit->setText("1,2,3");
    corrEdit->setModified(true);
    emit corrEdit->editingFinished();
    ExpectRefused("\"1,2,3\"");
    EXPECT_EQ(ui.Corr.GetAsDouble(), -3.0);

    messages.clear();
    corrNumeric->setValue(200);
    emit corrNumeric->editingFinished();
    ExpectRefused("200");
    EXPECT_EQ(ui.Corr.GetAsDouble(), -3.0);
    EXPECT_EQ(corrNumeric->value(), -3.0);

    messages.clear();
    corrEdit->setText("115");
    corrEdit->setModified(true);
    emit corrEdit->editingFinished();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ui.Corr.GetAsDouble(), 115.0);
    EXPECT_EQ(modifiedSections, std::vector<std::string>{"OBD"});
}

TEST_F(Binding, ShapeNotebookAndSelectedImageShowTheValue)
{
    auto *shape = Add<QFrame>("ShpEnabled");
    auto *notebook = Add<QTabWidget>("NbLevel");
    for (int i = 0; i < 4; ++i)
        notebook->addTab(new QWidget, QString::number(i));
    auto *flagImage = Add<TSelectedImage>("ImgEnabled");
    auto *levelImage = Add<TSelectedImage>("ImgLevel");
    window.show();
    binding->Bind(ui.Enabled, shape, "", bfDisplayOnly);
    binding->Bind(ui.Level, notebook, "", bfTwoWay);
    binding->Bind(ui.Enabled, flagImage, "", bfDisplayOnly);
    binding->Bind(ui.Level, levelImage, "", bfDisplayOnly);

    FromDevice(dev.Level, 2);
    // The flag did not change: entering the page draws it.
    EXPECT_EQ(flagImage->Index(), -1);
    binding->RefreshPage("TbSConfig");
    EXPECT_FALSE(shape->isVisible());
    EXPECT_EQ(flagImage->Index(), 0);
    EXPECT_EQ(notebook->currentIndex(), 2);
    EXPECT_EQ(levelImage->Index(), 2);
    FromDevice(dev.Enabled, 1);
    EXPECT_TRUE(shape->isVisible());
    EXPECT_EQ(flagImage->Index(), 1);

    notebook->setCurrentIndex(3); // a notebook takes no input
    EXPECT_EQ(ui.Level.GetAsInteger(), 2);
    ExpectUntouched();
}

TEST_F(Binding, ControlsThatCannotShowTheVariableAreRefusedWithTheirClassName)
{
    auto *panel = Add<QGroupBox>("PnlLevel");
    auto *radio = Add<QRadioButton>("RbDelay");
    auto *chart = Add<TLoadChartWidget>("ChLoad");
    auto *button = Add<QPushButton>("BtLevel");
    auto *check = Add<QCheckBox>("ChbLevel");

    auto expectRefusal = [&](TVariable &v, QWidget *control, unsigned flags, const std::string &text) {
        try {
            binding->Bind(v, control, "", flags);
            ADD_FAILURE() << "bound " << text;
        } catch (const EVariableError &e) {
            EXPECT_EQ(std::string(e.what()), text);
        }
    };
    expectRefusal(ui.Level, panel, bfDisplayOnly, "Regular binding not implemented for control: QGroupBox");
    expectRefusal(ui.Delay, radio, bfDisplayOnly, "Regular binding not implemented for control: QRadioButton");
    expectRefusal(ui.Level, chart, bfDisplayOnly, "Regular binding not implemented for control: TLoadChartWidget");
    expectRefusal(ui.Level, button, bfDisplayOnly, "Binding not implemented for control: QPushButton");
    expectRefusal(ui.Level, check, bfTwoWay, "Regular binding not implemented for control: QCheckBox");
    EXPECT_TRUE(binding->BindInfos().empty()) << "a refused binding leaves no trace";

    // Where they are allowed they bind, and draw nothing themselves.
    binding->Bind(ui.Enabled, panel, "", bfDisplayOnly);
    binding->Bind(ui.Level, radio, "", bfDisplayOnly);
    int drawn = 0;
    binding->BindCustom(
        ui.Level, chart, "", [&](QObject *, QWidget *, TVariable &) { ++drawn; }, nullptr);
    binding->RefreshPage("TbSConfig");
    EXPECT_EQ(drawn, 1);
}

TEST_F(Binding, TheSameControlTwiceIsRefused)
{
    auto *check = Add<QCheckBox>("ChbEnabled");
    binding->Bind(ui.Enabled, check, "", bfTwoWay);
    try {
        binding->Bind(ui.Enabled, check, "", bfTwoWay);
        FAIL() << "bound twice";
    } catch (const EVariableError &e) {
        EXPECT_STREQ(e.what(), "Control ChbEnabled has been already bound to Enabled");
    }
    // Another variable on the same control is a different binding.
    auto *label = Add<QLabel>("LblBoth");
    binding->Bind(ui.Level, label, "", bfDisplayOnly);
    binding->Bind(ui.Delay, label, "", bfDisplayOnly);
}

TEST_F(Binding, RefreshesFollowThePageAndTheMarks)
{
    auto *here = Add<QLabel>("LblHere");
    auto *there = Add<QLabel>("LblThere", otherPage);
    auto *named = Add<QLabel>("LblNamed", otherPage);
    TBinding &hereBinding = binding->Bind(ui.Level, here, "", bfDisplayOnly);
    TBinding &thereBinding = binding->Bind(ui.Level, there, "", bfDisplayOnly);
    binding->Bind(ui.Level, named, "TbSConfig", bfDisplayOnly);
    EXPECT_EQ(hereBinding.PageName, "TbSConfig");
    EXPECT_EQ(thereBinding.PageName, "TbSLive");

    FromDevice(dev.Level, 61); // refreshes the config page only
    EXPECT_EQ(here->text(), "61");
    EXPECT_EQ(named->text(), "61") << "bound with the page's name";
    EXPECT_EQ(there->text(), "");
    EXPECT_TRUE(thereBinding.NeedsRefresh);
    binding->RefreshPending("TbSLive");
    EXPECT_EQ(there->text(), "61");
    EXPECT_FALSE(thereBinding.NeedsRefresh);

    // No variable clears every mark; a page refresh draws without one.
    dev.Level.SetAsInteger(62);
    state.CopyFromDevState({}, kCopyAll);
    binding->VariableChanged(nullptr);
    binding->RefreshPending("TbSLive");
    EXPECT_EQ(there->text(), "61");
    binding->RefreshPage("TbSLive");
    EXPECT_EQ(there->text(), "62");
    binding->RefreshControls({here});
    EXPECT_EQ(here->text(), "62");
}

TEST_F(Binding, ThePreviousHandlerRunsAfterAWriteAndNotAfterARefusal)
{
    auto *upDown = Add<QSpinBox>("SeLevel");
    upDown->setRange(0, 1000);
    TBinding &b = binding->Bind(ui.Level, upDown, "", bfTwoWay);
    std::vector<int64_t> seen;
    b.PreviousHandler = [&] { seen.push_back(ui.Level.GetAsInteger()); };
    upDown->setValue(7);
    upDown->setValue(700);
    EXPECT_EQ(seen, std::vector<int64_t>{7});

    // A handler that raises is reported at the slot, not passed on.
    messages.clear();
    b.PreviousHandler = [] { throw std::runtime_error("handler failed"); };
    upDown->setValue(8);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "handler failed");
}

TEST_F(Binding, CustomBindingWithEventDrawsOnTheControlsOwnChange)
{
    auto *combo = Add<QComboBox>("CbMode");
    combo->addItems({"a", "b", "c"});
    std::vector<int> drawnAt;
    TBinding &b = binding->BindCustomWithEvent(
        ui.Level, combo, "",
        [&](QObject *, QWidget *c, TVariable &) { drawnAt.push_back(static_cast<QComboBox *>(c)->currentIndex()); },
        nullptr);
    int previous = 0;
    b.PreviousHandler = [&] { ++previous; };
    combo->setCurrentIndex(2);
    EXPECT_EQ(drawnAt, std::vector<int>{2});
    EXPECT_EQ(previous, 1);
    EXPECT_EQ(ui.Level.GetAsInteger(), 20) << "a custom binding writes nothing itself";
    binding->RefreshPage("");
    EXPECT_EQ(drawnAt.size(), 2u);
    ExpectUntouched();
}

} // namespace

namespace {

TEST_F(Binding, ControlsOutlivingTheRegistryWriteNothing)
{
    auto *upDown = Add<QSpinBox>("SeLevelLate");
    upDown->setRange(0, 100);
    binding->Bind(ui.Level, upDown, "", bfTwoWay);
    binding.reset();
    upDown->setValue(33);
    EXPECT_EQ(ui.Level.GetAsInteger(), 20);
    EXPECT_FALSE(state.Modified());
}

} // namespace
