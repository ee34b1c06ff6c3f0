#include "settings/core/Stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace pardova {

int64_t TStream::Size() {
    const int64_t position = Position();
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

int64_t TStream::Remaining() {
    const int64_t rest = Size() - Position();
    return rest > 0 ? rest : 0;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) {
        throw EReadError("Stream read error");
    }
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count) {
        throw EWriteError("Stream write error");
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0) {
        throw EReadError("Stream read error");
    }
    char buffer[65536];
    int64_t left = count;
    while (left > 0) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(left, sizeof buffer));
        source.ReadBuffer(buffer, chunk);
        WriteBuffer(buffer, chunk);
        left -= static_cast<int64_t>(chunk);
    }
    return count;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (FPosition >= FData.size()) {
        return 0;
    }
    const size_t n = std::min(count, FData.size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return 0;
    }
    if (FPosition > std::numeric_limits<size_t>::max() - count) {
        return 0;
    }
    const size_t end = FPosition + count;
    if (end > FData.size()) {
        FData.resize(end);
    }
    std::memcpy(FData.data() + FPosition, buffer, count);
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning:
        base = 0;
        break;
    case TSeekOrigin::soCurrent:
        base = static_cast<int64_t>(FPosition);
        break;
    case TSeekOrigin::soEnd:
        base = static_cast<int64_t>(FData.size());
        break;
    }
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
        throw platform::EStreamError("Invalid stream position");
    }
    FPosition = static_cast<size_t>(base + offset);
    return static_cast<int64_t>(FPosition);
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) {
        throw platform::EStreamError("Invalid stream size");
    }
    FData.resize(static_cast<size_t>(size));
    if (FPosition > FData.size()) {
        FPosition = FData.size();
    }
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

} // namespace pardova
