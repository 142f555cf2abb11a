// The response reader and the frame helpers over an in-memory transport.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/DeviceLink.h"
#include "link/MemoryTransport.h"
#include "protocol/KytoProtocol.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct RecordedFrame {
    int direction;
    std::string command;
    Bytes bytes;
};

class Recorder : public IFrameObserver {
public:
    void OnFrame(int direction, const std::string& command, int length,
                 const std::uint8_t* bytes) override {
        frames.push_back({direction, command, Bytes(bytes, bytes + length)});
    }
    std::vector<RecordedFrame> frames;
};

class ResponseReader : public ::testing::Test {
protected:
    ResponseReader() { link_.SetTransport(&module_); }
    CDeviceLink link_;
    CMemoryTransport module_;
    CKytoProtocol protocol_{&link_};
};

constexpr std::uint8_t kUntouched = 0x77;
constexpr std::uint8_t kGuard = 0xCC;

TEST_F(ResponseReader, Cases) {
    struct Case {
        const char* name;
        Bytes input;
        int capacity;
        int result;
        int code;  // expected response code byte
        int capacityAfter;
        Bytes payload;  // expected start of the caller's buffer
        int leftOver;   // bytes still in the link afterwards
    };
    const Case cases[] = {
        {"empty payload", {0xFE, 0x00, 0, 0, 0, 0}, 0, kResultOk, 0x00, 0, {}, 0},
        {"module error passes through", {0xFE, 0x42, 0, 0, 0, 0}, 5, kResultOk, 0x42, 5, {}, 0},
        {"payload fits",
         {0xFE, 0, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0x99},
         8,
         kResultOk,
         0,
         3,
         {0xAA, 0xBB, 0xCC},
         1},
        {"payload without space",
         {0xFE, 0, 2, 0, 0, 0, 0xAA, 0xBB},
         0,
         kResultOverflow,
         0,
         0,
         {},
         0},
        {"payload larger than space",
         {0xFE, 7, 4, 0, 0, 0, 1, 2, 3, 4, 0x99},
         2,
         kResultOverflow,
         7,
         2,
         {1, 2},
         1},
        {"bad sync", {0x00, 0, 0, 0, 0, 0}, 4, kResultBadSync, kUntouched, 4, {}, 0},
        {"invalid length",
         {0xFE, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         4,
         kResultBadLength,
         kUntouched,
         4,
         {},
         0},
        // One byte more than the receive buffer could hold behind a header.
        {"impossible length",
         {0xFE, 0, 0xFB, 0xFF, 0x5F, 0x00},
         4,
         kResultBadLength,
         kUntouched,
         4,
         {},
         0},
        {"payload never completes", {0xFE, 3, 4, 0, 0, 0, 0xAA}, 4, kResultTimeout, 3, 4, {}, 1},
        {"header never completes", {0xFE, 0, 0}, 4, kResultTimeout, kUntouched, 4, {}, 3},
        {"silence", {}, 4, kResultTimeout, kUntouched, 4, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        module_.Clear();
        module_.Feed(c.input);
        Bytes buffer(16, kGuard);
        int capacity = c.capacity;
        std::uint8_t code = kUntouched;
        EXPECT_EQ(protocol_.ReadResponse("Get Version", 20, capacity, code, buffer.data()),
                  c.result);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(capacity, c.capacityAfter);
        EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), buffer.begin()));
        // Nothing past the copied payload (never more than the capacity).
        const auto written = static_cast<std::ptrdiff_t>(c.payload.size());
        EXPECT_TRUE(std::all_of(buffer.begin() + written, buffer.end(),
                                [](std::uint8_t b) { return b == kGuard; }));
        EXPECT_EQ(module_.Available(), c.leftOver);
    }
}

TEST_F(ResponseReader, TimeLimits) {
    int capacity = 0;
    std::uint8_t code = kUntouched;
    auto start = Clock::now();
    EXPECT_EQ(protocol_.ReadResponse("Execute", 60, capacity, code, nullptr), kResultTimeout);
    EXPECT_GE(Clock::now() - start, 60ms);

    // 0 looks once.
    int needed = 1;
    EXPECT_EQ(protocol_.WaitForBytes(0, needed), -1);
    int count = 3;
    std::uint8_t out[3];
    EXPECT_EQ(protocol_.ReadBytes(0, count, out), -1);
    EXPECT_EQ(count, 0);

    // -1 waits for as long as it takes.
    std::thread late([&] {
        std::this_thread::sleep_for(80ms);
        module_.Feed({0xFE, 0, 1, 0, 0, 0, 0x5A});
    });
    std::uint8_t payload[4] = {};
    capacity = 4;
    start = Clock::now();
    EXPECT_EQ(protocol_.ReadResponse("Execute", -1, capacity, code, payload), kResultOk);
    late.join();
    EXPECT_GE(Clock::now() - start, 70ms);
    EXPECT_EQ(capacity, 1);
    EXPECT_EQ(payload[0], 0x5A);

    // WaitForBytes reports everything that is there.
    module_.Feed({1, 2, 3, 4, 5});
    needed = 2;
    EXPECT_EQ(protocol_.WaitForBytes(100, needed), 0);
    EXPECT_EQ(needed, 5);
}

TEST_F(ResponseReader, ObserverSeesBothDirections) {
    Recorder recorder;
    protocol_.SetObserver(&recorder);
    const Bytes command = {0xFE, 0x00, 0x00, 0x00};
    module_.SetOnWrite([&](const std::uint8_t*, int) {
        module_.Feed({0xFE, 0, 2, 0, 0, 0, 0x10, 0x20});
    });
    EXPECT_EQ(protocol_.SendFrame(command.data(), 4, "Get Version"), kResultOk);
    EXPECT_EQ(module_.TakeWritten(), command);
    std::uint8_t payload[1] = {};
    int capacity = 1;
    std::uint8_t code = kUntouched;
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 100, capacity, code, payload), kResultOverflow);
    EXPECT_EQ(payload[0], 0x10);

    module_.SetOnWrite(nullptr);
    module_.Feed({0x55, 1, 2, 3, 4, 5});
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 100, capacity, code, payload), kResultBadSync);
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 10, capacity, code, payload), kResultTimeout);

    ASSERT_EQ(recorder.frames.size(), 3u);  // nothing after a header time-out
    EXPECT_EQ(recorder.frames[0].direction, 1);
    EXPECT_EQ(recorder.frames[0].command, "Get Version");
    EXPECT_EQ(recorder.frames[0].bytes, command);
    EXPECT_EQ(recorder.frames[1].direction, -1);
    EXPECT_EQ(recorder.frames[1].bytes, (Bytes{0xFE, 0, 2, 0, 0, 0, 0x10, 0x20}));
    EXPECT_EQ(recorder.frames[2].bytes, (Bytes{0x55, 1, 2, 3, 4, 5}));
}

TEST_F(ResponseReader, SendFrameDropsStrayInput) {
    module_.Feed({0x01, 0x02, 0x03});
    const Bytes command = {0xFE, 0x01, 0x01, 0x00, 0x01};
    EXPECT_EQ(protocol_.SendFrame(command.data(), 5, "Set Camera Angle"), kResultOk);
    EXPECT_EQ(module_.Available(), 0);
    EXPECT_EQ(module_.TakeWritten(), command);
}

TEST(Protocol, WithoutLinkEverythingFailsWithNoLink) {
    CKytoProtocol protocol(nullptr);
    const std::uint8_t command[4] = {0xFE, 0, 0, 0};
    EXPECT_EQ(protocol.SendFrame(command, 4, "Get Version"), kResultNoLink);
    int capacity = 0;
    std::uint8_t code = 0;
    EXPECT_EQ(protocol.ReadResponse("Get Version", 10, capacity, code, nullptr), kResultNoLink);
    int needed = 1;
    EXPECT_EQ(protocol.WaitForBytes(10, needed), -1);
}

TEST(Protocol, ResponseBufferOnlyGrows) {
    CKytoProtocol protocol(nullptr);
    EXPECT_EQ(protocol.ResponseCapacity(), 0u);
    std::uint8_t* first = protocol.ResponseBuffer(1000);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(protocol.ResponseBuffer(10), first);
    EXPECT_EQ(protocol.ResponseCapacity(), 1000u);
    protocol.ResponseBuffer(76847)[76846] = 1;  // the whole new size is usable
    EXPECT_EQ(protocol.ResponseCapacity(), 76847u);
}

}  // namespace
