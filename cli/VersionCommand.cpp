// kyto version: the connected module's model, firmware version and device ID.
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
        if (int status = AttachTrace(global, core); status != kExitOk) {
            return status;
        }
        std::string port;
        int baud = 0;
        if (int status = ResolvePort(global, core, port, baud); status != kExitOk) {
            return status;
        }
        CCliWorker worker(core);
        worker.Start();
        if (int status = ConnectForCommand(worker, port, baud); status != kExitOk) {
            return status;
        }
        const auto status = worker.Status();
        std::cout << "Model: " << status->modelName << "\n"
                  << "Firmware: " << status->firmwareVersion << "\n"
                  << "Device ID: " << status->deviceId << "\n";
        RunJob(
            worker, "Disconnect", [](CJobContext& job) { job.Core().Disconnect(); },
            StopMode::kFinish);
        return kExitOk;
    });
}
