#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/LatencyBreakdown.h"
#include "protocol/ResultRecords.h"

// Names of the eleven functions, in flag order, as the command line uses them.
extern const char* const kFunctionNames[11];

// One reported frame as the JSON output shows it.
struct JsonFrameInput {
    int frame = 0;
    std::string time;  // local ISO 8601 with milliseconds
    std::uint8_t functionFlags[11] = {};
    bool stabilisation = false;
    int status = 0;
    int returnCode = 0;
    int responseMs = 0;
    int imageWidth = 0;  // 0: no image
    int imageHeight = 0;
    // Where the response time went; none when no detection answer was read
    // (a failed exchange, a resynchronisation).
    std::optional<LatencyBreakdown> timing;
};

// {"grid_wait_ms", "request_wire_ms", "module_ms", "response_wire_ms", "host_ms"}
// in microsecond steps.
nlohmann::ordered_json TimingToJson(const LatencyBreakdown& timing);

nlohmann::ordered_json FrameToJson(const JsonFrameInput& input, const CFrameResult& result);

// "2024-03-05T07:08:09.123+01:00" for a wall-clock time in milliseconds.
std::string LocalIsoTime(std::int64_t unixMs);
