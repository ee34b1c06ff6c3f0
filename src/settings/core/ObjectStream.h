#pragma once
// The binary object stream: "TPF0", then one object record (optional prefix, class name, object name,
// property records ended by vaNull, child records ended by vaNull). TWriter applies the writing rules
// (integer size, identifier, string kind); TReader reads every value kind with bounds checks and raises
// EReadError on truncated or malformed data.

#include "settings/core/Stream.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pardova {

enum TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
    vaDouble = 21,
};
constexpr uint8_t MaxValueType = vaDouble;

enum TFilerFlag : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };
using TFilerFlags = uint8_t;

inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

// The 10-byte extended-precision floating-point type (64-bit mantissa with explicit integer bit, 15-bit
// exponent, sign), converted bit by bit so that it reads and writes alike on every compiler.
using TExtendedBytes = std::array<uint8_t, 10>;
TExtendedBytes ExtendedToBytes(long double value);
long double BytesToExtended(const TExtendedBytes& bytes);

// The string kinds the writing rule chooses for a UTF-8 text.
TValueType StringValueType(std::string_view utf8);

// Currency amounts are stored as the amount times 10000.
using TCurrency = int64_t;

class TWriter {
public:
    explicit TWriter(TStream& stream) : FStream(stream) {}
    virtual ~TWriter() = default;
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    TStream& Stream() { return FStream; }

    void Write(const void* buffer, size_t count) { FStream.WriteBuffer(buffer, count); }
    void WriteSignature();
    // Writes nothing when flags is empty; the child position is written only with ffChildPos.
    void WritePrefix(TFilerFlags flags, int64_t childPos);
    // An object record's start: prefix, class name, object name. A class name of 240 bytes or more gets an
    // empty prefix (0xF0), because its length byte alone would read as a prefix.
    void WriteObjectHeader(TFilerFlags flags, int64_t childPos, std::string_view className,
                           std::string_view objectName);
    // A short string: one length byte and at most 255 bytes (longer texts are cut).
    void WriteStr(std::string_view text);
    void WriteValue(TValueType value);
    // vaInt8, vaInt16, vaInt32 or vaInt64 by the smallest range that holds the value.
    void WriteInteger(int64_t value);
    // False/True/Null/nil (any letter case) as bare tags, anything else as vaIdent.
    void WriteIdent(std::string_view ident);
    // vaString, vaLString, vaUTF8String or vaWString by the string rule.
    void WriteString(std::string_view utf8);
    // A string of UTF-16 code units (which may hold unpaired surrogates) by the same rule.
    void WriteUnicodeString(std::u16string_view text);
    void WriteBoolean(bool value);
    void WriteFloat(long double value);
    void WriteSingle(float value);
    void WriteCurrency(TCurrency value);
    void WriteDate(double value);
    void WriteDouble(double value);
    void WriteSet(const std::vector<std::string>& names);
    void WriteBinary(const void* data, size_t count);
    void WriteBinary(const std::vector<uint8_t>& bytes) { WriteBinary(bytes.data(), bytes.size()); }
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    void WriteCollectionBegin() { WriteValue(vaCollection); }
    void WriteCollectionEnd() { WriteValue(vaNull); }

private:
    template <typename T> void WriteLE(T value);
    TStream& FStream;
};

class TReader {
public:
    explicit TReader(TStream& stream) : FStream(stream) {}
    virtual ~TReader() = default;
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    TStream& Stream() { return FStream; }

    // Reads exactly count bytes or raises EReadError.
    void Read(void* buffer, size_t count) { FStream.ReadBuffer(buffer, count); }
    // Raises EReadError "Invalid stream format" unless the next 4 bytes are "TPF0".
    void ReadSignature();
    // Reads the optional prefix; flags are 0 and childPos 0 without one.
    void ReadPrefix(TFilerFlags& flags, int64_t& childPos);
    std::string ReadStr();
    // The next tag without consuming it.
    TValueType NextValue();
    TValueType ReadValue();
    // Consumes the tag and raises "Invalid property value" when it is not the expected one.
    void CheckValue(TValueType expected);
    bool EndOfList() { return NextValue() == vaNull; }
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }

    // Any integer tag.
    int64_t ReadInteger();
    // vaFalse/vaTrue/vaNull/vaNil read as "False"/"True"/"Null"/"nil"; vaIdent as its text.
    std::string ReadIdent();
    // Any string tag, as UTF-8.
    std::string ReadString();
    // Any string tag, as UTF-16 code units (single-byte kinds: one unit per byte).
    std::u16string ReadUnicodeString();
    bool ReadBoolean();
    // vaExtended, vaDouble or vaSingle, and integers.
    long double ReadFloat();
    float ReadSingle();
    TCurrency ReadCurrency();
    double ReadDate();
    double ReadDouble();
    std::vector<std::string> ReadSet();
    std::vector<uint8_t> ReadBinary();

    // Skips one value of any kind, nested lists, sets and collections included.
    void SkipValue();
    // Skips one property record: its name and its value.
    void SkipProperty();
    // Skips one object record with its properties and children.
    void SkipComponent();

private:
    template <typename T> T ReadLE();
    void EnsureAvailable(uint64_t count);
    std::string ReadBytes(uint32_t length);
    std::u16string ReadUnicodePayload(TValueType tag);
    void SkipBytes(uint64_t count);
    void SkipValueAt(int depth);
    void SkipComponentAt(int depth);
    TStream& FStream;
};

// Depth limit for nested lists, collections and objects: deeper data is treated as malformed rather
// than exhausting the call stack.
constexpr int MaxNestingDepth = 200;

} // namespace pardova
