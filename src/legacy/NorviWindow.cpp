#include "legacy/NorviWindow.h"

#include "calibration/ui/CalAutoPage.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model1Page.h"
#include "legacy/NorviRpmRanges.h"
#include "widgets/DigitalDisplay.h"

#include "controller/ConfigurationIO.h"
#include "controller/ControllerLink.h"
#include "controller/Conversions.h"
#include "documents/LanguageSections.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/AboutInfo.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/FormAbout.h"
#include "mainwindow/FrmHaslo.h"
#include "mainwindow/GcfOps.h"
#include "mainwindow/LegacyConfigPage.h"
#include "mainwindow/OscilloscopePage.h"
#include "mainwindow/QuestionBox.h"
#include "mainwindow/ReadingsPage.h"
#include "mainwindow/TickRules.h"
#include "mainwindow/TroubleCodePage.h"
#include "mainwindow/UiText.h"

#include <algorithm>

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>

namespace lumex {

namespace {
constexpr const char *kCaption = "Norvi";

QString FuelText(TFuelShown fuel)
{
    switch (fuel) {
    case TFuelShown::Gas:
        return UiText(msg::strGaz, "GAZ");
    case TFuelShown::Waiting:
        return UiText(msg::strOczekiwanie, "OCZEKIWANIE");
    case TFuelShown::Petrol:
        break;
    }
    return UiText(msg::strBenzyna, "BENZYNA");
}

QColor ShadeColour(TRpmShade shade)
{
    return shade == TRpmShade::Green ? QColor(0x40, 0xD0, 0x40) : QColor(0xF0, 0xE0, 0x30);
}
} // namespace

const std::vector<TLegacyConfigPage::TOwnEntry> &NorviInjectors()
{
    static const std::vector<TLegacyConfigPage::TOwnEntry> list{
        {"LUMEX JET", 5},      {"MATRIX", 0},       {"VALTEK (3ohm)", 2},
        {"VALTEK (1ohm)", 12}, {"RAIL (3ohm)", 11}, {"RAIL (1ohm)", 13},
    };
    return list;
}

const std::vector<TNorviLanguageEntry> &NorviLanguageEntries()
{
    static const std::vector<TNorviLanguageEntry> entries{
        {"PL", "MnILangPolish", "Polski"},
        {"EN", "MnILangEnglish", "English"},
        {"RU", "MnILangRussian", "Русский"},
        {"LT", "MnILangLithuanian", "Lietuvių"},
        {"CZ", "MnILangCzech", "Čeština"},
        {"DE", "MnILangGerman", "Deutsch"},
        {"IT", "MnILangItalian", "Italiano"},
        {"TR", "MnILangTurkish", "Türkçe"},
        {"TR2", "MnILangTurkish_Tavira", "Türkçe (2)"},
        {"HR", "MnILangCroatian", "Hrvatski"},
        {"FR", "MnILangFrench", "Français"},
        {"NL", "MnILangNederlands", "Nederlands"},
    };
    return entries;
}

TNorviWindow::TNorviWindow(TControllerLink &link, QWidget *parent)
    : QMainWindow(parent), link_(link), device_(std::make_unique<TNorviDevice>(link))
{
    setObjectName("FormMain");
    setWindowTitle(kCaption);
    pages_ = new QTabWidget(this);
    readings_ = new TReadingsPage(pages_);
    readings_->setObjectName("TbSMeasure");
    pages_->addTab(readings_, UiText("TbSMeasure", "Odczyty"));
    config_ = new TLegacyConfigPage(pages_);
    config_->setObjectName("TbSConfig");
    config_->SetOwnInjectorList(NorviInjectors());
    pages_->addTab(config_, UiText("TbSConfig", "Konfiguracja"));
    // Questions of the device thread's work (a load, the end of an
    // autocalibration); let go when it stops.
    question_ = std::make_unique<TDeviceQuestion>(this, AskQuestionBox, device_.get());
    autoCal_ = new TCalAutoPage(*device_, question_->Asker(), pages_);
    pages_->addTab(autoCal_, UiText("TbSCalAuto", "Autokalibracja"));
    pages_->addTab(BuildMapPage(), UiText("TbSMap", "Mapa"));
    // After a completed run the installer may go straight on to map collection.
    autoCal_->OnOpenMap = [this] {
        pages_->setCurrentWidget(map_->parentWidget());
        map_->Read();
    };
    model_ = new TModel1Page(*device_, pages_);
    model_->OnProblem = [this](const QString &text) { QMessageBox::warning(this, kCaption, text); };
    // The map's "Ustaw model" hands its fitted line to the model page.
    map_->OnLegacyModelFitted = [this](const TLegacyModel &fitted) { model_->SetFittedModel(fitted); };
    pages_->addTab(model_, UiText("TbSCalModel", "Model"));
    TNorviDevice &device = *device_;
    trouble_ = new TTroubleCodePage([&device](std::function<void(TDataManager &)> job) { device.Post(job); }, pages_);
    trouble_->OnProblem = [this](const QString &text) { QMessageBox::warning(this, kCaption, text); };
    pages_->addTab(trouble_, UiText("TbSDgnErrorCodes", QStringLiteral("Kody błędów")));
    osc_ = new TOscilloscopePage(pages_);
    osc_->HideObdChannels();
    osc_->OnRecordingChanged = [&device](bool on) { device.OscRecording = on; };
    osc_->OnProblem = [this](const QString &text) { QMessageBox::warning(this, kCaption, text); };
    device_->OnOscSample = [this](const TOscSample &sample, std::chrono::steady_clock::time_point at) {
        QPointer<TOscilloscopePage> osc(osc_);
        QMetaObject::invokeMethod(
            osc_,
            [osc, sample, at] {
                if (osc)
                    osc->AddSample(sample, at);
            },
            Qt::QueuedConnection);
    };
    pages_->addTab(osc_, UiText("TbSDgnOscyloskop", QStringLiteral("Oscyloskop")));
    setCentralWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this, [this] {
        device_->SetOscilloscopeShown(pages_->currentWidget() == osc_);
        map_->SetShown(pages_->currentWidget() == map_->parentWidget());
        if (pages_->currentWidget() == trouble_)
            trouble_->Read();
    });

    portPanel_ = new QLabel(this);
    commPanel_ = new QLabel(this);
    versionPanel_ = new QLabel(this);
    calibrationPanel_ = new QLabel(this);
    lockPanel_ = new QLabel(this);
    fuelPanel_ = new QLabel(this);
    commPanel_->setText(UiText(msg::strComError, QStringLiteral("Brak połączenia")));
    versionPanel_->setText(UiText(msg::strVerError, QStringLiteral("Niezgodna wersja")));
    calibrationPanel_->setText(QStringLiteral("KALIBRACJA W TOKU"));
    calibrationPanel_->setObjectName("PnlStatusCalibration");
    lockPanel_->setText(QStringLiteral("Zablokowany"));
    for (QLabel *panel : {portPanel_, commPanel_, versionPanel_, calibrationPanel_, lockPanel_, fuelPanel_}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->hide();
        statusBar()->addWidget(panel);
    }
    portPanel_->show();

    BuildFileMenu();
    BuildControllerMenu();
    BuildLanguageMenu();
    about_ = new TFormAbout(this);
    // The next language load applies the "[FormMain]" section to this window.
    language_ = AttachLanguage(TLanguageWindowId::MainWindow, this);

    config_->OnRead = [this] { ReadConfiguration(); };
    config_->OnWrite = [this] { WriteConfiguration(); };

    QPointer<TNorviWindow> self(this);
    device_->OnSnapshot = [self](const TNorviSnapshot &s) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, s] {
                if (self)
                    self->ApplySnapshot(s);
            },
            Qt::QueuedConnection);
    };
    device_->OnError = [self](const std::string &what) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, what] {
                if (self)
                    self->statusBar()->showMessage(UiText(msg::strInternalError, "Błąd programu") + ": " +
                                                   QString::fromStdString(what));
            },
            Qt::QueuedConnection);
    };
}

TNorviWindow::~TNorviWindow()
{
    // Members go after this body: a question waiting now must not wait for them.
    question_->Release();
    device_->Stop();
}

void TNorviWindow::BuildLanguageMenu()
{
    languageMenu_ = menuBar()->addMenu(QStringLiteral("&Język"));
    languageMenu_->setObjectName("MnILanguage");
    for (const TNorviLanguageEntry &entry : NorviLanguageEntries()) {
        auto *a = languageMenu_->addAction(QString::fromUtf8(entry.Caption));
        a->setObjectName(entry.MenuItem);
        // Not exclusive: the tick moves only once the file has loaded.
        a->setCheckable(true);
        a->setData(QString::fromLatin1(entry.Code));
        const std::string code = entry.Code;
        connect(a, &QAction::triggered, this, [this, code] {
            if (OnLanguageChosen)
                OnLanguageChosen(code);
        });
    }
}

void TNorviWindow::BuildControllerMenu()
{
    auto *menu = menuBar()->addMenu(QStringLiteral("&Sterownik"));
    menu->setObjectName("MnIController");
    auto *lock = menu->addAction(QStringLiteral("Zablokuj"));
    lock->setObjectName("MnIDeviceLock");
    connect(lock, &QAction::triggered, this, [this] { LockOrUnlock(true); });
    auto *unlock = menu->addAction(QStringLiteral("Odblokuj"));
    unlock->setObjectName("MnIDeviceUnlock");
    connect(unlock, &QAction::triggered, this, [this] { LockOrUnlock(false); });
    auto *help = menuBar()->addMenu(QStringLiteral("Pomo&c"));
    help->setObjectName("MnIHelp");
    auto *about = help->addAction(QStringLiteral("O programie..."));
    about->setObjectName("MnIHelpAbout");
    about->setShortcut(Qt::Key_F1);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
}

void TNorviWindow::LockOrUnlock(bool locking)
{
    TFrmHaslo dialog(locking, this);
    dialog.ShowMessage = [this](QWidget *, const TUserMessage &m) {
        if (Tell)
            Tell(m.Caption, m.Text, m.Kind == TMessageKind::Warning);
    };
    if (dialog.exec() != QDialog::Accepted)
        return;
    const uint32_t password = dialog.Password();
    QPointer<TNorviWindow> self(this);
    device_->Post([self, locking, password](TDataManager &m) {
        const bool ok = locking ? m.LockDevice(password) : m.UnlockDevice(password);
        // The panel and the pages follow the controller's answer, not ours.
        m.ReadLockState();
        if (ok || self.isNull())
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self)
                    QMessageBox::warning(self, kCaption,
                                         UiText(msg::strWriteFailed, "Urządzenie nie potwierdziło zapisu."));
            },
            Qt::QueuedConnection);
    });
}

void TNorviWindow::ShowAbout()
{
    PrepareAbout();
    about_->exec();
}

void TNorviWindow::PrepareAbout()
{
    about_->Prepare();
    about_->SetDevice({});
    QPointer<TFormAbout> box(about_);
    device_->Post([box](TDataManager &m) {
        const TAboutDevice device = ReadAboutDevice(m);
        if (box.isNull())
            return;
        QMetaObject::invokeMethod(
            box.data(),
            [box, device] {
                if (box)
                    box->SetDevice(device);
            },
            Qt::QueuedConnection);
    });
    about_->adjustSize();
    about_->move(geometry().center() - about_->rect().center());
}

QWidget *TNorviWindow::BuildMapPage()
{
    auto *page = new QWidget(pages_);
    page->setObjectName("TbSMap");
    auto *grid = new QGridLayout(page);

    auto *map = new QGroupBox(QStringLiteral("Mapa mnożnika"), page);
    map->setObjectName("GrBMultMap");
    auto *mapGrid = new QGridLayout(map);
    // The shared map page over this program's device thread and its five
    // ranges; the display's colour follows the range chosen there.
    map_ = new TMapPage(*device_, page);
    QStringList ranges;
    for (const TNorviRpmRange &range : NorviRpmRanges())
        ranges << QString::fromUtf8(range.Text.data(), static_cast<int>(range.Text.size()));
    map_->SetRpmRanges(ranges, kNorviDefaultRpmRange);
    map_->FileFolder = DataFolder();
    // The map's questions come from its sequences on the device thread.
    map_->Ask = question_->Asker();
    map_->Warn = [this](const QString &caption, const QString &text) {
        QMessageBox::warning(this, caption.isEmpty() ? QString(kCaption) : caption, text);
    };
    map_->OnProblem = [this](const QString &text) { QMessageBox::warning(this, kCaption, text); };
    mapRange_ = map_->RangeBox();
    mapRpm_ = new TDigitalDisplay(map, 5);
    mapRpm_->setObjectName("DDMapRPM");
    mapGrid->addWidget(new QLabel(QStringLiteral("RPM"), map), 0, 0);
    mapGrid->addWidget(mapRpm_, 0, 1);

    auto *calibration = new QGroupBox(QStringLiteral("Kalibracja"), page);
    calibration->setObjectName("GrBCalibration");
    auto *calGrid = new QGridLayout(calibration);
    calibrationRpm_ = new TDigitalDisplay(calibration, 5);
    calibrationRpm_->setObjectName("DDCalRPM");
    calibrationState_ = new QLabel(calibration);
    calGrid->addWidget(new QLabel(QStringLiteral("RPM"), calibration), 0, 0);
    calGrid->addWidget(calibrationRpm_, 0, 1);
    calGrid->addWidget(calibrationState_, 1, 0, 1, 2);

    grid->addWidget(map, 0, 0);
    grid->addWidget(calibration, 0, 1);
    grid->addWidget(map_, 1, 0, 1, 2);
    grid->setRowStretch(1, 1);
    connect(mapRange_, &QComboBox::currentIndexChanged, this, [this] { ShowRpm(last_.Data); });
    ShowRpm(last_.Data);
    return page;
}

void TNorviWindow::ShowRpm(const TNorviData &data)
{
    const int rpm = RpmFromPeriod(data.RpmPeriod);
    const QString text = QString::number(rpm);
    mapRpm_->SetText(text);
    mapRpm_->SetFaceColour(ShadeColour(MapRpmShade(mapRange_->currentIndex(), rpm)));
    calibrationRpm_->SetText(text);
    calibrationRpm_->SetFaceColour(ShadeColour(CalibrationRpmShade(rpm)));
}

void TNorviWindow::TickLanguage(const std::string &code)
{
    for (QAction *a : languageMenu_->actions())
        a->setChecked(a->data().toString() == QString::fromStdString(code));
}

void TNorviWindow::StartDevice()
{
    device_->Start();
}

bool TNorviWindow::ShowPage(const QString &name)
{
    for (int i = 0; i < pages_->count(); ++i) {
        if (pages_->widget(i)->objectName() == name) {
            pages_->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void TNorviWindow::closeEvent(QCloseEvent *event)
{
    device_->Stop();
    event->accept();
}

void TNorviWindow::ApplySnapshot(const TNorviSnapshot &snapshot)
{
    last_ = snapshot;
    const TNorviTickReport &r = snapshot.Report;
    if (r.FatalPcCompatCode) {
        QMessageBox::critical(this, kCaption,
                              UiText(msg::strWPCV, "Niezgodny program") + " [" + QString::number(*r.FatalPcCompatCode) +
                                  "]");
        close();
        return;
    }
    ApplyPanels(snapshot);
    trouble_->SetLockState(snapshot.Data.LockState);
    osc_->SetLockState(snapshot.Data.LockState);
    device_->OscInjectorItem = std::max(readings_->TimeSelection(), kInjectorAverage);
    if (snapshot.ReadingsFresh)
        ShowRpm(snapshot.Data);
    calibrationState_->setText(r.CalibrationLabel ? QStringLiteral("KALIBRACJA W TOKU") : QString());
    if (r.JustConnected) {
        readings_->RebuildLayout(snapshot.Data, false);
        fillConfigPending_ = true;
    }
    if (fillConfigPending_ && snapshot.LinkUp && !config_->Modified()) {
        config_->Fill(snapshot.Data);
        fillConfigPending_ = false;
    }
    // The shared pages read the shared snapshot type; only its readings part.
    TDeviceSnapshot view;
    view.Data = snapshot.Data;
    view.Extras = snapshot.Extras;
    view.LinkUp = snapshot.LinkUp;
    // The map page takes the controller's own range once the link is up;
    // an index past the list shows the middle one.
    map_->ShowSnapshot(view);
    // The model is read once the 1.4/1.5 link comes up.
    model_->ShowSnapshot(view);
    autoCal_->ShowSnapshot(view);
    if (snapshot.ReadingsFresh && pages_->currentWidget() == readings_)
        readings_->ShowReadings(view);
}

void TNorviWindow::ApplyPanels(const TNorviSnapshot &snapshot)
{
    const TNorviTickReport &r = snapshot.Report;
    if (!r.Ran)
        return;
    QString device = QString::fromStdString(link_.Port.DeviceName());
    if (device.startsWith("/dev/"))
        device.remove(0, 5);
    portPanel_->setText(device);
    commPanel_->setVisible(r.CommunicationError);
    versionPanel_->setVisible(r.VersionIncompatible);
    calibrationPanel_->setVisible(r.CalibrationLabel);
    lockPanel_->setVisible(r.Locked);
    fuelPanel_->setVisible(snapshot.LinkUp);
    fuelPanel_->setText(FuelText(FuelShown(snapshot.Data.SystemState)));
}

void TNorviWindow::ReadConfiguration()
{
    fillConfigPending_ = true;
    config_->SetModified(false);
    device_->Post([](TDataManager &m) { ReadGenerationConfiguration(m); });
}

void TNorviWindow::WriteConfiguration()
{
    TNorviData edited = last_.Data;
    if (auto problem = config_->Collect(edited)) {
        Tell(QString(),
             UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane.")) +
                 "\n\n" + *problem,
             true);
        return;
    }
    QPointer<TNorviWindow> self(this);
    device_->Post([self, edited](TDataManager &m) {
        m.Data() = edited;
        const TWriteResult result = WriteGenerationConfiguration(m);
        const bool ok = result.Ok;
        QMetaObject::invokeMethod(
            self.data(),
            [self, ok] {
                if (!self)
                    return;
                if (ok)
                    self->config_->SetModified(false);
                else
                    QMessageBox::warning(self, kCaption, UiText(msg::strConfWriteFailed, "Błąd zapisu konfiguracji"));
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumex
