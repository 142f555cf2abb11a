#include <iostream>

#include "cli/CliCommon.h"
#include "link/DeviceLink.h"

void AddPortsCommand(CliRegistry& registry) {
    CLI::App* command = registry.App().add_subcommand(
        "ports", "list the serial ports present and free, one a line");
    registry.Add(command, []() -> int {
        CDeviceLink link;
        for (const std::string& name : link.ListPorts()) {
            std::cout << name << "\n";
        }
        return kExitOk;
    });
}
