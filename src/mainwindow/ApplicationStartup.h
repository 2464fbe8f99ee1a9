// The main configurator's start-up and shutdown, in the order the program
// needs them: the splash, the language manager, the catalogue layer with its
// OBD lists, the settings, the main window and the secondary windows, then
// the device. The objects live as long as this one; windows and tests reach
// them here.
#pragma once

#include "mainwindow/StartOptions.h"
#include "mainwindow/UserMessage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace sim {
class Simulator;
struct TraceEvent;
} // namespace sim

namespace lumex {

class TAppConfig;
class TApplicationSettings;
class TCustom;
class TFormConnectStatus;
class TFormMain;
class TLM;
struct TControllerLink;

class TApplicationStartup
{
public:
    // `args` without the program name; `link` is the process-wide one.
    TApplicationStartup(std::vector<std::string> args, TControllerLink &link);
    ~TApplicationStartup();
    TApplicationStartup(const TApplicationStartup &) = delete;
    TApplicationStartup &operator=(const TApplicationStartup &) = delete;

    // Every message box of the program, the core's errors included; set it
    // before Start.
    TMessagePresenter ShowMessage = ShowMessageBox;
    // Sees every frame of the --demo controller's line from its first one
    // (on the simulator's thread); set before Start. For the benchmarks.
    std::function<void(const sim::TraceEvent &)> DemoLineObserver;

    // Creates everything up to the message loop, shows the main window and
    // then starts the device. False when the program cannot run.
    bool Start();
    // The message loop; the program's exit code.
    int Exec();

    const TStartOptions &Options() const { return options_; }
    TControllerLink &Link() { return link_; }
    TLM &LanguageManager() { return *lm_; }
    TCustom &Catalogue() { return *catalogue_; }
    TAppConfig &Config();
    TApplicationSettings &Settings() { return *settings_; }
    TFormMain *MainWindow() { return mainWindow_.get(); }
    TFormConnectStatus *ConnectStatus() { return connectStatus_; }

private:
    bool StartDemoController();
    // --record: a recording of the seconds asked for once a controller is up.
    void RecordOnceConnected(TFormMain &window);
    bool recordStarted_ = false;

    TStartOptions options_;
    TControllerLink &link_;
    std::unique_ptr<TLM> lm_;
    std::unique_ptr<TCustom> catalogue_;
    std::unique_ptr<TApplicationSettings> settings_;
    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<QWidget> splash_;
    std::unique_ptr<TFormMain> mainWindow_;
    TFormConnectStatus *connectStatus_ = nullptr; // owned by the main window
    int result_ = 0;
};

// The program: Qt, the start-up, the message loop. `prepare`, when given,
// runs on the start-up object before it starts, once Qt is up: the
// benchmarks watch the real start-up through it.
int RunLumex2(int argc, char **argv, const std::function<void(TApplicationStartup &)> &prepare = {});

} // namespace lumex
