#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/CommandTable.h"
#include "protocol/DeviceReply.h"
#include "protocol/RawDetectResult.h"
#include "protocol/ResultRecords.h"
#include "protocol/TimeLimits.h"

class CDeviceLink;
class CKytoProtocol;
class IFrameObserver;
class ILinkTransport;

// Result of Get Version. The model name is the 12 bytes as sent, zero bytes
// included; callers trim it.
struct VersionInfo {
    std::string model;
    int major = 0;
    int minor = 0;
    int release = 0;
    std::int32_t revision = 0;
};

// Face picture of a registration: one byte per pixel, row by row. `bytes` is
// how many pixels the module actually delivered and fitted; width x height
// may claim more (a faulty answer), so readers must stop at `bytes`.
struct FacePicture {
    static constexpr int kCapacity = 4096;
    int width = 0;
    int height = 0;
    int bytes = 0;
    std::array<std::uint8_t, kCapacity> pixels{};
};

// The one object through which the application talks to the module: owns the
// link and the framing, knows the model's supported commands, looks up every
// command's time limit and turns unsupported commands into harmless
// defaults. Every command returns a DeviceReply: the result code of the
// framing layer (0 exchange complete, -1 no link, -3 unsupported, -20 ...,
// kResultCancelled) with the module's one-byte response code.
//
// Threads: one owner thread runs the operations, one at a time (no lock).
// Cancel() is the exception: any thread may call it to end the exchange in
// flight.
//
// Time limits: every exchange waits at most a finite time. A command whose
// code has no time-limit entry, or whose limit reads negative, waits
// kDefaultTimeLimitMs (SetDefaultTimeLimit changes it, for tests).
class CDeviceMngr {
public:
    CDeviceMngr();   // reads "./CmdTimeout.ini"
    ~CDeviceMngr();  // Disconnect
    CDeviceMngr(const CDeviceMngr&) = delete;
    CDeviceMngr& operator=(const CDeviceMngr&) = delete;

    CDeviceLink* Link() const { return link_.get(); }
    CKytoProtocol* Protocol() const { return protocol_.get(); }
    bool IsConnected() const { return connected_; }
    // Observer of every frame sent and received (debug aid); may be null.
    void SetFrameObserver(IFrameObserver* observer);
    // Talks through another transport (not owned; in-memory for tests, the
    // benchmark and fuzzing) and counts as connected; nullptr detaches it.
    void UseTransport(ILinkTransport* transport);

    // ---- Cancelling ----------------------------------------------------
    // Ends the exchange in flight within a few milliseconds with
    // kResultCancelled (a wait for the answer wakes at once; a long send,
    // such as an album at a low baud rate, stops between two chunks) and
    // makes every following operation fail with kResultCancelled at once,
    // until ResumeAfterCancel(). Thread-safe: for the window that closes, the
    // user who cancels a transfer, the watcher that sees the port vanish.
    void Cancel();
    // Lets operations run again. Call it on the owner thread once the
    // cancelled operation has returned. The module may still be busy with
    // the cancelled command and send the rest of its answer: the next
    // command's quiet-line wait drops it, and a Resync drains it.
    void ResumeAfterCancel();
    bool IsCancelled() const { return cancelled_.load(); }

    // The wait of commands without a time-limit entry (kDefaultTimeLimitMs
    // unless changed; a test seam so that a silent module costs milliseconds).
    void SetDefaultTimeLimit(int ms) { defaultLimitMs_ = ms; }
    int DefaultTimeLimit() const { return defaultLimitMs_; }
    // Every exchange (detection frames and Resync too) waits exactly `ms`
    // and no time-out file is read; -1 returns to the tables. For fuzzing and
    // benchmarks on an in-memory transport, where 0 means one look.
    void SetFixedTimeLimit(int ms) { fixedLimitMs_ = ms; }
    // The limit an exchange of `code` waits: the table's, or the default when
    // the table has none or gives a negative value.
    int ExchangeLimit(int code);

    // ---- Connection ----------------------------------------------------
    // Opens at 9600, tells the module the wanted baud (FE 0E 01 00 index, no
    // answer), closes, reopens at the wanted baud. 0, -1 when an open fails,
    // kResultCancelled while cancelled.
    int Connect(const std::string& port, int baud);
    // FE 0E 01 00 00 (back to 9600), close.
    void Disconnect();
    // After a failed frame: sends 00 00 00 00 and drains 6-byte reads until
    // one times out (limit timeLimitMs; 0 = the image time limit of
    // imageType at the current baud). -1 without link, kResultCancelled when
    // cancelled, else -20; the link's send and receive info texts go into
    // result.
    int Resync(int imageType, int timeLimitMs, CFrameResult& result);

    // ---- Model description ----------------------------------------------
    void SetSupportedCommands(const std::vector<int>& codes);
    const std::vector<int>& SupportedCommands() const { return supported_; }
    bool IsSupported(int code) const;

    // ---- Commands ---------------------------------------------------------
    // Each returns the reply; out-values are filled only when it is Ok()
    // (or by the documented default of an unsupported command).
    DeviceReply GetVersion(VersionInfo& version);
    DeviceReply SetCameraAngle(int angleCode);
    // Set Threshold (body, hand, face, recognition), then Set Verify
    // Threshold. An unsupported Set Threshold still sends the verify
    // threshold; an unsupported Set Verify Threshold counts as success.
    DeviceReply SetThresholds(int body, int hand, int face, int recognition, int verify);
    DeviceReply SetSizeRanges(int bodyMin, int bodyMax, int handMin, int handMax, int faceMin,
                              int faceMax);
    DeviceReply SetFaceAngle(int yawCode, int rollCode);
    DeviceReply SetCameraResolution(int code);
    // Unsupported (0x0C missing from the list): 640 x 480.
    DeviceReply GetFullImageSize(int& width, int& height);
    DeviceReply GetDeviceId(std::int32_t& deviceId);
    DeviceReply SetVerifyUserId(int userId);
    DeviceReply SetAlbumType(int type);
    DeviceReply GetAlbumType(int& type);
    // count: face data of the user(s) concerned, selects the time limit.
    DeviceReply Register(int userId, int dataIndex, int count, FacePicture& picture, int& width,
                         int& height);
    DeviceReply DeleteData(int userId, int dataIndex, int count);
    DeviceReply DeleteUser(int userId, int count);
    DeviceReply DeleteAll(int totalFaceData);
    // flags[j] = 1 when data index j (0..9) of the user is registered.
    DeviceReply GetRegisteredData(int userId, std::uint8_t flags[10]);
    // The module's Album as the bytes of the Save Album answer (at most
    // kSaveAlbumAnswerMax; their layout is album/AlbumTransfer's). `payload`
    // is set only when the reply is Ok(); an unsupported Save Album is Ok()
    // with no bytes.
    DeviceReply SaveAlbum(std::vector<std::uint8_t>& payload);
    // Load Album with these payload bytes: FE 21 04 00, their length as a
    // 32-bit value (the module takes the real length from there), the bytes.
    DeviceReply LoadAlbum(const std::uint8_t* payload, std::size_t size);
    DeviceReply WriteAlbumToFlash();
    DeviceReply ReformatAlbum();

    // ---- Detection -----------------------------------------------------------
    // Inputs of the execution time limit that the device manager does not
    // know by itself: the device settings' minimum face size and face angle
    // codes, and the number of users registered in the album.
    void SetDetectionInputs(int minFaceSize, int yawCode, int rollCode, int registeredUsers);

    // One Execute exchange (ExecuteEx when the model lacks Execute) with the
    // execution flags and image type as given, decoded into `raw` (its image
    // lands where raw's image is attached). kResultUnsupported when the model
    // has neither command. The caller sets the execution parameters and the
    // time limit (app/DetectionPipeline does the rest of a frame).
    DeviceReply Execute(int imageType, std::uint16_t executionFlags, int timeLimitMs,
                        RawDetectResult& raw);

    // The verify user ID last sent (-1 = none).
    int LastVerifyUserId() const { return lastVerifyUserId_; }

    // ---- Time limits ---------------------------------------------------------
    ExecutionParameters& Parameters() { return params_; }
    TimeOutContext& TimeOuts() { return timeouts_; }
    int LookupTimeLimit(int code) { return timeouts_.Lookup(code, params_); }

private:
    // One command exchange, named and checked by the command table:
    // kResultCancelled while cancelled, -1 without link, -3 when the model
    // lacks it, else the frame goes out and the response is read into
    // `payload` (at most `space` bytes; `length` receives the announced
    // payload length).
    DeviceReply Exchange(int code, const std::uint8_t* request, int requestLength, int timeLimitMs,
                         std::uint8_t* payload, int space, int& length);
    // Exchange for the fixed answer of its command (its size from the table;
    // payload must hold it). A shorter, empty or longer answer is a
    // communication error, never decoded from stale or zero bytes.
    DeviceReply ExchangeFixed(int code, const std::uint8_t* request, int requestLength,
                              std::uint8_t* payload);
    // Exchange for commands without response payload; unsupported counts as
    // success.
    DeviceReply Simple(int code, const std::uint8_t* request, int requestLength);
    DeviceReply SetVerifyThreshold(int threshold);
    DeviceReply ExecuteCommand(int code, int imageType, std::uint16_t flags, int timeLimitMs,
                               RawDetectResult& raw);
    DeviceReply SendAndRead(const std::uint8_t* frame, int frameLength, const char* name,
                            int timeLimitMs, std::uint8_t* payload, int space, int& length);
    // Exchange whose payload (at most `space` bytes) lands in the protocol's
    // response buffer; length receives its size, 0 when empty.
    DeviceReply ReadIntoBuffer(int code, const std::uint8_t* request, int requestLength,
                               int timeLimitMs, std::size_t space, int& length);
    void SendBaudSwitch(int baudIndex);
    void CopyLinkInfo(CFrameResult& result) const;

    std::unique_ptr<CDeviceLink> link_;
    std::unique_ptr<CKytoProtocol> protocol_;
    IFrameObserver* observer_ = nullptr;
    std::atomic<bool> cancelled_{false};
    int defaultLimitMs_ = kDefaultTimeLimitMs;
    int fixedLimitMs_ = -1;
    bool connected_ = false;
    bool usingTransport_ = false;
    TimeOutContext timeouts_;
    ExecutionParameters params_;
    std::vector<int> supported_;

    int lastVerifyUserId_ = -1;
};

// Baud index of the Set Baud Rate command: 38400 -> 1 ... 921600 -> 5, any
// other rate -> 0 (9600).
int BaudIndex(int baud);
