// The legacy configurator: Qt, the screen-size check, the window, and with
// --demo a simulated 1.5 controller on a pseudo-terminal of its own.
#include "configuration/ConfigFileOps.h"
#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/LangManager.h"
#include "legacy/NorviLanguage.h"
#include "legacy/NorviStartRules.h"
#include "legacy/NorviWindow.h"
#include "mainwindow/StartOptions.h"
#include "sim/Simulator.h"
#include "widgets/PictureFile.h"
#include "widgets/ProgramIcon.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

// The window size of a picture taken with --screenshot.
constexpr int kScreenshotWidth = 1000;
constexpr int kScreenshotHeight = 700;
constexpr uint8_t kDemoGeneration = 0x15;
constexpr char kDemoLetter = 'E';

std::unique_ptr<sim::Simulator> StartDemoController(const lumex::TStartOptions &options)
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    o.controller.generation = kDemoGeneration;
    o.controller.letter = static_cast<uint8_t>(kDemoLetter);
    o.stateFile = options.DemoState;
    o.pace = true;
    auto simulator = std::make_unique<sim::Simulator>(o);
    std::string error;
    if (!simulator->Start(error)) {
        std::fprintf(stderr, "Norvi: the simulated controller did not start: %s\n", error.c_str());
        return nullptr;
    }
    return simulator;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace lumex;
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const TStartOptions options = ParseStartOptions(args);
    for (const auto &problem : options.Problems)
        std::fprintf(stderr, "Norvi: %s\n", problem.c_str());

    TControllerLink &link = Link();
    // The language manager first: every later window and message uses it.
    TLM lm;
    lm.OnError = [](const std::string &caption, const std::string &text) {
        QMessageBox::critical(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
    };
    TAppConfig config;
    config.OnError = lm.OnError;
    SetUpNorviSettings(lm, config, &link.Port, TAppFolders::FromEnvironment("Norvi"));
    RemoveUnfinishedBackups((std::filesystem::path(config.DataFolder()) / kBackupsFolder).string());

    std::unique_ptr<sim::Simulator> simulator;
    if (options.Demo) {
        simulator = StartDemoController(options);
        if (!simulator)
            return 1;
        link.Port.SetDevicePath(simulator->Path());
    } else if (!options.PortPath.empty()) {
        link.Port.SetDevicePath(options.PortPath);
    }

    int result = 0;
    {
        TNorviWindow window(link);
        lm.LoadCurrentLanguage();
        window.TickLanguage(lm.LanguageCode());
        // The check comes once the main window exists, and closes it.
        const QSize screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->size() : QSize(0, 0);
        if (ScreenTooSmall(args, screen.width(), screen.height())) {
            QMessageBox::warning(&window, "Norvi", QString::fromStdString(ScreenTooSmallText(lm.LanguageCode())));
            window.close();
            if (simulator)
                simulator->Stop();
            return 1;
        }
        window.OnLanguageChosen = [&](const std::string &code) {
            SwitchLanguage(lm, config, code);
            window.TickLanguage(lm.LanguageCode());
        };
        if (!options.Page.empty() && !window.ShowPage(QString::fromStdString(options.Page)))
            std::fprintf(stderr, "Norvi: no page \"%s\"\n", options.Page.c_str());
        if (options.ScreenshotFile.empty()) {
            window.showMaximized();
        } else {
            window.resize(kScreenshotWidth, kScreenshotHeight);
            window.show();
            QTimer::singleShot(options.AfterMs, &window, [&window, &options, &result] {
                if (!SavePngFile(window.grab(), options.ScreenshotFile)) {
                    std::fprintf(stderr, "Norvi: cannot write %s\n", options.ScreenshotFile.c_str());
                    result = 1;
                }
                window.close();
            });
        }
        window.StartDevice();
        const int code = QApplication::exec();
        if (result == 0)
            result = code;
    }
    if (simulator)
        simulator->Stop();
    return result;
}
