#pragma once
// Byte streams: the abstract TStream with its checked transfers, and the in-memory streams the settings
// store converts through.

#include "platform/core/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pardova {

// Errors of the object stream filer: a read that finds truncated or malformed data, or a write that the
// stream refuses.
class EFilerError : public platform::EStreamError {
    using platform::EStreamError::EStreamError;
};
class EReadError : public EFilerError {
    using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
    using EFilerError::EFilerError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Transfer up to count bytes; return the number moved (fewer at the end of a stream).
    virtual size_t Read(void* buffer, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Returns the new position. A position before the start raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    // Bytes between the position and the end.
    int64_t Remaining();

    // Transfer exactly count bytes or raise: EReadError "Stream read error", EWriteError "Stream write
    // error".
    void ReadBuffer(void* buffer, size_t count);
    void WriteBuffer(const void* buffer, size_t count);
    void WriteBuffer(std::string_view bytes) { WriteBuffer(bytes.data(), bytes.size()); }

    // Copies count bytes from source's position; count 0 copies the whole of source from its start.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view bytes) : FData(bytes.begin(), bytes.end()) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t size) override;

    const uint8_t* Memory() const { return FData.data(); }
    // The whole content, independent of the position.
    std::string_view View() const { return {reinterpret_cast<const char*>(FData.data()), FData.size()}; }
    std::string ToString() const { return std::string(View()); }
    void Clear();

protected:
    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};

// A memory stream built on a byte array that the caller hands over and takes back.
class TBytesStream : public TMemoryStream {
public:
    TBytesStream() = default;
    explicit TBytesStream(std::vector<uint8_t> bytes) { FData = std::move(bytes); }
    const std::vector<uint8_t>& Bytes() const { return FData; }
};

} // namespace pardova
