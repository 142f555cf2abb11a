#include <iostream>

#include "app/AppCore.h"
#include "cli/CliCommon.h"

void AddVersionCommand(CliRegistry& registry) {
    CLI::App* command = registry.App().add_subcommand(
        "version", "connect and print the module's model, firmware version and device ID");
    GlobalOptions& global = registry.Global();
    registry.Add(command, [&global]() -> int {
        if (int status = EnterDataFolder(global); status != kExitOk) {
            return status;
        }
        CAppCore core;
        core.LoadSettings();
        std::string port;
        int baud = 0;
        if (int status = ResolvePort(global, core, port, baud); status != kExitOk) {
            return status;
        }
        if (int status = ConnectForCommand(core, port, baud); status != kExitOk) {
            return status;
        }
        std::cout << "Model: " << core.modelName << "\n"
                  << "Firmware: " << FirmwareVersionText(core.version) << "\n"
                  << "Device ID: " << core.deviceId << "\n";
        core.Disconnect();
        return kExitOk;
    });
}
