#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File and directory helpers shared by the settings files, the registered-user
// store, album backups and the log files. Paths use '/', and a directory is
// given without a trailing '/'. The log file classes derive from this class.
class CFileOperate {
public:
    virtual ~CFileOperate() = default;

    // Caps of ReadFileBytes: every caller states the largest file of its
    // kind (album files, album images and pictures have their own, see
    // album/); these cover the rest.
    static constexpr std::size_t kReadLimitDefault = 64u << 20;
    static constexpr std::size_t kReadLimitText = 16u << 20;  // ReadTextLines

    // 0 with the whole file in `out` (exactly its bytes); -1 when the path is
    // empty, the file cannot be read, is not a regular file (a FIFO, a
    // device or a directory is never read, and opening never blocks), or
    // holds more than `maxSize` bytes. `out` is unchanged on -1.
    static int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out,
                             std::size_t maxSize = kReadLimitDefault);

    // Creates or replaces the file with exactly these bytes, atomically. 0 / -1.
    static int WriteFileBytes(const std::string& path, const void* data, std::size_t size);

    // Appends the file's lines, decoded to UTF-8, to `lines`. UTF-16 with or
    // without byte-order mark and 8-bit text are recognised. Lines end at LF;
    // carriage returns before a LF are dropped, empty lines are kept, and text
    // after the last LF is a last line when it is not empty (keeping a final
    // CR). -1 when the file cannot be read or is larger than kReadLimitText
    // (the list is then unchanged).
    static int ReadTextLines(const std::string& path, std::vector<std::string>& lines);

    // (The decoding and line splitting on bytes in memory is DecodeTextLines
    // of base/TextLines.h; the encoding EncodeUtf16Lines.)

    // Writes UTF-16LE with the mark FF FE, each line followed by CR LF (the
    // last one too); the file is replaced atomically. 0 / -1.
    static int WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

    // The pieces between separators, empty pieces included, and always the
    // piece after the last separator ("" gives one empty piece).
    static std::vector<std::string> SplitText(const std::string& text, char separator);

    // Pattern "dir/glob" where the glob ('*' any run, '?' one character) applies
    // to the last component only; "glob" alone means the working directory.
    // Appends the bare names of the matching files (not directories) in the
    // order the file system lists them. -1 when nothing matches or the
    // directory does not exist, else 0.
    static int ListFiles(const std::string& pattern, std::vector<std::string>& names);

    // The same for directories ("." and ".." never listed). A symbolic link is
    // listed as a file, never as a directory, so tree operations do not follow it.
    static int ListDirectories(const std::string& pattern, std::vector<std::string>& names);

    // Creates the directory and every missing parent; nothing when it exists.
    // Silent when a part cannot be created (later file writes then fail).
    static void EnsureDirectory(const std::string& path);

    // Copies every file (not the sub-directories) of `source` into
    // `destination`, replacing files of the same name; failures are skipped.
    static void CopyDirectoryFiles(const std::string& source, const std::string& destination);

    // When `source` exists: creates `destination`, copies every sub-directory
    // recursively under its own name, then the files.
    static void CopyDirectoryTree(const std::string& source, const std::string& destination);

    // Deletes every file (not the sub-directories) of the directory.
    static void DeleteDirectoryFiles(const std::string& path);

    // When the directory exists: deletes its sub-directories recursively, its
    // files, then the directory itself. Files that cannot be deleted are skipped.
    static void DeleteDirectoryTree(const std::string& path);

    // The name and extension part of the path.
    static std::string FileNameOf(const std::string& path);

    // True when a file or directory of this path exists.
    static bool Exists(const std::string& path);
};
