#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes the store's files, each replaced atomically (temporary file beside
// it, then rename), so that a crash leaves every file either old or new.
// Normally each file is also flushed to disk before the rename. In batch mode
// (a whole album being imported) the per-file flush is left out and the file
// system is flushed once when the batch ends: the thousands of files of an
// album then cost one flush instead of one each, and a killed process still
// leaves only whole files behind.
class CStoreWriter {
public:
    // UTF-16LE with byte-order mark, every line ending in CR LF.
    int WriteLines(const std::string& path, const std::vector<std::string>& lines);
    int WriteBytes(const std::string& path, const void* data, std::size_t size);

    // direct: files are written in place, without a temporary file; only
    // for a tree that nobody reads until the batch is over and it is moved
    // into place as a whole.
    void BeginBatch(bool direct = false);
    // Flushes the file system holding the folder; 0, or -1 when that failed.
    int EndBatch(const std::string& folder);
    bool InBatch() const { return batch_; }

private:
    bool batch_ = false;
    bool direct_ = false;
};
