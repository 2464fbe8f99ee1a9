// The AIO window: lambda emulation of both inputs, embedded in the adapter
// page. Its controls are bound to the window thread's copy of the modules;
// Read and Write go to the owner, which runs them on the device thread.
#pragma once

#include "adapter/AIOData.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTableWidget;
class QPushButton;
class QTabWidget;

namespace lumex {

class TLogicBinding;
class TModuleMirror;
class TAioModelChart;

enum class TAioOperation
{
    Read,
    Write
};

class TFormMultiAIO : public QWidget
{
public:
    TFormMultiAIO(TModuleMirror &mirror, QWidget *parent = nullptr);
    ~TFormMultiAIO() override;

    // The tick: the mirror took the snapshot already.
    void Refresh();
    // After an operation of this window: the grids show the edited state.
    void OperationDone(bool ok);
    // Every grid from the edited variables.
    void FillGrids();
    // Write's first half: every cell checked, then stored; false (and a
    // message key) with nothing stored when a cell is out of range.
    bool StoreGrids(std::string &failureKey);

    // (operation, AIO edits) to run on the device thread.
    std::function<void(TAioOperation, const std::vector<std::pair<std::size_t, std::vector<uint8_t>>> &)> OnOperation;
    std::function<void(const std::string &key)> OnProblem;
    // An entry the edited settings refused (not a number, or out of the
    // setting's range); the control shows the stored value again.
    std::function<void(const std::string &text)> OnRefused;

private:
    struct TInputPage
    {
        QTableWidget *Load = nullptr;
        QTableWidget *Rpm = nullptr;
        QTableWidget *Cells = nullptr;
        TAioModelChart *Chart = nullptr;
    };
    QWidget *BuildInput(int input);
    void Step(int input, int step);
    void Run(TAioOperation operation);
    std::string PageName() const;

    TModuleMirror &mirror_;
    std::unique_ptr<TLogicBinding> binding_;
    QTabWidget *pages_ = nullptr;
    std::array<TInputPage, kAioInputs> inputs_{};
    QPushButton *read_ = nullptr;
    QPushButton *write_ = nullptr;
    bool busy_ = false;
    bool filling_ = false;
    // Typed into a grid since the grids were filled (stored at Write).
    bool gridsEdited_ = false;
    uint64_t filledFrom_ = ~uint64_t{0};
};

} // namespace lumex
