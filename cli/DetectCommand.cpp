// kyto detect: detection frames on the device worker, printed as text or JSON.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <iostream>
#include <optional>
#include <sstream>

#include "album/AlbumMngr.h"
#include "app/AppCore.h"
#include "app/ExecutionLoop.h"
#include "app/FrameLogger.h"
#include "app/ResultText.h"
#include "cli/CliCommon.h"
#include "cli/FrameJson.h"
#include "logging/DebugLogFileOpe.h"
#include "logging/LogFileOpe.h"
#include "protocol/ExchangeRecording.h"
#include "protocol/LatencyBreakdown.h"
#include "protocol/ResultCodes.h"

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
    std::string record;  // recording of every exchange; empty none
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

// Prints and counts every frame the loop reports (on the worker) and hands
// it on to the result logs.
class CliFrameSink : public IFrameSink {
public:
    CliFrameSink(CDeviceWorker& worker, CFrameLogger& logger, CExchangeClock& clock)
        : worker_(worker), logger_(logger), clock_(clock) {}

    bool json = false;
    int targetFrames = 0;  // successful frames after which the run stops; 0 = no limit
    std::string snapshotDir;
    int fullImageWidth = 640;
    int baud = 0;  // the line rate, for the wire times

    int successes = 0;
    bool outputFailed = false;
    bool snapshotFailed = false;

    void OnFrame(const FramePacketPtr& packet) override {
        const FramePacket& p = *packet;
        std::optional<LatencyBreakdown> timing;
        if (const std::optional<ExchangeTimes> x = clock_.TakeDetection();
            x && p.kind == FrameKind::kDetection) {
            timing = BreakDown(*x, p.started, p.finished, baud);
            timings_.push_back(
                {std::chrono::duration<double, std::milli>(p.finished - p.started).count(),
                 *timing});
        }
        if (json) {
            JsonFrameInput in;
            in.frame = static_cast<int>(++frame_);
            in.time = LocalIsoTime(
                std::chrono::duration_cast<std::chrono::milliseconds>(p.wallTime.time_since_epoch())
                    .count());
            std::copy(p.functionFlags, p.functionFlags + 11, in.functionFlags);
            in.stabilisation = p.stabilisation;
            in.status = p.status;
            in.returnCode = p.responseCode;
            in.responseMs = p.responseTimeMs;
            in.timing = timing;
            if (p.Succeeded()) {
                in.imageWidth = p.image.ImageWidth();
                in.imageHeight = p.image.ImageHeight();
            }
            Print(FrameToJson(in, p.result).dump() + "\n");
        } else {
            ++frame_;
            Print(CFrameLogger::BlockOf(p, userNames_));
        }
        logger_.OnFrame(packet);
#ifdef KYTO_HAVE_SNAPSHOT
        if (!snapshotDir.empty() && p.Succeeded()) {
            const std::string path = SnapshotFileName(snapshotDir, static_cast<int>(frame_));
            if (!SaveSnapshotPng(path, &p.image, p.result, p.functionFlags, fullImageWidth,
                                 NameLookup())) {
                std::cerr << "kyto: could not write " << path << "\n";
                snapshotFailed = true;
            }
        }
#endif
        if (p.status == 0) {
            ++successes;
            if (targetFrames > 0 && successes >= targetFrames) {
                worker_.RequestStopCurrent();
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
            worker_.RequestStopCurrent();
        }
    }

    // "kyto: timing of N frames in ms (median / 95th percentile): ..." for
    // standard error, or "" when no frame was timed.
    std::string TimingSummary() const {
        if (timings_.empty()) {
            return {};
        }
        using Member = double (*)(const TimedFrame&);
        static const std::pair<const char*, Member> kMembers[] = {
            {"response", [](const TimedFrame& t) { return t.responseMs; }},
            {"grid wait", [](const TimedFrame& t) { return t.b.gridWaitMs; }},
            {"request wire", [](const TimedFrame& t) { return t.b.requestWireMs; }},
            {"module", [](const TimedFrame& t) { return t.b.moduleMs; }},
            {"response wire", [](const TimedFrame& t) { return t.b.responseWireMs; }},
            {"host", [](const TimedFrame& t) { return t.b.hostMs; }},
        };
        std::string out = "kyto: timing of " + std::to_string(timings_.size()) +
                          " frame(s) in ms (median / 95th percentile):";
        const char* separator = " ";
        for (const auto& [name, member] : kMembers) {
            std::vector<double> values;
            for (const TimedFrame& t : timings_) {
                values.push_back(member(t));
            }
            const PercentileSummary s = Summarise(std::move(values));
            char text[96];
            std::snprintf(text, sizeof text, "%s%s %.1f / %.1f", separator, name, s.median, s.p95);
            out += text;
            separator = ", ";
        }
        return out + "\n";
    }

    // Names of the registered users, for the Recognition lines and labels.
    void SetUserNames(std::vector<UserName> names) {
        userNames_ = names;
        logger_.SetUserNames(std::move(names));
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

    struct TimedFrame {
        double responseMs;
        LatencyBreakdown b;
    };

    CDeviceWorker& worker_;
    CFrameLogger& logger_;
    CExchangeClock& clock_;
    std::vector<TimedFrame> timings_;
    std::uint64_t frame_ = 0;
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
    std::string recordPath = options.record;
    if (!recordPath.empty()) {
        // The command moves into the data folder; the name is the caller's.
        std::error_code ignored;
        const auto absolute = std::filesystem::absolute(recordPath, ignored);
        recordPath = absolute.empty() ? recordPath : absolute.string();
    }
    if (int status = EnterDataFolder(global); status != kExitOk) {
        return status;
    }
    // The observers outlive the core, which keeps a pointer to the first:
    // clock, then recorder, then trace.
    CExchangeRecorder recorder;
    CExchangeClock clock;
    CAppCore core;
    core.LoadSettings();
    IFrameObserver* trace = nullptr;
    if (int status = OpenTrace(global, trace); status != kExitOk) {
        return status;
    }
    recorder.SetNext(trace);
    clock.SetNext(recordPath.empty() ? trace : &recorder);
    core.Device().SetFrameObserver(&clock);
    if (!recordPath.empty() && !recorder.Open(recordPath, core.Device().Link())) {
        std::cerr << "kyto: cannot write the recording " << recordPath << ": "
                  << std::strerror(errno) << "\n";
        return kExitFailed;
    }
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

    CChoicesSnapshot choiceSnapshot(choices);
    CCliWorker worker(core);
    worker.Start();
    if (int status = ConnectForCommand(worker, port, baud); status != kExitOk) {
        return status;
    }
    const auto disconnect = [&worker] {
        RunJob(
            worker, "Disconnect", [](CJobContext& job) { job.Core().Disconnect(); },
            StopMode::kFinish);
    };

    CFrameLogger logger;
    CliFrameSink sink(worker, logger, clock);
    sink.baud = baud;
    std::vector<UserName> names;
    for (const RegUserEntry& user : album.Store().ListUsers()) {
        names.push_back(UserName{user.id, user.name});
    }
    sink.SetUserNames(std::move(names));

    if (logOn && logger.SetFileOutput(true) != 0) {
        std::cerr << "kyto: cannot open the result log in ./Log of the data folder\n";
        disconnect();
        return kExitFailed;
    }
    CDebugLogFileOpe debugLog;  // active only when ./Debug.ini exists
    logger.SetDebugLog(&debugLog);

    const std::string header = BuildVersionHeader(KYTO_VERSION, worker.Status()->firmwareVersion);
    sink.json = options.output == "json";
    if (!sink.json) {
        sink.Print(header);
    }
    logger.AddVersionHeader(header);

#ifdef KYTO_HAVE_SNAPSHOT
    if (!options.snapshotDir.empty()) {
        EnsureGuiApplication();
        CFileOperate::EnsureDirectory(options.snapshotDir);
        const JobResult<int> width = RunJob(worker, "Image size", [](CJobContext& job) {
            int w = 640;
            int h = 480;
            job.Core().ImageSizeForResolution(w, h);
            return w;
        });
        sink.snapshotDir = options.snapshotDir;
        sink.fullImageWidth = width.value > 0 ? width.value : 640;
    }
#endif

    const int frames = options.continuous ? 0 : (options.frames > 0 ? options.frames : 1);
    sink.targetFrames = frames;
    choiceSnapshot.SetVerifyUserId(options.verifyId ? *options.verifyId
                                                    : worker.Status()->verifyUserId);
    CExecutionLoop loop(choiceSnapshot, sink);
    JobResult<ExecutionEnd> run;
    {
        std::promise<JobResult<ExecutionEnd>> ended;
        std::future<JobResult<ExecutionEnd>> future = ended.get_future();
        const JobId id = loop.Start(
            worker, frames == 1 ? CExecutionLoop::kSingleShot : CExecutionLoop::kContinuous,
            InlinePoster(), [&ended](JobResult<ExecutionEnd> end) { ended.set_value(end); });
        // The user ends a continuous run after the current exchange; any
        // other run stopped by a signal is cut short at once.
        CJobWatch watch(worker, id, options.continuous ? StopMode::kStop : StopMode::kCancel);
        run = future.get();
    }
    disconnect();
    logger.SetDebugLog(nullptr);
    if (const std::string summary = sink.TimingSummary(); !summary.empty()) {
        std::cerr << summary;
    }
    if (!recordPath.empty() && !recorder.Close()) {
        std::cerr << "kyto: could not write the recording " << recordPath << "\n";
        return kExitFailed;
    }

    const ExecutionEnd& end = run.value;
    if (end.reason == ExecutionEnd::kGaveUp) {
        const int code = end.failure;
        std::cerr << "kyto: detection gave up after the retry limit (result " << code << "): "
                  << (IsCommunicationError(code) ? "communication error; try a lower --baud"
                      : code == -1               ? "the module refused a command"
                                                 : "the module is not responding")
                  << "\n";
        return kExitFailed;
    }
    if (end.reason == ExecutionEnd::kPortLost) {
        std::cerr << "kyto: the port " << port << " vanished during detection (result "
                  << end.failure << "): is the module still plugged in?\n";
        return kExitFailed;
    }
    if (StopSignal() != 0 && !options.continuous &&
        (run.end != JobEnd::kFinished || sink.successes < frames)) {
        return InterruptedExit("detection stopped after " + std::to_string(sink.successes) +
                               " of " + std::to_string(frames) +
                               " frame(s); the module was sent back to 9600 baud and the port "
                               "closed");
    }
    if (sink.outputFailed || sink.snapshotFailed || logger.TakeWriteFailure()) {
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
    command->add_option("--record", options->record,
                        "write every exchange with the module (bytes both ways, times, line "
                        "rate) to FILE, which kyto-emu --replay plays back");
    GlobalOptions& global = registry.Global();
    registry.Add(command, [&global, options] { return RunDetect(global, *options); });
}
