#include "modules/ui/LogicBinding.h"

#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "mainwindow/UserMessage.h"
#include "modules/DataState.h"
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
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <typeinfo>

namespace lumex {

namespace {

template <class T> bool Is(const QWidget *w)
{
    return dynamic_cast<const T *>(w) != nullptr;
}

// Only the exact class: a subclass is some other control.
template <class T> bool IsExactly(const QWidget *w)
{
    return w->metaObject() == &T::staticMetaObject && typeid(*w) == typeid(T);
}

struct TKindRow
{
    bool (*Match)(const QWidget *);
    TControlKind Kind;
    const char *OwnClassName; // ours; Qt's classes name themselves
};

// Ours first (some derive from Qt's controls), then the Qt controls, the
// plain frame and plain widget last.
constexpr TKindRow KindTable[] = {
    {Is<TDigitalDisplay>, TControlKind::DigitalDisplay, "TDigitalDisplay"},
    {Is<TSelectedImage>, TControlKind::SelectedImage, "TSelectedImage"},
    {Is<TLoadChartWidget>, TControlKind::Chart, "TLoadChartWidget"},
    {Is<TDipSwitch>, TControlKind::DipSwitch, "TDipSwitch"},
    {Is<QLabel>, TControlKind::Label, nullptr},
    {Is<QComboBox>, TControlKind::ComboBox, nullptr},
    {Is<QProgressBar>, TControlKind::ProgressBar, nullptr},
    {Is<QAbstractSlider>, TControlKind::TrackBar, nullptr},
    {Is<QCheckBox>, TControlKind::CheckBox, nullptr},
    {Is<QRadioButton>, TControlKind::RadioButton, nullptr},
    {Is<QSpinBox>, TControlKind::UpDown, nullptr},
    {Is<QDoubleSpinBox>, TControlKind::NumericEdit, nullptr},
    {Is<QLineEdit>, TControlKind::Edit, nullptr},
    {Is<QTabWidget>, TControlKind::Notebook, nullptr},
    {Is<QStackedWidget>, TControlKind::Notebook, nullptr},
    {Is<QGroupBox>, TControlKind::Panel, nullptr},
    {IsExactly<QFrame>, TControlKind::Shape, nullptr},
    {IsExactly<QWidget>, TControlKind::Panel, nullptr},
};

const TKindRow *RowOf(const QWidget *control)
{
    auto it =
        std::find_if(std::begin(KindTable), std::end(KindTable), [&](const TKindRow &r) { return r.Match(control); });
    return it == std::end(KindTable) ? nullptr : &*it;
}

TBoolVariable *AsFlag(TVariable &v)
{
    return dynamic_cast<TBoolVariable *>(&v);
}

bool IsFlag(const TVariable &v)
{
    return v.Kind() == TVariableKind::Bool || v.Kind() == TVariableKind::BoolByte;
}

int AsIndex(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string ControlName(const QWidget *control)
{
    return control->objectName().toStdString();
}

[[noreturn]] void RefuseKind(const char *text, const QWidget *control)
{
    throw EVariableError(std::string(text) + ControlClassName(control));
}

// A locale that takes no group separators: "1,2,3" is no number, not 123.
QLocale Strict(QLocale locale)
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    return locale;
}

// An integer the user typed; anything else, empty text included, is
// refused rather than taken as 0, so that nothing the user did not mean is
// stored.
int64_t ParseInputInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qlonglong n = Strict(QLocale()).toLongLong(t, &ok);
    if (ok)
        return n;
    const qlonglong c = t.toLongLong(&ok);
    if (!ok)
        throw EVariableError("\"" + text.toStdString() + "\" is not a whole number");
    return c;
}

// A number the user typed in the window's locale or with a "."; refused
// like an integer when it is none.
double ParseInputDouble(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double d = Strict(QLocale()).toDouble(t, &ok);
    if (!ok)
        d = Strict(QLocale::c()).toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        throw EVariableError("\"" + text.toStdString() + "\" is not a number");
    return d;
}

void DefaultShowMessage(QWidget *control, const std::string &text)
{
    ShowMessageBox(
        control != nullptr ? control->window() : nullptr,
        {TMessageKind::Warning, UiText(msg::strTextError, QStringLiteral("Error")), QString::fromStdString(text)});
}

} // namespace

TControlKind ControlKindOf(const QWidget *control)
{
    const TKindRow *row = RowOf(control);
    return row != nullptr ? row->Kind : TControlKind::Other;
}

std::string ControlClassName(const QWidget *control)
{
    const TKindRow *row = RowOf(control);
    if (row != nullptr && row->OwnClassName != nullptr)
        return row->OwnClassName;
    return control->metaObject()->className();
}

std::string EnclosingPageName(const QWidget *control)
{
    for (const QWidget *w = control; w != nullptr; w = w->parentWidget()) {
        const QWidget *parent = w->parentWidget();
        if (w != control && parent != nullptr && Is<QStackedWidget>(parent) && parent->parentWidget() != nullptr &&
            Is<QTabWidget>(parent->parentWidget()))
            return w->objectName().toStdString();
        if (w->isWindow())
            return w->objectName().toStdString();
    }
    return {};
}

void TBinding::Show()
{
    if (Control == nullptr || !Display)
        return;
    // Qt reports programmatic changes: without the blocker the control's
    // input hook would write the value back and mark the state modified.
    const QSignalBlocker blocker(Control.data());
    Display(Sender, Control.data(), Variable);
}

TLogicBinding::TLogicBinding(TUIState &state) : state_(state), previousOnChange_(state.OnVariableChange)
{
    state.OnVariableChange = [this](TVariable *v) {
        if (previousOnChange_)
            previousOnChange_(v);
        VariableChanged(v);
    };
    ShowMessage = DefaultShowMessage;
}

TLogicBinding::~TLogicBinding()
{
    // The controls may outlive the registry: their hooks go with it.
    ForEachBinding([](TBinding &b) {
        for (const QMetaObject::Connection &c : b.Connections)
            QObject::disconnect(c);
    });
    state_.OnVariableChange = previousOnChange_;
}

TVariableBindInfo &TLogicBinding::InfoOf(TVariable &variable)
{
    auto it = std::find_if(bindInfos_.begin(), bindInfos_.end(),
                           [&](const auto &info) { return &info->Variable == &variable; });
    if (it != bindInfos_.end())
        return **it;
    return *bindInfos_.emplace_back(std::make_unique<TVariableBindInfo>(variable));
}

TBinding &TLogicBinding::Create(TVariable &variable, QWidget *control, const std::string &pageName)
{
    if (control == nullptr)
        throw EVariableError("No control to bind " + variable.Name() + " to");
    TVariableBindInfo &info = InfoOf(variable);
    for (const auto &b : info.Bindings)
        if (b->Control == control)
            throw EVariableError("Control " + ControlName(control) + " has been already bound to " + variable.Name());
    const std::string page = pageName.empty() ? EnclosingPageName(control) : pageName;
    return *info.Bindings.emplace_back(std::make_unique<TBinding>(control, variable, page));
}

TBinding &TLogicBinding::Bind(TVariable &variable, QWidget *control, const std::string &pageName, unsigned flags)
{
    // Refused before anything is registered, so a refused binding leaves
    // no trace.
    const TControlKind kind = control != nullptr ? ControlKindOf(control) : TControlKind::Other;
    if (control != nullptr)
        CheckBindable(kind, variable, control, flags);
    TBinding &b = Create(variable, control, pageName);
    InstallDisplay(b, kind, flags);
    if ((flags & bfTwoWay) != 0)
        InstallInput(b, kind, flags);
    return b;
}

TBinding &TLogicBinding::BindCustom(TVariable &variable, QWidget *control, const std::string &pageName,
                                    TDisplayProc display, QObject *sender)
{
    TBinding &b = Bind(variable, control, pageName, bfCustom);
    b.Display = std::move(display);
    b.Sender = sender;
    return b;
}

TBinding &TLogicBinding::BindCustomWithEvent(TVariable &variable, QWidget *control, const std::string &pageName,
                                             TDisplayProc display, QObject *sender)
{
    TBinding &b = BindCustom(variable, control, pageName, std::move(display), sender);
    // The control's own change shows the variable the custom way and then
    // runs the previous handler.
    auto hook = [this, &b] {
        Commit(b, [&b] {
            if (b.Display && b.Control)
                b.Display(b.Sender, b.Control.data(), b.Variable);
        });
    };
    if (auto *combo = qobject_cast<QComboBox *>(control))
        b.Connections.push_back(QObject::connect(combo, &QComboBox::currentIndexChanged, combo, hook));
    else if (auto *check = qobject_cast<QCheckBox *>(control))
        b.Connections.push_back(QObject::connect(check, &QCheckBox::toggled, check, hook));
    else if (auto *upDown = qobject_cast<QSpinBox *>(control))
        b.Connections.push_back(QObject::connect(upDown, &QSpinBox::valueChanged, upDown, hook));
    return b;
}

void CheckBindable(TControlKind kind, const TVariable &v, const QWidget *control, unsigned flags)
{
    const bool custom = (flags & bfCustom) != 0;
    const char *regularRefused = "Regular binding not implemented for control: ";
    switch (kind) {
    case TControlKind::CheckBox:
    case TControlKind::DipSwitch:
    case TControlKind::Shape:
    case TControlKind::Panel:
        if (!IsFlag(v) && !custom)
            RefuseKind(regularRefused, control);
        break;
    case TControlKind::RadioButton:
        if (v.Kind() != TVariableKind::Byte && !custom)
            RefuseKind(regularRefused, control);
        break;
    case TControlKind::Chart:
        if (!custom)
            RefuseKind(regularRefused, control);
        break;
    case TControlKind::Other:
        RefuseKind("Binding not implemented for control: ", control);
    default:
        break;
    }
}

void TLogicBinding::InstallDisplay(TBinding &b, TControlKind kind, unsigned flags)
{
    const bool custom = (flags & bfCustom) != 0;
    const bool textMode = (flags & bfComboText) != 0;
    switch (kind) {
    case TControlKind::DigitalDisplay:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<TDigitalDisplay *>(c)->SetText(QString::fromStdString(x.Text()));
        };
        break;
    case TControlKind::Label:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QLabel *>(c)->setText(QString::fromStdString(x.Text()));
        };
        break;
    case TControlKind::ComboBox:
        b.Display = [textMode](QObject *, QWidget *c, TVariable &x) {
            auto *combo = static_cast<QComboBox *>(c);
            combo->setCurrentIndex(textMode ? combo->findText(QString::fromStdString(x.Text()))
                                            : AsIndex(x.GetAsInteger() - 1));
        };
        break;
    case TControlKind::ProgressBar:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QProgressBar *>(c)->setValue(AsIndex(x.GetAsInteger()));
        };
        break;
    case TControlKind::TrackBar:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QAbstractSlider *>(c)->setValue(AsIndex(x.GetAsInteger()));
        };
        break;
    case TControlKind::CheckBox:
    case TControlKind::DipSwitch:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QAbstractButton *>(c)->setChecked(AsFlag(x)->GetAsBoolean());
        };
        break;
    case TControlKind::UpDown:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QSpinBox *>(c)->setValue(AsIndex(x.GetAsInteger()));
        };
        break;
    case TControlKind::NumericEdit:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QDoubleSpinBox *>(c)->setValue(x.GetAsDouble());
        };
        break;
    case TControlKind::Edit:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            static_cast<QLineEdit *>(c)->setText(QString::fromStdString(x.Text()));
        };
        break;
    case TControlKind::Shape:
        b.Display = [](QObject *, QWidget *c, TVariable &x) { c->setVisible(AsFlag(x)->GetAsBoolean()); };
        break;
    case TControlKind::Notebook:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            const int index = AsIndex(x.GetAsInteger());
            if (auto *tabs = qobject_cast<QTabWidget *>(c))
                tabs->setCurrentIndex(index);
            else
                static_cast<QStackedWidget *>(c)->setCurrentIndex(index);
        };
        break;
    case TControlKind::SelectedImage:
        b.Display = [](QObject *, QWidget *c, TVariable &x) {
            const TBoolVariable *flag = AsFlag(x);
            static_cast<TSelectedImage *>(c)->SetIndex(flag != nullptr ? int{flag->GetAsBoolean()}
                                                                       : AsIndex(x.GetAsInteger()));
        };
        break;
    case TControlKind::Panel:
    case TControlKind::RadioButton:
    case TControlKind::Chart:
    case TControlKind::Other:
        b.Display = nullptr;
        break;
    }
    // A custom binding shows only what its caller draws.
    if (custom)
        b.Display = nullptr;
}

void TLogicBinding::InstallInput(TBinding &b, TControlKind kind, unsigned flags)
{
    QWidget *control = b.Control.data();
    TVariable &v = b.Variable;
    switch (kind) {
    case TControlKind::ComboBox: {
        auto *combo = static_cast<QComboBox *>(control);
        if ((flags & bfComboText) != 0) {
            auto commitText = [this, &b, &v, combo] {
                Commit(b, [&v, combo] { v.SetAsInteger(ParseInputInteger(combo->currentText())); });
            };
            b.Connections.push_back(QObject::connect(combo, &QComboBox::currentIndexChanged, combo, commitText));
            if (QLineEdit *edit = combo->lineEdit())
                b.Connections.push_back(QObject::connect(edit, &QLineEdit::editingFinished, combo, commitText));
        } else {
            b.Connections.push_back(
                QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [this, &b, &v](int index) {
                    Commit(b, [&v, index] { v.SetAsInteger(int64_t{index} + 1); });
                }));
        }
        break;
    }
    case TControlKind::TrackBar: {
        auto *slider = static_cast<QAbstractSlider *>(control);
        b.Connections.push_back(
            QObject::connect(slider, &QAbstractSlider::valueChanged, slider,
                             [this, &b, &v](int value) { Commit(b, [&v, value] { v.SetAsInteger(value); }); }));
        break;
    }
    case TControlKind::CheckBox:
    case TControlKind::DipSwitch: {
        auto *button = static_cast<QAbstractButton *>(control);
        b.Connections.push_back(QObject::connect(button, &QAbstractButton::toggled, button, [this, &b, &v](bool on) {
            Commit(b, [&v, on] { AsFlag(v)->SetAsBoolean(on); });
        }));
        break;
    }
    case TControlKind::UpDown: {
        auto *upDown = static_cast<QSpinBox *>(control);
        b.Connections.push_back(QObject::connect(upDown, &QSpinBox::valueChanged, upDown, [this, &b, &v](int value) {
            Commit(b, [&v, value] { v.SetAsInteger(value); });
        }));
        break;
    }
    case TControlKind::NumericEdit: {
        auto *edit = static_cast<QDoubleSpinBox *>(control);
        b.Connections.push_back(
            QObject::connect(edit, &QDoubleSpinBox::editingFinished, edit, [this, &b, &v, edit, flags] {
                Commit(b, [&v, edit, flags] {
                    if ((flags & bfEditInteger) != 0)
                        v.SetAsInteger(std::llround(edit->value()));
                    else if ((flags & bfEditDouble) != 0)
                        v.SetAsDouble(edit->value());
                });
            }));
        break;
    }
    case TControlKind::Edit: {
        auto *edit = static_cast<QLineEdit *>(control);
        b.Connections.push_back(QObject::connect(edit, &QLineEdit::editingFinished, edit, [this, &b, &v, edit, flags] {
            // Leaving an edit the user did not touch writes nothing.
            if (!edit->isModified())
                return;
            edit->setModified(false);
            Commit(b, [&v, edit, flags] {
                if ((flags & bfEditInteger) != 0)
                    v.SetAsInteger(ParseInputInteger(edit->text()));
                else if ((flags & bfEditDouble) != 0)
                    v.SetAsDouble(ParseInputDouble(edit->text()));
            });
        }));
        break;
    }
    default:
        break; // display only
    }
}

bool TLogicBinding::Guarded(TBinding &b, const std::function<void()> &fn, bool refused)
{
    // A slot, timer or refresh boundary: nothing may leave it.
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        const std::string lead =
            refused
                ? UiText(msg::strTextValueRefused, QStringLiteral("The value was not accepted.")).toStdString() + "\r\n"
                : std::string();
        ShowMessage(b.Control.data(), lead + e.what());
    } catch (...) {
        ShowMessage(b.Control.data(), UiText(msg::strInternalError, QStringLiteral("Internal error")).toStdString());
    }
    return false;
}

void TLogicBinding::Commit(TBinding &b, const std::function<void()> &write)
{
    if (!Guarded(b, write, true)) {
        // Nothing was stored: the control goes back to the stored value.
        Guarded(
            b, [&b] { b.Show(); }, false);
        return;
    }
    if (b.PreviousHandler)
        Guarded(b, b.PreviousHandler, false);
}

template <class TFn> void TLogicBinding::ForEachBinding(TFn fn)
{
    for (const auto &info : bindInfos_)
        for (const auto &b : info->Bindings)
            fn(*b);
}

void TLogicBinding::RefreshPending(const std::string &page)
{
    ForEachBinding([&](TBinding &b) {
        if (b.NeedsRefresh && (page.empty() || b.PageName.empty() || b.PageName == page)) {
            b.NeedsRefresh = false;
            Guarded(
                b, [&b] { b.Show(); }, false);
        }
    });
}

void TLogicBinding::RefreshPage(const std::string &page)
{
    ForEachBinding([&](TBinding &b) {
        if (page.empty() || b.PageName.empty() || b.PageName == page) {
            b.NeedsRefresh = false;
            Guarded(
                b, [&b] { b.Show(); }, false);
        }
    });
}

void TLogicBinding::RefreshControls(const std::vector<QWidget *> &controls)
{
    ForEachBinding([&](TBinding &b) {
        if (std::find(controls.begin(), controls.end(), b.Control.data()) != controls.end()) {
            b.NeedsRefresh = false;
            Guarded(
                b, [&b] { b.Show(); }, false);
        }
    });
}

void TLogicBinding::VariableChanged(TVariable *variable)
{
    if (variable == nullptr) {
        ForEachBinding([](TBinding &b) { b.NeedsRefresh = false; });
        return;
    }
    for (const auto &info : bindInfos_)
        if (&info->Variable == variable)
            for (const auto &b : info->Bindings)
                b->NeedsRefresh = true;
}

} // namespace lumex
