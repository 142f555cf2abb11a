#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The emulator's flash memory on disk. Written by replacing the file in one
// step (temporary file beside it, fsync, rename), so a crash or a kill never
// leaves half an album behind.
namespace kyto::emu {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);
bool WriteWholeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                              std::string& error);

}  // namespace kyto::emu
