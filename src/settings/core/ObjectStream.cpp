#include "settings/core/ObjectStream.h"

#include "platform/core/Locale.h"
#include "platform/core/Text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace pardova {

namespace {

[[noreturn]] void InvalidValue() { throw EReadError("Invalid property value"); }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

constexpr int ExtendedBias = 16383;
constexpr int ExtendedMaxExponent = 0x7FFF;

} // namespace

TExtendedBytes ExtendedToBytes(long double value) {
    TExtendedBytes bytes{};
    uint16_t signExponent = std::signbit(value) ? 0x8000 : 0;
    uint64_t mantissa = 0;
    if (std::isnan(value)) {
        signExponent |= ExtendedMaxExponent;
        mantissa = 0xC000000000000000ULL;
    } else if (std::isinf(value)) {
        signExponent |= ExtendedMaxExponent;
        mantissa = 0x8000000000000000ULL;
    } else if (value != 0) {
        int exponent = 0;
        // frexp gives a fraction in [0.5, 1); times 2^64 it is the mantissa with its integer bit set.
        const long double fraction = std::frexp(std::fabs(value), &exponent);
        mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
        int biased = exponent - 1 + ExtendedBias;
        if (biased >= ExtendedMaxExponent) {
            biased = ExtendedMaxExponent;
            mantissa = 0x8000000000000000ULL;
        } else if (biased <= 0) {
            const int shift = 1 - biased;
            mantissa = shift >= 64 ? 0 : mantissa >> shift;
            biased = 0;
        }
        signExponent |= static_cast<uint16_t>(biased);
    }
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    }
    bytes[8] = static_cast<uint8_t>(signExponent);
    bytes[9] = static_cast<uint8_t>(signExponent >> 8);
    return bytes;
}

long double BytesToExtended(const TExtendedBytes& bytes) {
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i) {
        mantissa |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    }
    const uint16_t signExponent = static_cast<uint16_t>(bytes[8] | (bytes[9] << 8));
    const bool negative = (signExponent & 0x8000) != 0;
    const int exponent = signExponent & ExtendedMaxExponent;
    long double value;
    if (exponent == ExtendedMaxExponent) {
        value = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                     : std::numeric_limits<long double>::quiet_NaN();
    } else {
        // A zero exponent is a denormal with the smallest exponent.
        const int scale = (exponent == 0 ? 1 : exponent) - ExtendedBias - 63;
        value = std::ldexp(static_cast<long double>(mantissa), scale);
    }
    return negative ? -value : value;
}

TValueType StringValueType(std::string_view utf8) {
    const size_t units = platform::Utf16Length(utf8);
    if (utf8.size() >= 2 * units) {
        return vaWString;
    }
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return vaUTF8String;
        }
    }
    return utf8.size() > 255 ? vaLString : vaString;
}

// ---- TWriter ----

template <typename T> void TWriter::WriteLE(T value) {
    using U = std::make_unsigned_t<T>;
    const U bits = static_cast<U>(value);
    uint8_t bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    Write(bytes, sizeof bytes);
}

void TWriter::WriteSignature() { Write(FilerSignature, sizeof FilerSignature); }

void TWriter::WritePrefix(TFilerFlags flags, int64_t childPos) {
    flags &= ffInherited | ffChildPos | ffInline;
    if (flags == 0) {
        return;
    }
    const uint8_t prefix = static_cast<uint8_t>(0xF0 | flags);
    Write(&prefix, 1);
    if (flags & ffChildPos) {
        WriteInteger(childPos);
    }
}

void TWriter::WriteObjectHeader(TFilerFlags flags, int64_t childPos, std::string_view className,
                                std::string_view objectName) {
    flags &= ffInherited | ffChildPos | ffInline;
    if (flags == 0 && std::min<size_t>(className.size(), 255) >= 0xF0) {
        const uint8_t emptyPrefix = 0xF0;
        Write(&emptyPrefix, 1);
    } else {
        WritePrefix(flags, childPos);
    }
    WriteStr(className);
    WriteStr(objectName);
}

void TWriter::WriteStr(std::string_view text) {
    if (text.size() > 255) {
        // Cut to 255 bytes, but never inside a UTF-8 character: half a character would make a name that
        // the text form cannot carry.
        size_t cut = 255;
        const auto continuation = [&](size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
        if (continuation(cut)) {
            size_t lead = cut;
            while (lead > 0 && cut - lead < 3 && continuation(lead)) {
                --lead;
            }
            const auto first = static_cast<unsigned char>(text[lead]);
            if (lead + platform::Utf8LengthFromLead(first) > cut) {
                cut = lead;
            }
        }
        text = text.substr(0, cut);
    }
    const uint8_t length = static_cast<uint8_t>(text.size());
    Write(&length, 1);
    Write(text.data(), text.size());
}

void TWriter::WriteValue(TValueType value) {
    const uint8_t tag = value;
    Write(&tag, 1);
}

void TWriter::WriteInteger(int64_t value) {
    if (value >= -128 && value <= 127) {
        WriteValue(vaInt8);
        WriteLE(static_cast<int8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
        WriteValue(vaInt16);
        WriteLE(static_cast<int16_t>(value));
    } else if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        WriteValue(vaInt32);
        WriteLE(static_cast<int32_t>(value));
    } else {
        WriteValue(vaInt64);
        WriteLE(value);
    }
}

void TWriter::WriteIdent(std::string_view ident) {
    if (EqualsIgnoringAsciiCase(ident, "False")) {
        WriteValue(vaFalse);
    } else if (EqualsIgnoringAsciiCase(ident, "True")) {
        WriteValue(vaTrue);
    } else if (EqualsIgnoringAsciiCase(ident, "Null")) {
        WriteValue(vaNull);
    } else if (EqualsIgnoringAsciiCase(ident, "nil")) {
        WriteValue(vaNil);
    } else {
        WriteValue(vaIdent);
        WriteStr(ident);
    }
}

void TWriter::WriteString(std::string_view utf8) {
    const TValueType kind = StringValueType(utf8);
    WriteValue(kind);
    switch (kind) {
    case vaString: {
        const std::string bytes = platform::Utf8ToAnsi(utf8);
        WriteLE(static_cast<uint8_t>(bytes.size()));
        Write(bytes.data(), bytes.size());
        break;
    }
    case vaLString: {
        const std::string bytes = platform::Utf8ToAnsi(utf8);
        if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
            throw EWriteError("Stream write error");
        }
        WriteLE(static_cast<uint32_t>(bytes.size()));
        Write(bytes.data(), bytes.size());
        break;
    }
    case vaUTF8String:
        if (utf8.size() > std::numeric_limits<uint32_t>::max()) {
            throw EWriteError("Stream write error");
        }
        WriteLE(static_cast<uint32_t>(utf8.size()));
        Write(utf8.data(), utf8.size());
        break;
    default: {
        const std::u16string units = platform::Utf8ToUtf16(utf8);
        if (units.size() > std::numeric_limits<uint32_t>::max()) {
            throw EWriteError("Stream write error");
        }
        WriteLE(static_cast<uint32_t>(units.size()));
        for (const char16_t unit : units) {
            WriteLE(static_cast<uint16_t>(unit));
        }
        break;
    }
    }
}

void TWriter::WriteUnicodeString(std::u16string_view text) {
    const std::string utf8 = platform::Utf16ToUtf8(text);
    if (StringValueType(utf8) != vaWString) {
        WriteString(utf8);
        return;
    }
    // Written from the code units themselves, so that unpaired surrogates survive unchanged.
    WriteValue(vaWString);
    if (text.size() > std::numeric_limits<uint32_t>::max()) {
        throw EWriteError("Stream write error");
    }
    WriteLE(static_cast<uint32_t>(text.size()));
    for (const char16_t unit : text) {
        WriteLE(static_cast<uint16_t>(unit));
    }
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteFloat(long double value) {
    WriteValue(vaExtended);
    const TExtendedBytes bytes = ExtendedToBytes(value);
    Write(bytes.data(), bytes.size());
}

void TWriter::WriteSingle(float value) {
    WriteValue(vaSingle);
    WriteLE(std::bit_cast<uint32_t>(value));
}

void TWriter::WriteCurrency(TCurrency value) {
    WriteValue(vaCurrency);
    WriteLE(value);
}

void TWriter::WriteDate(double value) {
    WriteValue(vaDate);
    WriteLE(std::bit_cast<uint64_t>(value));
}

void TWriter::WriteDouble(double value) {
    WriteValue(vaDouble);
    WriteLE(std::bit_cast<uint64_t>(value));
}

void TWriter::WriteSet(const std::vector<std::string>& names) {
    WriteValue(vaSet);
    for (const std::string& name : names) {
        if (!name.empty()) {
            WriteStr(name);
        }
    }
    WriteStr("");
}

void TWriter::WriteBinary(const void* data, size_t count) {
    if (count > std::numeric_limits<uint32_t>::max()) {
        throw EWriteError("Stream write error");
    }
    WriteValue(vaBinary);
    WriteLE(static_cast<uint32_t>(count));
    Write(data, count);
}

// ---- TReader ----

template <typename T> T TReader::ReadLE() {
    uint8_t bytes[sizeof(T)];
    Read(bytes, sizeof bytes);
    using U = std::make_unsigned_t<T>;
    U bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        bits = static_cast<U>(bits | (static_cast<U>(bytes[i]) << (8 * i)));
    }
    return static_cast<T>(bits);
}

void TReader::EnsureAvailable(uint64_t count) {
    // Checked before any allocation, so that a corrupt length cannot ask for gigabytes.
    if (count > static_cast<uint64_t>(FStream.Remaining())) {
        throw EReadError("Stream read error");
    }
}

std::string TReader::ReadBytes(uint32_t length) {
    EnsureAvailable(length);
    std::string bytes(length, '\0');
    Read(bytes.data(), length);
    return bytes;
}

void TReader::SkipBytes(uint64_t count) {
    EnsureAvailable(count);
    FStream.Seek(static_cast<int64_t>(count), TSeekOrigin::soCurrent);
}

void TReader::ReadSignature() {
    char signature[4] = {};
    if (FStream.Read(signature, sizeof signature) != sizeof signature ||
        std::memcmp(signature, FilerSignature, sizeof signature) != 0) {
        throw EReadError("Invalid stream format");
    }
}

void TReader::ReadPrefix(TFilerFlags& flags, int64_t& childPos) {
    flags = 0;
    childPos = 0;
    const uint8_t next = static_cast<uint8_t>(NextValue());
    if ((next & 0xF0) != 0xF0) {
        return;
    }
    ReadLE<uint8_t>();
    flags = next & 0x0F;
    if (flags & ffChildPos) {
        childPos = ReadInteger();
    }
}

std::string TReader::ReadStr() {
    const uint8_t length = ReadLE<uint8_t>();
    std::string text(length, '\0');
    Read(text.data(), length);
    return text;
}

TValueType TReader::NextValue() {
    const TValueType value = static_cast<TValueType>(ReadLE<uint8_t>());
    FStream.Seek(-1, TSeekOrigin::soCurrent);
    return value;
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(ReadLE<uint8_t>()); }

void TReader::CheckValue(TValueType expected) {
    if (ReadValue() != expected) {
        InvalidValue();
    }
}

int64_t TReader::ReadInteger() {
    switch (ReadValue()) {
    case vaInt8:
        return ReadLE<int8_t>();
    case vaInt16:
        return ReadLE<int16_t>();
    case vaInt32:
        return ReadLE<int32_t>();
    case vaInt64:
        return ReadLE<int64_t>();
    default:
        InvalidValue();
    }
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
    case vaIdent:
        return ReadStr();
    case vaFalse:
        return "False";
    case vaTrue:
        return "True";
    case vaNil:
        return "nil";
    case vaNull:
        return "Null";
    default:
        InvalidValue();
    }
}

std::u16string TReader::ReadUnicodePayload(TValueType tag) {
    std::u16string units;
    switch (tag) {
    case vaString:
    case vaLString: {
        const uint32_t length = tag == vaString ? ReadLE<uint8_t>() : ReadLE<uint32_t>();
        const std::string bytes = ReadBytes(length);
        units.reserve(length);
        for (const char c : bytes) {
            units.push_back(static_cast<unsigned char>(c));
        }
        return units;
    }
    case vaUTF8String: {
        const uint32_t length = ReadLE<uint32_t>();
        const std::string bytes = ReadBytes(length);
        return platform::Utf8ToUtf16(bytes);
    }
    case vaWString: {
        const uint32_t count = ReadLE<uint32_t>();
        EnsureAvailable(uint64_t{count} * 2);
        units.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            units[i] = static_cast<char16_t>(ReadLE<uint16_t>());
        }
        return units;
    }
    default:
        InvalidValue();
    }
}

std::u16string TReader::ReadUnicodeString() { return ReadUnicodePayload(ReadValue()); }

std::string TReader::ReadString() {
    const TValueType tag = ReadValue();
    switch (tag) {
    case vaString:
    case vaLString: {
        const uint32_t length = tag == vaString ? ReadLE<uint8_t>() : ReadLE<uint32_t>();
        const std::string bytes = ReadBytes(length);
        return platform::AnsiToUtf8(bytes);
    }
    case vaUTF8String: {
        const uint32_t length = ReadLE<uint32_t>();
        std::string bytes = ReadBytes(length);
        return bytes;
    }
    case vaWString:
        return platform::Utf16ToUtf8(ReadUnicodePayload(tag));
    default:
        InvalidValue();
    }
}

bool TReader::ReadBoolean() {
    switch (ReadValue()) {
    case vaTrue:
        return true;
    case vaFalse:
        return false;
    default:
        InvalidValue();
    }
}

long double TReader::ReadFloat() {
    switch (NextValue()) {
    case vaExtended: {
        ReadValue();
        TExtendedBytes bytes;
        Read(bytes.data(), bytes.size());
        return BytesToExtended(bytes);
    }
    case vaDouble:
        return ReadDouble();
    case vaSingle:
        return ReadSingle();
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        return static_cast<long double>(ReadInteger());
    default:
        ReadValue();
        InvalidValue();
    }
}

float TReader::ReadSingle() {
    CheckValue(vaSingle);
    return std::bit_cast<float>(ReadLE<uint32_t>());
}

TCurrency TReader::ReadCurrency() {
    CheckValue(vaCurrency);
    return ReadLE<int64_t>();
}

double TReader::ReadDate() {
    CheckValue(vaDate);
    return std::bit_cast<double>(ReadLE<uint64_t>());
}

double TReader::ReadDouble() {
    CheckValue(vaDouble);
    return std::bit_cast<double>(ReadLE<uint64_t>());
}

std::vector<std::string> TReader::ReadSet() {
    CheckValue(vaSet);
    std::vector<std::string> names;
    for (std::string name = ReadStr(); !name.empty(); name = ReadStr()) {
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<uint8_t> TReader::ReadBinary() {
    CheckValue(vaBinary);
    const uint32_t count = ReadLE<uint32_t>();
    EnsureAvailable(count);
    std::vector<uint8_t> bytes(count);
    Read(bytes.data(), count);
    return bytes;
}

void TReader::SkipValue() { SkipValueAt(0); }

void TReader::SkipValueAt(int depth) {
    if (depth > MaxNestingDepth) {
        InvalidValue();
    }
    switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
        return;
    case vaList:
        while (!EndOfList()) {
            SkipValueAt(depth + 1);
        }
        ReadValue();
        return;
    case vaInt8:
        SkipBytes(1);
        return;
    case vaInt16:
        SkipBytes(2);
        return;
    case vaInt32:
    case vaSingle:
        SkipBytes(4);
        return;
    case vaInt64:
    case vaCurrency:
    case vaDate:
    case vaDouble:
        SkipBytes(8);
        return;
    case vaExtended:
        SkipBytes(10);
        return;
    case vaString:
    case vaIdent:
        SkipBytes(ReadLE<uint8_t>());
        return;
    case vaBinary:
    case vaLString:
    case vaUTF8String:
        SkipBytes(ReadLE<uint32_t>());
        return;
    case vaWString:
        SkipBytes(uint64_t{ReadLE<uint32_t>()} * 2);
        return;
    case vaSet:
        for (uint8_t length = ReadLE<uint8_t>(); length != 0; length = ReadLE<uint8_t>()) {
            SkipBytes(length);
        }
        return;
    case vaCollection:
        while (!EndOfList()) {
            const TValueType next = NextValue();
            if (next == vaInt8 || next == vaInt16 || next == vaInt32 || next == vaInt64) {
                ReadInteger();
            }
            CheckValue(vaList);
            while (!EndOfList()) {
                SkipBytes(ReadLE<uint8_t>());
                SkipValueAt(depth + 1);
            }
            ReadValue();
        }
        ReadValue();
        return;
    default:
        InvalidValue();
    }
}

void TReader::SkipProperty() {
    ReadStr();
    SkipValue();
}

void TReader::SkipComponent() { SkipComponentAt(0); }

void TReader::SkipComponentAt(int depth) {
    if (depth > MaxNestingDepth) {
        InvalidValue();
    }
    TFilerFlags flags;
    int64_t childPos;
    ReadPrefix(flags, childPos);
    ReadStr();
    ReadStr();
    while (!EndOfList()) {
        SkipProperty();
    }
    ReadValue();
    while (!EndOfList()) {
        SkipComponentAt(depth + 1);
    }
    ReadValue();
}

} // namespace pardova
