#pragma once

// The one writer of whole files: settings, store files, album files and
// pictures are all replaced through it, so that a reader, a crash or a power
// loss sees either the old or the new content, never a mix, and so that a
// failed write is always reported (-1), never taken for a success.
//
// It also holds the test seam that makes writes fail (see "Failing writes"
// below): tests use it to show that a failure deep inside an operation is
// reported and leaves the previous files whole.

#include <cstddef>
#include <string>

// Whether a replaced file is flushed to disk before it takes the place of the
// old one.
enum class FileFlush {
    kDurable,  // flushed before the rename, and the rename made durable
    kNone,     // renamed at once; the caller flushes many files at one go
};

// Replaces (or creates) the file at `path` with exactly `size` bytes: the
// bytes go to a uniquely named temporary file beside the target (".NAME.tmp-
// PID-N"), which is flushed (kDurable) and then renamed over the target. The
// permissions of a file being replaced are kept. Returns 0, or -1 with the
// target left untouched and no temporary file left behind.
int WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                        FileFlush flush = FileFlush::kDurable);

// Creates or truncates `path` and writes the bytes into it, without a
// temporary file and without a flush. Only for a tree that nobody reads until
// it is complete and moved into place as a whole. 0 / -1.
int WriteFileInPlace(const std::string& path, const void* data, std::size_t size);

// Flushes the file system that holds `folder` ("" = the working directory).
// 0 / -1.
int SyncFileSystem(const std::string& folder);

// ---- Failing writes (test seam) ---------------------------------------------
//
// Set only by tests. While a fault is armed, every write through the
// functions above whose target path contains `pathPart` ("" = every path)
// draws on one shared budget of `bytesAllowed` bytes: a write that does not
// fit in what is left of it writes what fits into its temporary file (or in
// place) and then fails with ENOSPC, as on a full disk, and returns -1. With
// bytesAllowed 0 every matching write fails, an empty one too. With failSync,
// flushes of matching files and SyncFileSystem on a matching folder fail as
// well. The fault is process-wide and guarded by a lock, so writes on other
// threads see it too; it stays armed until cleared.
struct WriteFault {
    std::string pathPart;
    std::size_t bytesAllowed = 0;
    bool failSync = false;
};

void ArmWriteFault(const WriteFault& fault);
void ClearWriteFault();
// How many writes and flushes the armed fault (or the last one) made fail,
// so that a test can tell that its fault was really hit.
int WriteFaultHits();

// Arms a fault for the lifetime of the object.
class ScopedWriteFault {
public:
    explicit ScopedWriteFault(const WriteFault& fault) { ArmWriteFault(fault); }
    ~ScopedWriteFault() { ClearWriteFault(); }
    ScopedWriteFault(const ScopedWriteFault&) = delete;
    ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};
