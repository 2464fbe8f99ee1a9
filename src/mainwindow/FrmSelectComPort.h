// The small dialog in which the user picks a serial port by hand.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDialogButtonBox;

namespace lumex {

class TFrmSelectComPort : public QDialog
{
public:
    explicit TFrmSelectComPort(QWidget *parent = nullptr);

    // Takes the captions from the language in force.
    void ApplyLanguage();

    // Fills the list ("COM3 - friendly name" when every port has one) and
    // selects the current port's entry.
    void Fill(const std::vector<std::string> &names, const std::vector<std::string> &friendlyNames, int current);
    // The port number of the selected entry; nothing when the list is empty.
    std::optional<int> SelectedPort() const;
    QComboBox *Ports() const { return ports_; }

private:
    QComboBox *ports_;
    QDialogButtonBox *buttons_;
};

// Runs the dialog over the machine's ports; the chosen number, if any.
std::optional<int> SelectComPort(TFrmSelectComPort &dialog, int current);
// The same with a dialog made for this one choice.
std::optional<int> SelectComPort(QWidget *parent, int current);

} // namespace lumex
