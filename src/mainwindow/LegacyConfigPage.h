// The configuration page of 1.4 and 1.5 controllers (TbSConfig): the
// "basic" and "advanced" sub-pages with every field those controllers have,
// the read, write and factory-defaults buttons, the idle hot Tb capture and
// the injection-system detection. The page edits a copy of the data image:
// Fill shows an image, Collect puts the page into one; the window runs the
// device work the buttons ask for.
#pragma once

#include "configuration/ConfigDependencies.h"
#include "controller/NorviData.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace lumex {

class TLegacyConfigPage : public QWidget
{
public:
    explicit TLegacyConfigPage(QWidget *parent = nullptr);

    // The gas injector and pressure sensor codes the product offers; the
    // lists show only those (all when empty).
    void SetOfferedCodes(std::vector<int> injectors, std::vector<int> pressureSensors);
    // A gas injector list of the product's own, in its order and with its
    // texts, in place of the shared one (empty: the shared list).
    struct TOwnEntry
    {
        std::string Text;
        unsigned Code;
    };
    void SetOwnInjectorList(std::vector<TOwnEntry> entries);

    // Shows the image: lists, boxes, edits, the revision's controls. Clears
    // the modified state.
    void Fill(const TNorviData &data);
    // The image last shown.
    const TNorviData &Shown() const { return shown_; }
    // Puts the page into `data` (a copy of the shown image); the message
    // when a typed number cannot be sent, and `data` then unchanged.
    std::optional<QString> Collect(TNorviData &data) const;

    // Modified since the last Fill: the write button is red meanwhile.
    bool Modified() const { return modified_; }
    void SetModified(bool modified);

    // The idle hot Tb edit's text ("Ustal" fills it).
    QString IdleHotTbText() const;
    void SetIdleHotTbText(const QString &text);
    // A detected injection system: selected and the page marked modified.
    void SetInjectionSystem(unsigned raw);
    // Rebuilds the texts the page composes (HP, suggested nozzle).
    void Retranslate();

    // What the buttons ask for; the window does the device work.
    std::function<void()> OnRead;
    std::function<void()> OnWrite;
    // "Ustawienia fabryczne": the factory settings of the controller.
    std::function<void()> OnWriteDefaults;
    std::function<void()> OnCaptureIdleHotTb;
    std::function<void()> OnDetectInjectionSystem;
    std::function<void()> OnConfigureLevelSensor;
    // The installer chose another gas injector type.
    std::function<void(unsigned code)> OnInjectorTypeChosen;
    std::function<void(bool modified)> OnModifiedChanged;

private:
    void Build();
    QWidget *BuildSubPage(int page);
    QComboBox *Combo(const std::string &control) const;
    QCheckBox *Check(const std::string &control) const;
    QLineEdit *Edit(const std::string &control) const;
    void FillList(QComboBox *box, const std::string &field, const TNorviData &data);
    void ApplyGates(const TNorviData &data);
    QWidget *Dependent(const char *control) const;
    // The rules between the page's controls; `toggled` is the box the
    // installer just ticked or cleared.
    void ApplyFollowers(std::optional<TConfControl> toggled);
    void Changed(std::optional<TConfControl> toggled = std::nullopt);
    void RefreshSuggestions();
    std::optional<QString> CollectEdits(TNorviData &data) const;

    TNorviData shown_;
    bool filling_ = false;
    bool modified_ = false;
    std::vector<int> offeredInjectors_, offeredSensors_;
    std::vector<TOwnEntry> ownInjectors_;
    std::map<std::string, QWidget *> controls_; // by object name
    std::map<std::string, QWidget *> captions_; // the label beside each control
    QTabWidget *subPages_ = nullptr;
    QCheckBox *lambda_ = nullptr;
    QLabel *powerHp_ = nullptr, *nozzleSuggested_ = nullptr;
    QPushButton *read_ = nullptr, *write_ = nullptr, *defaults_ = nullptr;
    QPushButton *captureTb_ = nullptr, *detect_ = nullptr, *levelSensor_ = nullptr;
};

} // namespace lumex
