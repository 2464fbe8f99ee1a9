// The corrections page of 3.0 controllers: four panels of twenty edits
// (supply pressure, manifold pressure, gas temperature, engine speed) with
// their Active boxes, the presets of the gas temperature and RPM tables,
// the BANK2 correction line of the model, and the read and write buttons. The rules are CorrectionEditor's; the
// page edits a copy of the image and posts reads and writes.
#pragma once

#include "calibration/CorrectionEditor.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace lumex {

class TAdaptCorrTab;
class TDeviceWorker;

class TCorrectionsPage : public QWidget
{
public:
    TCorrectionsPage(TDeviceWorker &worker, QWidget *parent = nullptr);

    bool Running() const;
    void ShowSnapshot(const TDeviceSnapshot &snapshot);
    void Read();
    void Write();
    const TNorviData &Edited() const { return image_; }
    bool Modified() const { return modified_; }
    int ReadsDone() const { return readsDone_; }
    int WritesDone() const { return writesDone_; }
    TAdaptCorrTab *AdaptTab() const { return adaptTab_; }

    std::function<void(const QString &)> OnProblem;
    // A write refused because an edit holds no value the controller takes;
    // nothing was sent.
    std::function<void(const QString &)> OnRefused;
    std::function<void(bool)> OnModifiedChanged;

private:
    enum class TTable
    {
        Psys,
        Pcol,
        Tgas,
        Rpm
    };
    struct TPanel
    {
        std::array<QLineEdit *, kCorrectionPoints> Edits{};
        QCheckBox *Active = nullptr;
        std::array<QToolButton *, 4> Presets{}; // Standard, Small, Big, User (Tgas, RPM)
        QPushButton *Standard = nullptr;        // Psys, Pcol
    };

    QWidget *BuildPanel(TTable table, TPanel &panel);
    QWidget *BuildBank2();
    void FillBank2();
    void Fill();
    void FillTable(TTable table);
    void ShowPresetButtons();
    void PresetPressed(TTable table, TCorrPreset preset);
    void TableEdited(TTable table);
    TCorrectionTexts Texts(const TPanel &panel) const;
    // The first edit the write cannot take, in words; nothing when all can.
    std::optional<QString> RefusedEdit() const;
    void SetModified(bool modified);

    TDeviceWorker &worker_;
    TNorviData image_;
    bool linkUp_ = false;
    bool filling_ = false;
    bool busy_ = false;
    bool modified_ = false;
    int readsDone_ = 0, writesDone_ = 0;
    std::array<TPanel, 4> panels_;
    QPushButton *read_ = nullptr, *write_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    // The BANK2 correction line of the model.
    QSpinBox *bank2Mult_ = nullptr;
    QLineEdit *bank2Offset_ = nullptr;
    std::array<QCheckBox *, 8> bank2Mask_{};
    // "Mapa korekt", from revision G.
    TAdaptCorrTab *adaptTab_ = nullptr;
    bool enableBitPending_ = false;
};

} // namespace lumex
