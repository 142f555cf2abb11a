#include "emulator/Frames.h"

#include <algorithm>

#include "emulator/ByteOrder.h"

namespace kyto::emu {

std::vector<std::uint8_t> EncodeResponse(std::uint8_t responseCode,
                                         const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame;
    frame.reserve(6 + payload.size());
    frame.push_back(kSync);
    frame.push_back(responseCode);
    PutU32(frame, static_cast<std::uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

void CCommandDecoder::Reset() {
    state_ = State::kHunt;
    headerFill_ = 0;
    longFill_ = 0;
    expected_ = 0;
    current_ = CommandFrame{};
}

void CCommandDecoder::StartPayload(std::size_t length, std::vector<CommandFrame>& frames) {
    expected_ = length;
    current_.payload.clear();
    current_.payload.reserve(std::min<std::size_t>(length, kMaxLoadAlbumLength));
    if (length == 0) {
        frames.push_back(std::move(current_));
        Reset();
    } else {
        state_ = State::kPayload;
    }
}

void CCommandDecoder::Feed(const std::uint8_t* data, std::size_t length,
                           std::vector<CommandFrame>& frames) {
    std::size_t i = 0;
    while (i < length) {
        switch (state_) {
            case State::kHunt:
                if (data[i] == kSync) {
                    state_ = State::kHeader;
                    headerFill_ = 0;
                } else {
                    ++skipped_;
                }
                ++i;
                break;
            case State::kHeader:
                header_[headerFill_++] = data[i++];
                if (headerFill_ == 3) {
                    current_ = CommandFrame{};
                    current_.code = header_[0];
                    const std::size_t n = GetU16(header_ + 1);
                    if (current_.code == kCodeLoadAlbum && n == 4) {
                        state_ = State::kLongLength;
                        longFill_ = 0;
                    } else {
                        StartPayload(n, frames);
                    }
                }
                break;
            case State::kLongLength:
                longLength_[longFill_++] = data[i++];
                if (longFill_ == 4) {
                    const std::size_t n = GetU32(longLength_);
                    if (n > kMaxLoadAlbumLength) {
                        // Too large to hold: swallow the announced bytes and
                        // answer once they are gone, like a module that
                        // discards what does not fit.
                        current_.oversized = true;
                        expected_ = n;
                        state_ = State::kDiscard;
                    } else {
                        StartPayload(n, frames);
                    }
                }
                break;
            case State::kPayload: {
                const std::size_t take = std::min(expected_ - current_.payload.size(), length - i);
                current_.payload.insert(current_.payload.end(), data + i, data + i + take);
                i += take;
                if (current_.payload.size() == expected_) {
                    frames.push_back(std::move(current_));
                    Reset();
                }
                break;
            }
            case State::kDiscard: {
                const std::size_t take = std::min(expected_, length - i);
                expected_ -= take;
                i += take;
                if (expected_ == 0) {
                    frames.push_back(std::move(current_));
                    Reset();
                }
                break;
            }
        }
    }
}

}  // namespace kyto::emu
