#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>

#include "album/AlbumMngr.h"
#include "app/AppCore.h"
#include "app/ExecutionLoop.h"
#include "app/ResultText.h"
#include "cli/CliCommon.h"
#include "cli/FrameJson.h"
#include "logging/DebugLogFileOpe.h"
#include "logging/LogFileOpe.h"

#ifdef KYTO_HAVE_SNAPSHOT
#include "display/Snapshot.h"
#endif

namespace {

struct DetectOptions {
    std::string functions;
    std::string image;
    int frames = 0;
    bool continuous = false;
    std::string stabilisation;
    std::optional<int> verifyId;
    std::string output = "text";
    std::string log;
    std::string snapshotDir;
};

// "body,face,age" or "all" to flags; false with a message on an unknown name.
bool ParseFunctionList(const std::string& list, std::uint8_t flags[11], std::string& error) {
    std::fill(flags, flags + 11, 0);
    std::stringstream in(list);
    std::string name;
    bool any = false;
    while (std::getline(in, name, ',')) {
        if (name.empty()) {
            continue;
        }
        any = true;
        if (name == "all") {
            std::fill(flags, flags + 11, 1);
            continue;
        }
        bool known = false;
        for (int i = 0; i < 11; ++i) {
            if (name == kFunctionNames[i]) {
                flags[i] = 1;
                known = true;
            }
        }
        if (!known) {
            error = "unknown function '" + name +
                    "' (use body, hand, face, direction, age, gender, gaze, blink, expression, "
                    "recognition, verify or all)";
            return false;
        }
    }
    if (!any) {
        error = "--functions needs at least one name";
        return false;
    }
    return true;
}

class FixedChoices : public IExecutionChoices {
public:
    explicit FixedChoices(const ExecutionChoices& choices) : choices_(choices) {}
    ExecutionChoices CurrentChoices() override { return choices_; }

private:
    ExecutionChoices choices_;
};

// Prints, logs and counts every frame the loop reports.
class CliFrameSink : public IFrameSink {
public:
    bool json = false;
    int targetFrames = 0;  // successful frames after which the run stops; 0 = no limit
    CLogFileOpe* dailyLog = nullptr;
    CDebugLogFileOpe* debugLog = nullptr;
    std::string snapshotDir;
    int fullImageWidth = 640;
    CExecutionLoop* loop = nullptr;

    int successes = 0;
    bool outputFailed = false;
    bool logFailed = false;

    void ReportFrame(const CImageData& image, const std::uint8_t flags[11], bool stabilisation,
                     int status, std::uint8_t responseCode, const CFrameResult& result,
                     int verifyUserId, int responseTimeMs) override {
        ++frame_;
        const auto now = std::chrono::system_clock::now();
        FrameTextInput text;
        std::copy(flags, flags + 11, text.functionFlags);
        text.stabilisation = stabilisation;
        text.status = status;
        text.returnCode = responseCode;
        text.verifyUserId = verifyUserId;
        text.responseTimeMs = responseTimeMs;
        const std::string block = BuildFrameBlock(text, result, userNames_);

        if (json) {
            JsonFrameInput in;
            in.frame = frame_;
            in.time = LocalIsoTime(
                std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch())
                    .count());
            std::copy(flags, flags + 11, in.functionFlags);
            in.stabilisation = stabilisation;
            in.status = status;
            in.returnCode = responseCode;
            in.responseMs = responseTimeMs;
            if (status == 0 && responseCode == 0) {
                in.imageWidth = image.ImageWidth();
                in.imageHeight = image.ImageHeight();
            }
            Print(FrameToJson(in, result).dump() + "\n");
        } else {
            Print(block);
        }
        if (dailyLog &&
            dailyLog->WriteBlock(block, false, std::chrono::system_clock::to_time_t(now)) != 0) {
            logFailed = true;
        }
        LogBlock(debugLog, block, responseCode);
#ifdef KYTO_HAVE_SNAPSHOT
        if (!snapshotDir.empty() && status == 0 && responseCode == 0) {
            const std::string path = SnapshotFileName(snapshotDir, frame_);
            if (!SaveSnapshotPng(path, &image, result, flags, fullImageWidth, NameLookup())) {
                std::cerr << "kyto: could not write " << path << "\n";
                logFailed = true;
            }
        }
#endif
        if (status == 0) {
            ++successes;
            if (targetFrames > 0 && successes >= targetFrames && loop) {
                loop->RequestStop();
            }
        }
    }

    void Print(const std::string& text) {
        if (outputFailed) {
            return;
        }
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0) {
            // Nobody reads the results any more (a closed pipe): stop.
            outputFailed = true;
            if (loop) {
                loop->RequestStop();
            }
        }
    }

    // Names of the registered users, for the Recognition lines and labels.
    void SetUserNames(std::vector<UserName> names) {
        userNames_ = std::move(names);
    }

private:
#ifdef KYTO_HAVE_SNAPSHOT
    UserNameLookup NameLookup() const {
        return [this](int id) {
            for (const UserName& u : userNames_) {
                if (u.userId == id) {
                    return u.name;
                }
            }
            return std::string();
        };
    }
#endif

    int frame_ = 0;
    std::vector<UserName> userNames_;
};

bool OnOff(const std::string& value, bool fallback) {
    if (value.empty()) {
        return fallback;
    }
    return value == "on";
}

int RunDetect(const GlobalOptions& global, const DetectOptions& options) {
    ExecutionChoices choices;
    std::string error;
    if (!options.functions.empty() &&
        !ParseFunctionList(options.functions, choices.functionFlags, error)) {
        std::cerr << "kyto: " << error << "\n";
        return kExitUsage;
    }
#ifndef KYTO_HAVE_SNAPSHOT
    if (!options.snapshotDir.empty()) {
        std::cerr << "kyto: --snapshot needs a build with the display layer (Qt)\n";
        return kExitUsage;
    }
#endif
    if (int status = EnterDataFolder(global); status != kExitOk) {
        return status;
    }
    CAppCore core;
    core.LoadSettings();
    if (options.functions.empty()) {
        std::copy(core.functionFlags, core.functionFlags + 11, choices.functionFlags);
    }
    choices.imageType = core.imageSizeCode;
    if (options.image == "320x240") {
        choices.imageType = kImageQvga;
    } else if (options.image == "160x120") {
        choices.imageType = kImageSmall;
    } else if (options.image == "none") {
        choices.imageType = kImageNone;
    }
    choices.stabilisation = OnOff(options.stabilisation, core.stabilisation);
    const bool logOn = OnOff(options.log, core.outputLogFlag == 1);

    std::string port;
    int baud = 0;
    if (int status = ResolvePort(global, core, port, baud); status != kExitOk) {
        return status;
    }

    // The module's registered users give the Recognition lines their names
    // and the execution time limit its user count.
    CAlbumMngr album;
    core.SetDeviceFolderHook([&album, &core](const std::string& folder) {
        album.OpenFolder(folder);
        core.registeredUsers = static_cast<int>(album.Store().ListUsers().size());
        return 0;
    });

    FixedChoices fixedChoices(choices);
    CliFrameSink sink;
    CExecutionLoop loop(core.Device(), fixedChoices, sink);
    if (int status = ConnectForCommand(core, port, baud); status != kExitOk) {
        return status;
    }
    std::vector<UserName> names;
    for (const RegUserEntry& user : album.Store().ListUsers()) {
        names.push_back(UserName{user.id, user.name});
    }
    sink.SetUserNames(std::move(names));

    CLogFileOpe dailyLog;
    if (logOn && dailyLog.Open() < 0) {
        std::cerr << "kyto: cannot open the result log in ./Log of the data folder\n";
        core.Disconnect();
        return kExitFailed;
    }
    CDebugLogFileOpe debugLog;  // active only when ./Debug.ini exists

    const std::string header = BuildVersionHeader(KYTO_VERSION, FirmwareVersionText(core.version));
    sink.json = options.output == "json";
    if (!sink.json) {
        sink.Print(header);
    }
    if (logOn) {
        dailyLog.WriteBlock(header, true, 0);
        sink.dailyLog = &dailyLog;
    }
    LogBlock(&debugLog, header, 0);
    sink.debugLog = &debugLog;

#ifdef KYTO_HAVE_SNAPSHOT
    if (!options.snapshotDir.empty()) {
        EnsureGuiApplication();
        CFileOperate::EnsureDirectory(options.snapshotDir);
        int width = 640;
        int height = 480;
        core.ImageSizeForResolution(width, height);
        sink.snapshotDir = options.snapshotDir;
        sink.fullImageWidth = width;
    }
#endif

    const int frames = options.continuous ? 0 : (options.frames > 0 ? options.frames : 1);
    sink.targetFrames = frames;
    sink.loop = &loop;
    std::mutex failureMutex;
    std::optional<int> failure;
    loop.SetErrorCallback([&](int code) {
        std::lock_guard<std::mutex> lock(failureMutex);
        failure = code;
    });
    loop.SetVerifyUserId(options.verifyId ? *options.verifyId : core.verifyUserId);
    loop.SetDeviceFolder(core.deviceFolder);
    loop.Start();
    loop.Run(frames == 1 ? CExecutionLoop::kSingleShot : CExecutionLoop::kContinuous);
    SetStopHook([&loop] { loop.RequestStop(); });
    loop.WaitIdle();
    SetStopHook({});
    loop.Quit();
    core.Disconnect();

    std::lock_guard<std::mutex> lock(failureMutex);
    if (failure) {
        const int code = *failure;
        const bool comm = code == -31 || code == -30 || code == -21;
        std::cerr << "kyto: detection gave up after the retry limit (result " << code << "): "
                  << (comm         ? "communication error; try a lower --baud"
                      : code == -1 ? "the module refused a command"
                                   : "the module is not responding")
                  << "\n";
        return kExitFailed;
    }
    if (sink.outputFailed || sink.logFailed) {
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

void AddDetectCommand(CliRegistry& registry) {
    CLI::App* command = registry.App().add_subcommand(
        "detect", "run detection once, for N frames or continuously and print the results");
    auto options = std::make_shared<DetectOptions>();
    command->add_option("--functions", options->functions,
                        "comma-separated body, hand, face, direction, age, gender, gaze, blink, "
                        "expression, recognition, verify, or all (default: stored Function)");
    command->add_option("--image", options->image, "camera image (default: stored ExecuteImage)")
        ->check(CLI::IsMember({"320x240", "160x120", "none"}));
    CLI::Option* frames =
        command
            ->add_option("--frames", options->frames,
                         "stop after N successful frames (1 = single shot, the default)")
            ->check(CLI::PositiveNumber);
    CLI::Option* continuous =
        command->add_flag("--continuous", options->continuous, "run until interrupted");
    frames->excludes(continuous);
    command
        ->add_option("--stabilization", options->stabilisation,
                     "stabilisation (default: stored QuellFlag)")
        ->check(CLI::IsMember({"on", "off"}));
    command->add_option(
        "--verify-id", options->verifyId,
        "user ID that verify compares against, -1 none (default: stored VerifyUserID)");
    command->add_option("--output", options->output, "text (default) or json")
        ->check(CLI::IsMember({"text", "json"}));
    command->add_option("--log", options->log, "daily result log (default: stored OutputLogFlag)")
        ->check(CLI::IsMember({"on", "off"}));
    command->add_option("--snapshot", options->snapshotDir,
                        "write a PNG picture of every successful frame into DIR");
    GlobalOptions& global = registry.Global();
    registry.Add(command, [&global, options] { return RunDetect(global, *options); });
}
