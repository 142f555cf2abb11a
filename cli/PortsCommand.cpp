#include <iostream>

#include "cli/CliCommon.h"
#include "link/DeviceLink.h"

void AddPortsCommand(CliRegistry& registry) {
    CLI::App* command = registry.App().add_subcommand(
        "ports",
        "list the ports, one a line: LAN when a network adapter answers discovery or "
        "Application.ini describes one, then the serial ports present and free");
    GlobalOptions& global = registry.Global();
    registry.Add(command, [&global]() -> int {
        // The network adapter's settings live in the data folder.
        if (const int entered = EnterDataFolder(global); entered != kExitOk) {
            return entered;
        }
        CDeviceLink link;
        for (const std::string& name : link.ListPorts()) {
            std::cout << name << "\n";
        }
        return kExitOk;
    });
}
