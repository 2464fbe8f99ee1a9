// lumex2-cli upgrade: the firmware upgrade the program's window runs, from
// the command line: the automatic backup of the controller's settings, the
// bootloader, the update with a progress line, and the settings written
// back afterwards. A device found in its bootloader after a cut-off upgrade
// is finished and gets the backup of that upgrade.
#include "CliContext.h"
#include "CliLanguage.h"
#include "LinkSession.h"
#include "OptionArgs.h"
#include "PortOption.h"

#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "upgrade/UpgradeSession.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp =
    "usage: lumex2-cli --port N|PATH upgrade FILE [--yes] [--adapter] [--data-dir DIR] [--lang CODE]\n"
    "Upgrades the controller's (or with --adapter the adapter's) firmware with FILE. Before anything\n"
    "is erased the controller's settings are saved to DIR/Backups (DIR: the program's data folder);\n"
    "without a complete backup nothing starts. After the upgrade the backup is written back.\n"
    "A device that sits in its bootloader after an upgrade that was cut off is upgraded again and\n"
    "gets the backup of that upgrade. --yes answers Yes to every question.\n";

constexpr int kProgressStepPercent = 10;

// Message boxes' line breaks are "\r\n"; a terminal wants "\n".
std::string Lines(const std::string &text)
{
    std::string out;
    for (const char c : text)
        if (c != '\r')
            out += c;
    return out;
}

class TConsole
{
public:
    TConsole(const CliContext &ctx, bool yes) : ctx_(ctx), yes_(yes) {}

    void Bind(lumex::TUpgradeSession &session)
    {
        lumex::TUpgradeSessionUi &ui = session.Ui;
        ui.Warning = [this](const std::string &text) { *ctx_.err << "lumex2-cli: " << Lines(text) << "\n"; };
        ui.Information = [this](const std::string &text) { *ctx_.out << Lines(text) << "\n"; };
        ui.Question = [this](const std::string &text) { return Ask(text); };
        ui.Remaining = [this](unsigned seconds) { remaining_ = seconds; };
        ui.Progress = [this](int position, int maximum) { Progress(position, maximum); };
    }

    bool Ask(const std::string &text) const
    {
        *ctx_.out << Lines(text) << (yes_ ? " [y] y\n" : " [y/N] ") << std::flush;
        if (yes_)
            return true;
        std::string answer;
        return static_cast<bool>(std::getline(std::cin, answer)) && (answer == "y" || answer == "Y");
    }

private:
    void Progress(int position, int maximum)
    {
        if (maximum <= 0)
            return;
        const int percent = position * 100 / maximum;
        if (position == 0)
            shown_ = -1;
        if (percent / kProgressStepPercent == shown_ / kProgressStepPercent && shown_ >= 0)
            return;
        shown_ = percent;
        *ctx_.out << "programming " << percent << "% (" << position << "/" << maximum << ")";
        if (remaining_ >= 0)
            *ctx_.out << ", " << remaining_ / 60 << ":" << (remaining_ % 60 < 10 ? "0" : "") << remaining_ % 60
                      << " left";
        *ctx_.out << "\n" << std::flush;
    }

    const CliContext &ctx_;
    bool yes_;
    int shown_ = -1;
    long remaining_ = -1;
};

int Fail(const CliContext &ctx, const std::string &text)
{
    *ctx.err << "lumex2-cli: upgrade: " << Lines(text) << "\n";
    return kExitDevice;
}

int Restore(const CliContext &ctx, lumex::TUpgradeSession &session, const TConsole &console)
{
    const lumex::TUpgradeRecord record = session.Record();
    if (record.Stage != lumex::TUpgradeStage::RestorePending || record.BackupPath.empty())
        return kExitOk;
    if (!console.Ask(lumex::MessageText(lumex::msg::strQuestUpdLoadSettings))) {
        session.DeclineRestore();
        *ctx.out << lumex::MessageText(lumex::msg::strUpdBackupTaken) << " " << record.BackupPath << "\n";
        return kExitOk;
    }
    const lumex::TFileOpResult r = session.RestoreBackup();
    if (!r.Ok)
        return Fail(ctx,
                    r.Text() + "\n" + lumex::MessageText(lumex::msg::strUpdRestoreFailed) + " " + record.BackupPath);
    *ctx.out << "restored " << record.BackupPath << "\n";
    return kExitOk;
}

} // namespace

int RunUpgrade(CliContext &ctx)
{
    auto &args = ctx.args;
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        *ctx.out << kHelp;
        return kExitOk;
    }
    const auto lang = TakeLanguageOption(args);
    const bool yes = TakeFlag(args, "--yes");
    const bool adapter = TakeFlag(args, "--adapter");
    const std::string dataFolder = TakeValue(args, "--data-dir").value_or(DefaultDataFolder());
    if (args.size() != 1) {
        *ctx.err << kHelp;
        return kExitUsage;
    }
    lumex::TLM lm;
    std::string error;
    if (!LoadCliLanguage(lm, lang ? *lang : SettingsLanguage(), error))
        return UsageError(ctx, "upgrade: " + error);

    lumex::TControllerLink &link = lumex::Link();
    int status = kExitOk;
    if (!OpenLinkPort(ctx, link, status))
        return status;
    lumex::TUpgraderLogic logic;
    logic.SetPort(&link.Port);
    lumex::TUpgradeSession session(link.Manager, logic, dataFolder);
    TConsole console(ctx, yes);
    console.Bind(session);
    session.SetAdapterMode(adapter);

    const lumex::TUpdateQuery query = session.UpdateQuery();
    if (!query.Allowed)
        return Fail(ctx, query.Message.empty() ? lumex::MessageText(lumex::msg::strUpdImpossible) : query.Message);
    if (query.InBootloader) {
        const lumex::TUpgradeRecord record = session.Record();
        if (record.Stage == lumex::TUpgradeStage::Started)
            *ctx.out << lumex::MessageText(lumex::msg::strUpdResumeOffer) << "\n";
    } else if (!adapter) {
        const lumex::TFileOpResult backup = session.TakeBackup();
        if (!backup.Ok)
            return Fail(ctx, backup.Text());
        *ctx.out << lumex::MessageText(lumex::msg::strUpdBackupTaken) << " " << backup.BackupPath << "\n";
    }
    if (!session.EnterBootloader())
        return Fail(ctx, lumex::MessageText(lumex::msg::strUpdImpossible));
    *ctx.out << "Bootloader:      " << lumex::BootVersionText(logic.Boot().Info()) << "\n";
    *ctx.out << "Device:          " << logic.DeviceField() << "\n";
    if (!session.ChooseFile(args[0]))
        return Fail(ctx, lumex::MessageText(lumex::msg::strUpdWrongFile));
    *ctx.out << "File:            " << logic.FileField() << "\n";
    if (!session.Update()) {
        session.Close();
        if (const std::string backup = session.Record().BackupPath; !backup.empty())
            *ctx.err << "lumex2-cli: " << lumex::MessageText(lumex::msg::strUpdBackupTaken) << " " << backup << "\n";
        return kExitDevice;
    }
    *ctx.out << "Device:          " << logic.DeviceField() << "\n";
    session.Close();
    return adapter ? kExitOk : Restore(ctx, session, console);
}

} // namespace cli
