#include "settings/core/ObjectText.h"

#include "platform/core/Locale.h"
#include "platform/core/Text.h"
#include "settings/core/ObjectStream.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace pardova {

namespace {

// ---------------------------------------------------------------------------------------------------
// Number formatting

// Digits and decimal exponent of a value rounded to `digits` significant digits: value = 0.d1d2... ×
// 10^(exponent + 1), i.e. the first digit stands for 10^exponent.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
};

DecimalDigits ToDecimalDigits(long double value, int digits) {
    char buffer[128];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits - 1);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    DecimalDigits out;
    const size_t e = text.find('e');
    for (const char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9') {
            out.digits.push_back(c);
        }
    }
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), out.exponent);
    return out;
}

// Rounds a digit string half up so that it keeps `keep` digits; returns true when the rounding carried
// into a new leading digit.
bool RoundDigits(std::string& digits, int keep) {
    if (keep < 0) {
        digits.clear();
        return false;
    }
    if (static_cast<size_t>(keep) >= digits.size()) {
        return false;
    }
    const bool up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (!up) {
        return false;
    }
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

// Extended and double values: rounded to 16 significant digits and shown with 18 digits after the point;
// values of more than 16 integer digits in scientific form.
std::string FormatFixed(long double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    constexpr int precision = 16;
    constexpr int decimals = 18;
    const bool negative = std::signbit(value);
    if (value == 0) {
        return "0." + std::string(decimals, '0');
    }
    DecimalDigits d = ToDecimalDigits(std::fabs(value), precision);
    std::string out;
    if (d.exponent >= precision) {
        out = d.digits.substr(0, 1) + "." + d.digits.substr(1) + "E+";
        const std::string exp = std::to_string(d.exponent);
        out += std::string(exp.size() < 4 ? 4 - exp.size() : 0, '0') + exp;
    } else if (d.exponent >= 0) {
        const size_t integerDigits = static_cast<size_t>(d.exponent) + 1;
        std::string fraction = d.digits.substr(integerDigits);
        fraction.resize(decimals, '0');
        out = d.digits.substr(0, integerDigits) + "." + fraction;
    } else {
        // 0.000ddd: the digits start -exponent - 1 places after the point.
        std::string fraction = std::string(static_cast<size_t>(-d.exponent - 1), '0') + d.digits;
        std::string integer = "0";
        if (fraction.size() > decimals) {
            // Keep only what fits in 18 decimals.
            std::string digits = fraction;
            if (RoundDigits(digits, decimals)) {
                integer = "1";
                digits.erase(0, 1);
            }
            fraction = digits;
        }
        fraction.resize(decimals, '0');
        out = integer + "." + fraction;
    }
    const bool zero = out.find_first_not_of("0.") == std::string::npos;
    return (negative && !zero ? "-" : "") + out;
}

template <typename T> std::string FormatShortest(T value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
    return std::string(buffer, result.ptr);
}

std::string FormatCurrency(int64_t value) {
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        out += "." + fraction;
    }
    return out;
}

// The length of the valid UTF-8 sequence at the start of text (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0 when none starts there.
size_t ValidUtf8SequenceLength(std::string_view text) {
    return text.empty() ? 0 : platform::DecodeUtf8(text, 0, platform::Utf8Check::Strict).Length;
}

// ---------------------------------------------------------------------------------------------------
// Binary object stream -> text

class StreamToText {
public:
    explicit StreamToText(TStream& input) : FReader(input) {}

    std::string Convert() {
        FReader.ReadSignature();
        Object(0);
        return FNonAscii ? "\xEF\xBB\xBF" + FOut : FOut;
    }

private:
    void Indent(int level) { FOut.append(static_cast<size_t>(level) * 2, ' '); }
    void NewLine(int level) {
        FOut += "\r\n";
        Indent(level);
    }
    void Name(std::string_view name) {
        if (!platform::IsAscii(name)) {
            FNonAscii = true;
        }
        FOut += name;
    }

    void Object(int level) {
        if (level > MaxNestingDepth) {
            throw EReadError("Invalid stream format");
        }
        TFilerFlags flags;
        int64_t childPos;
        FReader.ReadPrefix(flags, childPos);
        const std::string className = FReader.ReadStr();
        const std::string objectName = FReader.ReadStr();
        Indent(level);
        FOut += (flags & ffInherited) ? "inherited " : (flags & ffInline) ? "inline " : "object ";
        if (!objectName.empty()) {
            Name(objectName);
            FOut += ": ";
        }
        Name(className);
        if (flags & ffChildPos) {
            FOut.append(" [").append(std::to_string(childPos)).append("]");
        }
        FOut += "\r\n";
        while (!FReader.EndOfList()) {
            const std::string property = FReader.ReadStr();
            Indent(level + 1);
            Name(property);
            FOut += " = ";
            try {
                Value(level + 1, 0);
            } catch (const platform::Exception& e) {
                throw EReadError("Error reading " + objectName + "." + property + ": " + e.Message());
            }
            FOut += "\r\n";
        }
        FReader.ReadValue();
        while (!FReader.EndOfList()) {
            Object(level + 1);
        }
        FReader.ReadValue();
        Indent(level);
        FOut += "end\r\n";
    }

    void Value(int level, int depth) {
        if (depth > MaxNestingDepth) {
            throw EReadError("Invalid stream format");
        }
        const TValueType tag = FReader.NextValue();
        switch (tag) {
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            FOut += std::to_string(FReader.ReadInteger());
            return;
        case vaFalse:
        case vaTrue:
        case vaNil:
        case vaNull:
        case vaIdent:
            Name(FReader.ReadIdent());
            return;
        case vaString:
        case vaLString:
        case vaWString:
        case vaUTF8String:
            String(FReader.ReadUnicodeString(), level);
            return;
        case vaList:
            FReader.ReadValue();
            FOut += "(";
            while (!FReader.EndOfList()) {
                NewLine(level + 1);
                Value(level + 1, depth + 1);
            }
            FReader.ReadValue();
            FOut += ")";
            return;
        case vaSet: {
            FOut += "[";
            bool first = true;
            for (const std::string& name : FReader.ReadSet()) {
                if (!first) {
                    FOut += ", ";
                }
                first = false;
                Name(name);
            }
            FOut += "]";
            return;
        }
        case vaCollection:
            Collection(level, depth);
            return;
        case vaBinary:
            Binary(FReader.ReadBinary(), level);
            return;
        case vaExtended:
        case vaDouble:
            FOut += FormatFixed(FReader.ReadFloat());
            return;
        case vaSingle:
            FOut += FormatShortest(FReader.ReadSingle()) + "s";
            return;
        case vaCurrency:
            FOut += FormatCurrency(FReader.ReadCurrency()) + "c";
            return;
        case vaDate:
            FOut += FormatShortest(FReader.ReadDate()) + "d";
            return;
        default:
            throw EReadError(std::to_string(static_cast<unsigned>(tag)));
        }
    }

    void Collection(int level, int depth) {
        FReader.ReadValue();
        FOut += "<";
        while (!FReader.EndOfList()) {
            NewLine(level + 1);
            FOut += "item";
            const TValueType next = FReader.NextValue();
            if (next == vaInt8 || next == vaInt16 || next == vaInt32 || next == vaInt64) {
                FOut.append(" [").append(std::to_string(FReader.ReadInteger())).append("]");
            }
            FReader.CheckValue(vaList);
            FOut += "\r\n";
            while (!FReader.EndOfList()) {
                const std::string property = FReader.ReadStr();
                Indent(level + 2);
                Name(property);
                FOut += " = ";
                Value(level + 2, depth + 1);
                FOut += "\r\n";
            }
            FReader.ReadValue();
            Indent(level + 1);
            FOut += "end";
        }
        FReader.ReadValue();
        FOut += ">";
    }

    void Binary(const std::vector<uint8_t>& bytes, int level) {
        FOut += "{";
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes.size() >= 32 && i % 32 == 0) {
                NewLine(level + 1);
            }
            platform::AppendHexByte(FOut, bytes[i]);
        }
        FOut += "}";
    }

    // Quoted runs of printable ASCII and #codes for everything else, at most 64 characters per line.
    void String(const std::u16string& s, int level) {
        constexpr size_t lineChars = 64;
        const auto printable = [](char16_t c) { return c >= 32 && c <= 127 && c != '\''; };
        if (s.empty()) {
            FOut += "''";
            return;
        }
        const int continuation = level + 1;
        if (s.size() > lineChars) {
            NewLine(continuation);
        }
        size_t lineStart = 0;
        size_t i = 0;
        while (i < s.size()) {
            if (!printable(s[i])) {
                FOut.append("#").append(std::to_string(static_cast<unsigned>(s[i])));
                ++i;
            } else {
                FOut += '\'';
                while (i < s.size() && printable(s[i]) && i < lineStart + lineChars) {
                    FOut += static_cast<char>(s[i++]);
                }
                FOut += '\'';
            }
            if (i - lineStart >= lineChars && i < s.size()) {
                FOut += " +";
                NewLine(continuation);
                lineStart = i;
            }
        }
    }

    TReader FReader;
    std::string FOut;
    bool FNonAscii = false;
};

// ---------------------------------------------------------------------------------------------------
// Text -> binary object stream

enum class Tok { End, Symbol, Ident, String, Integer, Float };

constexpr size_t MaxLineLength = 4096;

class TextToStream {
public:
    TextToStream(std::string text, TWriter& writer) : FText(std::move(text)), FWriter(writer) {}

    void Convert() {
        if (FText.size() >= 3 && FText.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            FUtf8 = true;
            FPos = 3;
        } else if (HasOtherByteOrderMark()) {
            Error("ANSI or UTF8 encoding expected");
        }
        CheckLineLength(FPos);
        NextToken();
        FWriter.WriteSignature();
        Object(0);
    }

private:
    bool HasOtherByteOrderMark() const {
        const auto at = [&](size_t i) { return i < FText.size() ? static_cast<unsigned char>(FText[i]) : -1; };
        return (at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF) ||
               (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF);
    }

    [[noreturn]] void Error(const std::string& what) const {
        throw EParserError(what + " on line " + std::to_string(FLine));
    }

    // A number that must take the whole token, as a single or a date.
    template <typename T> T ParseWhole(const char* first, const char* last) const {
        T value = 0;
        const auto r = std::from_chars(first, last, value);
        if (r.ec != std::errc() || r.ptr != last) {
            Error("Invalid property value");
        }
        return value;
    }

    void CheckLineLength(size_t start) {
        // The text may hold zero bytes: it is searched by its length, no terminator is looked for.
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
        const void* lf = std::memchr(FText.data() + start, '\n', FText.size() - start);
        size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - FText.data()) : FText.size();
        if (end > start && FText[end - 1] == '\r') {
            --end;
        }
        if (end - start > MaxLineLength) {
            Error("Line too long");
        }
    }

    unsigned char At(size_t i) const { return i < FText.size() ? static_cast<unsigned char>(FText[i]) : 0; }
    bool AtEnd(size_t i) const { return i >= FText.size(); }

    static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
    static bool IsHexDigit(unsigned char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
    // The bytes of the identifier character at i: 1 for an ASCII letter or "_", the whole sequence for a
    // letter of another script in UTF-8 input, 0 when no identifier character starts there. A byte that
    // does not begin a valid UTF-8 sequence is no letter: taken into a name, it would make a stream whose
    // text no parser reads back.
    size_t IdentStartLength(size_t i) const {
        const unsigned char c = At(i);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
            return 1;
        }
        if (!FUtf8 || c < 0x80 || AtEnd(i)) {
            return 0;
        }
        return ValidUtf8SequenceLength(std::string_view(FText).substr(i));
    }
    size_t IdentCharLength(size_t i) const { return IsDigit(At(i)) && !AtEnd(i) ? 1 : IdentStartLength(i); }

    void SkipBlanks() {
        while (!AtEnd(FPos) && At(FPos) <= ' ') {
            if (At(FPos++) == '\n') {
                ++FLine;
                CheckLineLength(FPos);
            }
        }
    }

    void NextToken() {
        SkipBlanks();
        FTokenText.clear();
        FTokenString.clear();
        if (AtEnd(FPos)) {
            FToken = Tok::End;
            return;
        }
        const size_t start = FPos;
        const unsigned char c = At(FPos);
        if (IdentStartLength(FPos) != 0) {
            for (size_t n = IdentStartLength(FPos); n != 0; n = IdentCharLength(FPos)) {
                FPos += n;
            }
            FToken = Tok::Ident;
            FTokenText = FText.substr(start, FPos - start);
        } else if (c == '#' || c == '\'') {
            ReadStringToken();
        } else if (c == '$') {
            ++FPos;
            while (!AtEnd(FPos) && IsHexDigit(At(FPos))) {
                ++FPos;
            }
            FToken = Tok::Integer;
            FTokenText = FText.substr(start, FPos - start);
            uint64_t value = 0;
            const auto r = std::from_chars(FText.data() + start + 1, FText.data() + FPos, value, 16);
            if (FPos == start + 1 || r.ec != std::errc()) {
                Error("Invalid property value");
            }
            FInteger = static_cast<int64_t>(value);
        } else if (IsDigit(c) || c == '-') {
            ReadNumberToken();
        } else {
            ++FPos;
            FToken = Tok::Symbol;
            FTokenText = std::string(1, static_cast<char>(c));
        }
    }

    void ReadNumberToken() {
        const size_t start = FPos;
        ++FPos;
        while (!AtEnd(FPos) && IsDigit(At(FPos))) {
            ++FPos;
        }
        FToken = Tok::Integer;
        FFloatSuffix = 0;
        const auto isSuffix = [](unsigned char s) {
            return s == 's' || s == 'S' || s == 'c' || s == 'C' || s == 'd' || s == 'D' || s == 'f' || s == 'F';
        };
        const unsigned char next = At(FPos);
        bool isFloat = false;
        if (!AtEnd(FPos) && (next == '+' || next == '-' || next == '.' || next == 'E' || next == 'e')) {
            isFloat = true;
            while (!AtEnd(FPos) && (IsDigit(At(FPos)) || std::strchr("+-.Ee", At(FPos)) != nullptr)) {
                ++FPos;
            }
        }
        size_t numberEnd = FPos;
        // A suffix also directly after whole digits: a whole single, currency or date value is written
        // as "5s", "12c" or "45000d" and must read back.
        if (!AtEnd(FPos) && isSuffix(At(FPos)) && (isFloat || IdentCharLength(FPos + 1) == 0)) {
            isFloat = true;
            FFloatSuffix = static_cast<char>(At(FPos) | 0x20);
            ++FPos;
        }
        FTokenText = FText.substr(start, FPos - start);
        const char* first = FText.data() + start;
        const char* last = FText.data() + numberEnd;
        if (isFloat) {
            FToken = Tok::Float;
            const auto r = std::from_chars(first, last, FFloat);
            if (r.ec != std::errc() || r.ptr != last) {
                Error("Invalid property value");
            }
        } else {
            const auto r = std::from_chars(first, last, FInteger);
            if (r.ec != std::errc() || r.ptr != last) {
                Error("Invalid property value");
            }
        }
    }

    // One string token: adjacent #code and 'quoted' parts.
    void ReadStringToken() {
        struct Part {
            std::string quoted;
            char16_t code = 0;
            bool isCode = false;
        };
        std::vector<Part> parts;
        bool highCode = false;
        const size_t start = FPos;
        for (;;) {
            if (At(FPos) == '#' && !AtEnd(FPos)) {
                ++FPos;
                const size_t digits = FPos;
                uint32_t code = 0;
                while (!AtEnd(FPos) && IsDigit(At(FPos))) {
                    code = code * 10 + (At(FPos) - '0');
                    if (code > 0xFFFF) {
                        Error("Invalid string constant");
                    }
                    ++FPos;
                }
                if (FPos == digits) {
                    Error("Invalid string constant");
                }
                if (code >= 128) {
                    highCode = true;
                }
                parts.push_back({{}, static_cast<char16_t>(code), true});
            } else if (At(FPos) == '\'' && !AtEnd(FPos)) {
                ++FPos;
                Part part;
                for (;;) {
                    if (AtEnd(FPos) || At(FPos) == '\r' || At(FPos) == '\n') {
                        Error("Invalid string constant");
                    }
                    if (At(FPos) == '\'') {
                        if (At(FPos + 1) == '\'' && !AtEnd(FPos + 1)) {
                            part.quoted += '\'';
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    part.quoted += FText[FPos++];
                }
                parts.push_back(std::move(part));
            } else {
                break;
            }
        }
        FToken = Tok::String;
        FTokenText = FText.substr(start, FPos - start);
        for (const Part& part : parts) {
            if (part.isCode) {
                FTokenString += part.code;
            } else if (highCode) {
                // With codes above ASCII present, quoted characters are taken by their byte values.
                for (const char b : part.quoted) {
                    FTokenString += static_cast<char16_t>(static_cast<unsigned char>(b));
                }
            } else {
                FTokenString += platform::Utf8ToUtf16(FUtf8 ? part.quoted : platform::AnsiToUtf8(part.quoted));
            }
        }
    }

    bool IsSymbol(char c) const { return FToken == Tok::Symbol && FTokenText[0] == c; }
    bool IsKeyword(std::string_view keyword) const {
        if (FToken != Tok::Ident || FTokenText.size() != keyword.size()) {
            return false;
        }
        for (size_t i = 0; i < keyword.size(); ++i) {
            if ((FTokenText[i] | 0x20) != (keyword[i] | 0x20)) {
                return false;
            }
        }
        return true;
    }
    void CheckSymbol(char c) const {
        if (!IsSymbol(c)) {
            Error("''" + std::string(1, c) + "'' expected");
        }
    }
    void CheckIdent() const {
        if (FToken != Tok::Ident) {
            Error("Identifier expected");
        }
    }

    void Object(int depth) {
        if (depth > MaxNestingDepth) {
            Error("Invalid property value");
        }
        TFilerFlags flags = 0;
        if (IsKeyword("inherited")) {
            flags = ffInherited;
        } else if (IsKeyword("inline")) {
            flags = ffInline;
        } else if (!IsKeyword("object")) {
            Error("OBJECT expected");
        }
        NextToken();
        CheckIdent();
        std::string objectName;
        std::string className = FTokenText;
        NextToken();
        if (IsSymbol(':')) {
            NextToken();
            CheckIdent();
            objectName = std::move(className);
            className = FTokenText;
            NextToken();
        }
        int64_t childPos = 0;
        if (IsSymbol('[')) {
            NextToken();
            if (FToken != Tok::Integer) {
                Error("Number expected");
            }
            childPos = FInteger;
            flags |= ffChildPos;
            NextToken();
            CheckSymbol(']');
            NextToken();
        }
        FWriter.WriteObjectHeader(flags, childPos, className, objectName);
        while (!(IsKeyword("end") || IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline"))) {
            Property(depth);
        }
        FWriter.WriteValue(vaNull);
        while (!IsKeyword("end")) {
            Object(depth + 1);
        }
        FWriter.WriteValue(vaNull);
        // Whatever follows the root object's end is not read at all.
        if (depth > 0) {
            NextToken();
        }
    }

    // A name and its dotted parts ("Font.Style"), from the current token on.
    std::string DottedName() {
        CheckIdent();
        std::string name = FTokenText;
        NextToken();
        while (IsSymbol('.')) {
            NextToken();
            CheckIdent();
            name += "." + FTokenText;
            NextToken();
        }
        return name;
    }

    void Property(int depth) {
        const std::string name = DottedName();
        CheckSymbol('=');
        NextToken();
        FWriter.WriteStr(name);
        Value(depth);
    }

    void Value(int depth) {
        if (depth > MaxNestingDepth) {
            Error("Invalid property value");
        }
        switch (FToken) {
        case Tok::Ident:
            FWriter.WriteIdent(DottedName());
            return;
        case Tok::String: {
            std::u16string text = FTokenString;
            NextToken();
            while (IsSymbol('+')) {
                NextToken();
                if (FToken != Tok::String) {
                    Error("String expected");
                }
                text += FTokenString;
                NextToken();
            }
            FWriter.WriteUnicodeString(text);
            return;
        }
        case Tok::Integer:
            FWriter.WriteInteger(FInteger);
            NextToken();
            return;
        case Tok::Float:
            WriteFloatToken();
            NextToken();
            return;
        default:
            break;
        }
        if (IsSymbol('(')) {
            NextToken();
            FWriter.WriteListBegin();
            while (!IsSymbol(')')) {
                // Null is written as the bare end mark, which inside a list would end the list there and
                // leave the rest of the stream unreadable.
                if (IsKeyword("Null")) {
                    Error("Invalid property value");
                }
                Value(depth + 1);
            }
            FWriter.WriteListEnd();
            NextToken();
        } else if (IsSymbol('[')) {
            SetValue();
        } else if (IsSymbol('<')) {
            CollectionValue(depth);
        } else if (IsSymbol('{')) {
            BinaryValue();
            NextToken();
        } else {
            Error("Invalid property value");
        }
    }

    // Each kind is parsed straight from the digits, so no value is rounded twice; currency exactly.
    void WriteFloatToken() {
        const size_t length = FTokenText.size() - (FFloatSuffix != 0 ? 1 : 0);
        const char* first = FTokenText.data();
        const char* last = first + length;
        switch (FFloatSuffix) {
        case 'c': {
            int64_t amount = 0;
            if (!ParseCurrency(std::string_view(first, length), amount)) {
                Error("Invalid property value");
            }
            FWriter.WriteCurrency(amount);
            break;
        }
        case 'd':
            FWriter.WriteDate(ParseWhole<double>(first, last));
            break;
        case 's':
            FWriter.WriteSingle(ParseWhole<float>(first, last));
            break;
        default:
            FWriter.WriteFloat(FFloat);
            break;
        }
    }

    // A decimal number times 10000, rounded half away from zero; false when malformed or out of range.
    static bool ParseCurrency(std::string_view text, int64_t& amount) {
        size_t i = 0;
        const bool negative = i < text.size() && text[i] == '-';
        if (negative) {
            ++i;
        }
        std::string digits;
        int scale = 4; // power of ten applied to the digits
        bool any = false;
        while (i < text.size() && IsDigit(static_cast<unsigned char>(text[i]))) {
            digits += text[i++], any = true;
        }
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && IsDigit(static_cast<unsigned char>(text[i]))) {
                digits += text[i++], --scale, any = true;
            }
        }
        if (!any) {
            return false;
        }
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            int exponent = 0;
            const auto r = std::from_chars(text.data() + i + (i < text.size() && text[i] == '+' ? 1 : 0),
                                           text.data() + text.size(), exponent);
            if (r.ec != std::errc() || r.ptr != text.data() + text.size() || exponent > 100 || exponent < -100) {
                return false;
            }
            scale += exponent;
            i = text.size();
        }
        if (i != text.size()) {
            return false;
        }
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        bool roundUp = false;
        if (scale < 0) {
            const size_t drop = static_cast<size_t>(-scale);
            if (drop > digits.size()) {
                digits.clear();
            } else {
                roundUp = digits[digits.size() - drop] >= '5';
                digits.resize(digits.size() - drop);
            }
            scale = 0;
        }
        if (digits.size() + static_cast<size_t>(scale) > 19 && !digits.empty()) {
            return false;
        }
        digits.append(static_cast<size_t>(digits.empty() ? 0 : scale), '0');
        uint64_t magnitude = 0;
        for (const char c : digits) {
            magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
        }
        if (roundUp) {
            ++magnitude;
        }
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        if (magnitude > limit) {
            return false;
        }
        amount = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        return true;
    }

    void SetValue() {
        NextToken();
        FWriter.WriteValue(vaSet);
        if (!IsSymbol(']')) {
            for (;;) {
                switch (FToken) {
                case Tok::Ident:
                case Tok::Integer:
                case Tok::Float:
                    FWriter.WriteStr(FTokenText);
                    break;
                case Tok::String:
                    if (FTokenString.empty()) {
                        Error("Invalid property value");
                    }
                    FWriter.WriteStr(std::string("#").append(std::to_string(static_cast<unsigned>(FTokenString[0]))));
                    break;
                default:
                    Error("Identifier expected");
                }
                NextToken();
                if (!IsSymbol(',')) {
                    break;
                }
                NextToken();
            }
            CheckSymbol(']');
        }
        FWriter.WriteStr("");
        NextToken();
    }

    void CollectionValue(int depth) {
        NextToken();
        FWriter.WriteValue(vaCollection);
        while (!IsSymbol('>')) {
            if (!IsKeyword("item")) {
                Error("item expected");
            }
            NextToken();
            if (IsSymbol('[')) {
                NextToken();
                if (FToken != Tok::Integer) {
                    Error("Number expected");
                }
                FWriter.WriteInteger(FInteger);
                NextToken();
                CheckSymbol(']');
                NextToken();
            }
            FWriter.WriteListBegin();
            while (!IsKeyword("end")) {
                Property(depth + 1);
            }
            FWriter.WriteListEnd();
            NextToken();
        }
        FWriter.WriteValue(vaNull);
        NextToken();
    }

    // Reads the hexadecimal digits after "{" up to and including "}".
    void BinaryValue() {
        std::vector<uint8_t> bytes;
        const auto nibble = [](unsigned char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        for (;;) {
            SkipBlanks();
            if (AtEnd(FPos)) {
                Error("Invalid binary value");
            }
            if (At(FPos) == '}') {
                ++FPos;
                break;
            }
            if (!IsHexDigit(At(FPos)) || AtEnd(FPos + 1) || !IsHexDigit(At(FPos + 1))) {
                Error("Invalid binary value");
            }
            bytes.push_back(static_cast<uint8_t>(nibble(At(FPos)) << 4 | nibble(At(FPos + 1))));
            FPos += 2;
        }
        FWriter.WriteBinary(bytes);
    }

    std::string FText;
    TWriter& FWriter;
    size_t FPos = 0;
    int FLine = 1;
    bool FUtf8 = false;
    Tok FToken = Tok::End;
    std::string FTokenText;
    std::u16string FTokenString;
    int64_t FInteger = 0;
    long double FFloat = 0;
    char FFloatSuffix = 0;
};

std::string ReadRest(TStream& input) {
    std::string text(static_cast<size_t>(input.Remaining()), '\0');
    input.ReadBuffer(text.data(), text.size());
    return text;
}

} // namespace

TStreamOriginalFormat DetectObjectStreamFormat(TStream& Stream) {
    const int64_t position = Stream.Position();
    uint8_t bytes[4] = {};
    Stream.Read(bytes, sizeof bytes);
    Stream.SetPosition(position);
    if (bytes[0] == 0xFF || std::memcmp(bytes, FilerSignature, 4) == 0 ||
        (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0)) {
        return sofBinary;
    }
    switch (bytes[0]) {
    case 9:
    case 11:
    case 13:
    case ' ':
    case 'I':
    case 'O':
    case 'i':
    case 'o':
        return sofText;
    default:
        break;
    }
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return sofUTF8Text;
    }
    return sofUnknown;
}

void ConvertObjectStreamToText(TStream& Input, TStream& Output) {
    // Built whole before anything is appended, so a stream that fails part-way leaves Output untouched.
    StreamToText converter(Input);
    const std::string text = converter.Convert();
    Output.WriteBuffer(text);
}

void ConvertObjectTextToStream(TStream& Input, TStream& Output) {
    TMemoryStream buffer;
    TWriter writer(buffer);
    TextToStream parser(ReadRest(Input), writer);
    parser.Convert();
    Output.WriteBuffer(buffer.View());
}

} // namespace pardova
