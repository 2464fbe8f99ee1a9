// The main configurator's entry: splash, settings and language, the main
// window, and the options that connect it to the built-in simulated
// controller or take a picture of it.
#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/LangManager.h"
#include "documents/ProductProfile.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/StartOptions.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace {

// The start-up splash: the product's name on a plain 400 x 100 window.
class TFrmWinetka : public QWidget
{
public:
    TFrmWinetka() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    {
        setObjectName("FrmWinetka");
        setFixedSize(400, 100);
        auto *layout = new QVBoxLayout(this);
        auto *name = new QLabel(QString::fromStdString(lumex::ProductName(lumex::SelectedProductCode())), this);
        QFont f = name->font();
        f.setPointSize(f.pointSize() * 2);
        f.setBold(true);
        name->setFont(f);
        name->setAlignment(Qt::AlignCenter);
        layout->addWidget(name);
    }
};

std::unique_ptr<sim::Simulator> StartDemoController(std::string &error)
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    o.controller.generation = 0x30;
    o.controller.letter = 'G';
    o.pace = true;
    auto simulator = std::make_unique<sim::Simulator>(o);
    if (!simulator->Start(error))
        return nullptr;
    return simulator;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const lumex::TStartOptions options = lumex::ParseStartOptions(args);
    for (const auto &problem : options.Problems)
        std::fprintf(stderr, "Lumex2: %s\n", problem.c_str());

    auto splash = std::make_unique<TFrmWinetka>();
    if (options.ScreenshotFile.empty())
        splash->show();
    app.processEvents();

    lumex::TControllerLink &link = lumex::Link();
    lumex::TLM lm;
    lumex::TAppConfig config;
    config.DefaultLanguage = lumex::SelectedProductProfile().DefaultLanguage;
    config.SetLanguageManager(&lm);
    config.InitPaths(&link.Port);
    config.LoadSettings();
    lm.LoadLanguage(lm.LanguageCode());

    std::unique_ptr<sim::Simulator> simulator;
    if (options.Demo) {
        std::string error;
        simulator = StartDemoController(error);
        if (!simulator) {
            std::fprintf(stderr, "Lumex2: the simulated controller did not start: %s\n", error.c_str());
            return 1;
        }
        link.Port.SetDevicePath(simulator->Path());
    } else if (!options.PortPath.empty()) {
        link.Port.SetDevicePath(options.PortPath);
    }

    int result = 0;
    {
        lumex::TFormMain window(options, link, &config, &lm);
        // A simulated or explicitly given device is not the user's saved port.
        window.SetSaveSettingsOnClose(!options.Demo && options.PortPath.empty() && options.ScreenshotFile.empty());
        if (!options.Page.empty() && !window.ShowPage(QString::fromStdString(options.Page)))
            std::fprintf(stderr, "Lumex2: no page \"%s\"\n", options.Page.c_str());
        if (!options.ScreenshotFile.empty()) {
            window.resize(1180, 800);
            window.show();
        } else {
            window.showMaximized();
        }
        splash->close();
        window.StartDevice();

        if (!options.ScreenshotFile.empty()) {
            QTimer::singleShot(options.AfterMs, &window, [&window, &options, &result] {
                const QPixmap picture = window.grab();
                if (!picture.save(QString::fromStdString(options.ScreenshotFile), "PNG")) {
                    std::fprintf(stderr, "Lumex2: cannot write %s\n", options.ScreenshotFile.c_str());
                    result = 1;
                }
                window.close();
            });
        }
        const int code = app.exec();
        if (result == 0)
            result = code;
    }
    if (simulator)
        simulator->Stop();
    return result;
}
