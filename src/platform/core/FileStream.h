#pragma once
// Files opened as streams of bytes: the interface every file system gives its streams through, and the
// platform's own streams.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pardova::platform {

enum class SeekOrigin { Begin, Current, End };

// An open file; closed in the destructor (never throws).
class FileStream {
public:
    virtual ~FileStream() = default;
    virtual int64_t Size() = 0;
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    // Results are byte counts; a failed write returns less than asked, a failed read 0.
    virtual size_t Write(const void* data, size_t count) = 0;
    virtual size_t Read(void* data, size_t count) = 0;
    // Makes what was written durable on the storage; false when that fails.
    virtual bool Flush() { return true; }
    // Cuts or extends the file to `size` bytes; false when that fails.
    virtual bool SetSize(int64_t size) { return size == Size(); }
    // Gives this (new) file the permission bits of the file at `path` (and, for root, its owner and group),
    // so that replacing a file opens it to nobody new. True where the platform keeps no such bits.
    virtual bool TakePermissionsOf(const std::string& path) {
        (void)path;
        return true;
    }
};

enum class StreamMode {
    CreateNoShare,          // create anew (replacing), read and write, no sharing
    OpenReadWriteDenyWrite, // the file must exist; read and write; others may only read
    OpenReadShareRead,      // the file must exist and be a regular file; read; others may read
    CreateNewNoShare,       // create a file that must not exist yet (a link in its place counts as existing)
};

// The native file streams, behind NativeFs().OpenStream.
std::unique_ptr<FileStream> OpenNativeStream(const std::string& path, StreamMode mode);

} // namespace pardova::platform
