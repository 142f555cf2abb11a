#include "album/StoreWriter.h"

#include "base/AtomicFile.h"
#include "base/TextLines.h"

int CStoreWriter::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::vector<std::uint8_t> bytes = EncodeUtf16Lines(lines);
    return WriteBytes(path, bytes.data(), bytes.size());
}

int CStoreWriter::WriteBytes(const std::string& path, const void* data, std::size_t size) {
    if (!batch_) {
        return WriteFileAtomically(path, data, size);
    }
    // In a batch the file system is flushed once, at the end.
    return direct_ ? WriteFileInPlace(path, data, size)
                   : WriteFileAtomically(path, data, size, FileFlush::kNone);
}

void CStoreWriter::BeginBatch(bool direct) {
    batch_ = true;
    direct_ = direct;
}

int CStoreWriter::EndBatch(const std::string& folder) {
    batch_ = false;
    direct_ = false;
    return SyncFileSystem(folder);
}
