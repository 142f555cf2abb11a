#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The module's view of the wire: command frames in, response frames out.
//
// Command frame:  FE, code, 16-bit payload length, payload.
// Load Album (0x21) says 4 in its 16-bit length; its first four payload bytes
// then give the length of the rest, because an album does not fit in 16 bits.
// Response frame: FE, response code, 32-bit payload length, payload.
namespace kyto::emu {

constexpr std::uint8_t kSync = 0xFE;
constexpr std::uint8_t kCodeLoadAlbum = 0x21;

// Largest album block the module holds and the frame sizes that follow.
constexpr std::size_t kMaxAlbumBytes = 816032;
constexpr std::size_t kMaxLoadAlbumLength = kMaxAlbumBytes + 8;  // the 32-bit length field

struct CommandFrame {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;  // for Load Album: everything after the 32-bit length
    bool oversized = false;             // Load Album announced more than the module can hold
};

std::vector<std::uint8_t> EncodeResponse(std::uint8_t responseCode,
                                         const std::vector<std::uint8_t>& payload);

// Incremental command decoder. Bytes before a sync byte are skipped (the host
// sends four zero bytes to resynchronise after a failure); an incomplete frame
// is abandoned by Reset, which the line calls after a pause inside a frame.
class CCommandDecoder {
public:
    // Feeds bytes; complete frames are appended to `frames`.
    void Feed(const std::uint8_t* data, std::size_t length, std::vector<CommandFrame>& frames);
    void Reset();
    // True while a frame has started but is not complete.
    bool InFrame() const { return state_ != State::kHunt; }
    // Bytes skipped while hunting for a sync byte (for the log).
    std::size_t SkippedBytes() const { return skipped_; }

private:
    enum class State { kHunt, kHeader, kLongLength, kPayload, kDiscard };
    void StartPayload(std::size_t length, std::vector<CommandFrame>& frames);

    State state_ = State::kHunt;
    std::uint8_t header_[4] = {};
    std::size_t headerFill_ = 0;
    std::uint8_t longLength_[4] = {};
    std::size_t longFill_ = 0;
    std::size_t expected_ = 0;
    std::size_t skipped_ = 0;
    CommandFrame current_;
};

}  // namespace kyto::emu
