// The binding of window controls to the variables of the edited state.
// A control is bound once, when its window is built: user input writes the
// variable, and the variable's value is shown in the control when a refresh
// asks for it, so only the page on screen is redrawn. Showing a value runs
// under a signal blocker: Qt reports programmatic changes too, and those must
// never write back or mark the state modified. Input that the variable
// refuses (out of its range) is reported, the control shows the stored value
// again and nothing is stored; no exception leaves a slot.
#pragma once

#include "modules/Variable.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumex {

class TUIState;

// The bit set given to Bind.
enum TBindFlag : unsigned
{
    bfTwoWay = 0x01,      // input writes the variable, and display
    bfDisplayOnly = 0x02, // display only
    bfCustom = 0x04,      // the caller supplies the display procedure
    bfEditInteger = 0x08, // edits commit as integer
    bfComboText = 0x10,   // combo boxes work on the item text
    bfEditDouble = 0x20   // edits commit as floating point
};

// The kinds of control a binding knows, in the order they are recognised.
enum class TControlKind
{
    DigitalDisplay,
    Label,
    ComboBox,
    ProgressBar, // progress bar and gauge
    TrackBar,
    CheckBox,
    UpDown,
    NumericEdit,
    Edit,
    Shape,
    DipSwitch,
    Notebook,
    SelectedImage,
    Panel,
    RadioButton,
    Chart,
    Other
};

TControlKind ControlKindOf(const QWidget *control);
// The class name messages quote: ours for our widgets, Qt's otherwise.
std::string ControlClassName(const QWidget *control);

class TBinding;
using TDisplayProc = std::function<void(QObject *sender, QWidget *control, TVariable &variable)>;

class TBinding
{
public:
    TBinding(QWidget *control, TVariable &variable, std::string pageName)
        : Control(control), Variable(variable), PageName(std::move(pageName))
    {
    }

    QPointer<QWidget> Control;
    TVariable &Variable;
    std::string PageName;
    bool NeedsRefresh = false;
    // The control's own change handler, called after the write.
    std::function<void()> PreviousHandler;
    TDisplayProc Display;
    QObject *Sender = nullptr;
    // The control's hooks into this binding.
    std::vector<QMetaObject::Connection> Connections;
    // Two extra references for custom bindings.
    void *Extra1 = nullptr;
    void *Extra2 = nullptr;

    // Shows the variable in the control with its signals blocked.
    void Show();
};

struct TVariableBindInfo
{
    explicit TVariableBindInfo(TVariable &variable) : Variable(variable) {}
    TVariable &Variable;
    std::vector<std::unique_ptr<TBinding>> Bindings;
};

class TLogicBinding
{
public:
    // Takes over the state's OnVariableChange (and calls any handler it
    // had first).
    explicit TLogicBinding(TUIState &state);
    ~TLogicBinding();
    TLogicBinding(const TLogicBinding &) = delete;
    TLogicBinding &operator=(const TLogicBinding &) = delete;

    // Raises EVariableError for a control bound to the variable already
    // and for a control kind the variable cannot use.
    TBinding &Bind(TVariable &variable, QWidget *control, const std::string &pageName, unsigned flags);
    TBinding &BindCustom(TVariable &variable, QWidget *control, const std::string &pageName, TDisplayProc display,
                         QObject *sender);
    // BindCustom; a combo box's, check box's or up-down's own change also
    // runs the display procedure and then the previous handler.
    TBinding &BindCustomWithEvent(TVariable &variable, QWidget *control, const std::string &pageName,
                                  TDisplayProc display, QObject *sender);

    void RefreshPending(const std::string &page);
    void RefreshPage(const std::string &page);
    void RefreshControls(const std::vector<QWidget *> &controls);
    // None clears every mark.
    void VariableChanged(TVariable *variable);

    // Where refused input is reported; a message box unless replaced.
    std::function<void(QWidget *control, const std::string &text)> ShowMessage;

    const std::vector<std::unique_ptr<TVariableBindInfo>> &BindInfos() const { return bindInfos_; }

private:
    TVariableBindInfo &InfoOf(TVariable &variable);
    TBinding &Create(TVariable &variable, QWidget *control, const std::string &pageName);
    void InstallDisplay(TBinding &b, TControlKind kind, unsigned flags);
    void InstallInput(TBinding &b, TControlKind kind, unsigned flags);
    // Runs `fn` at a slot boundary; a failure is shown (as a refused value
    // when `refused`) and gives false.
    bool Guarded(TBinding &b, const std::function<void()> &fn, bool refused);
    // A write from the control: a refused value is reported and the control
    // shows the stored value again; then the previous handler.
    void Commit(TBinding &b, const std::function<void()> &write);
    template <class TFn> void ForEachBinding(TFn fn);

    TUIState &state_;
    std::function<void(TVariable *)> previousOnChange_;
    std::vector<std::unique_ptr<TVariableBindInfo>> bindInfos_;
};

// Raises for a control kind the variable cannot use; Bind checks this
// before it registers anything, so a refused binding leaves no trace.
void CheckBindable(TControlKind kind, const TVariable &v, const QWidget *control, unsigned flags);

// The page a control belongs to: the nearest enclosing tab page or window.
std::string EnclosingPageName(const QWidget *control);

} // namespace lumex
