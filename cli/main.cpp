// kyto [--version] [--data-dir DIR] [--port NAME] [--baud RATE] [--trace FILE] COMMAND [OPTIONS]
#include <filesystem>
#include <iostream>

#include "base/DataFolder.h"
#include "cli/AlbumCommand.h"
#include "cli/CliCommon.h"

namespace {

// Every command group registers itself here.
using Registrar = void (*)(CliRegistry&);
const Registrar kCommandGroups[] = {
    AddPortsCommand,
    AddVersionCommand,
    AddDetectCommand,
    AddAlbumCommand,
};

}  // namespace

int main(int argc, char** argv) {
    BlockStopSignals();

    CLI::App app{
        "Kyto Demo on the command line: talks to a Kyto module on a serial port or, as LAN, "
        "behind a network adapter."};
    app.name("kyto");
    app.require_subcommand(1);
    GlobalOptions global;
    app.set_version_flag("--version", "kyto " KYTO_VERSION);
    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    app.add_option("--data-dir", global.dataDir,
                   "folder with the settings, logs and module data (default: see below)");
    app.footer(DescribeDataFolderRule());
    app.add_option("--port", global.port,
                   "serial port, e.g. /dev/ttyUSB0, or LAN (default: COMPortName)");
    app.add_option("--baud", global.baud, "baud rate (default: BaudRate of Application.ini)");
    app.add_option("--trace", global.trace,
                   "write every frame sent to and received from the module to FILE, one JSON "
                   "line each");

    CliRegistry registry(app, global);
    for (Registrar add : kCommandGroups) {
        add(registry);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --help-all, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    if (!global.trace.empty()) {
        // The command moves into the data folder; the name is the caller's.
        std::error_code error;
        const auto absolute = std::filesystem::absolute(global.trace, error);
        if (!error) {
            global.trace = absolute.string();
        }
    }
    StartStopSignalWatcher();
    return registry.RunChosen();
}
