#pragma once

// Copies a folder tree file by file: the album backup (./DB to ./DBBack and
// back) and the folder copy of the file helpers. Every file goes through the
// atomic writer, so an interruption leaves each file either as it was or as
// in the source, and the write-fault seam of base/AtomicFile.h applies.

#include <string>

#include "base/AtomicFile.h"

enum class MirrorMode {
    kExact,  // entries of the destination that the source lacks are removed
    kMerge,  // entries only the destination has are kept
};

// Copies every regular file and sub-folder of `source` into `destination`,
// creating folders as needed. Symbolic links are never followed into: a link
// to a file is copied as the file's content, a link to a folder is skipped
// (and, in kExact mode, removed from the destination as the link it is, never
// what it points to). A destination inside the source is not copied into
// itself. Returns 0 when the source exists and every file was copied, -1
// otherwise (a missing source changes nothing; after a failed file the rest is
// still copied).
int MirrorDirectory(const std::string& source, const std::string& destination, MirrorMode mode,
                    FileFlush flush = FileFlush::kDurable);
