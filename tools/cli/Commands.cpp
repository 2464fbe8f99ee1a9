#include "Commands.h"

#include <array>

namespace cli {

// Declared here, defined in Cmd<Name>.cpp.
int RunPorts(CliContext &ctx);
int RunRaw(CliContext &ctx);
int RunIdentify(CliContext &ctx);
int RunPoll(CliContext &ctx);
// Parameter blocks and service commands.
int RunReadConfig(CliContext &ctx);
int RunGet(CliContext &ctx);
int RunSet(CliContext &ctx);
int RunMem(CliContext &ctx);
int RunLock(CliContext &ctx);
int RunUnlock(CliContext &ctx);
int RunTrouble(CliContext &ctx);
int RunWorktype(CliContext &ctx);
// The configuration by field.
int RunConfig(CliContext &ctx);
// Calibration: corrections.
int RunCorrections(CliContext &ctx);
// The multiplier map.
int RunMap(CliContext &ctx);
// The gas model.
int RunModel(CliContext &ctx);
// Autocalibration.
int RunAutocal(CliContext &ctx);
// The adapter on the controller's line.
int RunAdapter(CliContext &ctx);
// The car behind the adapter.
int RunObd(CliContext &ctx);
// The recorder.
int RunRecord(CliContext &ctx);
// Firmware upgrade.
int RunBoot(CliContext &ctx);
int RunFirmware(CliContext &ctx);
int RunUpgrade(CliContext &ctx);

std::span<const CommandEntry> Commands()
{
    static const auto kCommands = std::to_array<CommandEntry>({
        {"ports", "ports                     list serial ports: COMn, friendly name, device path", RunPorts,
         "lumex2-cli ports"},
        {"raw", "raw [--expect N] HEX...   send bytes as given, print the answer in hex (raw --help)", RunRaw,
         "lumex2-cli --port 3 raw C0 01 01 C2"},
        {"identify", "identify                  connect and print the controller's identification", RunIdentify,
         "lumex2-cli --port 3 --json identify"},
        {"poll", "poll [--cycles N] ...     connect and print live readings of N poll cycles", RunPoll,
         "lumex2-cli --port 3 poll --cycles 10 --interval 500"},
        {"read-config", "read-config               connect and read every setting of the generation and letter",
         RunReadConfig, "lumex2-cli --port 3 --json read-config > settings.json"},
        {"get", "get byte|word|model|info IDX      read one parameter in raw units", RunGet,
         "lumex2-cli --port 3 get word 12"},
        {"set", "set byte|word|model IDX VALUE     write one parameter in raw units and read it back", RunSet,
         "lumex2-cli --port 3 set byte 40 3"},
        {"mem", "mem read ADDR [--word] | mem write ADDR VALUE [--word]   controller memory", RunMem,
         "lumex2-cli --port 3 mem read 1"},
        {"lock", "lock PASSWORD             lock the controller (4 to 9 digits)", RunLock,
         "lumex2-cli --port 3 lock 4711"},
        {"unlock", "unlock PASSWORD           unlock the controller (4 to 9 digits)", RunUnlock,
         "lumex2-cli --port 3 unlock 4711"},
        {"trouble", "trouble [--lang CODE] [--clear]   active and stored trouble codes and the freeze-frame",
         RunTrouble, "lumex2-cli --port 3 trouble --lang EN"},
        {"worktype", "worktype N                switch the controller's work type", RunWorktype,
         "lumex2-cli --port 3 worktype petrol-now"},
        {"config", "config show | config set NAME VALUE [--raw]   configuration fields as the pages show them",
         RunConfig, "lumex2-cli --port 3 config save car.gcf"},
        {"corrections", "corrections show          the four correction tables of a 3.0 controller", RunCorrections,
         "lumex2-cli --port 3 corrections show"},
        {"map", "map read --gmf FILE | map calc FILE.gmf [--gen 30 --letter G] [--json]   multiplier map points",
         RunMap, "lumex2-cli --port 3 map read --gmf car.gmf"},
        {"model", "model show                print the controller's gas model (Model2 on 3.0, Model1 on 1.4/1.5)",
         RunModel, "lumex2-cli --port 3 --json model show"},
        {"autocal", "autocal [--fuel LPG|CNG] [--yes]   run autocalibration, print states, verdict and model",
         RunAutocal, "lumex2-cli --port 3 autocal --fuel LPG"},
        {"adapter", "adapter info | save FILE.gaf | load FILE.gaf [--yes]   the adapter on the controller's line",
         RunAdapter, "lumex2-cli --port 3 adapter save car.gaf"},
        {"obd", "obd connect [--protocol N] | live | codes [--clear]   the car behind the adapter", RunObd,
         "lumex2-cli --port 3 obd codes"},
        {"record",
         "record --seconds N --csv FILE [--protocol N]   record live readings and the car's OBD values to CSV",
         RunRecord, "lumex2-cli --port 3 record --seconds 60 --csv drive.csv"},
        {"boot", "boot info                 identify a bootloader: version, family, status", RunBoot,
         "lumex2-cli --port 3 boot info"},
        {"firmware", "firmware check FILE [--adapter]   check a firmware file, print its description", RunFirmware,
         "lumex2-cli firmware check controller.upg"},
        {"upgrade", "upgrade FILE [--yes]      upgrade the firmware; the settings are backed up and written back",
         RunUpgrade, "lumex2-cli --port 3 upgrade controller.upg"},
    });
    return kCommands;
}

} // namespace cli
