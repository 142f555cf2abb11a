#pragma once

// A core connected to a module scripted on a pseudo-terminal, for the tests
// of the settings sends: every command supported, the device folder "dev"
// in a temporary folder, the requests of the connection forgotten.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "../protocol/ResponseFrame.h"
#include "../protocol/ScriptedModule.h"
#include "TempDir.h"
#include "app/AppCore.h"
#include "protocol/ResultCodes.h"

struct ScriptedCore {
    TempDir dir;
    ScriptedModule module;
    CAppCore core;

    ScriptedCore() {
        using namespace std::chrono_literals;
        for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini"}) {
            dir.CopyShipped(name);
        }
        EXPECT_EQ(core.Device().Connect(module.Path(), 921600), kResultOk);
        EXPECT_TRUE(module.WaitRequests(1, 5s));
        module.Forget();
        core.Device().SetSupportedCommands({0x00, 0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0B,
                                            0x0C, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x15, 0x20,
                                            0x21, 0x22, 0x30, 0x40, 0x42, 0x44, 0x45, 0xFF});
        core.deviceFolder = (std::filesystem::current_path() / "dev").string();
        std::filesystem::create_directories(core.deviceFolder);
    }
    ~ScriptedCore() { core.Disconnect(); }

    // The command code of every request since the connection.
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const auto& frame : module.Requests()) {
            codes.push_back(frame.size() > 1 ? frame[1] : -1);
        }
        return codes;
    }
};
