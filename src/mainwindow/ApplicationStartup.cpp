#include "mainwindow/ApplicationStartup.h"

#include "controller/LockState.h"
#include "mainwindow/DiagnosticsPage.h"
#include "mainwindow/OscilloscopePage.h"

#include "configuration/ConfigFileOps.h"
#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/AppSettings.h"
#include "documents/CustomCatalogue.h"
#include "documents/LangManager.h"
#include "documents/ProductProfile.h"
#include "documents/ui/QtCatalogueWindow.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/FormAbout.h"
#include "mainwindow/FormConnectStatus.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/FormMultiAIO.h"
#include "mainwindow/FormMultiOBD.h"
#include "mainwindow/FrmSelectComPort.h"
#include "mainwindow/OscCsv.h"
#include "sim/Simulator.h"
#include "widgets/PictureFile.h"
#include "widgets/ProgramIcon.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>

namespace lumex {

namespace {

// The splash's client area.
constexpr int kSplashWidth = 400;
constexpr int kSplashHeight = 100;
// The window size of a picture taken with --screenshot.
constexpr int kScreenshotWidth = 1180;
constexpr int kScreenshotSettleMs = 5000;
constexpr int kWindowSettleMs = 2500;
constexpr int kScreenshotHeight = 800;
// The --page name that takes the connection status window instead.
constexpr const char *kConnectStatusPage = "FormConnectStatus";
constexpr const char *kAboutPage = "FormAbout";

// The start-up splash: the product's name on a plain window.
class TFrmWinetka : public QWidget
{
public:
    TFrmWinetka() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    {
        setObjectName("FrmWinetka");
        setFixedSize(kSplashWidth, kSplashHeight);
        auto *layout = new QVBoxLayout(this);
        auto *name = new QLabel(QString::fromStdString(ProductName(SelectedProductCode())), this);
        QFont f = name->font();
        f.setPointSize(f.pointSize() * 2);
        f.setBold(true);
        name->setFont(f);
        name->setAlignment(Qt::AlignCenter);
        layout->addWidget(name);
    }
};

} // namespace

TApplicationStartup::TApplicationStartup(std::vector<std::string> args, TControllerLink &link)
    : options_(ParseStartOptions(args)), link_(link)
{
    // The settings unit comes before any window: the settings object and
    // the product profile, on the link's one shared port.
    settings_ = std::make_unique<TApplicationSettings>(link_.Port);
    settings_->SelectProfile(SelectedProductProfile());
}

TAppConfig &TApplicationStartup::Config()
{
    return settings_->AppConfig();
}

TApplicationStartup::~TApplicationStartup()
{
    // The window stops the device thread before the simulated device goes.
    mainWindow_.reset();
    if (simulator_)
        simulator_->Stop();
    splash_.reset();
    if (lm_)
        lm_->SetCatalogue(nullptr);
}

bool TApplicationStartup::StartDemoController()
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    // Generation 3.0, letter G unless the command line names another.
    o.controller.generation = options_.DemoGeneration;
    if (options_.DemoLetter)
        o.controller.letter = static_cast<uint8_t>(*options_.DemoLetter);
    o.stateFile = options_.DemoState;
    // The demo line carries an adapter beside the controller.
    o.adapter = sim::AdapterIdentity{};
    // Its car is on the line and has trouble codes to read.
    o.adapter->obd.connectedAtStart = true;
    o.adapter->obd.recorded = {{0x10, 0x0123}, {0x10, 0xC100}};
    o.adapter->obd.pending = {{0x10, 0x0300}};
    o.pace = true;
    simulator_ = std::make_unique<sim::Simulator>(o);
    if (DemoLineObserver)
        simulator_->Observe(DemoLineObserver);
    std::string error;
    if (!simulator_->Start(error)) {
        std::fprintf(stderr, "Lumex2: the simulated controller did not start: %s\n", error.c_str());
        simulator_.reset();
        return false;
    }
    link_.Port.SetDevicePath(simulator_->Path());
    return true;
}

bool TApplicationStartup::Start()
{
    for (const auto &problem : options_.Problems)
        std::fprintf(stderr, "Lumex2: %s\n", problem.c_str());

    splash_ = std::make_unique<TFrmWinetka>();
    if (options_.ScreenshotFile.empty())
        splash_->show();
    QApplication::processEvents();

    // The language manager first, then the catalogue layer that follows
    // each of its language changes.
    lm_ = std::make_unique<TLM>();
    lm_->OnError = PresentErrors(ShowMessage, TMessageKind::Warning);
    catalogue_ = std::make_unique<TCustom>();
    lm_->SetCatalogue(catalogue_.get());

    TAppConfig &config = Config();
    config.OnError = PresentErrors(ShowMessage, TMessageKind::Plain);
    config.SetLanguageManager(lm_.get());
    config.InitPaths(&link_.Port);
    config.LoadSettings();
    RemoveUnfinishedBackups((std::filesystem::path(config.DataFolder()) / kBackupsFolder).string());
    // A recording killed last time is kept beside its file, not left as a part.
    RecoverJournaledRecording(RecordingJournalIn(config.SettingsFolder()));

    // The port is a number of the settings unless a device is named.
    link_.Port.SetDevicePath("");
    if (options_.Demo) {
        if (!StartDemoController())
            return false;
    } else if (!options_.PortPath.empty()) {
        link_.Port.SetDevicePath(options_.PortPath);
    }

    mainWindow_ = std::make_unique<TFormMain>(options_, link_, &config, lm_.get());
    TFormMain &window = *mainWindow_;
    window.ShowMessage = ShowMessage;
    // A simulated or explicitly given device is not the user's saved port.
    window.SetSaveSettingsOnClose(!options_.Demo && options_.PortPath.empty() && options_.ScreenshotFile.empty());

    // The secondary windows exist from here on and are shown on demand. The
    // connection status window is designed in English: the catalogue
    // translates it, starting from its English texts.
    connectStatus_ = new TFormConnectStatus(&window);
    RegisterWindow(*catalogue_, connectStatus_);
    RegisterWindow(*catalogue_, window.ObdWindow());
    RegisterWindow(*catalogue_, window.AioWindow());
    window.SetConnectStatusWindow(connectStatus_);
    window.SetSelectPortWindow(new TFrmSelectComPort(&window));

    // The connection status window and the about box are pictures of their own.
    const bool statusShot = options_.Page == kConnectStatusPage;
    const bool aboutShot = options_.Page == kAboutPage;
    const bool windowShot = statusShot || aboutShot;
    if (!options_.Page.empty() && !windowShot && !window.ShowPage(QString::fromStdString(options_.Page)))
        std::fprintf(stderr, "Lumex2: no page \"%s\"\n", options_.Page.c_str());
    if (!options_.ScreenshotFile.empty()) {
        window.resize(kScreenshotWidth, kScreenshotHeight);
        window.show();
    } else {
        window.showMaximized();
    }
    splash_->close();
    // The window is on screen before the first port is tried.
    window.StartDevice();
    if (options_.RecordSeconds > 0)
        RecordOnceConnected(window);

    if (!options_.ScreenshotFile.empty()) {
        QTimer::singleShot(options_.AfterMs, &window, [this, &window, statusShot, aboutShot, windowShot] {
            // The device may have opened another page meanwhile (trouble
            // codes do): the picture is of the page asked for.
            if (!options_.Page.empty() && !windowShot)
                window.ShowPage(QString::fromStdString(options_.Page));
            if (statusShot)
                connectStatus_->show();
            if (aboutShot)
                window.OpenAbout();
            // Entering a wizard page re-reads it; the picture shows the page
            // filled, not its buttons greyed for the read.
            QDeadlineTimer settle(kScreenshotSettleMs);
            do
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            while (window.Wizard() && window.Wizard()->Pending() > 0 && !settle.hasExpired());
            // The connection status window, or a window a page opens of its
            // own (the injector test) once its first answers are in.
            QWidget *target = &window;
            if (statusShot) {
                QApplication::processEvents(QEventLoop::AllEvents, 100);
                target = connectStatus_;
            } else if (aboutShot) {
                // The controller's fields are filled by the device thread.
                QDeadlineTimer answered(kWindowSettleMs);
                do
                    QApplication::processEvents(QEventLoop::AllEvents, 20);
                while (!window.About()->HasDevice() && !answered.hasExpired());
                target = window.About();
            } else if (QWidget *modal = QApplication::activeModalWidget()) {
                target = modal;
                QDeadlineTimer opened(kWindowSettleMs);
                while (!opened.hasExpired())
                    QApplication::processEvents(QEventLoop::AllEvents, 20);
            }
            const QPixmap picture = target->grab();
            if (!SavePngFile(picture, options_.ScreenshotFile)) {
                std::fprintf(stderr, "Lumex2: cannot write %s\n", options_.ScreenshotFile.c_str());
                result_ = 1;
            }
            // A window of its own may have hidden the main window; closing
            // it shown ends the program as usual.
            window.show();
            window.close();
        });
    }
    return true;
}

void TApplicationStartup::RecordOnceConnected(TFormMain &window)
{
    // Recording starts with the first fresh readings of a writable
    // controller (the post-connection reads are over by then), on the
    // recorder page, and stops after the seconds asked for.
    window.ShowPage("TbSDgnOscyloskop");
    auto previous = window.OnSnapshotApplied;
    window.OnSnapshotApplied = [this, &window, previous](const TDeviceSnapshot &s) {
        if (previous)
            previous(s);
        TOscilloscopePage *osc = window.Diagnostics()->Oscilloscope();
        if (recordStarted_ || !s.LinkUp || !s.Report.ReadingsFresh || s.Data.LockState != kLockUnlocked)
            return;
        osc->SetLockState(s.Data.LockState);
        osc->StartStop();
        recordStarted_ = osc->Recorder().Recording();
        if (!recordStarted_)
            return;
        QTimer::singleShot(options_.RecordSeconds * 1000, &window, [this, osc] {
            if (osc->Recorder().Recording())
                osc->StartStop();
            std::string error;
            if (!options_.RecordCsv.empty() && !osc->ExportCsv(options_.RecordCsv, error)) {
                std::fprintf(stderr, "Lumex2: %s\n", error.c_str());
                result_ = 1;
            }
        });
    };
}

int TApplicationStartup::Exec()
{
    const int code = QApplication::exec();
    return result_ != 0 ? result_ : code;
}

int RunLumex2(int argc, char **argv, const std::function<void(TApplicationStartup &)> &prepare)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    TApplicationStartup startup(std::move(args), Link());
    if (prepare)
        prepare(startup);
    if (!startup.Start())
        return 1;
    return startup.Exec();
}

} // namespace lumex
