#pragma once

#include <cstddef>
#include <string>

// Replaces (or creates) the file at `path` with exactly `size` bytes so that a
// reader, a crash or a power loss sees either the old or the new content, never
// a mix: the bytes go to a uniquely named temporary file beside the target,
// which is flushed to disk and then renamed over the target.
// Returns 0 on success, -1 on failure (the target is then left untouched).
int WriteFileAtomically(const std::string& path, const void* data, std::size_t size);
